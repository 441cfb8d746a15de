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
#include <X11/Xlib.h>
#include <X11/keysym.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <poll.h>
#include <thread>
#include <tuple>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kWait = 8000; // generous: the machine may be busy

// X errors that no trap of the backend took: on the backend's own connection
// such an error would have ended the program.
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

bool waitForEvent(Display *display, Window window, int type, XEvent *event) {
    return waitUntil([&] {
        XSync(display, False);
        return XCheckTypedWindowEvent(display, window, type, event);
    });
}

// Grabs Ctrl+key in every lock variant on a connection of its own; true when
// no variant was refused. The grabs end with the connection.
bool anotherClientCanGrabAll(const char *displayName, KeySym sym) {
    Display *other = XOpenDisplay(displayName);
    static int refused;
    refused = 0;
    XSync(other, False);
    auto previous = XSetErrorHandler([](Display *, XErrorEvent *) { return ++refused; });
    const unsigned numLock = XkbKeysymToModifiers(other, XK_Num_Lock);
    for (unsigned lock : {0u, unsigned(LockMask), numLock, numLock | LockMask})
        XGrabKey(other, XKeysymToKeycode(other, sym), ControlMask | lock, DefaultRootWindow(other), False,
                 GrabModeAsync, GrabModeAsync);
    XSync(other, False);
    XSetErrorHandler(previous);
    XCloseDisplay(other);
    return refused == 0;
}

std::vector<KeySym> mapping(Display *display, KeyCode code) {
    int per = 0;
    KeySym *syms = XGetKeyboardMapping(display, code, 1, &per);
    std::vector<KeySym> all(syms, syms + per);
    XFree(syms);
    return all;
}

// Puts other keysyms on a keycode for one scope.
struct Remap {
    Remap(Display *display, KeyCode code, std::vector<KeySym> syms)
        : display(display), code(code), old(mapping(display, code)) {
        change(syms);
    }
    ~Remap() { change(old); }
    void change(std::vector<KeySym> &syms) {
        XChangeKeyboardMapping(display, code, int(syms.size()), syms.data(), 1);
        XSync(display, False);
    }
    Display *display;
    KeyCode code;
    std::vector<KeySym> old;
};

} // namespace

class TestX11Platform : public QObject {
    Q_OBJECT

    QProcess m_xvfb, m_wm;
    QTemporaryDir m_wmHome;
    QByteArray m_displayName;
    Display *m_display = nullptr; // the test's own client
    std::unique_ptr<platform::Platform> m_backend;
    std::vector<Window> m_windows;

    bool xdotool(const QStringList &args) {
        QProcess process;
        process.start("xdotool", args);
        return process.waitForFinished(kWait * 2) && process.exitCode() == 0;
    }

    // Types keys with xdotool and runs the backend's event loop until count
    // reaches want or time is up; then, after a round trip that flushes what
    // the server still had for it, one more dispatch so that a delivery too
    // many would show. Answers count.
    int type(const QStringList &keys, const int &count, int want, int ms = kWait) {
        if (!xdotool(keys))
            return -1;
        const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
        while (count < want && Clock::now() < deadline) {
            pollfd fd = {m_backend->eventFd(), POLLIN, 0};
            if (poll(&fd, 1, 50) > 0)
                m_backend->dispatchEvents();
        }
        m_backend->keyIsDown(platform::vk::Shift);
        m_backend->dispatchEvents();
        return count;
    }

    // The first item of a window property, or 0 when it is not there.
    unsigned long property(Window window, const char *name) {
        Atom type = 0;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char *data = nullptr;
        XGetWindowProperty(m_display, window, XInternAtom(m_display, name, False), 0, 1, False,
                           AnyPropertyType, &type, &format, &count, &after, &data);
        const unsigned long value = count ? *reinterpret_cast<unsigned long *>(data) : 0;
        if (data)
            XFree(data);
        return value;
    }

    bool wmRuns() {
        const size_t errors = g_strayErrors.size();
        const Window check = property(DefaultRootWindow(m_display), "_NET_SUPPORTING_WM_CHECK");
        const bool runs = check && property(check, "_NET_SUPPORTING_WM_CHECK") == check;
        XSync(m_display, False);
        g_strayErrors.resize(errors); // a stale check window is no fault of the backend
        return runs;
    }

    bool setWindowManager(bool on) {
        if (on && m_wm.state() != QProcess::Running) {
            auto environment = QProcessEnvironment::systemEnvironment();
            environment.insert("HOME", m_wmHome.path()); // no configuration: jwm's defaults
            m_wm.setProcessEnvironment(environment);
            m_wm.setStandardOutputFile(QProcess::nullDevice());
            m_wm.setStandardErrorFile(QProcess::nullDevice());
            m_wm.start("jwm", {});
            m_wm.waitForStarted(kWait);
        } else if (!on && m_wm.state() == QProcess::Running) {
            m_wm.kill();
            m_wm.waitForFinished(kWait);
        }
        return waitUntil([&] { return wmRuns() == on; });
    }

