// The Win32 backend: hotkeys on a message-only window, the foreground window,
// the synthetic paste keystroke and the global key state.
#include "win/WinPlatform.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <psapi.h>

#include <algorithm>
#include <map>
#include <vector>

#ifndef MOD_NOREPEAT
#define MOD_NOREPEAT 0x4000
#endif

namespace platform {
namespace win {
namespace {

constexpr const wchar_t *HotkeyWindowClass = L"VemoHotkeyWindow";

HWND toHwnd(WindowId id) {
    return reinterpret_cast<HWND>(static_cast<std::uintptr_t>(id));
}
WindowId toId(HWND hwnd) {
    return static_cast<WindowId>(reinterpret_cast<std::uintptr_t>(hwnd));
}

INPUT keyInput(WORD virtualKey, bool up) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = virtualKey;
    input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(virtualKey, MAPVK_VK_TO_VSC) & 0xFF);
    input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    // Insert shares its scan code with the keypad's 0; without the flag it
    // would arrive as the keypad key, a 0 with NumLock on.
    if (virtualKey == VK_INSERT)
        input.ki.dwFlags |= KEYEVENTF_EXTENDEDKEY;
    return input;
}

bool isForeground(HWND target) {
    HWND front = GetForegroundWindow();
    return front && (front == target || GetAncestor(front, GA_ROOT) == target);
}

// Waits until the target is in front or the moment has passed. Messages sent
// to this thread are handled meanwhile: the switch may need our own windows to
// answer their deactivation.
bool waitForForeground(HWND target, ULONGLONG until) {
    for (;;) {
        MSG msg;
        PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        if (isForeground(target))
            return true;
        const ULONGLONG now = GetTickCount64();
        if (now >= until || !IsWindow(target))
            return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(std::min<ULONGLONG>(until - now, 10)),
                                  QS_SENDMESSAGE);
    }
}

class WinPlatform final : public Platform {
  public:
    explicit WinPlatform(std::unique_ptr<RunKeyWriter> runKeys) : m_runKeys(std::move(runKeys)) {}

    ~WinPlatform() override {
        if (m_window) {
            for (const auto &entry : m_hotkeys)
                UnregisterHotKey(m_window, entry.first);
            SetWindowLongPtrW(m_window, GWLP_USERDATA, 0);
            DestroyWindow(m_window);
        }
    }

    std::string name() const override { return "win32"; }
    bool available() const override { return true; }

    bool keyIsDown(int virtualKey) override {
        if (virtualKey <= 0 || virtualKey > 0xFE)
            return false;
        // GetAsyncKeyState reads the physical buttons; the program asks about
        // the logical ones, which swap for a left-handed mouse.
        if (GetSystemMetrics(SM_SWAPBUTTON)) {
            if (virtualKey == VK_LBUTTON)
                virtualKey = VK_RBUTTON;
            else if (virtualKey == VK_RBUTTON)
                virtualKey = VK_LBUTTON;
        }
        return (GetAsyncKeyState(virtualKey) & 0x8000) != 0;
    }

    void trimWorkingSet() override { EmptyWorkingSet(GetCurrentProcess()); }

    Result registerHotkey(int id, int virtualKey, std::function<void()> onPress) override {
        if (!ensureWindow())
            return {false, systemMessage(GetLastError())};
        // A second registration under the same id replaces the first.
        if (m_hotkeys.count(id)) {
            UnregisterHotKey(m_window, id);
            m_hotkeys.erase(id);
        }
        if (!RegisterHotKey(m_window, id, MOD_CONTROL | MOD_NOREPEAT, static_cast<UINT>(virtualKey)))
            return {false, systemMessage(GetLastError())};
        m_hotkeys[id] = std::move(onPress);
        return {true, {}};
    }

    void unregisterHotkey(int id) override {
        if (m_window && m_hotkeys.erase(id))
            UnregisterHotKey(m_window, id);
    }

    WindowId foregroundWindow() override { return toId(GetForegroundWindow()); }

    bool windowExists(WindowId window) override { return window != 0 && IsWindow(toHwnd(window)); }

    bool activateWindow(WindowId window, int timeoutMs) override {
        HWND target = toHwnd(window);
        if (!windowExists(window))
            return false;
        const ULONGLONG until = GetTickCount64() + static_cast<ULONGLONG>(std::max(timeoutMs, 0));
        if (IsIconic(target))
            ShowWindow(target, SW_RESTORE);
        if (isForeground(target))
            return true;
        // A share of the time for each try; the last one gets what is left.
        const auto share = [&] { return std::min(until, GetTickCount64() + std::max(timeoutMs / 4, 20)); };

        if (SetForegroundWindow(target) && waitForForeground(target, share()))
            return true;
        // Windows refuses the switch to a program that is not in front: join
        // the input of the thread in front for a moment, and its right to
        // change the foreground comes with it.
        HWND front = GetForegroundWindow();
        const DWORD frontThread = front ? GetWindowThreadProcessId(front, nullptr) : 0;
        const DWORD self = GetCurrentThreadId();
        const bool attached =
            frontThread && frontThread != self && AttachThreadInput(self, frontThread, TRUE);
        BringWindowToTop(target);
        SetForegroundWindow(target);
        if (attached)
            AttachThreadInput(self, frontThread, FALSE);
        if (waitForForeground(target, share()))
            return true;
        // Last resort: a key event of our own makes this process the one that
        // had the latest input, which lifts the lock.
        INPUT alt[2] = {keyInput(VK_MENU, false), keyInput(VK_MENU, true)};
        SendInput(2, alt, sizeof(INPUT));
        SetForegroundWindow(target);
        return waitForForeground(target, until);
    }

