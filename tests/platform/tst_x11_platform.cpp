// The X11 backend against a private Xvfb (and jwm where a window manager is
// needed). Input comes from xdotool, as from another program; the test's own
// Xlib connections play the other clients and the target windows.
#include "platform.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

// Xlib after Qt: its macros (None, Bool, KeyPress) would break Qt's headers.
#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/keysym.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <poll.h>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kWait = 8000; // generous: the machine may be busy

// Every X error of the process that no trap of the backend took: for the
// backend's connection such an error would have ended the program.
std::vector<int> g_strayErrors;
int recordError(Display *, XErrorEvent *event) {
    g_strayErrors.push_back(event->error_code);
    return 0;
}

bool waitUntil(const std::function<bool()> &condition, int ms = kWait) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
    while (!condition()) {
        if (Clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

// The next event of a type on a window, waiting at most ms.
bool waitForEvent(Display *display, Window window, int type, XEvent *event, int ms = kWait) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
        if (XCheckTypedWindowEvent(display, window, type, event))
            return true;
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0)
            return false;
        pollfd fd = {ConnectionNumber(display), POLLIN, 0};
        poll(&fd, 1, static_cast<int>(std::min<long long>(left, 50)));
        XPending(display);
    }
}

// Grabs Ctrl+key in every lock variant on its own connection; true when no
// variant was refused. The grabs end with the connection.
bool anotherClientCanGrabAll(const char *displayName, KeySym sym) {
    Display *other = XOpenDisplay(displayName);
    if (!other)
        return false;
    static int refused;
    refused = 0;
    XSync(other, False);
    auto previous = XSetErrorHandler([](Display *, XErrorEvent *) -> int {
        ++refused;
        return 0;
    });
    const KeyCode code = XKeysymToKeycode(other, sym);
    const unsigned numLock = XkbKeysymToModifiers(other, XK_Num_Lock);
    for (unsigned lock : {0u, unsigned(LockMask), numLock, numLock | LockMask})
        XGrabKey(other, code, ControlMask | lock, DefaultRootWindow(other), False, GrabModeAsync,
                 GrabModeAsync);
    XSync(other, False);
    XSetErrorHandler(previous);
    XCloseDisplay(other);
    return refused == 0;
}

// Changes keycodes for one test and puts back each one it changed.
class KeymapGuard {
  public:
    explicit KeymapGuard(Display *display) : m_display(display) { XDisplayKeycodes(display, &m_min, &m_max); }
    ~KeymapGuard() {
        for (const auto &[code, syms] : m_saved)
            XChangeKeyboardMapping(m_display, code, int(syms.size()), const_cast<KeySym *>(syms.data()), 1);
        XSync(m_display, False);
    }
    std::vector<KeySym> current() const {
        int per = 0;
        KeySym *syms = XGetKeyboardMapping(m_display, m_min, m_max - m_min + 1, &per);
        std::vector<KeySym> all(syms, syms + per * (m_max - m_min + 1));
        XFree(syms);
        return all;
    }
    // Puts lower and upper on keycode, nothing else.
    void set(KeyCode code, KeySym lower, KeySym upper) {
        if (!m_saved.count(code)) {
            int per = 0;
            KeySym *old = XGetKeyboardMapping(m_display, code, 1, &per);
            m_saved[code] = std::vector<KeySym>(old, old + per);
            XFree(old);
        }
        KeySym syms[2] = {lower, upper};
        XChangeKeyboardMapping(m_display, code, 2, syms, 1);
        XSync(m_display, False);
    }
    KeyCode unused() const {
        int per = 0;
        KeySym *syms = XGetKeyboardMapping(m_display, m_min, m_max - m_min + 1, &per);
        KeyCode found = 0;
        for (int code = m_max; code >= m_min && !found; --code) {
            bool empty = true;
            for (int i = 0; i < per; ++i)
                empty = empty && syms[(code - m_min) * per + i] == NoSymbol;
            if (empty)
                found = static_cast<KeyCode>(code);
        }
        XFree(syms);
        return found;
    }

  private:
    Display *m_display;
    int m_min = 0, m_max = 0;
    std::map<KeyCode, std::vector<KeySym>> m_saved;
};

} // namespace

#define NEED_XDOTOOL()                                                                                       \
    do {                                                                                                     \
        if (!m_haveXdotool)                                                                                  \
            QSKIP("xdotool is not installed: the input cases are not tested");                               \
    } while (false)

class TestX11Platform : public QObject {
    Q_OBJECT

