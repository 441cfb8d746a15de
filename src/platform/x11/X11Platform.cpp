// X11 backend: Xlib on a display connection of its own, XTest for keystrokes,
// XInput 2 raw events to see the release of a held hotkey.
// Xlib's macros (None, Bool, KeyPress) stay inside this file.
#include "platform.h"
#include "x11/XdgEntries.h"

#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XInput2.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <algorithm>
#include <malloc.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <chrono>
#include <map>
#include <set>
#include <thread>
#include <vector>

namespace platform {
namespace {

constexpr int kCapsLock = 20; // VK_CAPITAL

// Collects the X errors of one display while it lives. Qt installs a silent
// handler for the whole process, so without our own a taken key would look
// like a success; without any, Xlib's default handler would end the process.
// Construction and destruction sync, so every error of the requests made in
// between lands here. Errors of other displays go to the previous handler.
class ErrorTrap {
  public:
    struct Error {
        unsigned long serial;
        int code;
    };

    explicit ErrorTrap(Display *display) : m_display(display) {
        XSync(display, False);
        m_outer = s_active;
        s_active = this;
        m_previous = XSetErrorHandler(&ErrorTrap::handler);
    }
    ~ErrorTrap() {
        XSync(m_display, False);
        XSetErrorHandler(m_previous);
        s_active = m_outer;
    }
    ErrorTrap(const ErrorTrap &) = delete;
    ErrorTrap &operator=(const ErrorTrap &) = delete;

    void sync() { XSync(m_display, False); }
    bool failed() {
        sync();
        return !m_errors.empty();
    }
    // The error code of the request with this serial, Success when none.
    int errorFor(unsigned long serial) const {
        for (const Error &e : m_errors)
            if (e.serial == serial)
                return e.code;
        return Success;
    }

  private:
    static int handler(Display *display, XErrorEvent *event) {
        ErrorTrap *outermost = nullptr;
        for (ErrorTrap *trap = s_active; trap; trap = trap->m_outer) {
            if (trap->m_display == display) {
                trap->m_errors.push_back({event->serial, event->error_code});
                return 0;
            }
            outermost = trap;
        }
        if (outermost && outermost->m_previous)
            return outermost->m_previous(display, event);
        return 0;
    }

    static inline ErrorTrap *s_active = nullptr;
    Display *m_display;
    ErrorTrap *m_outer = nullptr;
    XErrorHandler m_previous = nullptr;
    std::vector<Error> m_errors;
};

// "Ctrl+E", "Ctrl+F1": how a hotkey is named in messages.
std::string hotkeyName(int virtualKey) {
    if (virtualKey >= 'A' && virtualKey <= 'Z')
        return std::string("Ctrl+") + static_cast<char>(virtualKey);
    if (virtualKey >= vk::F1 && virtualKey <= vk::F12)
        return "Ctrl+F" + std::to_string(virtualKey - vk::F1 + 1);
    return "Ctrl+(" + std::to_string(virtualKey) + ")";
}

// The keysym a hotkey's virtual-key code stands for, NoSymbol outside A-Z and F1-F12.
KeySym hotkeySym(int virtualKey) {
    if (virtualKey >= 'A' && virtualKey <= 'Z')
        return XK_a + (virtualKey - 'A');
    if (virtualKey >= vk::F1 && virtualKey <= vk::F12)
        return XK_F1 + (virtualKey - vk::F1);
    return NoSymbol;
}

class X11Platform final : public Platform {
  public:
    explicit X11Platform(Display *display) : m_display(display), m_root(DefaultRootWindow(display)) {
        m_netActiveWindow = XInternAtom(display, "_NET_ACTIVE_WINDOW", False);
        m_netWmCheck = XInternAtom(display, "_NET_SUPPORTING_WM_CHECK", False);
        m_wmState = XInternAtom(display, "WM_STATE", False);
        m_timeAtom = XInternAtom(display, "_VEMO_TIMESTAMP", False);

        int event = 0, error = 0, major = 0, minor = 0;
        m_haveXTest = XTestQueryExtension(display, &event, &error, &major, &minor);
        // The server then sends no release between the presses of a held key.
        Bool supported = False;
        XkbSetDetectableAutoRepeat(display, True, &supported);
        selectRawReleases();
        m_numLockMask = lookUpNumLockMask();
        setUpWakeUp();
    }

