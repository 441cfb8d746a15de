// A scriptable platform for tests: keys are held by setting them, windows
// exist by listing them, and every global action is logged in order.
#pragma once

#include "platform.h"

#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

class FakePlatform final : public platform::Platform {
  public:
    std::string name() const override { return "fake"; }
    bool available() const override { return true; }

    bool keyIsDown(int virtualKey) override { return held.count(virtualKey) > 0; }
    void trimWorkingSet() override { log.push_back("trim"); }

    platform::Result registerHotkey(int id, int virtualKey, std::function<void()> onPress) override;
    void unregisterHotkey(int id) override;
    // Deliver a press of the registered hotkey, as the event loop would.
    bool pressHotkey(int id);
    std::uint64_t lastHotkeyTime() const override { return hotkeyTime; }

    platform::WindowId foregroundWindow() override { return foreground; }
    bool windowExists(platform::WindowId window) override { return windows.count(window) > 0; }
    bool activateWindow(platform::WindowId window, int timeoutMs) override;
    platform::WindowClass windowClass(platform::WindowId window) override { return classes[window]; }
    platform::Result sendPaste(platform::PasteKeys keys) override;
    platform::Result sendLeftKeys(int count) override {
        log.push_back("left:" + std::to_string(count));
        return {true, {}};
    }

    platform::Result addBootStart(const std::string &programName, const std::string &programPath) override;
    platform::Result removeBootStart(const std::string &programName) override;
    platform::Result makeShortcut(const std::string &displayName, const std::string &targetPath,
                                  const std::string &iconPath) override;

    std::set<int> held;                                           // virtual-key codes held down now
    platform::WindowId foreground = 0;                            // the active window
    std::set<platform::WindowId> windows;                         // windows that exist
    std::map<platform::WindowId, platform::WindowClass> classes;  // their classes
    bool activationArrives = true;                                // whether activateWindow succeeds
    std::set<int> takenKeys;                                      // hotkeys another program holds
    std::string entryFailure;                                     // when set, the system entries fail with it
    std::map<int, std::pair<int, std::function<void()>>> hotkeys; // id -> key, action
    std::vector<std::string> log;  // "activate:5", "paste:Ctrl+V", "hotkey+:117:69", ...
    std::function<void()> onPaste; // runs when the paste keystroke is sent
    std::uint64_t hotkeyTime = 0;  // the time of the hotkey press delivered last
};

// Installs a FakePlatform for the lifetime of the guard.
class FakePlatformGuard {
  public:
    FakePlatformGuard();
    ~FakePlatformGuard();
    FakePlatform &operator*() { return *m_fake; }
    FakePlatform *operator->() { return m_fake; }

  private:
    FakePlatform *m_fake;
    std::unique_ptr<platform::Platform> m_previous;
};