  private:
    QProcess m_xvfb;
    QProcess m_wm;
    QTemporaryDir m_wmHome;
    QByteArray m_displayName;
    Display *m_display = nullptr; // the test's own client
    std::unique_ptr<platform::Platform> m_backend;
    bool m_haveXdotool = false;
    std::vector<Window> m_windows;

    bool xdotool(const QStringList &args) {
        QProcess process;
        process.start("xdotool", args);
        return process.waitForFinished(kWait * 2) && process.exitStatus() == QProcess::NormalExit &&
               process.exitCode() == 0;
    }

    // Runs the backend's event loop until count reaches want or time is up;
    // then, after a round trip that flushes what the server still had for
    // it, one more dispatch so that a delivery too many would show.
    void pump(const int &count, int want, int ms = kWait) {
        const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
        while (count < want && Clock::now() < deadline) {
            pollfd fd = {m_backend->eventFd(), POLLIN, 0};
            if (poll(&fd, 1, 50) > 0)
                m_backend->dispatchEvents();
        }
        m_backend->keyIsDown(platform::vk::Shift);
        m_backend->dispatchEvents();
    }

    bool wmRuns() {
        auto windowProperty = [this](Window window, Window &value) {
            Atom type = 0;
            int format = 0;
            unsigned long count = 0, after = 0;
            unsigned char *data = nullptr;
            const Atom check = XInternAtom(m_display, "_NET_SUPPORTING_WM_CHECK", False);
            const bool ok = XGetWindowProperty(m_display, window, check, 0, 1, False, XA_WINDOW, &type,
                                               &format, &count, &after, &data) == Success &&
                            type == XA_WINDOW && count == 1;
            if (ok)
                value = *reinterpret_cast<unsigned long *>(data);
            if (data)
                XFree(data);
            return ok;
        };
        Window check = 0, self = 0;
        const size_t errors = g_strayErrors.size();
        const bool runs = windowProperty(DefaultRootWindow(m_display), check) &&
                          windowProperty(check, self) && self == check;
        XSync(m_display, False);
        g_strayErrors.resize(errors); // a stale check window is no fault of the backend
        return runs;
    }

    bool startWindowManager() {
        if (m_wm.state() == QProcess::Running)
            return true;
        // A home without configuration: jwm runs with its defaults.
        auto environment = QProcessEnvironment::systemEnvironment();
        environment.insert("HOME", m_wmHome.path());
        m_wm.setProcessEnvironment(environment);
        m_wm.setStandardOutputFile(QProcess::nullDevice());
        m_wm.setStandardErrorFile(QProcess::nullDevice());
        m_wm.start("jwm", {});
        return m_wm.waitForStarted(kWait) && waitUntil([this] { return wmRuns(); });
    }

    bool stopWindowManager() {
        if (m_wm.state() != QProcess::Running)
            return true;
        m_wm.terminate();
        if (!m_wm.waitForFinished(kWait)) {
            m_wm.kill();
            m_wm.waitForFinished(kWait);
        }
        return waitUntil([this] { return !wmRuns(); });
    }

    Window makeWindow(int x, Window parent = 0) {
        const Window window = XCreateSimpleWindow(m_display, parent ? parent : DefaultRootWindow(m_display),
                                                  x, 50, 200, 150, 0, 0, 0xffffff);
        XStoreName(m_display, window, "vemo test window");
        XSelectInput(m_display, window, StructureNotifyMask | KeyPressMask | KeyReleaseMask);
        XMapWindow(m_display, window);
        XSync(m_display, False);
        XEvent event;
        if (!waitForEvent(m_display, window, MapNotify, &event))
            qWarning("window 0x%lx was not mapped in time", window);
        if (!parent)
            m_windows.push_back(window);
        return window;
    }

    bool managed(Window window) {
        Atom type = 0;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char *data = nullptr;
        XGetWindowProperty(m_display, window, XInternAtom(m_display, "WM_STATE", False), 0, 2, False,
                           AnyPropertyType, &type, &format, &count, &after, &data);
        if (data)
            XFree(data);
        return type != None;
    }

    Window inputFocus() {
        Window focus = 0;
        int revert = 0;
        XGetInputFocus(m_display, &focus, &revert);
        return focus;
    }

