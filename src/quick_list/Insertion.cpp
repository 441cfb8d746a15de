#include "quick_list/Insertion.h"

#include "FMain.h"
#include "UsedCode.h"
#include "platform.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

namespace {

// The numeric value of the slot's leading digits; empty or no digits give 0.
platform::WindowId targetFromSlot(const QString &slot) {
    const QString trimmed = slot.trimmed();
    qsizetype end = 0;
    while (end < trimmed.size() && trimmed[end].isDigit() && trimmed[end].unicode() < 128)
        ++end;
    bool ok = false;
    const qulonglong value = trimmed.left(end).toULongLong(&ok);
    return ok ? platform::WindowId(value) : 0;
}

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
    while (anyModifierHeld(p) && clock.elapsed() < quicklist::ModifierWaitMs) {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 5);
        QThread::msleep(5);
    }
}

} // namespace

quicklist::InsertOutcome 录入到窗口(const QString &text) {
    using quicklist::InsertOutcome;
    UsedCode::SetClipboardText(text);

    const platform::WindowId target =
        FMain::CallUpMode == FMain::ModeIcon ? 0 : targetFromSlot(onKey::TargetWindowSlot);
    if (target == 0)
        return InsertOutcome::ClipboardOnly;

    platform::Platform &p = platform::current();
    // Keys sent to a window that no longer exists would land in whatever
    // window has the focus, a terminal included.
    if (!p.windowExists(target))
        return InsertOutcome::TargetGone;
    if (!p.activateWindow(target, quicklist::ActivationTimeoutMs))
        return InsertOutcome::ActivationRefused;

    if (anyModifierHeld(p)) {
        waitForModifierRelease(p);
        // Shift or Alt still held would turn the paste into another command
        // (Ctrl+Shift+V, Ctrl+Alt+V); the text stays on the clipboard. Ctrl
        // alone is harmless: the keystroke is Ctrl+V anyway.
        if (p.keyIsDown(platform::vk::Shift) || p.keyIsDown(platform::vk::Menu))
            return InsertOutcome::ModifierHeld;
        // The wait let events through: make sure the target is still in front.
        const platform::WindowId front = p.foregroundWindow();
        if (front != 0 && front != target && !p.activateWindow(target, quicklist::ActivationTimeoutMs))
            return InsertOutcome::ActivationRefused;
    }

    const platform::Result sent = p.sendPaste();
    return sent.ok ? InsertOutcome::Pasted : InsertOutcome::PasteFailed;
}
