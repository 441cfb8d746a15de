// Giving an executed entry back: the text goes on the clipboard and, when the
// quick list was opened by the call-up hotkey, into the window that was in
// front at that moment, by the paste keystroke.
#pragma once

#include <QString>

namespace quicklist {

enum class InsertOutcome {
    ClipboardOnly,     // opened from an icon, or no target was recorded
    Pasted,            // the target is in front and got the paste keystroke
    TargetGone,        // the target window was closed since the hotkey press
    ActivationRefused, // the target did not come to the front in time
    ModifierHeld,      // Shift or Alt stayed held down: a keystroke would not be a plain paste
    PasteFailed,       // the system refused the synthetic keystroke
};

// How long the target may take to come to the front, and how long a held
// modifier is waited for before the paste.
constexpr int ActivationTimeoutMs = 500;
constexpr int ModifierWaitMs = 1000;

} // namespace quicklist

// The text is on the clipboard in every case; the paste keystroke is sent
// only when it can reach the recorded target as a plain Ctrl+V.
quicklist::InsertOutcome 录入到窗口(const QString &text);
