// A small test runner for the Win32 backend: Qt is not cross-built, so the
// tests stand on the standard library and Win32 alone.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <functional>
#include <string>

namespace wintest {

void addCase(const char *name, void (*body)());
bool check(bool ok, const char *expression, const char *file, int line, const std::string &note = {});

struct Registration {
    Registration(const char *name, void (*body)()) { addCase(name, body); }
};

// Runs this thread's message loop until the condition holds or the time is up.
bool pumpUntil(const std::function<bool()> &condition, int timeoutMs);
void pumpFor(int ms);

// A visible top-level window of the test, brought to the front.
class FocusWindow {
  public:
    explicit FocusWindow(const wchar_t *title);
    ~FocusWindow();
    HWND hwnd() const { return m_hwnd; }
    bool bringToFront();
    int keyDowns(WPARAM virtualKey) const;

  private:
    HWND m_hwnd = nullptr;
};

// Synthetic keyboard and mouse input, inside Wine's own input stream.
void sendKey(WORD virtualKey, bool up);
void pressCtrlPlus(WORD virtualKey);

// The folder of the running test executable, with a trailing backslash.
std::wstring ownFolder();

} // namespace wintest

#define WIN_TEST(name)                                                                                       \
    static void name();                                                                                      \
    static wintest::Registration name##_registration(#name, &name);                                          \
    static void name()

#define CHECK(condition) wintest::check(static_cast<bool>(condition), #condition, __FILE__, __LINE__)
#define CHECK_NOTE(condition, note)                                                                          \
    wintest::check(static_cast<bool>(condition), #condition, __FILE__, __LINE__, note)
#define REQUIRE(condition)                                                                                   \
    do {                                                                                                     \
        if (!CHECK(condition))                                                                               \
            return;                                                                                          \
    } while (false)
