// Giving an executed entry back: the text goes on the clipboard and, when the
// quick list was opened by the call-up hotkey, into the window that was in
// front at that moment, by the paste keystroke.
#pragma once

#include "platform.h"

#include <QString>

enum class PasteOutcome {
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

// Puts the text on the clipboard and, for a target (0: none), brings the
// target to the front and sends it the paste keystroke, when that can reach it
// as a plain Ctrl+V.
PasteOutcome pasteIntoTarget(const QString &text, platform::WindowId target);
