#include "Paste.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QThread>

namespace {

bool anyModifierHeld(platform::Platform &p) {
    return p.keyIsDown(platform::vk::Control) || p.keyIsDown(platform::vk::Shift) ||
           p.keyIsDown(platform::vk::Menu);
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

PasteOutcome pasteIntoTarget(const QString &text, platform::WindowId target) {
    QGuiApplication::clipboard()->setText(text);
    if (target == 0)
        return PasteOutcome::ClipboardOnly;

    platform::Platform &p = platform::current();
    // Keys sent to a window that no longer exists would land in whatever
    // window has the focus, a terminal included.
    if (!p.windowExists(target))
        return PasteOutcome::TargetGone;
    if (!p.activateWindow(target, ActivationTimeoutMs))
        return PasteOutcome::ActivationRefused;

    if (anyModifierHeld(p)) {
        waitForModifierRelease(p);
        // Shift or Alt still held would turn the paste into another command
        // (Ctrl+Shift+V, Ctrl+Alt+V); the text stays on the clipboard. Ctrl
        // alone is harmless: the keystroke is Ctrl+V anyway.
        if (p.keyIsDown(platform::vk::Shift) || p.keyIsDown(platform::vk::Menu))
            return PasteOutcome::ModifierHeld;
        // The wait let events through: make sure the target is still in front.
        const platform::WindowId front = p.foregroundWindow();
        if (front != 0 && front != target && !p.activateWindow(target, ActivationTimeoutMs))
            return PasteOutcome::ActivationRefused;
    }

    const platform::Result sent = p.sendPaste(platform::PasteKeys::CtrlV);
    return sent.ok ? PasteOutcome::Pasted : PasteOutcome::PasteFailed;
}