    WindowClass windowClass(WindowId window) override {
        wchar_t name[256];
        const int length = window != 0 ? GetClassNameW(toHwnd(window), name, 256) : 0;
        return {{},
                length > 0 ? narrow(std::wstring_view(name, static_cast<size_t>(length))) : std::string()};
    }

    Result sendPaste(PasteKeys keys) override {
        // The modifiers and the key go down in this order and up in the reverse one.
        std::vector<WORD> pressed;
        if (keys != PasteKeys::ShiftInsert)
            pressed.push_back(VK_CONTROL);
        if (keys != PasteKeys::CtrlV)
            pressed.push_back(VK_SHIFT);
        pressed.push_back(keys == PasteKeys::ShiftInsert ? WORD(VK_INSERT) : WORD('V'));
        std::vector<INPUT> inputs;
        for (WORD key : pressed)
            inputs.push_back(keyInput(key, false));
        for (auto key = pressed.rbegin(); key != pressed.rend(); ++key)
            inputs.push_back(keyInput(*key, true));

        const UINT sent = SendInput(UINT(inputs.size()), inputs.data(), sizeof(INPUT));
        if (sent != inputs.size()) {
            const DWORD error = GetLastError();
            // Never leave a key held down when only part of the keystroke got
            // out: the release at i belongs to the press at size-1-i.
            for (size_t i = std::max<size_t>(sent, pressed.size()); i < inputs.size(); ++i)
                if (inputs.size() - 1 - i < sent)
                    SendInput(1, &inputs[i], sizeof(INPUT));
            if (error)
                return {false, systemMessage(error)};
            return {false, sent ? "系统只接受了部分粘贴按键" : "系统未接受粘贴按键"};
        }
        return {true, {}};
    }

    Result sendLeftKeys(int count) override {
        if (count <= 0)
            return {true, {}};
        std::vector<INPUT> inputs;
        for (int i = 0; i < count; ++i) {
            inputs.push_back(keyInput(VK_LEFT, false));
            inputs.push_back(keyInput(VK_LEFT, true));
        }
        // The arrow keys share their scan codes with the keypad's: without the
        // flag Left would arrive as the keypad's 4 with NumLock on.
        for (INPUT &input : inputs)
            input.ki.dwFlags |= KEYEVENTF_EXTENDEDKEY;
        const UINT sent = SendInput(UINT(inputs.size()), inputs.data(), sizeof(INPUT));
        if (sent != inputs.size()) {
            // A press without its release would keep the key held.
            if (sent % 2 == 1)
                SendInput(1, &inputs[sent], sizeof(INPUT));
            const DWORD error = GetLastError();
            return {false, error ? systemMessage(error) : "系统未接受全部方向键"};
        }
        return {true, {}};
    }

    Result addBootStart(const std::string &programName, const std::string &programPath) override {
        return addRunEntry(*m_runKeys, programName, programPath);
    }
    Result removeBootStart(const std::string &programName) override {
        return removeRunEntry(*m_runKeys, programName);
    }
    Result makeShortcut(const std::string &displayName, const std::string &targetPath,
                        const std::string &iconPath) override {
        return createShortcuts(displayName, targetPath, iconPath);
    }

  private:
    static LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_HOTKEY) {
            auto *self = reinterpret_cast<WinPlatform *>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
            if (self)
                self->deliver(static_cast<int>(wParam));
            return 0;
        }
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }

    void deliver(int id) {
        auto found = m_hotkeys.find(id);
        if (found == m_hotkeys.end() || !found->second)
            return;
        // A copy: the handler may unregister or replace its own hotkey.
        auto onPress = found->second;
        try {
            onPress();
        } catch (...) {
            // Nothing may unwind through the system's window procedure.
        }
    }

    // The message-only window lives on the thread that registers the first
    // hotkey; that thread's message loop (Qt's) then delivers the presses.
    bool ensureWindow() {
        if (m_window)
            return true;
        HINSTANCE instance = GetModuleHandleW(nullptr);
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof(windowClass);
        windowClass.lpfnWndProc = &WinPlatform::windowProc;
        windowClass.hInstance = instance;
        windowClass.lpszClassName = HotkeyWindowClass;
        if (!RegisterClassExW(&windowClass) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
            return false;
        m_window = CreateWindowExW(0, HotkeyWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance,
                                   nullptr);
        if (!m_window)
            return false;
        SetWindowLongPtrW(m_window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        return true;
    }

    std::unique_ptr<RunKeyWriter> m_runKeys;
    HWND m_window = nullptr;
    std::map<int, std::function<void()>> m_hotkeys;
};

} // namespace

std::unique_ptr<Platform> createWin32(std::unique_ptr<RunKeyWriter> runKeys) {
    return std::make_unique<WinPlatform>(std::move(runKeys));
}

} // namespace win

std::unique_ptr<Platform> createWin32() {
    return win::createWin32(win::createRegistryRunKeyWriter());
}

} // namespace platform
