// The whole way of a text into another program: the hotkey pressed there
// records it as the target, the text goes on the clipboard, the target comes
// back to the front and receives the paste keystroke its class calls for.
#include "PasteKeyRules.h"
#include "WinTest.h"

namespace {

// The other program (win_paste_target beside this one), closed again when the test ends.
struct PasteTarget {
    PasteTarget() {
        wchar_t path[MAX_PATH];
        std::wstring command(path, GetModuleFileNameW(nullptr, path, MAX_PATH));
        command = L"\"" + command.substr(0, command.find_last_of(L'\\')) + L"\\win_paste_target.exe\"";
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        if (CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                           &process))
            wintest::pumpUntil([&] { return (window = FindWindowW(L"Edit", nullptr)) != nullptr; }, 30000);
    }
    ~PasteTarget() { close(); }
    std::wstring text() const {
        wchar_t buffer[512] = {};
        DWORD_PTR copied = 0;
        SendMessageTimeoutW(window, WM_GETTEXT, 512, LPARAM(buffer), SMTO_ABORTIFHUNG, 2000, &copied);
        return std::wstring(buffer, copied);
    }
    bool close() {
        if (!process.hProcess)
            return true;
        PostMessageW(window, WM_CLOSE, 0, 0);
        const bool ended = WaitForSingleObject(process.hProcess, 10000) == WAIT_OBJECT_0;
        if (!ended)
            TerminateProcess(process.hProcess, 1);
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
        process.hProcess = nullptr;
        return ended;
    }
    PROCESS_INFORMATION process{};
    HWND window = nullptr;
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

} // namespace

WIN_TEST(textArrivesInTheProgramThatWasInFrontAtTheHotkey) {
    wintest::FocusWindow ours;
    PasteTarget target;
    REQUIRE(target.window);
    const platform::WindowId targetId = reinterpret_cast<std::uintptr_t>(target.window);
    auto backend = wintest::backend();
    platform::WindowId recorded = 0;
    REQUIRE(backend->registerHotkey(117, 'E', [&] { recorded = backend->foregroundWindow(); }).ok);

    // The user works in the other program and presses the hotkey there.
    REQUIRE(backend->activateWindow(targetId, 3000));
    wintest::pressCtrlPlus('E');
    REQUIRE(wintest::pumpUntil([&] { return recorded != 0; }));
    CHECK(recorded == targetId && target.text().empty());

    // The quick list takes the front; an entry is chosen.
    REQUIRE(ours.bringToFront());
    const std::wstring text = L"粘贴测试 Vemo文本收集器 – 第1条";
    REQUIRE(putOnClipboard(text, ours.hwnd));
    CHECK(backend->windowExists(recorded) && backend->activateWindow(recorded, 3000));
    const auto pasted = backend->sendPaste(platform::PasteKeys::CtrlV);
    CHECK(pasted.ok, pasted.error);
    CHECK(wintest::pumpUntil([&] { return target.text() == text; }, 5000));
    // The keystroke let go of Ctrl again.
    CHECK(!backend->keyIsDown(platform::vk::Control) && !backend->keyIsDown(platform::vk::V));

    // The target was minimized meanwhile: it is restored, and the second
    // paste lands after the first.
    REQUIRE(ours.bringToFront());
    ShowWindow(target.window, SW_MINIMIZE);
    REQUIRE(wintest::pumpUntil([&] { return IsIconic(target.window) != FALSE; }));
    CHECK(backend->activateWindow(recorded, 3000) && !IsIconic(target.window));
    CHECK(backend->sendPaste(platform::PasteKeys::CtrlV).ok);
    CHECK(wintest::pumpUntil([&] { return target.text() == text + text; }, 5000));

    // Once the program has closed, its window is gone.
    CHECK(target.close());
    CHECK(!backend->windowExists(recorded) && !backend->activateWindow(recorded, 500));
    CHECK(backend->foregroundWindow() != recorded);
    CHECK(!backend->windowExists(0) && !backend->activateWindow(0, 500));
}

// mintty (Git Bash, Cygwin, MSYS2) takes Shift+Insert; a window of another
// class Ctrl+V. Both keystrokes let go of every key again.
WIN_TEST(keystrokeFollowsTheTargetsClass) {
    auto backend = wintest::backend();
    const PasteKeyRules rules;
    for (const auto &[className, stroke] :
         {std::pair{L"mintty", "Shift+Insert"}, {L"VemoOrdinary", "Ctrl+V"}}) {
        wintest::FocusWindow target(className);
        const platform::WindowId id = reinterpret_cast<std::uintptr_t>(target.hwnd);
        const platform::WindowClass reported = backend->windowClass(id);
        CHECK(reported.className == platform::win::narrow(className) && reported.instance.empty(),
              reported.className);
        const platform::PasteKeys keys = rules.keysFor(reported);
        CHECK(std::string(pasteKeysName(keys)) == stroke, pasteKeysName(keys));
        REQUIRE(backend->activateWindow(id, 3000));
        const auto sent = backend->sendPaste(keys);
        CHECK(sent.ok, sent.error);
        CHECK(wintest::pumpUntil([&] { return !target.strokes.empty(); }, 3000));
        CHECK(target.strokes == std::vector<std::string>{stroke},
              target.strokes.empty() ? "" : target.strokes[0]);
        for (int key : {platform::vk::Control, platform::vk::Shift, int(VK_INSERT), platform::vk::V})
            CHECK(!backend->keyIsDown(key), std::to_string(key));
    }
    CHECK(backend->windowClass(0).className.empty());
}