  private slots:
    void initTestCase() {
        XInitThreads(); // the paste watcher reads its own connection on a thread
        if (QStandardPaths::findExecutable("Xvfb").isEmpty())
            QSKIP("Xvfb is not installed: the X11 backend is not tested here (CI installs it)");
        m_haveXdotool = !QStandardPaths::findExecutable("xdotool").isEmpty();
        // Xvfb picks a free display itself and writes its number when it is ready.
        m_xvfb.setStandardErrorFile(QProcess::nullDevice());
        m_xvfb.start("Xvfb",
                     {"-displayfd", "1", "-screen", "0", "1280x800x24", "-nolisten", "tcp", "-noreset"});
        QVERIFY(m_xvfb.waitForStarted(kWait));
        QByteArray number;
        const auto deadline = Clock::now() + std::chrono::seconds(30);
        while (!number.contains('\n') && Clock::now() < deadline && m_xvfb.state() == QProcess::Running) {
            m_xvfb.waitForReadyRead(200);
            number += m_xvfb.readAllStandardOutput();
        }
        QVERIFY2(number.contains('\n'), "Xvfb did not report its display");
        m_displayName = ":" + number.trimmed();
        qputenv("DISPLAY", m_displayName);

        XSetErrorHandler(recordError);
        m_display = XOpenDisplay(m_displayName.constData());
        QVERIFY(m_display);
        m_backend = platform::createDefault();
        QCOMPARE(QString::fromStdString(m_backend->name()), QString("x11"));
        QVERIFY(m_backend->eventFd() >= 0);
    }

    void cleanupTestCase() {
        m_backend.reset();
        if (m_display)
            XCloseDisplay(m_display);
        if (m_wm.state() == QProcess::Running) {
            m_wm.kill();
            m_wm.waitForFinished(kWait);
        }
        if (m_xvfb.state() == QProcess::Running) {
            m_xvfb.terminate();
            if (!m_xvfb.waitForFinished(kWait)) {
                m_xvfb.kill();
                m_xvfb.waitForFinished(kWait);
            }
        }
    }

    void cleanup() {
        for (Window window : m_windows)
            XDestroyWindow(m_display, window);
        m_windows.clear();
        XSync(m_display, False);
        m_backend->dispatchEvents();
        const bool clean = g_strayErrors.empty();
        g_strayErrors.clear();
        QVERIFY2(clean, "an X error escaped the backend's traps");
    }

    void keyAndButtonStateIsGlobal() {
        NEED_XDOTOOL();
        using namespace platform;
        QVERIFY(xdotool({"keydown", "ctrl", "c"}));
        QVERIFY(
            waitUntil([this] { return m_backend->keyIsDown(vk::Control) && m_backend->keyIsDown(vk::C); }));
        QVERIFY(!m_backend->keyIsDown(vk::Shift));
        QVERIFY(!m_backend->keyIsDown('V'));
        QVERIFY(xdotool({"keyup", "ctrl", "c"}));
        QVERIFY(
            waitUntil([this] { return !m_backend->keyIsDown(vk::Control) && !m_backend->keyIsDown(vk::C); }));

        // Caps Lock switched on but not held is not down; held, it is.
        QVERIFY(xdotool({"key", "Caps_Lock"}));
        XkbStateRec state;
        XkbGetState(m_display, XkbUseCoreKbd, &state);
        QVERIFY(state.locked_mods & LockMask);
        QVERIFY(!m_backend->keyIsDown(20));
        QVERIFY(!m_backend->keyIsDown('A'));
        QVERIFY(xdotool({"keydown", "Caps_Lock"})); // switches it off again
        QVERIFY(waitUntil([this] { return m_backend->keyIsDown(20); }));
        QVERIFY(xdotool({"keyup", "Caps_Lock"}));
        QVERIFY(waitUntil([this] { return !m_backend->keyIsDown(20); }));

        QVERIFY(xdotool({"mousedown", "1"}));
        QVERIFY(waitUntil([this] { return m_backend->keyIsDown(vk::LeftButton); }));
        QVERIFY(!m_backend->keyIsDown(vk::RightButton));
        QVERIFY(xdotool({"mouseup", "1"}));
        QVERIFY(waitUntil([this] { return !m_backend->keyIsDown(vk::LeftButton); }));
        QVERIFY(xdotool({"mousedown", "3"}));
        QVERIFY(waitUntil([this] { return m_backend->keyIsDown(vk::RightButton); }));
        QVERIFY(xdotool({"mouseup", "3"}));
    }

