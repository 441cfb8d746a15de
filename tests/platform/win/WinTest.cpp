#include "WinTest.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <vector>

namespace wintest {
namespace {

struct Case {
    const char *name;
    void (*body)();
};

std::vector<Case> &cases() {
    static std::vector<Case> all;
    return all;
}

int g_failedChecks = 0;

std::map<HWND, std::map<WPARAM, int>> &keyDownLog() {
    static std::map<HWND, std::map<WPARAM, int>> log;
    return log;
}

LRESULT CALLBACK focusWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_KEYDOWN)
        ++keyDownLog()[hwnd][wParam];
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

} // namespace

void addCase(const char *name, void (*body)()) {
    cases().push_back({name, body});
}

bool check(bool ok, const char *expression, const char *file, int line, const std::string &note) {
    if (!ok) {
        ++g_failedChecks;
        std::printf("  FAIL %s:%d: %s%s%s\n", file, line, expression, note.empty() ? "" : " -- ",
                    note.c_str());
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
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(std::min<ULONGLONG>(until - now, 10)),
                                  QS_ALLINPUT);
    }
}

void pumpFor(int ms) {
    pumpUntil([] { return false; }, ms);
}

FocusWindow::FocusWindow(const wchar_t *title) {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = focusWindowProc;
    windowClass.hInstance = instance;
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = L"VemoTestFocusWindow";
    RegisterClassExW(&windowClass);
    m_hwnd = CreateWindowExW(0, L"VemoTestFocusWindow", title, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 50, 50, 300,
                             200, nullptr, nullptr, instance, nullptr);
    bringToFront();
}

FocusWindow::~FocusWindow() {
    if (m_hwnd)
        DestroyWindow(m_hwnd);
    keyDownLog().erase(m_hwnd);
}

bool FocusWindow::bringToFront() {
    SetForegroundWindow(m_hwnd);
    SetFocus(m_hwnd);
    return pumpUntil([this] { return GetForegroundWindow() == m_hwnd; }, 3000);
}

int FocusWindow::keyDowns(WPARAM virtualKey) const {
    auto &log = keyDownLog();
    auto window = log.find(m_hwnd);
    if (window == log.end())
        return 0;
    auto key = window->second.find(virtualKey);
    return key == window->second.end() ? 0 : key->second;
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
    sendKey(VK_CONTROL, false);
    sendKey(virtualKey, false);
    sendKey(virtualKey, true);
    sendKey(VK_CONTROL, true);
}

std::wstring ownFolder() {
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path, length);
    return folder.substr(0, folder.find_last_of(L'\\') + 1);
}

} // namespace wintest

int main() {
    int passed = 0;
    int failed = 0;
    for (const auto &testCase : wintest::cases()) {
        const int before = wintest::g_failedChecks;
        std::printf("RUN  %s\n", testCase.name);
        std::fflush(stdout);
        testCase.body();
        const bool ok = wintest::g_failedChecks == before;
        std::printf("%s %s\n", ok ? "PASS" : "FAIL", testCase.name);
        ++(ok ? passed : failed);
    }
    std::printf("%d passed, %d failed\n", passed, failed);
    return failed == 0 ? 0 : 1;
}
