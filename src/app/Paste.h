// Giving an executed entry back: the text goes on the clipboard and, when the
// quick list was opened by the call-up hotkey, into the window that was in
// front at that moment, by the paste keystroke that window's class calls for.
#pragma once

#include "PasteKeyRules.h"
#include "platform.h"

#include <QSet>
#include <QString>

class Settings;

enum class PasteOutcome {
    ClipboardOnly,     // opened from an icon, or no target was recorded
    Pasted,            // the target is in front and got the paste keystroke
    TargetGone,        // the target window was closed since the hotkey press
    ActivationRefused, // the target did not come to the front in time
    ModifierHeld,      // a modifier outside the keystroke stayed held down: it would be another command
    PasteFailed,       // the system refused the synthetic keystroke
};

// How long the target may take to come to the front, and how long a held
// modifier is waited for before the paste.
constexpr int ActivationTimeoutMs = 500;
constexpr int ModifierWaitMs = 1000;
// How long, counted from setting the clipboard, the target may take to ask
// for what the clipboard offers before the keystroke goes out.
constexpr int ClipboardAskWaitMs = 60;

// The user's paste keystroke rules as the settings hold them at each paste. A
// malformed line is named on stderr the first time this reader meets it.
class PasteRuleReader {
  public:
    explicit PasteRuleReader(const Settings &settings) : m_settings(settings) {}
    PasteKeyRules read();

  private:
    const Settings &m_settings;
    QSet<QString> m_named;
};

// Puts the text on the clipboard and, for a target (0: none), brings the
// target to the front and sends it the keystroke its class calls for, when
// that can reach it unchanged by the keys the user still holds. Shift+Insert
// also puts the text on the primary selection, where the system has one.
PasteOutcome pasteIntoTarget(const QString &text, platform::WindowId target, PasteRuleReader &rules);