    void hotkeyArrivesOncePerPress() {
        NEED_XDOTOOL();
        int presses = 0;
        QVERIFY(m_backend->registerHotkey(117, platform::vk::E, [&presses] { ++presses; }).ok);

        QVERIFY(xdotool({"key", "ctrl+e"}));
        pump(presses, 1);
        QCOMPARE(presses, 1);

        // Other modifiers or none: not the hotkey.
        QVERIFY(xdotool({"key", "e", "ctrl+shift+e", "ctrl+r"}));
        pump(presses, 2, 300);
        QCOMPARE(presses, 1);

        // Lock keys switched on do not hide it.
        QVERIFY(xdotool({"key", "Num_Lock"}));
        XkbStateRec state;
        XkbGetState(m_display, XkbUseCoreKbd, &state);
        QVERIFY(state.locked_mods & XkbKeysymToModifiers(m_display, XK_Num_Lock));
        QVERIFY(xdotool({"key", "ctrl+e"}));
        pump(presses, 2);
        QCOMPARE(presses, 2);
        QVERIFY(xdotool({"key", "Caps_Lock", "ctrl+e", "Caps_Lock", "Num_Lock"}));
        pump(presses, 3);
        QCOMPARE(presses, 3);

        // Held down with auto-repeat: one delivery; the next real press counts again.
        XKeyboardState keyboard;
        XGetKeyboardControl(m_display, &keyboard);
        QVERIFY2(keyboard.global_auto_repeat == AutoRepeatModeOn, "the server does not repeat keys");
        QVERIFY(xdotool({"keydown", "ctrl+e"}));
        pump(presses, 99, 800); // dispatching all along, longer than the repeat delay
        QVERIFY(xdotool({"keyup", "ctrl+e"}));
        pump(presses, 5, 300);
        QCOMPARE(presses, 4);
        QVERIFY(xdotool({"key", "ctrl+e"}));
        pump(presses, 5);
        QCOMPARE(presses, 5);

        // The program's own windows get the keys while the combination is
        // held: the backend gives the keyboard grab back at once.
        QVERIFY(xdotool({"keydown", "ctrl+e"}));
        pump(presses, 6);
        QCOMPARE(presses, 6);
        Display *other = XOpenDisplay(m_displayName.constData());
        QVERIFY(other);
        const bool grabbed = waitUntil([this, other] {
            m_backend->dispatchEvents(); // as the program's event loop would
            const int status = XGrabKeyboard(other, DefaultRootWindow(other), False, GrabModeAsync,
                                             GrabModeAsync, CurrentTime);
            return status == GrabSuccess;
        });
        // Released while the other client holds the keyboard: the release
        // still reaches the backend, so the next press counts.
        QVERIFY(xdotool({"keyup", "ctrl+e"}));
        pump(presses, 7, 300);
        XCloseDisplay(other);
        QVERIFY2(grabbed, "the keyboard stayed grabbed while the hotkey was held");
        QVERIFY(xdotool({"key", "ctrl+e"}));
        pump(presses, 7);
        QCOMPARE(presses, 7);

        m_backend->unregisterHotkey(117);
        QVERIFY(anotherClientCanGrabAll(m_displayName.constData(), XK_e));
        QVERIFY(xdotool({"key", "ctrl+e"}));
        pump(presses, 8, 300);
        QCOMPARE(presses, 7);
    }

    void eventsReadDuringARoundTripWakeTheLoop() {
        NEED_XDOTOOL();
        int presses = 0;
        QVERIFY(m_backend->registerHotkey(117, platform::vk::E, [&presses] { ++presses; }).ok);
        m_backend->dispatchEvents();
        pollfd fd = {m_backend->eventFd(), POLLIN, 0};
        QCOMPARE(poll(&fd, 1, 0), 0); // nothing to do: the loop must not spin

        QVERIFY(xdotool({"keydown", "ctrl+e"}));
        // Once the server shows E down, the press was sent before that reply:
        // Xlib holds it now and the socket is empty.
        QVERIFY(waitUntil([this] { return m_backend->keyIsDown(platform::vk::E); }));
        QCOMPARE(presses, 0);
        QVERIFY(poll(&fd, 1, 0) > 0); // readable at once, not only when more arrives
        m_backend->dispatchEvents();
        QCOMPARE(presses, 1);
        QVERIFY(xdotool({"keyup", "ctrl+e"}));
        pump(presses, 2, 300);
        QCOMPARE(poll(&fd, 1, 0), 0);
        m_backend->unregisterHotkey(117);
    }

