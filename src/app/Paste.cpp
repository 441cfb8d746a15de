#include "Paste.h"

#include "Settings.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QDebug>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QMimeData>
#include <QThread>

#include <atomic>
#include <functional>
#include <memory>
#include <vector>

namespace {

// The text as the clipboard offers it, counting the requests of other
// programs: a program that asks which formats the clipboard offers, or for
// the text, is answered from here.
class OfferedText : public QMimeData {
  public:
    OfferedText(const QString &text, std::shared_ptr<std::atomic<int>> asked) : m_asked(std::move(asked)) {
        setText(text);
    }
    QStringList formats() const override {
        ++*m_asked;
        return QMimeData::formats();
    }

  protected:
    QVariant retrieveData(const QString &mimeType, QMetaType type) const override {
        ++*m_asked;
        return QMimeData::retrieveData(mimeType, type);
    }

  private:
    std::shared_ptr<std::atomic<int>> m_asked;
};

// Serves the events that are no user input (on X11 the requests of other
// programs for the clipboard our process owns), until done() or the time is
// up; done()'s last answer.
bool serveEventsUntil(const std::function<bool()> &done, int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        if (done())
            return true;
        if (clock.elapsed() >= timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 5);
        QThread::msleep(2);
    }
}

bool anyModifierHeld(platform::Platform &p) {
    return p.keyIsDown(platform::vk::Control) || p.keyIsDown(platform::vk::Shift) ||
           p.keyIsDown(platform::vk::Menu);
}

// The modifiers that, held by the user, would turn the keystroke into another
// command (Ctrl+Shift+V, Ctrl+Alt+V, Ctrl+Shift+Insert): those it does not
// press itself. A held modifier the keystroke presses anyway is harmless.
std::vector<int> foreignModifiers(platform::PasteKeys keys) {
    using namespace platform::vk;
    switch (keys) {
    case platform::PasteKeys::CtrlV:
        return {Shift, Menu};
    case platform::PasteKeys::CtrlShiftV:
        return {Menu};
    case platform::PasteKeys::ShiftInsert:
        return {Control, Menu};
    }
    return {Control, Shift, Menu};
}

// Brings the target to the front and waits, bounded, until it is there,
// answering clipboard requests meanwhile.
bool activate(platform::Platform &p, platform::WindowId target) {
    if (p.activateWindow(target, 0))
        return true;
    return serveEventsUntil([&] { return p.foregroundWindow() == target; }, ActivationTimeoutMs);
}

} // namespace

PasteKeyRules PasteRuleReader::read() {
    PasteKeyRules rules(m_settings.value(setting::PasteKeyLines).toStdString());
    for (const std::string &line : rules.malformed()) {
        const QString text = QString::fromStdString(line);
        if (m_named.contains(text))
            continue;
        m_named.insert(text);
        qWarning().noquote() << QString::fromUtf8(setting::PasteKeyLines.name) +
                                    QStringLiteral(": skipped \"") + text +
                                    QStringLiteral("\": a rule is \"window class = keystroke\" with the "
                                                   "keystroke Ctrl+V, Ctrl+Shift+V or Shift+Insert");
    }
    return rules;
}

PasteOutcome pasteIntoTarget(const QString &text, platform::WindowId target, PasteRuleReader &rules) {
    QClipboard *clipboard = QGuiApplication::clipboard();
    QElapsedTimer sinceOffered;
    sinceOffered.start();
    const auto asked = std::make_shared<std::atomic<int>>(0);
    clipboard->setMimeData(new OfferedText(text, asked));
    if (target == 0)
        return PasteOutcome::ClipboardOnly;

    platform::Platform &p = platform::current();
    // Keys sent to a window that no longer exists would land in whatever
    // window has the focus, a terminal included.
    if (!p.windowExists(target))
        return PasteOutcome::TargetGone;
    const platform::PasteKeys keys = rules.read().keysFor(p.windowClass(target));
    // xterm and rxvt-unicode paste the primary selection on Shift+Insert.
    if (keys == platform::PasteKeys::ShiftInsert && clipboard->supportsSelection())
        clipboard->setMimeData(new OfferedText(text, asked), QClipboard::Selection);
    // Until the keystroke is sent, the clipboard's requests are answered: a
    // terminal such as GNOME Terminal asks the new owner which formats it
    // offers as soon as the clipboard changes, and acts on its paste key only
    // once it knows. A program that asks at once has done so by the time the
    // target is in front, or shortly after; one that never asks costs the
    // short wait once.
    if (!activate(p, target))
        return PasteOutcome::ActivationRefused;
    serveEventsUntil([&] { return *asked > 0 || sinceOffered.elapsed() >= ClipboardAskWaitMs; },
                     ClipboardAskWaitMs);
    // Our answer reaches the server before the keystroke does.
    QGuiApplication::sync();

    if (anyModifierHeld(p)) {
        // Waits, bounded, until no modifier is held.
        serveEventsUntil([&] { return !anyModifierHeld(p); }, ModifierWaitMs);
        // The text stays on the clipboard for a paste by hand.
        for (int modifier : foreignModifiers(keys))
            if (p.keyIsDown(modifier))
                return PasteOutcome::ModifierHeld;
        // The wait let events through: make sure the target is still in front.
        const platform::WindowId front = p.foregroundWindow();
        if (front != 0 && front != target && !activate(p, target))
            return PasteOutcome::ActivationRefused;
    }

    const platform::Result sent = p.sendPaste(keys);
    return sent.ok ? PasteOutcome::Pasted : PasteOutcome::PasteFailed;
}
