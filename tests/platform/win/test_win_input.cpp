// The call-up hotkey and the global key state, driven by synthetic input.
#include "WinTest.h"

#include <cstdio>

#include "platform.h"
#include "win/WinPlatform.h"

using platform::win::createRegistryRunKeyWriter;
using platform::win::createWin32;

namespace {

constexpr int CallUpId = 117;

std::unique_ptr<platform::Platform> makeBackend() {
    return createWin32(createRegistryRunKeyWriter());
}

} // namespace

WIN_TEST(hotkeyPressReachesCallbackWithTheWindowInFront) {
    wintest::FocusWindow front(L"vemo hotkey front");
    REQUIRE(GetForegroundWindow() == front.hwnd());
    auto backend = makeBackend();
    int presses = 0;
    platform::WindowId seenInFront = 0;
    auto registered = backend->registerHotkey(CallUpId, 'E', [&] {
        ++presses;
        seenInFront = backend->foregroundWindow();
    });
    CHECK_NOTE(registered.ok, registered.error);

    wintest::pressCtrlPlus('E');
    CHECK(wintest::pumpUntil([&] { return presses == 1; }, 3000));
    CHECK(seenInFront == reinterpret_cast<std::uintptr_t>(front.hwnd()));
    // One press, one call; the combination does not also reach the window.
    wintest::pumpFor(200);
    CHECK(presses == 1);
    CHECK(front.keyDowns('E') == 0);

    wintest::pressCtrlPlus('E');
    CHECK(wintest::pumpUntil([&] { return presses == 2; }, 3000));
    // Without Ctrl the key is an ordinary key.
    wintest::sendKey('E', false);
    wintest::sendKey('E', true);
    CHECK(wintest::pumpUntil([&] { return front.keyDowns('E') == 1; }, 3000));
    CHECK(presses == 2);
}

WIN_TEST(takenCombinationIsReportedAndFreedByItsOwner) {
    wintest::FocusWindow front(L"vemo hotkey taken");
    auto owner = makeBackend();
    auto second = makeBackend();
    int ownerPresses = 0;
    int secondPresses = 0;
    CHECK(owner->registerHotkey(CallUpId, VK_F11, [&] { ++ownerPresses; }).ok);

    auto taken = second->registerHotkey(CallUpId, VK_F11, [&] { ++secondPresses; });
    CHECK(!taken.ok);
    CHECK_NOTE(!taken.error.empty() && taken.error.back() != '\n', taken.error);
    std::printf("  taken combination reported as: %s\n", taken.error.c_str());

    // The failed registration left nothing behind: the owner still gets it.
    wintest::pressCtrlPlus(VK_F11);
    CHECK(wintest::pumpUntil([&] { return ownerPresses == 1; }, 3000));
    CHECK(secondPresses == 0);

    // Once the owner is gone (the program exited) the combination is free.
    owner.reset();
    auto retried = second->registerHotkey(CallUpId, VK_F11, [&] { ++secondPresses; });
    CHECK_NOTE(retried.ok, retried.error);
    wintest::pressCtrlPlus(VK_F11);
    CHECK(wintest::pumpUntil([&] { return secondPresses == 1; }, 3000));
}

WIN_TEST(reregisteringReplacesAndUnregisteringSilences) {
    wintest::FocusWindow front(L"vemo hotkey replace");
    auto backend = makeBackend();
    int first = 0;
    int replacement = 0;
    CHECK(backend->registerHotkey(CallUpId, 'E', [&] { ++first; }).ok);
    // The same id again is not "taken": it replaces the earlier handler.
    auto again = backend->registerHotkey(CallUpId, 'E', [&] { ++replacement; });
    CHECK_NOTE(again.ok, again.error);
    wintest::pressCtrlPlus('E');
    CHECK(wintest::pumpUntil([&] { return replacement == 1; }, 3000));
    CHECK(first == 0);

    backend->unregisterHotkey(CallUpId);
    backend->unregisterHotkey(CallUpId); // twice is harmless
    wintest::pressCtrlPlus('E');
    CHECK(wintest::pumpUntil([&] { return front.keyDowns('E') == 1; }, 3000));
    CHECK(replacement == 1);

    // A handler may unregister its own hotkey while it runs.
    int selfRemoving = 0;
    CHECK(backend
              ->registerHotkey(CallUpId, 'E',
                               [&] {
                                   ++selfRemoving;
                                   backend->unregisterHotkey(CallUpId);
                               })
              .ok);
    wintest::pressCtrlPlus('E');
    CHECK(wintest::pumpUntil([&] { return selfRemoving == 1; }, 3000));
    wintest::pressCtrlPlus('E');
    CHECK(wintest::pumpUntil([&] { return front.keyDowns('E') == 2; }, 3000));
    CHECK(selfRemoving == 1);
}

WIN_TEST(keyStateFollowsHeldKeysAndButton) {
    wintest::FocusWindow front(L"vemo key state");
    auto backend = makeBackend();
    CHECK(!backend->keyIsDown(platform::vk::Control));
    CHECK(!backend->keyIsDown(platform::vk::C));

    wintest::sendKey(VK_CONTROL, false);
    wintest::sendKey('C', false);
    CHECK(wintest::pumpUntil(
        [&] { return backend->keyIsDown(platform::vk::Control) && backend->keyIsDown(platform::vk::C); },
        3000));
    CHECK(!backend->keyIsDown(platform::vk::Shift));
    CHECK(!backend->keyIsDown(platform::vk::Menu));

    wintest::sendKey('C', true);
    CHECK(wintest::pumpUntil([&] { return !backend->keyIsDown(platform::vk::C); }, 3000));
    CHECK(backend->keyIsDown(platform::vk::Control));
    wintest::sendKey(VK_CONTROL, true);
    CHECK(wintest::pumpUntil([&] { return !backend->keyIsDown(platform::vk::Control); }, 3000));

    // The left button, pressed over the test's own window.
    RECT area;
    GetWindowRect(front.hwnd(), &area);
    SetCursorPos((area.left + area.right) / 2, (area.top + area.bottom) / 2);
    INPUT button{};
    button.type = INPUT_MOUSE;
    button.mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    SendInput(1, &button, sizeof(INPUT));
    CHECK(wintest::pumpUntil([&] { return backend->keyIsDown(platform::vk::LeftButton); }, 3000));
    button.mi.dwFlags = MOUSEEVENTF_LEFTUP;
    SendInput(1, &button, sizeof(INPUT));
    CHECK(wintest::pumpUntil([&] { return !backend->keyIsDown(platform::vk::LeftButton); }, 3000));

    // Codes outside the virtual-key range are never "down".
    CHECK(!backend->keyIsDown(0));
    CHECK(!backend->keyIsDown(-1));
    CHECK(!backend->keyIsDown(4096));
}
