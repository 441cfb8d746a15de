#include "Paste.h"

#include "Settings.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QDebug>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QThread>

#include <vector>

namespace {

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

// Waits, bounded, until no modifier is held. Events other than user input are
// served meanwhile: on X11 our own process answers the target's request for
// the clipboard, and it must not be stalled.
void waitForModifierRelease(platform::Platform &p) {
    QElapsedTimer clock;
    clock.start();
    while (anyModifierHeld(p) && clock.elapsed() < ModifierWaitMs) {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 5);
        QThread::msleep(5);
    }
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
    clipboard->setText(text);
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
        clipboard->setText(text, QClipboard::Selection);
    if (!p.activateWindow(target, ActivationTimeoutMs))
        return PasteOutcome::ActivationRefused;

    if (anyModifierHeld(p)) {
        waitForModifierRelease(p);
        // The text stays on the clipboard for a paste by hand.
        for (int modifier : foreignModifiers(keys))
            if (p.keyIsDown(modifier))
                return PasteOutcome::ModifierHeld;
        // The wait let events through: make sure the target is still in front.
        const platform::WindowId front = p.foregroundWindow();
        if (front != 0 && front != target && !p.activateWindow(target, ActivationTimeoutMs))
            return PasteOutcome::ActivationRefused;
    }

    const platform::Result sent = p.sendPaste(keys);
    return sent.ok ? PasteOutcome::Pasted : PasteOutcome::PasteFailed;
}
