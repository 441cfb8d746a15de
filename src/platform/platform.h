// The operating-system layer: only what Qt cannot do. Standard C++ only, so
// every backend builds and is tested without Qt.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace platform {

// Opaque id of a top-level window of any program; 0 means none.
using WindowId = std::uint64_t;

// Windows virtual-key codes, the one key naming used across the program.
namespace vk {
constexpr int LeftButton = 1;
constexpr int RightButton = 2;
constexpr int MiddleButton = 4;
constexpr int Shift = 16;
constexpr int Control = 17;
constexpr int Menu = 18; // Alt
constexpr int C = 67;
constexpr int V = 86;
constexpr int E = 69;
constexpr int F1 = 112;
constexpr int F12 = 123;
} // namespace vk

// The keystrokes that paste in other programs: Ctrl+V almost everywhere,
// Ctrl+Shift+V in most terminals, Shift+Insert in xterm, rxvt, mintty, PuTTY.
enum class PasteKeys { CtrlV, CtrlShiftV, ShiftInsert };

// What a window says it is: on X11 the two parts of WM_CLASS, on Windows the
// class name (in className; instance stays empty). Empty when unknown.
struct WindowClass {
    std::string instance;
    std::string className;
};

struct Result {
    bool ok = false;
    std::string error; // the system's own description when !ok
};

class Platform {
  public:
    virtual ~Platform() = default;

    // "x11", "win32", "null" or a test's fake.
    virtual std::string name() const = 0;
    // False for the null backend: every call below then answers "unsupported".
    virtual bool available() const = 0;

    // A backend with a display connection of its own exposes its descriptor;
    // the caller watches it and calls dispatchEvents() when it is readable.
    virtual int eventFd() const { return -1; }
    virtual void dispatchEvents() {}

    // Whether a key or mouse button (virtual-key code) is held down now,
    // globally, whichever program has the focus.
    virtual bool keyIsDown(int virtualKey) = 0;

    // Give unused memory of the own process back to the system.
    virtual void trimWorkingSet() = 0;

    // Global Ctrl+key hotkey. onPress runs on the thread that dispatches
    // events (the user-interface thread). A combination held by another
    // program gives !ok with the reason; nothing stays registered then.
    virtual Result registerHotkey(int id, int virtualKey, std::function<void()> onPress) = 0;
    virtual void unregisterHotkey(int id) = 0;

    // The window in front now (the active window), 0 when unknown.
    virtual WindowId foregroundWindow() = 0;
    // Whether the id still names a window.
    virtual bool windowExists(WindowId window) = 0;
    // Bring the window to the front and wait, at most timeoutMs, until it is
    // the active window. True when it arrived there.
    virtual bool activateWindow(WindowId window, int timeoutMs) = 0;
    // The window's class, empty parts when the window is gone or has none.
    virtual WindowClass windowClass(WindowId window) = 0;
    // Send a paste keystroke to the window with the keyboard focus: its
    // modifiers down, the key down and up, the modifiers up again.
    virtual Result sendPaste(PasteKeys keys) = 0;
    // Press and release the Left arrow key count times in the window with the
    // keyboard focus: the caret goes back over what was just pasted.
    virtual Result sendLeftKeys(int count) {
        (void)count;
        return {false, "unsupported"};
    }

    // Start with the system: programName names the entry, programPath is the
    // executable to start.
    virtual Result addBootStart(const std::string &programName, const std::string &programPath) = 0;
    virtual Result removeBootStart(const std::string &programName) = 0;
    // Desktop and program-menu shortcuts named displayName (without the
    // platform's extension) that start targetPath with the icon iconPath.
    virtual Result makeShortcut(const std::string &displayName, const std::string &targetPath,
                                const std::string &iconPath) = 0;
};

// The backend in use. The first call chooses one for the running session.
Platform &current();
// Replace the backend (tests install a fake); returns the previous one.
std::unique_ptr<Platform> install(std::unique_ptr<Platform> backend);
// The backend that suits this session: X11 when a display answers, Win32 on
// Windows, otherwise the null backend.
std::unique_ptr<Platform> createDefault();
std::unique_ptr<Platform> createNull();

// Termination requests from the session (SIGTERM, SIGHUP, SIGINT where the
// session ends programs by signals): a descriptor that becomes readable when
// one arrived, or -1 where the session asks otherwise. Installs the handlers
// on the first call.
int terminationFd();

} // namespace platform