    void functionKeyHotkey() {
        NEED_XDOTOOL();
        int presses = 0;
        QVERIFY(m_backend->registerHotkey(117, platform::vk::F1, [&presses] { ++presses; }).ok);
        QVERIFY(xdotool({"key", "ctrl+e", "ctrl+F1"}));
        pump(presses, 1);
        QCOMPARE(presses, 1);
        m_backend->unregisterHotkey(117);
        QVERIFY(anotherClientCanGrabAll(m_displayName.constData(), XK_F1));

        // Only Ctrl plus A-Z or F1-F12.
        for (int code : {0, int('0'), int('a'), 124, 255}) {
            const auto result = m_backend->registerHotkey(117, code, [] {});
            QVERIFY(!result.ok);
            QVERIFY(!result.error.empty());
        }
    }

    void hotkeyHeldByAnotherProgram_data() {
        QTest::addColumn<QString>("variant");
        QTest::newRow("plain") << "plain";
        QTest::newRow("caps lock variant") << "caps";
        QTest::newRow("num lock variant") << "num";
    }
    void hotkeyHeldByAnotherProgram() {
        QFETCH(QString, variant);
        const unsigned lock = variant == "caps"  ? unsigned(LockMask)
                              : variant == "num" ? XkbKeysymToModifiers(m_display, XK_Num_Lock)
                                                 : 0u;
        Display *other = XOpenDisplay(m_displayName.constData());
        QVERIFY(other);
        const KeyCode e = XKeysymToKeycode(other, XK_e);
        XGrabKey(other, e, ControlMask | lock, DefaultRootWindow(other), False, GrabModeAsync, GrabModeAsync);
        XSync(other, False);

        const auto result = m_backend->registerHotkey(117, platform::vk::E, [] {});
        QVERIFY(!result.ok);
        QVERIFY2(result.error.find("Ctrl+E") != std::string::npos, result.error.c_str());

        // No variant stays with the backend once the other program lets go.
        XUngrabKey(other, e, ControlMask | lock, DefaultRootWindow(other));
        XSync(other, False);
        QVERIFY(anotherClientCanGrabAll(m_displayName.constData(), XK_e));

        // Nor does a failure spoil a later registration.
        XCloseDisplay(other);
        QVERIFY(m_backend->registerHotkey(117, platform::vk::E, [] {}).ok);
        QVERIFY(!anotherClientCanGrabAll(m_displayName.constData(), XK_e));
        m_backend->unregisterHotkey(117);
    }

    void hotkeyFollowsAKeyboardRemap() {
        NEED_XDOTOOL();
        int presses = 0;
        QVERIFY(m_backend->registerHotkey(117, platform::vk::E, [&presses] { ++presses; }).ok);
        {
            KeymapGuard keymap(m_display);
            const KeyCode oldE = XKeysymToKeycode(m_display, XK_e);
            const KeyCode newE = keymap.unused();
            QVERIFY(newE != 0);
            keymap.set(oldE, XK_F20, XK_F20);
            keymap.set(newE, XK_e, XK_E);
            m_backend->dispatchEvents(); // the mapping notices are on its socket by now
            QVERIFY(xdotool({"key", "ctrl+e"}));
            pump(presses, 1);
            QCOMPARE(presses, 1);
        }
        m_backend->dispatchEvents();
        QVERIFY(xdotool({"key", "ctrl+e"}));
        pump(presses, 2);
        QCOMPARE(presses, 2);
        m_backend->unregisterHotkey(117);
    }

    void windowsWithoutWindowManager() {
        QVERIFY(stopWindowManager());
        const Window a = makeWindow(10);
        const Window child = makeWindow(5, a);
        const Window b = makeWindow(300);

        XSetInputFocus(m_display, child, RevertToParent, CurrentTime);
        XSync(m_display, False);
        QCOMPARE(m_backend->foregroundWindow(), platform::WindowId(a)); // walked up to the top level

        QVERIFY(m_backend->activateWindow(b, kWait));
        QCOMPARE(m_backend->foregroundWindow(), platform::WindowId(b));
        QCOMPARE(inputFocus(), b);

        QVERIFY(m_backend->windowExists(a));
        XDestroyWindow(m_display, a);
        XSync(m_display, False);
        QVERIFY(!m_backend->windowExists(a));
        QVERIFY(!m_backend->activateWindow(a, 200));
        QVERIFY(!m_backend->windowExists(0));
        QVERIFY(!m_backend->activateWindow(0, 200));
        m_windows.erase(m_windows.begin());
    }