    ~X11Platform() override {
        for (auto &entry : m_hotkeys)
            ungrab(entry.second);
        if (m_timeWindow)
            XDestroyWindow(m_display, m_timeWindow);
        XCloseDisplay(m_display);
        if (m_epoll >= 0)
            close(m_epoll);
        if (m_wake >= 0)
            close(m_wake);
    }

    std::string name() const override { return "x11"; }
    bool available() const override { return true; }

    // One descriptor that is readable both when the server has sent something
    // and when Xlib already holds events read during one of our round trips
    // (a socket notifier alone would not fire for those).
    int eventFd() const override { return m_epoll >= 0 ? m_epoll : ConnectionNumber(m_display); }

    void dispatchEvents() override {
        if (m_wake >= 0) {
            eventfd_t ignored = 0;
            eventfd_read(m_wake, &ignored);
        }
        while (XPending(m_display) > 0) {
            XEvent event;
            XNextEvent(m_display, &event);
            handleEvent(event);
        }
    }

    bool keyIsDown(int virtualKey) override {
        if (virtualKey == vk::LeftButton || virtualKey == vk::RightButton || virtualKey == vk::MiddleButton)
            return buttonIsDown(virtualKey);
        char keys[32] = {};
        XQueryKeymap(m_display, keys);
        bool down = false;
        for (KeySym sym : keySymsFor(virtualKey)) {
            const KeyCode code = XKeysymToKeycode(m_display, sym);
            if (code != 0 && (keys[code / 8] & (1 << (code % 8))))
                down = true;
        }
        settle();
        return down;
    }

    void trimWorkingSet() override { malloc_trim(0); }

    Result registerHotkey(int id, int virtualKey, std::function<void()> onPress) override {
        const std::string keyName = hotkeyName(virtualKey);
        const KeySym sym = hotkeySym(virtualKey);
        if (sym == NoSymbol)
            return {false, "不支持的快捷键 " + keyName + "：只能是 Ctrl 加 A-Z 或 F1-F12"};
        unregisterHotkey(id);
        for (const auto &entry : m_hotkeys)
            if (entry.second.virtualKey == virtualKey)
                return {false, "快捷键 " + keyName + " 已经注册过了"};

        Hotkey hotkey;
        hotkey.virtualKey = virtualKey;
        hotkey.onPress = std::move(onPress);
        const int error = grab(hotkey);
        settle();
        if (hotkey.keycode == 0)
            return {false, "当前键盘布局中没有快捷键 " + keyName + " 所需的键"};
        if (error == BadAccess)
            return {false, "快捷键 " + keyName + " 已被其他程序占用"};
        if (error != Success)
            return {false, "注册快捷键 " + keyName + " 失败（X 错误 " + std::to_string(error) + "）"};
        m_hotkeys[id] = std::move(hotkey);
        return {true, {}};
    }

    void unregisterHotkey(int id) override {
        auto it = m_hotkeys.find(id);
        if (it == m_hotkeys.end())
            return;
        ungrab(it->second);
        m_hotkeys.erase(it);
        settle();
    }

    std::uint64_t lastHotkeyTime() const override { return m_lastHotkeyTime; }

    bool holdKeyboard() override {
        if (m_holdingKeys)
            return true;
        // The whole keyboard, on our own connection: the keys come to us as
        // events and are given on when the window has the focus.
        const int grabbed = XGrabKeyboard(m_display, DefaultRootWindow(m_display), False, GrabModeAsync,
                                          GrabModeAsync, CurrentTime);
        XFlush(m_display);
        m_holdingKeys = grabbed == GrabSuccess;
        m_keptKeys.clear();
        m_pressedWhileHeld.clear();
        return m_holdingKeys;
    }

