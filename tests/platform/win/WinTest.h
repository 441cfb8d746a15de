// A small test runner for the Win32 backend, and what its tests share: Qt is
// not cross-built, so they stand on the standard library and Win32 alone.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include "platform.h"
#include "win/WinPlatform.h"

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace wintest {

int addCase(const char *name, void (*body)());
bool check(bool ok, const char *expression, int line, const std::string &note = {});

// Runs this thread's message loop until the condition holds or the time is up.
bool pumpUntil(const std::function<bool()> &condition, int timeoutMs = 3000);

// The backend, with the real registry behind its start-up entries.
inline std::unique_ptr<platform::Platform> backend() {
    return platform::win::createWin32(platform::win::createRegistryRunKeyWriter());
}

// A visible top-level window of the test, of the class given, brought to
// the front; it counts the key presses that reach it and names each press of
// another key than a modifier with the modifiers then held: "Ctrl+Shift+V",
// "Shift+Insert" (the key beside the keypad, not the keypad's).
struct FocusWindow {
    explicit FocusWindow(const wchar_t *className = L"VemoTestFocusWindow");
    ~FocusWindow() { DestroyWindow(hwnd); }
    bool bringToFront();
    HWND hwnd = nullptr;
    std::map<WPARAM, int> keyDowns;
    std::vector<std::string> strokes;
};

// Synthetic keyboard input, inside the system's own input stream.
void sendKey(WORD virtualKey, bool up);
void pressCtrlPlus(WORD virtualKey);

} // namespace wintest

#define WIN_TEST(name)                                                                                       \
    static void name();                                                                                      \
    static const int name##_registered = wintest::addCase(#name, &name);                                     \
    static void name()

// CHECK(condition) or CHECK(condition, note): a failure is reported and the case goes on.
#define CHECK(condition, ...)                                                                                \
    wintest::check(static_cast<bool>(condition), #condition, __LINE__ __VA_OPT__(, ) __VA_ARGS__)
#define REQUIRE(condition)                                                                                   \
    do {                                                                                                     \
        if (!CHECK(condition))                                                                               \
            return;                                                                                          \
    } while (false)
