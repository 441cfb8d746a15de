// The whole way of a text into another program: the hotkey pressed there
// records it as the target, the text goes on the clipboard, the target comes
// back to the front and receives the paste keystroke.
#include "WinTest.h"

#include "platform.h"
#include "win/WinPlatform.h"

#include <string>

namespace {

// A second process with an edit control, closed again when the test ends.
class PasteTarget {
  public:
    explicit PasteTarget(const std::wstring &title) {
        std::wstring command = L"\"" + wintest::ownFolder() + L"win_paste_target.exe\" \"" + title + L"\"";
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                            &m_process)) {
            wintest::check(false, "paste target started", __FILE__, __LINE__, std::to_string(GetLastError()));
            return;
        }
        CloseHandle(m_process.hThread);
        WaitForInputIdle(m_process.hProcess, 30000);
        wintest::pumpUntil(
            [&] {
                // The window is listed a moment before its edit control exists.
                m_window = FindWindowW(L"VemoPasteTarget", title.c_str());
                m_edit = m_window ? FindWindowExW(m_window, nullptr, L"Edit", nullptr) : nullptr;
                return m_edit != nullptr;
            },
            30000);
        DWORD code = 0;
        GetExitCodeProcess(m_process.hProcess, &code);
        wintest::check(m_window && m_edit, "paste target window found", __FILE__, __LINE__,
                       code == STILL_ACTIVE ? "process running"
                                            : "process ended with " + std::to_string(code));
    }
    ~PasteTarget() { close(); }

    HWND window() const { return m_window; }
    bool ready() const { return m_window && m_edit; }

    std::wstring text() const {
        wchar_t buffer[512] = {};
        DWORD_PTR copied = 0;
        SendMessageTimeoutW(m_edit, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(buffer), SMTO_ABORTIFHUNG, 2000,
                            &copied);
        return std::wstring(buffer, copied);
    }

    bool close() {
        if (!m_process.hProcess)
            return true;
        if (m_window)
            PostMessageW(m_window, WM_CLOSE, 0, 0);
        const bool ended = WaitForSingleObject(m_process.hProcess, 10000) == WAIT_OBJECT_0;
        if (!ended)
            TerminateProcess(m_process.hProcess, 1);
        CloseHandle(m_process.hProcess);
        m_process.hProcess = nullptr;
        return ended;
    }

  private:
    PROCESS_INFORMATION m_process{};
    HWND m_window = nullptr;
    HWND m_edit = nullptr;
};

bool putOnClipboard(const std::wstring &text, HWND owner) {
    if (!OpenClipboard(owner))
        return false;
    EmptyClipboard();
    const size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
    memcpy(GlobalLock(memory), text.c_str(), bytes);
    GlobalUnlock(memory);
    const bool ok = SetClipboardData(CF_UNICODETEXT, memory) != nullptr;
    CloseClipboard();
    return ok;
}

platform::WindowId idOf(HWND hwnd) {
    return reinterpret_cast<std::uintptr_t>(hwnd);
}

} // namespace

WIN_TEST(textArrivesInTheProgramThatWasInFrontAtTheHotkey) {
    wintest::FocusWindow ours(L"vemo quick list stand-in");
    PasteTarget target(L"vemo paste target 1");
    REQUIRE(target.ready());
    auto backend = platform::win::createWin32(platform::win::createRegistryRunKeyWriter());
    platform::WindowId recorded = 0;
    REQUIRE(backend->registerHotkey(117, 'E', [&] { recorded = backend->foregroundWindow(); }).ok);

    // The user works in the other program and presses the hotkey there.
    REQUIRE(backend->activateWindow(idOf(target.window()), 3000));
    CHECK(backend->foregroundWindow() == idOf(target.window()));
    wintest::pressCtrlPlus('E');
    REQUIRE(wintest::pumpUntil([&] { return recorded != 0; }, 3000));
    CHECK(recorded == idOf(target.window()));
    CHECK(target.text().empty());

    // The quick list takes the front; an entry is chosen.
    REQUIRE(ours.bringToFront());
    const std::wstring text = L"粘贴测试 Vemo文本收集器 – 第1条";
    REQUIRE(putOnClipboard(text, ours.hwnd()));
    CHECK(backend->windowExists(recorded));
    CHECK(backend->activateWindow(recorded, 3000));
    const auto pasted = backend->sendPaste();
    CHECK_NOTE(pasted.ok, pasted.error);
    CHECK(wintest::pumpUntil([&] { return target.text() == text; }, 5000));
    // The keystroke let go of Ctrl again.
    CHECK(!backend->keyIsDown(platform::vk::Control));
    CHECK(!backend->keyIsDown(platform::vk::V));

    // The target was minimized meanwhile: it is restored, and the second
    // paste lands after the first.
    REQUIRE(ours.bringToFront());
    ShowWindow(target.window(), SW_MINIMIZE);
    REQUIRE(wintest::pumpUntil([&] { return IsIconic(target.window()) != FALSE; }, 3000));
    CHECK(backend->activateWindow(recorded, 3000));
    CHECK(!IsIconic(target.window()));
    CHECK(backend->sendPaste().ok);
    CHECK(wintest::pumpUntil([&] { return target.text() == text + text; }, 5000));
}

WIN_TEST(closedTargetIsNoLongerAWindow) {
    wintest::FocusWindow ours(L"vemo closed target");
    auto backend = platform::win::createWin32(platform::win::createRegistryRunKeyWriter());
    PasteTarget target(L"vemo paste target 2");
    REQUIRE(target.ready());
    const platform::WindowId id = idOf(target.window());
    CHECK(backend->windowExists(id));
    CHECK(target.close());
    CHECK(!backend->windowExists(id));
    CHECK(!backend->activateWindow(id, 500));
    CHECK(backend->foregroundWindow() != id);
    CHECK(!backend->windowExists(0));
    CHECK(!backend->activateWindow(0, 500));
}
