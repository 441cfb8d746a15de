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
    // The time of the last hotkey press on the clock of the toolkit's key
    // events (the X server's), so that keys pressed before it can be told
    // from those after; 0 where it is not known.
    virtual std::uint64_t lastHotkeyTime() const { return 0; }
    // Keeps every key typed from now on for the program, in order, until
    // releaseKeyboard hands them to the window then in front: for a window
    // that a hotkey brings up, so that no key typed after the hotkey lands in
    // the window before it. False where the keys cannot be kept.
    virtual bool holdKeyboard() { return false; }
    virtual void releaseKeyboard() {}

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

// The single-instance lock: a lock file that the operating system holds for
// the living process and lets go of when the process ends, however it ends
// (a crash, a kill, a power cut), whatever process id the next copy gets.
// Releasing it (destroying the object) unlocks and removes the file.
class InstanceLock {
  public:
    virtual ~InstanceLock() = default;
};

struct InstanceLockAttempt {
    enum class State {
        Taken,         // `lock` holds it now
        HeldByAnother, // a living process holds it
        Unusable,      // the path cannot hold a lock (error says why): try another folder
    };
    State state = State::Unusable;
    std::unique_ptr<InstanceLock> lock;
    std::string error;
};

// Takes the lock file at `path` (UTF-8) without waiting, creating the file
// when it is missing. What the file holds does not matter: only a process
// that holds the lock now counts. A file that is not a plain file of the
// user's own is unusable, so another user cannot hold this user's copies back.
InstanceLockAttempt takeInstanceLock(const std::string &path);

// What tells one file from another beyond its name, size and times of
// writing: on POSIX systems the device, the inode and the status change time
// (which nobody can set back), on Windows the volume, the file index and the
// change time. All zero when the file cannot be read.
struct FileIdentity {
    std::uint64_t volume = 0;
    std::uint64_t index = 0;
    std::int64_t changeTimeNs = 0;
    bool operator==(const FileIdentity &) const = default;
};
FileIdentity fileIdentity(const std::string &path);

// Whether the way to the absolute path passes a symbolic link that lies in
// a sticky folder anyone may write to (such as /tmp) and belongs neither to
// this user nor to the folder's owner: a link another user may have planted
// there, which the kernel's protected_symlinks rule would not follow. A file
// written under such a name could land wherever that user chose. Always
// false where links do not work this way (Windows).
bool passesForeignLink(const std::string &absolutePath);

// A program of the windowing subsystem (Windows) starts without a console:
// the messages of a job on the command line then go to the console of the
// program that started it, if it has one. Standard streams that already lead
// somewhere (a file, a pipe) stay as they are. Nothing to do elsewhere.
void useParentConsole();

// Termination requests from the session (SIGTERM, SIGHUP, SIGINT where the
// session ends programs by signals): a descriptor that becomes readable when
// one arrived, or -1 where the session asks otherwise. Installs the handlers
// on the first call.
int terminationFd();

} // namespace platform