    Window makeWindow(int x, Window parent = 0) {
        const Window window = XCreateSimpleWindow(m_display, parent ? parent : DefaultRootWindow(m_display),
                                                  x, 50, 200, 150, 0, 0, 0xffffff);
        XSelectInput(m_display, window, StructureNotifyMask | KeyPressMask | KeyReleaseMask);
        XMapWindow(m_display, window);
        XEvent event;
        waitForEvent(m_display, window, MapNotify, &event);
        if (!parent)
            m_windows.push_back(window);
        return window;
    }

    void focus(Window window) {
        XSetInputFocus(m_display, window, RevertToParent, CurrentTime);
        XSync(m_display, False);
    }

  private slots:
    void initTestCase() {
        XInitThreads(); // the paste watcher reads its own connection on a thread
        for (const char *tool : {"Xvfb", "xdotool", "jwm"})
            if (QStandardPaths::findExecutable(tool).isEmpty())
                QSKIP(qPrintable(QString(tool) + " is not installed: the X11 backend is not tested here"));
        // Xvfb picks a free display itself and writes its number when it is ready.
        m_xvfb.setStandardErrorFile(QProcess::nullDevice());
        m_xvfb.start("Xvfb",
                     {"-displayfd", "1", "-screen", "0", "1280x800x24", "-nolisten", "tcp", "-noreset"});
        QByteArray number;
        while (!number.contains('\n') && m_xvfb.waitForReadyRead(30000))
            number += m_xvfb.readAllStandardOutput();
        QVERIFY2(number.contains('\n'), "Xvfb did not report its display");
        m_displayName = ":" + number.trimmed();
        qputenv("DISPLAY", m_displayName);

        XSetErrorHandler(recordError);
        m_display = XOpenDisplay(m_displayName.constData());
        QVERIFY(m_display);
        m_backend = platform::createDefault();
        QCOMPARE(QString::fromStdString(m_backend->name()), QString("x11"));
    }

