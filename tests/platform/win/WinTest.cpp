#include "WinTest.h"

#include <algorithm>
#include <cstdio>
#include <vector>

namespace wintest {
namespace {

// Filled while the other files' statics are made: made on first use.
std::vector<std::pair<const char *, void (*)()>> &cases() {
    static std::vector<std::pair<const char *, void (*)()>> all;
    return all;
}
int g_failedChecks = 0;

std::string strokeName(WPARAM key, LPARAM flags) {
    std::string name;
    if (GetKeyState(VK_CONTROL) & 0x8000)
        name += "Ctrl+";
    if (GetKeyState(VK_SHIFT) & 0x8000)
        name += "Shift+";
    if (GetKeyState(VK_MENU) & 0x8000)
        name += "Alt+";
    const bool extended = flags & (1 << 24);
    if (key == VK_INSERT)
        return name + (extended ? "Insert" : "keypad Insert");
    return name + (key >= 'A' && key <= 'Z' ? std::string(1, char(key)) : "key " + std::to_string(key));
}

LRESULT CALLBACK focusWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto *window = reinterpret_cast<FocusWindow *>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (message == WM_KEYDOWN && window) {
        ++window->keyDowns[wParam];
        if (wParam != VK_CONTROL && wParam != VK_SHIFT && wParam != VK_MENU)
            window->strokes.push_back(strokeName(wParam, lParam));
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

} // namespace

int addCase(const char *name, void (*body)()) {
    cases().emplace_back(name, body);
    return 0;
}

bool check(bool ok, const char *expression, int line, const std::string &note) {
    if (!ok) {
        ++g_failedChecks;
        std::printf("  FAIL line %d: %s%s%s\n", line, expression, note.empty() ? "" : " -- ", note.c_str());
        std::fflush(stdout);
    }
    return ok;
}

bool pumpUntil(const std::function<bool()> &condition, int timeoutMs) {
    const ULONGLONG until = GetTickCount64() + static_cast<ULONGLONG>(timeoutMs);
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (condition())
            return true;
        const ULONGLONG now = GetTickCount64();
        if (now >= until)
            return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, DWORD(std::min<ULONGLONG>(until - now, 10)),
                                  QS_ALLINPUT);
    }
}

FocusWindow::FocusWindow(const wchar_t *className) {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = focusWindowProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = className;
    RegisterClassW(&windowClass);
    hwnd = CreateWindowExW(0, windowClass.lpszClassName, L"vemo test", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 50,
                           50, 300, 200, nullptr, nullptr, windowClass.hInstance, nullptr);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    bringToFront();
}

bool FocusWindow::bringToFront() {
    SetForegroundWindow(hwnd);
    SetFocus(hwnd);
    return pumpUntil([this] { return GetForegroundWindow() == hwnd; });
}

void sendKey(WORD virtualKey, bool up) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = virtualKey;
    input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(virtualKey, MAPVK_VK_TO_VSC));
    input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    SendInput(1, &input, sizeof(INPUT));
}

void pressCtrlPlus(WORD virtualKey) {
    for (auto [key, up] : {std::pair{WORD(VK_CONTROL), false},
                           {virtualKey, false},
                           {virtualKey, true},
                           {WORD(VK_CONTROL), true}})
        sendKey(key, up);
}

} // namespace wintest

int main() {
    int failed = 0;
    for (const auto &[name, body] : wintest::cases()) {
        const int before = wintest::g_failedChecks;
        std::printf("RUN  %s\n", name);
        std::fflush(stdout);
        body();
        const bool ok = wintest::g_failedChecks == before;
        std::printf("%s %s\n", ok ? "PASS" : "FAIL", name);
        failed += !ok;
    }
    std::printf("%d passed, %d failed\n", int(wintest::cases().size()) - failed, failed);
    return failed == 0 ? 0 : 1;
}