    void windowsWithWindowManager() {
        if (QStandardPaths::findExecutable("jwm").isEmpty())
            QSKIP("jwm is not installed: the window-manager cases are not tested");
        QVERIFY2(startWindowManager(), "jwm did not come up");
        const Window a = makeWindow(10);
        const Window b = makeWindow(400);
        QVERIFY(waitUntil([&] { return managed(a) && managed(b); }));

        QVERIFY(m_backend->activateWindow(a, kWait));
        QCOMPARE(m_backend->foregroundWindow(), platform::WindowId(a));
        QVERIFY(waitUntil([&] { return inputFocus() == a; }));
        QVERIFY(m_backend->activateWindow(b, kWait));
        QCOMPARE(m_backend->foregroundWindow(), platform::WindowId(b));
        QVERIFY(m_backend->activateWindow(b, kWait)); // already there

        XDestroyWindow(m_display, b);
        XSync(m_display, False);
        m_windows.pop_back();
        QVERIFY(!m_backend->windowExists(b));
        QVERIFY(!m_backend->activateWindow(b, 200));

        // Once the manager is gone, what it left on the root is not believed.
        QVERIFY(stopWindowManager());
        XSetInputFocus(m_display, a, RevertToParent, CurrentTime);
        XSync(m_display, False);
        QCOMPARE(m_backend->foregroundWindow(), platform::WindowId(a));
    }

    void pasteKeystroke() {
        QVERIFY(stopWindowManager());
        const Window target = makeWindow(10);
        XSetInputFocus(m_display, target, RevertToParent, CurrentTime);
        XSync(m_display, False);

        const auto result = m_backend->sendPaste();
        QVERIFY2(result.ok, result.error.c_str());
        const KeyCode control = XKeysymToKeycode(m_display, XK_Control_L);
        const KeyCode v = XKeysymToKeycode(m_display, XK_v);
        struct Expected {
            int type;
            KeyCode code;
            bool withControl;
        };
        for (const Expected &expected :
             {Expected{KeyPress, control, false}, Expected{KeyPress, v, true}, Expected{KeyRelease, v, true},
              Expected{KeyRelease, control, true}}) {
            XEvent event;
            QVERIFY(waitForEvent(m_display, target, expected.type, &event));
            QCOMPARE(event.xkey.keycode, unsigned(expected.code));
            QCOMPARE(bool(event.xkey.state & ControlMask), expected.withControl);
        }
    }

    void pasteKeystrokeWithoutAV() {
        QVERIFY(stopWindowManager());
        const Window target = makeWindow(10);
        XSetInputFocus(m_display, target, RevertToParent, CurrentTime);
        XSync(m_display, False);

        KeymapGuard keymap(m_display);
        const KeyCode originalV = XKeysymToKeycode(m_display, XK_v);
        keymap.set(originalV, XK_Cyrillic_em, XK_Cyrillic_EM); // a Russian-only keyboard
        QCOMPARE(int(XKeysymToKeycode(m_display, XK_v)), 0);
        const auto before = keymap.current();

        // A second client watches the target and looks the pressed keycode up
        // at once, while it still stands for v.
        std::atomic<bool> watching = false;
        KeyCode pressed = 0;
        KeySym meant = NoSymbol;
        unsigned state = 0;
        std::thread watcher([&] {
            Display *own = XOpenDisplay(m_displayName.constData());
            XSelectInput(own, target, KeyPressMask);
            XSync(own, False);
            watching = true;
            XEvent event = {};
            bool found = waitForEvent(own, target, KeyPress, &event);
            if (found && event.xkey.keycode == XKeysymToKeycode(own, XK_Control_L))
                found = waitForEvent(own, target, KeyPress, &event);
            if (found) {
                int per = 0;
                KeySym *syms = XGetKeyboardMapping(own, event.xkey.keycode, 1, &per);
                pressed = event.xkey.keycode;
                meant = syms ? syms[0] : NoSymbol;
                state = event.xkey.state;
                if (syms)
                    XFree(syms);
            }
            XCloseDisplay(own);
        });
        QVERIFY(waitUntil([&] { return watching.load(); }));
        const auto result = m_backend->sendPaste();
        watcher.join();
        QVERIFY2(result.ok, result.error.c_str());
        QVERIFY(pressed != 0 && pressed != originalV);
        QCOMPARE(meant, KeySym(XK_v));
        QVERIFY(state & ControlMask);
        QVERIFY(keymap.current() == before); // the borrowed keycode is given back
    }
};

QTEST_GUILESS_MAIN(TestX11Platform)
#include "tst_x11_platform.moc"