    void releaseKeyboard() override {
        if (!m_holdingKeys)
            return;
        // The events that came meanwhile are taken first; so are the keys
        // that still reached us while the grab was being given back.
        const auto takePending = [this] {
            XSync(m_display, False);
            while (XPending(m_display) > 0) {
                XEvent event;
                XNextEvent(m_display, &event);
                handleEvent(event);
            }
        };
        takePending();
        // No other client's request (a synthetic key's release, say) comes
        // between the end of the hold and the replay.
        XGrabServer(m_display);
        XUngrabKeyboard(m_display, CurrentTime);
        takePending();
        m_holdingKeys = false;
        // The keys typed meanwhile go to the window with the focus now, as
        // typed: presses, and the releases of the keys pressed meanwhile. A
        // key still down (its release comes later, to the window) may be down
        // on the very device the replay uses, when it was typed by XTest too:
        // the server swallows a second press of a key that is down, so the
        // key is let go first and its press then counts.
        for (std::size_t i = 0; i < m_keptKeys.size(); ++i) {
            const auto [keycode, press] = m_keptKeys[i];
            const bool stillDown =
                press && std::none_of(m_keptKeys.begin() + i + 1, m_keptKeys.end(),
                                      [code = keycode](const auto &kept) { return kept.first == code; });
            if (stillDown)
                XTestFakeKeyEvent(m_display, keycode, False, CurrentTime);
            XTestFakeKeyEvent(m_display, keycode, press ? True : False, CurrentTime);
        }
        XUngrabServer(m_display);
        m_keptKeys.clear();
        m_pressedWhileHeld.clear();
        XFlush(m_display);
    }

    WindowId foregroundWindow() override {
        WindowId window = 0;
        bool known = false;
        if (windowManagerRuns())
            known = readWindowProperty(m_root, m_netActiveWindow, window);
        if (!known)
            window = focusedTopLevel();
        settle();
        return window;
    }

    bool windowExists(WindowId window) override {
        const bool exists = windowIsThere(window);
        settle();
        return exists;
    }

