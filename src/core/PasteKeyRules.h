// Which keystroke pastes into a window, chosen by the window's class: Ctrl+V
// in most programs types a control character into a terminal. The user's rules
// (the text of a setting, one "window class = keystroke" a line) come before
// the built-in table of terminals; every other window gets Ctrl+V. Classes
// match either part of an X11 WM_CLASS, in any case of ASCII letters.
// Standard C++ only: the Win32 backend's tests use the table too.
#pragma once

#include "platform.h"

#include <string>
#include <string_view>
#include <vector>

struct PasteKeyRule {
    std::string windowClass;
    platform::PasteKeys keys;
};

class PasteKeyRules {
  public:
    // The user's rules from the setting's text (UTF-8, lines ending in LF or
    // CR LF). Blank lines and lines starting with # say nothing; any other
    // line that is no rule is skipped and kept in malformed().
    explicit PasteKeyRules(std::string_view userText = {});

    // The first user rule naming either part of the class, else the built-in
    // table's entry, else Ctrl+V.
    platform::PasteKeys keysFor(const platform::WindowClass &windowClass) const;

    // The skipped lines, trimmed, in their order.
    const std::vector<std::string> &malformed() const { return m_malformed; }

    // The terminals and consoles whose paste keystroke is known.
    static const std::vector<PasteKeyRule> &builtIn();

  private:
    std::vector<PasteKeyRule> m_user;
    std::vector<std::string> m_malformed;
};

// "Ctrl+V", "Ctrl+Shift+V", "Shift+Insert": how rules and messages name a keystroke.
const char *pasteKeysName(platform::PasteKeys keys);
