#include "PasteKeyRules.h"

#include <algorithm>

using platform::PasteKeys;

namespace {

char lowered(char c) {
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

bool sameIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return lowered(x) == lowered(y); });
}

std::string_view trimmed(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    return text;
}

constexpr PasteKeys AllKeys[] = {PasteKeys::CtrlV, PasteKeys::CtrlShiftV, PasteKeys::ShiftInsert};

// A keystroke's name in any case, with or without blanks around the pluses.
bool keysNamed(std::string_view text, PasteKeys &keys) {
    std::string compact;
    for (char c : text)
        if (c != ' ' && c != '\t')
            compact += c;
    for (PasteKeys candidate : AllKeys)
        if (sameIgnoringCase(compact, pasteKeysName(candidate))) {
            keys = candidate;
            return true;
        }
    return false;
}

bool names(const PasteKeyRule &rule, const platform::WindowClass &windowClass) {
    return sameIgnoringCase(rule.windowClass, windowClass.className) ||
           sameIgnoringCase(rule.windowClass, windowClass.instance);
}

} // namespace

const char *pasteKeysName(PasteKeys keys) {
    switch (keys) {
    case PasteKeys::CtrlV:
        return "Ctrl+V";
    case PasteKeys::CtrlShiftV:
        return "Ctrl+Shift+V";
    case PasteKeys::ShiftInsert:
        return "Shift+Insert";
    }
    return "Ctrl+V";
}

PasteKeyRules::PasteKeyRules(std::string_view userText) {
    while (!userText.empty()) {
        const size_t end = std::min(userText.find('\n'), userText.size());
        const std::string_view line = trimmed(userText.substr(0, end));
        userText.remove_prefix(std::min(end + 1, userText.size()));
        if (line.empty() || line.front() == '#')
            continue;
        // Keystroke names hold no '=': a class may.
        const size_t equals = line.rfind('=');
        PasteKeyRule rule{};
        if (equals != std::string_view::npos && keysNamed(line.substr(equals + 1), rule.keys)) {
            rule.windowClass = trimmed(line.substr(0, equals));
            if (!rule.windowClass.empty()) {
                m_user.push_back(std::move(rule));
                continue;
            }
        }
        m_malformed.emplace_back(line);
    }
}

PasteKeys PasteKeyRules::keysFor(const platform::WindowClass &windowClass) const {
    for (const auto *table : {&m_user, &builtIn()})
        for (const PasteKeyRule &rule : *table)
            if (names(rule, windowClass))
                return rule.keys;
    return PasteKeys::CtrlV;
}

const std::vector<PasteKeyRule> &PasteKeyRules::builtIn() {
    // The class part of WM_CLASS as each program sets it (GNOME Terminal's
    // instance is gnome-terminal-server, Terminology's "main", mlterm's
    // "xterm"); on Windows the class of the top-level window.
    static const std::vector<PasteKeyRule> table = {
        {"Gnome-terminal", PasteKeys::CtrlShiftV},
        {"kgx", PasteKeys::CtrlShiftV}, // GNOME Console
        {"yakuake", PasteKeys::CtrlShiftV},
        {"cool-retro-term", PasteKeys::CtrlShiftV},
        {"Zutty", PasteKeys::CtrlShiftV},
        {"konsole", PasteKeys::CtrlShiftV},
        {"Xfce4-terminal", PasteKeys::CtrlShiftV},
        {"Mate-terminal", PasteKeys::CtrlShiftV},
        {"Lxterminal", PasteKeys::CtrlShiftV},
        {"qterminal", PasteKeys::CtrlShiftV},
        {"Tilix", PasteKeys::CtrlShiftV},
        {"Terminator", PasteKeys::CtrlShiftV},
        {"Sakura", PasteKeys::CtrlShiftV},
        {"kitty", PasteKeys::CtrlShiftV},
        {"Alacritty", PasteKeys::CtrlShiftV},
        {"org.wezfurlong.wezterm", PasteKeys::CtrlShiftV}, // WezTerm, on X11 and Windows
        {"terminology", PasteKeys::CtrlShiftV},
        {"Guake", PasteKeys::CtrlShiftV},
        {"Tilda", PasteKeys::CtrlShiftV},
        {"deepin-terminal", PasteKeys::CtrlShiftV},
        {"st-256color", PasteKeys::CtrlShiftV}, // st
        // Shift+Insert: xterm and rxvt-unicode paste the primary selection
        // with it, mintty and PuTTY the clipboard.
        {"XTerm", PasteKeys::ShiftInsert},
        {"UXTerm", PasteKeys::ShiftInsert}, // xterm started as uxterm
        {"URxvt", PasteKeys::ShiftInsert},  // rxvt-unicode, urxvt, urxvtc
        {"Termit", PasteKeys::ShiftInsert}, // Ctrl+Shift+V types ^V there
        {"mlterm", PasteKeys::ShiftInsert},
        {"Pterm", PasteKeys::ShiftInsert}, // PuTTY's terminal on X11
        {"Eterm", PasteKeys::ShiftInsert},
        {"mintty", PasteKeys::ShiftInsert}, // Git Bash, Cygwin, MSYS2
        {"PuTTY", PasteKeys::ShiftInsert},
        // The Windows console and Windows Terminal take Ctrl+V.
        {"ConsoleWindowClass", PasteKeys::CtrlV},
        {"CASCADIA_HOSTING_WINDOW_CLASS", PasteKeys::CtrlV},
    };
    return table;
}