    bool activateWindow(WindowId window, int timeoutMs) override {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        bool arrived = false;
        if (windowIsThere(window)) {
            arrived = foregroundWindow() == window;
            if (!arrived) {
                requestActivation(static_cast<Window>(window));
                // The window manager answers asynchronously: wait until it did.
                while (!(arrived = foregroundWindow() == window) &&
                       std::chrono::steady_clock::now() < deadline)
                    std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
        }
        settle();
        return arrived;
    }

    WindowClass windowClass(WindowId window) override {
        WindowClass result;
        if (windowIsThere(window)) {
            XClassHint hint = {};
            ErrorTrap trap(m_display);
            if (XGetClassHint(m_display, static_cast<Window>(window), &hint) && !trap.failed()) {
                result.instance = hint.res_name ? hint.res_name : "";
                result.className = hint.res_class ? hint.res_class : "";
            }
            if (hint.res_name)
                XFree(hint.res_name);
            if (hint.res_class)
                XFree(hint.res_class);
        }
        settle();
        return result;
    }

    Result sendPaste(PasteKeys keys) override {
        if (!m_haveXTest)
            return {false, "X 服务器没有 XTest 扩展，无法发送粘贴键"};
        // A keyboard change not yet seen would make us look up stale keys.
        XSync(m_display, False);
        XEvent mapping;
        while (XCheckTypedEvent(m_display, MappingNotify, &mapping))
            handleMapping(mapping);

        std::vector<KeyCode> modifiers;
        if (keys != PasteKeys::ShiftInsert) {
            const KeyCode control = eitherKeycode(XK_Control_L, XK_Control_R);
            if (control == 0)
                return {false, "键盘映射中没有 Ctrl 键，无法发送粘贴键"};
            modifiers.push_back(control);
        }
        if (keys != PasteKeys::CtrlV) {
            const KeyCode shift = eitherKeycode(XK_Shift_L, XK_Shift_R);
            if (shift == 0)
                return {false, "键盘映射中没有 Shift 键，无法发送粘贴键"};
            modifiers.push_back(shift);
        }

        const bool insert = keys == PasteKeys::ShiftInsert;
        const std::string keyName = insert ? "Insert" : "V";
        KeyCode key = keycodeInCurrentGroup(insert ? XK_Insert : XK_v);
        KeyCode spare = 0;
        if (key == 0) {
            // A layout without v (Russian alone), a keyboard without Insert:
            // lend an unused keycode to the key for the moment of the paste.
            spare = unusedKeycode();
            if (spare == 0)
                return {false, "当前键盘布局中没有 " + keyName + " 键，也没有空闲的键码，无法发送粘贴键"};
            KeySym syms[2] = {insert ? KeySym(XK_Insert) : KeySym(XK_v), insert ? NoSymbol : KeySym(XK_V)};
            ErrorTrap trap(m_display);
            XChangeKeyboardMapping(m_display, spare, 2, syms, 1);
            if (trap.failed())
                return {false, "无法为粘贴键临时映射 " + keyName + " 键"};
            key = spare;
        }

        for (KeyCode modifier : modifiers)
            XTestFakeKeyEvent(m_display, modifier, True, CurrentTime);
        XTestFakeKeyEvent(m_display, key, True, CurrentTime);
        XTestFakeKeyEvent(m_display, key, False, CurrentTime);
        for (auto modifier = modifiers.rbegin(); modifier != modifiers.rend(); ++modifier)
            XTestFakeKeyEvent(m_display, *modifier, False, CurrentTime);
        XSync(m_display, False);

        if (spare != 0) {
            // Clients look the keycode up when they handle the press; give
            // them a moment before the keycode goes back to being unused.
            std::this_thread::sleep_for(std::chrono::milliseconds(75));
            KeySym none[2] = {NoSymbol, NoSymbol};
            ErrorTrap trap(m_display);
            XChangeKeyboardMapping(m_display, spare, 2, none, 1);
        }
        settle();
        return {true, {}};
    }

    Result sendLeftKeys(int count) override {
        if (!m_haveXTest)
            return {false, "X 服务器没有 XTest 扩展，无法发送方向键"};
        if (count <= 0)
            return {true, {}};
        // Any group of any layout has the arrow keys on the same keycode.
        const KeyCode left = XKeysymToKeycode(m_display, XK_Left);
        if (left == 0)
            return {false, "键盘映射中没有左方向键"};
        for (int i = 0; i < count; ++i) {
            XTestFakeKeyEvent(m_display, left, True, CurrentTime);
            XTestFakeKeyEvent(m_display, left, False, CurrentTime);
            // A long way back goes out in parts so the server's queue never fills.
            if (i % 256 == 255)
                XSync(m_display, False);
        }
        XSync(m_display, False);
        settle();
        return {true, {}};
    }

    Result addBootStart(const std::string &programName, const std::string &programPath) override {
        return xdg::addAutostart(programName, programPath);
    }
    Result removeBootStart(const std::string &programName) override {
        return xdg::removeAutostart(programName);
    }
    Result makeShortcut(const std::string &displayName, const std::string &targetPath,
                        const std::string &iconPath) override {
        return xdg::makeLaunchers(displayName, targetPath, iconPath);
    }

  private:
    struct Hotkey {
        int virtualKey = 0;
        KeyCode keycode = 0;
        std::vector<unsigned> grabbedModifiers; // the lock variants that are ours
        bool held = false;                      // delivered, waiting for the real release
        std::function<void()> onPress;
    };

    // --- events -------------------------------------------------------------

    void handleEvent(XEvent &event) {
        switch (event.type) {
        case KeyPress:
            if (m_holdingKeys) {
                m_keptKeys.emplace_back(event.xkey.keycode, true);
                m_pressedWhileHeld.insert(event.xkey.keycode);
                break;
            }
            handleHotkeyPress(event.xkey);
            break;
        case KeyRelease:
            if (m_holdingKeys && m_pressedWhileHeld.count(event.xkey.keycode))
                m_keptKeys.emplace_back(event.xkey.keycode, false);
            releaseKeycode(event.xkey.keycode);
            break;
        case MappingNotify:
            handleMapping(event);
            break;
        case GenericEvent:
            if (event.xcookie.extension == m_xiOpcode && XGetEventData(m_display, &event.xcookie)) {
                if (event.xcookie.evtype == XI_RawKeyRelease)
                    releaseKeycode(static_cast<const XIRawEvent *>(event.xcookie.data)->detail);
                XFreeEventData(m_display, &event.xcookie);
            }
            break;
        }
    }

    void handleHotkeyPress(const XKeyEvent &press) {
        for (auto &entry : m_hotkeys) {
            Hotkey &hotkey = entry.second;
            if (hotkey.keycode != press.keycode || !(press.state & ControlMask))
                continue;
            // The passive grab made the keyboard ours while the key is held.
            // Give it back at once, or the program's own windows (a popup
            // grabbing the keyboard, say) get no keys until the release. The
            // release is then seen as a raw event; without those we keep the
            // grab so the release still reaches us. A callback that holds
            // the keyboard takes the grab over as it is, so that no key typed
            // right after the hotkey slips past to the window in front.
            const auto giveBack = [&] {
                if (m_rawReleases && !m_holdingKeys) {
                    XUngrabKeyboard(m_display, press.time);
                    XFlush(m_display);
                }
            };
            // Auto-repeat presses of a held combination deliver nothing.
            if (hotkey.held)
                return giveBack();
            hotkey.held = true;
            m_lastHotkeyTime = press.time;
            auto onPress = hotkey.onPress; // the callback may unregister it
            if (onPress)
                onPress();
            return giveBack();
        }
    }

    void releaseKeycode(int keycode) {
        for (auto &entry : m_hotkeys)
            if (entry.second.keycode == keycode)
                entry.second.held = false;
    }

    // A new keyboard layout or modifier map: the hotkeys' keycodes and the
    // NumLock modifier may have moved, so grab those that moved anew. The
    // server also sends a notice, with the same map, whenever input switches
    // to another keyboard (from the real one to synthetic keys): a hotkey
    // released and grabbed again then would let a press slip through.
    void handleMapping(XEvent &event) {
        XRefreshKeyboardMapping(&event.xmapping);
        if (event.xmapping.request != MappingKeyboard && event.xmapping.request != MappingModifier)
            return;
        const unsigned numLockMask = lookUpNumLockMask();
        std::vector<Hotkey *> moved;
        for (auto &entry : m_hotkeys) {
            Hotkey &hotkey = entry.second;
            if (numLockMask != m_numLockMask || hotkey.grabbedModifiers.empty() ||
                hotkey.keycode != XKeysymToKeycode(m_display, hotkeySym(hotkey.virtualKey)))
                moved.push_back(&hotkey);
        }
        for (Hotkey *hotkey : moved)
            ungrab(*hotkey);
        m_numLockMask = numLockMask;
        for (Hotkey *hotkey : moved)
            grab(*hotkey);
    }

    // --- hotkey grabs -------------------------------------------------------

    std::vector<unsigned> lockVariants() const {
        std::vector<unsigned> variants = {0, LockMask};
        if (m_numLockMask != 0 && m_numLockMask != LockMask) {
            variants.push_back(m_numLockMask);
            variants.push_back(m_numLockMask | LockMask);
        }
        return variants;
    }

    // Grabs Ctrl+key for every lock variant. All or nothing: when one variant
    // fails, those that succeeded are released again. Returns the X error.
    int grab(Hotkey &hotkey) {
        hotkey.grabbedModifiers.clear();
        hotkey.held = false;
        hotkey.keycode = XKeysymToKeycode(m_display, hotkeySym(hotkey.virtualKey));
        if (hotkey.keycode == 0)
            return BadValue;
        ErrorTrap trap(m_display);
        std::vector<std::pair<unsigned, unsigned long>> sent;
        for (unsigned lock : lockVariants()) {
            sent.push_back({lock, NextRequest(m_display)});
            XGrabKey(m_display, hotkey.keycode, ControlMask | lock, m_root, False, GrabModeAsync,
                     GrabModeAsync);
        }
        trap.sync();
        int failure = Success;
        std::vector<unsigned> granted;
        for (const auto &[lock, serial] : sent) {
            const int error = trap.errorFor(serial);
            if (error == Success)
                granted.push_back(lock);
            else if (failure == Success)
                failure = error;
        }
        if (failure != Success) {
            for (unsigned lock : granted)
                XUngrabKey(m_display, hotkey.keycode, ControlMask | lock, m_root);
            return failure;
        }
        hotkey.grabbedModifiers = std::move(granted);
        return Success;
    }

    void ungrab(Hotkey &hotkey) {
        if (hotkey.grabbedModifiers.empty())
            return;
        ErrorTrap trap(m_display);
        for (unsigned lock : hotkey.grabbedModifiers)
            XUngrabKey(m_display, hotkey.keycode, ControlMask | lock, m_root);
        hotkey.grabbedModifiers.clear();
    }

    unsigned lookUpNumLockMask() {
        const KeyCode numLock = XKeysymToKeycode(m_display, XK_Num_Lock);
        XModifierKeymap *map = XGetModifierMapping(m_display);
        unsigned mask = 0;
        if (map && numLock != 0) {
            for (int modifier = 0; modifier < 8; ++modifier)
                for (int k = 0; k < map->max_keypermod; ++k)
                    if (map->modifiermap[modifier * map->max_keypermod + k] == numLock)
                        mask = 1u << modifier;
        }
        if (map)
            XFreeModifiermap(map);
        return mask;
    }

    void selectRawReleases() {
        int event = 0, error = 0;
        if (!XQueryExtension(m_display, "XInputExtension", &m_xiOpcode, &event, &error))
            return;
        // From 2.1 on raw events reach us even while another client grabs.
        int major = 2, minor = 2;
        if (XIQueryVersion(m_display, &major, &minor) != Success || major < 2 || (major == 2 && minor < 1))
            return;
        unsigned char bits[XIMaskLen(XI_LASTEVENT)] = {};
        XISetMask(bits, XI_RawKeyRelease);
        XIEventMask mask;
        mask.deviceid = XIAllDevices;
        mask.mask_len = sizeof bits;
        mask.mask = bits;
        ErrorTrap trap(m_display);
        XISelectEvents(m_display, m_root, &mask, 1);
        m_rawReleases = !trap.failed();
    }

    // --- windows ------------------------------------------------------------

    bool readWindowProperty(Window window, Atom property, WindowId &value) {
        Atom type = 0;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char *data = nullptr;
        const int status = XGetWindowProperty(m_display, window, property, 0, 1, False, XA_WINDOW, &type,
                                              &format, &count, &after, &data);
        const bool found = status == Success && type == XA_WINDOW && format == 32 && count == 1 && data;
        if (found)
            value = *reinterpret_cast<unsigned long *>(data);
        if (data)
            XFree(data);
        return found;
    }

    // An EWMH window manager runs when the root names a check window that
    // names itself; a property left behind by a manager that quit does not count.
    bool windowManagerRuns() {
        WindowId check = 0;
        if (!readWindowProperty(m_root, m_netWmCheck, check) || check == 0)
            return false;
        WindowId self = 0;
        ErrorTrap trap(m_display);
        const bool found = readWindowProperty(static_cast<Window>(check), m_netWmCheck, self);
        return !trap.failed() && found && self == check;
    }

    // Without a window manager: the window with the keyboard focus, walked up
    // to the client window (it carries WM_STATE) or the child of the root.
    WindowId focusedTopLevel() {
        Window focus = 0;
        int revert = 0;
        XGetInputFocus(m_display, &focus, &revert);
        if (focus == None || focus == PointerRoot || focus == m_root)
            return 0;
        ErrorTrap trap(m_display);
        Window window = focus;
        for (int depth = 0; depth < 64; ++depth) {
            if (hasProperty(window, m_wmState))
                return trap.failed() ? 0 : window;
            Window root = 0, parent = 0, *children = nullptr;
            unsigned count = 0;
            if (!XQueryTree(m_display, window, &root, &parent, &children, &count))
                return 0;
            if (children)
                XFree(children);
            if (parent == root || parent == None)
                return trap.failed() ? 0 : window;
            window = parent;
        }
        return 0;
    }

    bool hasProperty(Window window, Atom property) {
        Atom type = 0;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char *data = nullptr;
        const int status = XGetWindowProperty(m_display, window, property, 0, 0, False, AnyPropertyType,
                                              &type, &format, &count, &after, &data);
        if (data)
            XFree(data);
        return status == Success && type != None;
    }

    bool windowIsThere(WindowId window) {
        if (window == 0 || window > 0xFFFFFFFFu)
            return false;
        XWindowAttributes attributes;
        ErrorTrap trap(m_display);
        const Status status = XGetWindowAttributes(m_display, static_cast<Window>(window), &attributes);
        return !trap.failed() && status != 0;
    }

    void requestActivation(Window window) {
        if (windowManagerRuns()) {
            // Source 2: a pager-like request on the user's behalf, which
            // window managers honour without focus-stealing prevention.
            XEvent event = {};
            event.xclient.type = ClientMessage;
            event.xclient.window = window;
            event.xclient.message_type = m_netActiveWindow;
            event.xclient.format = 32;
            event.xclient.data.l[0] = 2;
            event.xclient.data.l[1] = static_cast<long>(serverTime());
            event.xclient.data.l[2] = 0;
            XSendEvent(m_display, m_root, False, SubstructureRedirectMask | SubstructureNotifyMask, &event);
            XFlush(m_display);
            return;
        }
        ErrorTrap trap(m_display);
        XRaiseWindow(m_display, window);
        XSetInputFocus(m_display, window, RevertToParent, CurrentTime);
    }

    // A fresh server timestamp: the time of a property change on a small
    // window of our own.
    Time serverTime() {
        if (!m_timeWindow) {
            m_timeWindow = XCreateSimpleWindow(m_display, m_root, -10, -10, 1, 1, 0, 0, 0);
            XSelectInput(m_display, m_timeWindow, PropertyChangeMask);
        }
        XChangeProperty(m_display, m_timeWindow, m_timeAtom, XA_STRING, 8, PropModeAppend, nullptr, 0);
        XEvent event;
        XWindowEvent(m_display, m_timeWindow, PropertyChangeMask, &event);
        return event.xproperty.time;
    }

    // --- keys ---------------------------------------------------------------

    bool buttonIsDown(int virtualKey) {
        Window root = 0, child = 0;
        int rootX = 0, rootY = 0, x = 0, y = 0;
        unsigned int mask = 0;
        const bool ok = XQueryPointer(m_display, m_root, &root, &child, &rootX, &rootY, &x, &y, &mask);
        settle();
        if (!ok)
            return false;
        switch (virtualKey) {
        case vk::LeftButton:
            return mask & Button1Mask;
        case vk::MiddleButton:
            return mask & Button2Mask;
        case vk::RightButton:
            return mask & Button3Mask;
        }
        return false;
    }

    // Both keys of a pair count: Ctrl is either Ctrl key, and so on.
    static std::vector<KeySym> keySymsFor(int virtualKey) {
        switch (virtualKey) {
        case vk::Shift:
            return {XK_Shift_L, XK_Shift_R};
        case vk::Control:
            return {XK_Control_L, XK_Control_R};
        case vk::Menu:
            return {XK_Alt_L, XK_Alt_R};
        case kCapsLock:
            return {XK_Caps_Lock};
        }
        if (virtualKey >= 'A' && virtualKey <= 'Z')
            return {static_cast<KeySym>(XK_a + (virtualKey - 'A'))};
        if (virtualKey >= vk::F1 && virtualKey <= vk::F12)
            return {static_cast<KeySym>(XK_F1 + (virtualKey - vk::F1))};
        return {};
    }

    KeyCode eitherKeycode(KeySym left, KeySym right) {
        const KeyCode code = XKeysymToKeycode(m_display, left);
        return code != 0 ? code : XKeysymToKeycode(m_display, right);
    }

    // The keycode that gives sym in the keyboard group in use now; a v that
    // exists only in another group would reach the target as another letter.
    KeyCode keycodeInCurrentGroup(KeySym sym) {
        XkbStateRec state = {};
        if (XkbGetState(m_display, XkbUseCoreKbd, &state) != Success)
            return XKeysymToKeycode(m_display, sym);
        int minCode = 0, maxCode = 0;
        XDisplayKeycodes(m_display, &minCode, &maxCode);
        for (int code = minCode; code <= maxCode; ++code) {
            unsigned modifiers = 0;
            KeySym found = NoSymbol;
            if (XkbLookupKeySym(m_display, static_cast<KeyCode>(code), XkbBuildCoreState(0, state.group),
                                &modifiers, &found) &&
                found == sym)
                return static_cast<KeyCode>(code);
        }
        return 0;
    }

    // A keycode with no keysym at all and no modifier role, highest first.
    KeyCode unusedKeycode() {
        int minCode = 0, maxCode = 0;
        XDisplayKeycodes(m_display, &minCode, &maxCode);
        int perCode = 0;
        KeySym *syms =
            XGetKeyboardMapping(m_display, static_cast<KeyCode>(minCode), maxCode - minCode + 1, &perCode);
        if (!syms)
            return 0;
        XModifierKeymap *modifiers = XGetModifierMapping(m_display);
        KeyCode result = 0;
        for (int code = maxCode; code >= minCode && result == 0; --code) {
            bool empty = true;
            for (int i = 0; i < perCode && empty; ++i)
                empty = syms[(code - minCode) * perCode + i] == NoSymbol;
            if (modifiers)
                for (int i = 0; i < 8 * modifiers->max_keypermod && empty; ++i)
                    empty = modifiers->modifiermap[i] != code;
            if (empty)
                result = static_cast<KeyCode>(code);
        }
        if (modifiers)
            XFreeModifiermap(modifiers);
        XFree(syms);
        return result;
    }

    // --- waking the event loop ---------------------------------------------

    void setUpWakeUp() {
        m_wake = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
        m_epoll = epoll_create1(EPOLL_CLOEXEC);
        if (m_wake < 0 || m_epoll < 0)
            return dropWakeUp();
        epoll_event watch = {};
        watch.events = EPOLLIN;
        watch.data.fd = ConnectionNumber(m_display);
        if (epoll_ctl(m_epoll, EPOLL_CTL_ADD, ConnectionNumber(m_display), &watch) != 0)
            return dropWakeUp();
        watch.data.fd = m_wake;
        if (epoll_ctl(m_epoll, EPOLL_CTL_ADD, m_wake, &watch) != 0)
            return dropWakeUp();
    }

    void dropWakeUp() {
        if (m_epoll >= 0)
            close(m_epoll);
        if (m_wake >= 0)
            close(m_wake);
        m_epoll = m_wake = -1;
    }

    // Events Xlib read during a round trip sit in its queue, where the
    // socket no longer shows them: make eventFd() readable for them.
    void settle() {
        if (m_wake >= 0 && XEventsQueued(m_display, QueuedAlready) > 0)
            eventfd_write(m_wake, 1);
    }

    Display *m_display;
    Window m_root;
    Atom m_netActiveWindow = 0;
    Atom m_netWmCheck = 0;
    Atom m_wmState = 0;
    Atom m_timeAtom = 0;
    Window m_timeWindow = 0;
    bool m_haveXTest = false;
    bool m_rawReleases = false;
    std::uint64_t m_lastHotkeyTime = 0;
    // The keyboard is held for a window coming to the front: the keys typed
    // meanwhile (keycode, press or release), and the keys pressed meanwhile.
    bool m_holdingKeys = false;
    std::vector<std::pair<unsigned, bool>> m_keptKeys;
    std::set<unsigned> m_pressedWhileHeld;
    int m_xiOpcode = -1;
    unsigned m_numLockMask = 0;
    int m_epoll = -1;
    int m_wake = -1;
    std::map<int, Hotkey> m_hotkeys;
};

} // namespace

std::unique_ptr<Platform> createX11() {
    Display *display = XOpenDisplay(nullptr);
    if (!display)
        return nullptr;
    return std::make_unique<X11Platform>(display);
}

} // namespace platform