    void cleanupTestCase() {
        m_backend.reset();
        if (m_display)
            XCloseDisplay(m_display);
        for (QProcess *process : {&m_wm, &m_xvfb}) {
            process->kill();
            process->waitForFinished(kWait);
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
        using namespace platform;
        QVERIFY(xdotool({"keydown", "ctrl", "c"}));
        QVERIFY(waitUntil([&] { return m_backend->keyIsDown(vk::Control) && m_backend->keyIsDown(vk::C); }));
        QVERIFY(!m_backend->keyIsDown(vk::Shift) && !m_backend->keyIsDown('V'));
        QVERIFY(xdotool({"keyup", "ctrl", "c"}));
        QVERIFY(
            waitUntil([&] { return !m_backend->keyIsDown(vk::Control) && !m_backend->keyIsDown(vk::C); }));

        // Caps Lock switched on but not held is not down; held, it is.
        QVERIFY(xdotool({"key", "Caps_Lock"}));
        XkbStateRec state;
        XkbGetState(m_display, XkbUseCoreKbd, &state);
        QVERIFY(state.locked_mods & LockMask);
        QVERIFY(!m_backend->keyIsDown(20));
        QVERIFY(xdotool({"keydown", "Caps_Lock"})); // switches it off again
        QVERIFY(waitUntil([&] { return m_backend->keyIsDown(20); }));
        QVERIFY(xdotool({"keyup", "Caps_Lock"}));

        QVERIFY(xdotool({"mousedown", "1"}));
        QVERIFY(waitUntil([&] { return m_backend->keyIsDown(vk::LeftButton); }));
        QVERIFY(xdotool({"mouseup", "1"}));
        QVERIFY(waitUntil([&] { return !m_backend->keyIsDown(vk::LeftButton); }));
    }

    void hotkeyArrivesOncePerPress() {
        int presses = 0;
        QVERIFY(m_backend->registerHotkey(117, platform::vk::E, [&] { ++presses; }).ok);
        QCOMPARE(type({"key", "ctrl+e"}, presses, 1), 1);
        // Other modifiers or none: not the hotkey.
        QCOMPARE(type({"key", "e", "ctrl+shift+e", "ctrl+r"}, presses, 2, 300), 1);

        // Lock keys switched on do not hide it.
        QVERIFY(xdotool({"key", "Num_Lock"}));
        XkbStateRec state;
        XkbGetState(m_display, XkbUseCoreKbd, &state);
        QVERIFY(state.locked_mods & XkbKeysymToModifiers(m_display, XK_Num_Lock));
        QCOMPARE(type({"key", "ctrl+e"}, presses, 2), 2);
        QCOMPARE(type({"key", "Caps_Lock", "ctrl+e", "Caps_Lock", "Num_Lock"}, presses, 3), 3);

        // Held down with auto-repeat: one delivery; the next real press counts again.
        QCOMPARE(type({"keydown", "ctrl+e"}, presses, 99, 800), 4); // longer than the repeat delay
        QCOMPARE(type({"keyup", "ctrl+e"}, presses, 5, 300), 4);

        // While the combination is held the keyboard is free for the program's
        // own windows, and a release made meanwhile still counts as one.
        QCOMPARE(type({"keydown", "ctrl+e"}, presses, 5), 5);
        Display *other = XOpenDisplay(m_displayName.constData());
        const bool grabbed = waitUntil([&] {
            m_backend->dispatchEvents();
            return XGrabKeyboard(other, DefaultRootWindow(other), False, GrabModeAsync, GrabModeAsync,
                                 CurrentTime) == GrabSuccess;
        });
        type({"keyup", "ctrl+e"}, presses, 6, 300);
        XCloseDisplay(other);
        QVERIFY2(grabbed, "the keyboard stayed grabbed while the hotkey was held");
        QCOMPARE(type({"key", "ctrl+e"}, presses, 6), 6);

        m_backend->unregisterHotkey(117);
        QVERIFY(anotherClientCanGrabAll(m_displayName.constData(), XK_e));
        QCOMPARE(type({"key", "ctrl+e"}, presses, 7, 300), 6);
    }

    void eventsReadDuringARoundTripWakeTheLoop() {
        int presses = 0;
        QVERIFY(m_backend->registerHotkey(117, platform::vk::E, [&] { ++presses; }).ok);
        m_backend->dispatchEvents();
        pollfd fd = {m_backend->eventFd(), POLLIN, 0};
        QCOMPARE(poll(&fd, 1, 0), 0); // nothing to do: the loop must not spin
        QVERIFY(xdotool({"keydown", "ctrl+e"}));
        // Once the server shows E down, the press came before that reply:
        // Xlib holds it now and the socket is empty, yet the loop must wake.
        QVERIFY(waitUntil([&] { return m_backend->keyIsDown(platform::vk::E); }));
        QCOMPARE(presses, 0);
        QVERIFY(poll(&fd, 1, 0) > 0);
        m_backend->dispatchEvents();
        QCOMPARE(presses, 1);
        QCOMPARE(type({"keyup", "ctrl+e"}, presses, 2, 300), 1);
        QCOMPARE(poll(&fd, 1, 0), 0);
        m_backend->unregisterHotkey(117);
    }

    void functionKeyHotkeyAndInvalidKeys() {
        int presses = 0;
        QVERIFY(m_backend->registerHotkey(117, platform::vk::F1, [&] { ++presses; }).ok);
        QCOMPARE(type({"key", "ctrl+e", "ctrl+F1"}, presses, 1), 1);
        m_backend->unregisterHotkey(117);
        QVERIFY(anotherClientCanGrabAll(m_displayName.constData(), XK_F1));
        // Only Ctrl plus A-Z or F1-F12.
        for (int code : {0, int('0'), int('a'), 124, 255}) {
            const auto result = m_backend->registerHotkey(117, code, [] {});
            QVERIFY(!result.ok && !result.error.empty());
        }
    }

    void hotkeyHeldByAnotherProgram_data() {
        QTest::addColumn<unsigned>("lock");
        QTest::newRow("plain") << 0u;
        QTest::newRow("caps lock variant") << unsigned(LockMask);
        QTest::newRow("num lock variant") << XkbKeysymToModifiers(m_display, XK_Num_Lock);
    }
    void hotkeyHeldByAnotherProgram() {
        QFETCH(unsigned, lock);
        Display *other = XOpenDisplay(m_displayName.constData());
        const KeyCode e = XKeysymToKeycode(other, XK_e);
        XGrabKey(other, e, ControlMask | lock, DefaultRootWindow(other), False, GrabModeAsync, GrabModeAsync);
        XSync(other, False);
        const auto result = m_backend->registerHotkey(117, platform::vk::E, [] {});
        QVERIFY(!result.ok);
        QVERIFY2(result.error.find("Ctrl+E") != std::string::npos, result.error.c_str());

        // No variant stays with the backend, and a later registration works.
        XCloseDisplay(other);
        QVERIFY(anotherClientCanGrabAll(m_displayName.constData(), XK_e));
        QVERIFY(m_backend->registerHotkey(117, platform::vk::E, [] {}).ok);
        QVERIFY(!anotherClientCanGrabAll(m_displayName.constData(), XK_e));
        m_backend->unregisterHotkey(117);
    }

    void hotkeyFollowsAKeyboardRemap() {
        int presses = 0;
        QVERIFY(m_backend->registerHotkey(117, platform::vk::E, [&] { ++presses; }).ok);
        {
            // E moves to the keycode of Q.
            Remap oldE(m_display, XKeysymToKeycode(m_display, XK_e), {XK_F20});
            Remap newE(m_display, XKeysymToKeycode(m_display, XK_q), {XK_e, XK_E});
            m_backend->dispatchEvents(); // the mapping notices are on its socket by now
            QCOMPARE(type({"key", "ctrl+e"}, presses, 1), 1);
        }
        m_backend->dispatchEvents();
        QCOMPARE(type({"key", "ctrl+e"}, presses, 2), 2);
        m_backend->unregisterHotkey(117);
    }

    void windowsWithoutWindowManager() {
        QVERIFY(setWindowManager(false));
        const Window a = makeWindow(10);
        const Window b = makeWindow(300);
        focus(makeWindow(5, a));
        QCOMPARE(m_backend->foregroundWindow(), platform::WindowId(a)); // walked up to the top level

        QVERIFY(m_backend->activateWindow(b, kWait));
        QCOMPARE(m_backend->foregroundWindow(), platform::WindowId(b));
        QVERIFY(m_backend->windowExists(a));
        XDestroyWindow(m_display, a);
        XSync(m_display, False);
        m_windows.erase(m_windows.begin());
        QVERIFY(!m_backend->windowExists(a) && !m_backend->activateWindow(a, 200));
        QVERIFY(!m_backend->windowExists(0) && !m_backend->activateWindow(0, 200));
    }

    void windowsWithWindowManager() {
        QVERIFY2(setWindowManager(true), "jwm did not come up");
        const Window a = makeWindow(10);
        const Window b = makeWindow(400);
        QVERIFY(waitUntil([&] { return property(a, "WM_STATE") && property(b, "WM_STATE"); }));
        for (Window window : {a, b, b}) { // the last one is there already
            QVERIFY(m_backend->activateWindow(window, kWait));
            QCOMPARE(m_backend->foregroundWindow(), platform::WindowId(window));
        }
        XDestroyWindow(m_display, b);
        XSync(m_display, False);
        m_windows.pop_back();
        QVERIFY(!m_backend->windowExists(b) && !m_backend->activateWindow(b, 200));

        // Once the manager is gone, what it left on the root is not believed.
        QVERIFY(setWindowManager(false));
        focus(a);
        QCOMPARE(m_backend->foregroundWindow(), platform::WindowId(a));
    }

    void pasteKeystroke() {
        QVERIFY(setWindowManager(false));
        const Window target = makeWindow(10);
        focus(target);
        QVERIFY(m_backend->sendPaste().ok);
        const KeyCode control = XKeysymToKeycode(m_display, XK_Control_L);
        const KeyCode v = XKeysymToKeycode(m_display, XK_v);
        const std::tuple<int, KeyCode, bool> expected[] = {{KeyPress, control, false},
                                                           {KeyPress, v, true},
                                                           {KeyRelease, v, true},
                                                           {KeyRelease, control, true}};
        for (const auto &[type, code, withControl] : expected) {
            XEvent event;
            QVERIFY(waitForEvent(m_display, target, type, &event));
            QCOMPARE(event.xkey.keycode, unsigned(code));
            QCOMPARE(bool(event.xkey.state & ControlMask), withControl);
        }

        // A keyboard without a v (Russian alone): a spare keycode stands in
        // for the moment of the paste. A second client looks the pressed
        // keycode up at once, while it still stands for v.
        Remap russian(m_display, v, {XK_Cyrillic_em, XK_Cyrillic_EM});
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
            while (waitForEvent(own, target, KeyPress, &event) && event.xkey.keycode == control) {
            }
            pressed = event.xkey.keycode;
            state = event.xkey.state;
            meant = pressed ? mapping(own, pressed)[0] : NoSymbol;
            XCloseDisplay(own);
        });
        QVERIFY(waitUntil([&] { return watching.load(); }));
        const auto result = m_backend->sendPaste();
        watcher.join();
        QVERIFY2(result.ok, result.error.c_str());
        QVERIFY(pressed != 0 && pressed != v);
        QCOMPARE(meant, KeySym(XK_v));
        QVERIFY(state & ControlMask);
        QVERIFY(mapping(m_display, pressed)[0] != XK_v); // the keycode is given back
    }
};

QTEST_GUILESS_MAIN(TestX11Platform)
#include "tst_x11_platform.moc"
