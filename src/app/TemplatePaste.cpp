#include "TemplatePaste.h"

#include "Settings.h"
#include "TextTemplate.h"
#include "fill_in/FillInWindow.h"

#include <QClipboard>
#include <QDebug>
#include <QGuiApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>

namespace {

QHash<QString, QString> readAnswers(const Settings &settings) {
    QHash<QString, QString> answers;
    const QJsonObject stored =
        QJsonDocument::fromJson(settings.value(setting::FillInAnswers).toUtf8()).object();
    for (auto it = stored.begin(); it != stored.end(); ++it)
        answers.insert(it.key(), it.value().toString());
    return answers;
}

void keepAnswers(Settings &settings, const QHash<QString, QString> &answers) {
    QJsonObject stored = QJsonDocument::fromJson(settings.value(setting::FillInAnswers).toUtf8()).object();
    for (auto it = answers.begin(); it != answers.end(); ++it)
        stored.insert(it.key(), it.value());
    settings.setValueSoon(setting::FillInAnswers,
                          QString::fromUtf8(QJsonDocument(stored).toJson(QJsonDocument::Compact)));
}

} // namespace

TemplatePaste::TemplatePaste(Settings &settings, PasteRuleReader &rules, QObject *parent)
    : QObject(parent), m_settings(settings), m_rules(rules) {}

TemplatePaste::~TemplatePaste() {
    delete m_fillIn;
}

void TemplatePaste::noteCallUp() {
    // Only a clipboard of our own is read here: it costs nothing. Another
    // program's text would have to be fetched from it on every call-up; it is
    // read when a text asks for it, and is the same then unless this program
    // has taken the clipboard over in between.
    const QClipboard *clipboard = QGuiApplication::clipboard();
    m_ownedAtCallUp = clipboard->ownsClipboard();
    m_ownTextAtCallUp = m_ownedAtCallUp ? clipboard->text() : QString();
}

QString TemplatePaste::clipboardText() const {
    return m_ownedAtCallUp ? m_ownTextAtCallUp : QGuiApplication::clipboard()->text();
}

void TemplatePaste::paste(const QString &text, platform::WindowId target, const PasteFunction &pasteText) {
    const TextTemplate found(text);
    if (!found.hasFields()) {
        pasteText(text);
        return;
    }
    // The clipboard is read before anything is asked: the user may copy an
    // answer from elsewhere meanwhile.
    const QString clipboard = found.usesClipboard() ? clipboardText() : QString();
    const QStringList prompts = found.prompts();
    if (prompts.isEmpty()) {
        finish(found, clipboard, {}, target, pasteText);
        return;
    }
    // One fill-in at a time: an earlier one still open is given up.
    if (m_fillIn)
        m_fillIn->reject();
    auto *window = new FillInWindow(prompts, readAnswers(m_settings));
    window->setAttribute(Qt::WA_DeleteOnClose);
    m_fillIn = window;
    connect(window, &QDialog::accepted, this, [=, this] {
        const QHash<QString, QString> answers = window->answers();
        keepAnswers(m_settings, answers);
        // The paste serves events while it waits for the target; the window,
        // closed and deleted on close, must not go while its own signal runs.
        QMetaObject::invokeMethod(
            this, [=, this] { finish(found, clipboard, answers, target, pasteText); }, Qt::QueuedConnection);
    });
    window->present();
}

void TemplatePaste::finish(const TextTemplate &found, const QString &clipboard,
                           const QHash<QString, QString> &answers, platform::WindowId target,
                           const PasteFunction &pasteText) {
    const TemplateExpansion expanded = found.expand(QDateTime::currentDateTime(), clipboard, answers);
    if (pasteText(expanded.text) != PasteOutcome::Pasted || expanded.caret < 0)
        return;
    const int steps = charactersAfter(expanded.text, expanded.caret);
    platform::Platform &p = platform::current();
    // In a terminal Left would move the shell's cursor over the command line:
    // the caret stays where the paste left it.
    if (steps == 0 || m_rules.read().keysFor(p.windowClass(target)) != platform::PasteKeys::CtrlV)
        return;
    // The target fetches the text from us after the keystroke: it must have
    // inserted it before the caret moves.
    QTimer::singleShot(CaretDelayMs, this, [target, steps] {
        platform::Platform &p = platform::current();
        // Keys for a window the user has left would move another caret.
        if (p.foregroundWindow() != target)
            return;
        const platform::Result sent = p.sendLeftKeys(steps);
        if (!sent.ok)
            qWarning().noquote() << "caret not moved:" << QString::fromStdString(sent.error);
    });
}
