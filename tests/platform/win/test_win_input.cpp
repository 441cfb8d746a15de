// The call-up hotkey and the global key state, driven by synthetic input.
#include "WinTest.h"

constexpr int CallUpId = 117;

WIN_TEST(hotkeyPressReachesCallbackWithTheWindowInFront) {
    wintest::FocusWindow front;
    REQUIRE(GetForegroundWindow() == front.hwnd);
    auto backend = wintest::backend();
    int presses = 0;
    platform::WindowId seenInFront = 0;
    auto registered = backend->registerHotkey(CallUpId, 'E', [&] {
        ++presses;
        seenInFront = backend->foregroundWindow();
    });
    CHECK(registered.ok, registered.error);

    wintest::pressCtrlPlus('E');
    CHECK(wintest::pumpUntil([&] { return presses == 1; }));
    CHECK(seenInFront == reinterpret_cast<std::uintptr_t>(front.hwnd));
    // One press, one call; the combination does not also reach the window.
    wintest::pumpUntil([] { return false; }, 200);
    CHECK(presses == 1 && front.keyDowns['E'] == 0);
    // Without Ctrl the key is an ordinary key.
    wintest::sendKey('E', false);
    wintest::sendKey('E', true);
    CHECK(wintest::pumpUntil([&] { return front.keyDowns['E'] == 1; }));
    CHECK(presses == 1);

    // After unregistering (twice is harmless) the key is ordinary again.
    backend->unregisterHotkey(CallUpId);
    backend->unregisterHotkey(CallUpId);
    wintest::pressCtrlPlus('E');
    CHECK(wintest::pumpUntil([&] { return front.keyDowns['E'] == 2; }) && presses == 1);

    // A handler may unregister its own hotkey while it runs.
    auto selfRemoving = [&] {
        ++presses;
        backend->unregisterHotkey(CallUpId);
    };
    CHECK(backend->registerHotkey(CallUpId, 'E', selfRemoving).ok);
    wintest::pressCtrlPlus('E');
    CHECK(wintest::pumpUntil([&] { return presses == 2; }));
    wintest::pressCtrlPlus('E');
    CHECK(wintest::pumpUntil([&] { return front.keyDowns['E'] == 3; }) && presses == 2);
}

WIN_TEST(takenCombinationIsReportedAndFreedByItsOwner) {
    wintest::FocusWindow front;
    auto owner = wintest::backend();
    auto second = wintest::backend();
    int ownerPresses = 0, secondPresses = 0;
    CHECK(owner->registerHotkey(CallUpId, VK_F11, [&] { ++ownerPresses; }).ok);
    auto taken = second->registerHotkey(CallUpId, VK_F11, [&] { ++secondPresses; });
    CHECK(!taken.ok && !taken.error.empty() && taken.error.back() != '\n', taken.error);

    // The failed registration left nothing behind: the owner still gets it.
    wintest::pressCtrlPlus(VK_F11);
    CHECK(wintest::pumpUntil([&] { return ownerPresses == 1; }) && secondPresses == 0);
    // Once the owner is gone (the program exited) the combination is free.
    owner.reset();
    auto retried = second->registerHotkey(CallUpId, VK_F11, [&] { ++secondPresses; });
    CHECK(retried.ok, retried.error);
    wintest::pressCtrlPlus(VK_F11);
    CHECK(wintest::pumpUntil([&] { return secondPresses == 1; }));
}

WIN_TEST(keyStateFollowsHeldKeys) {
    wintest::FocusWindow front;
    auto backend = wintest::backend();
    using namespace platform;
    CHECK(!backend->keyIsDown(vk::Control) && !backend->keyIsDown(vk::C));
    wintest::sendKey(VK_CONTROL, false);
    wintest::sendKey('C', false);
    CHECK(wintest::pumpUntil([&] { return backend->keyIsDown(vk::Control) && backend->keyIsDown(vk::C); }));
    CHECK(!backend->keyIsDown(vk::Shift) && !backend->keyIsDown(vk::Menu));
    wintest::sendKey('C', true);
    CHECK(wintest::pumpUntil([&] { return !backend->keyIsDown(vk::C); }) && backend->keyIsDown(vk::Control));
    wintest::sendKey(VK_CONTROL, true);
    CHECK(wintest::pumpUntil([&] { return !backend->keyIsDown(vk::Control); }));
    // Codes outside the virtual-key range are never "down".
    CHECK(!backend->keyIsDown(0) && !backend->keyIsDown(-1) && !backend->keyIsDown(4096));
}
