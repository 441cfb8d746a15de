// The X11 backend against a private Xvfb (and jwm where a window manager is
// needed). Input comes from xdotool, as from another program; the test's own
// Xlib connections play the other clients and the target windows.
#include "XServer.h"
#include "platform.h"

#include <QtTest>

// Xlib after Qt: its macros (None, Bool, KeyPress) would break Qt's headers.
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <atomic>
#include <poll.h>
#include <thread>

namespace {

// X errors that no trap of the backend took: on the backend's own connection
// such an error would have ended the program.
std::vector<int> g_strayErrors;
int recordError(Display *, XErrorEvent *event) {
    g_strayErrors.push_back(event->error_code);
    return 0;
}

bool waitForEvent(Display *display, Window window, int type, XEvent *event) {
    return waitUntil([&] {
        XSync(display, False);
        return XCheckTypedWindowEvent(display, window, type, event);
    });
}

// Grabs Ctrl+key in every lock variant on a connection of its own; true when
// no variant was refused. The grabs end with the connection.
bool anotherClientCanGrabAll(const QByteArray &displayName, KeySym sym) {
    Display *other = XOpenDisplay(displayName.constData());
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

// Puts other keysyms on a keycode; the old ones come back with the guard.
std::shared_ptr<void> remap(Display *display, KeyCode code, std::vector<KeySym> syms) {
    const auto put = [display, code](std::vector<KeySym> syms) {
        XChangeKeyboardMapping(display, code, int(syms.size()), syms.data(), 1);
        XSync(display, False);
    };
    std::shared_ptr<void> guard(nullptr, [put, old = mapping(display, code)](void *) { put(old); });
    put(syms);
    return guard;
}

} // namespace

class TestX11Platform : public QObject {
    Q_OBJECT

    XServer m_x;
    QByteArray m_name;
    Display *m_display = nullptr; // the test's own client
    std::unique_ptr<platform::Platform> m_backend;
    std::vector<Window> m_windows;

    void xdotool(const QStringList &args) { m_x.run("xdotool", args); }

    // Types keys with xdotool and runs the backend's event loop until count
    // reaches want or time is up; then, after a round trip that flushes what
    // the server still had for it, one more dispatch so that a delivery too
    // many would show. Answers count.
    int type(const QStringList &keys, const int &count, int want, int ms = 8000) {
        xdotool(keys);
        QDeadlineTimer deadline(ms);
        while (count < want && !deadline.hasExpired()) {
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

    // jwm comes and goes: its check window's id stays on the root, naming no window.
    bool windowManagerCameAndWent() {
        if (!m_x.startWindowManager())
            return false;
        const Window check = property(DefaultRootWindow(m_display), "_NET_SUPPORTING_WM_CHECK");
        m_x.stopWindowManager();
        const size_t errors = g_strayErrors.size();
        const bool gone = waitUntil([&] { return !property(check, "_NET_SUPPORTING_WM_CHECK"); });
        XSync(m_display, False);
        g_strayErrors.resize(errors); // reading the stale window is no fault of the backend
        return check && gone;
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

    void destroy(Window window) {
        XDestroyWindow(m_display, window);
        XSync(m_display, False);
        std::erase(m_windows, window);
    }

    void focus(Window window) {
        XSetInputFocus(m_display, window, RevertToParent, CurrentTime);
        XSync(m_display, False);
    }

  private slots:
    void initTestCase() {
        XInitThreads(); // the paste watcher reads its own connection on a thread
        for (const char *tool : {"Xvfb", "xdotool", "jwm", "xprop"})
            if (QStandardPaths::findExecutable(tool).isEmpty())
                QSKIP(qPrintable(QString(tool) + " is not installed: the X11 backend is not tested here"));
        const QString error = m_x.start();
        QVERIFY2(error.isEmpty(), qPrintable(error));
        m_name = m_x.name().toLatin1();
        qputenv("DISPLAY", m_name);
        XSetErrorHandler(recordError);
        m_display = XOpenDisplay(m_name.constData());
        QVERIFY(m_display);
        m_backend = platform::createDefault();
        QCOMPARE(QString::fromStdString(m_backend->name()), QString("x11"));
    }

    void cleanupTestCase() {
        m_backend.reset();
        if (m_display)
            XCloseDisplay(m_display);
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

    void hotkeyArrivesOncePerPress_data() {
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("name");
        QTest::addColumn<unsigned>("sym");
        QTest::addColumn<QString>("other");
        QTest::newRow("Ctrl+E") << int(platform::vk::E) << "e" << unsigned(XK_e) << "ctrl+F1";
        QTest::newRow("Ctrl+F1") << int(platform::vk::F1) << "F1" << unsigned(XK_F1) << "ctrl+e";
    }
    void hotkeyArrivesOncePerPress() {
        QFETCH(int, code);
        QFETCH(QString, name);
        QFETCH(unsigned, sym);
        QFETCH(QString, other);
        const QString hotkey = "ctrl+" + name;
        // xdotool's Num_Lock locks a modifier here, or the lock rows would prove nothing.
        xdotool({"key", "Num_Lock"});
        XkbStateRec state;
        XkbGetState(m_display, XkbUseCoreKbd, &state);
        xdotool({"key", "Num_Lock"});
        QVERIFY(state.locked_mods & XkbKeysymToModifiers(m_display, XK_Num_Lock));

        int presses = 0;
        QVERIFY(m_backend->registerHotkey(117, code, [&] { ++presses; }).ok);
        // Keys typed and the presses counted then; with quietMs, no further one comes in that time.
        const struct {
            QStringList keys;
            int presses, quietMs;
        } steps[] = {
            {{"key", hotkey}, 1, 0},
            {{"key", name, "ctrl+shift+" + name, "ctrl+r", other}, 1, 300}, // other modifiers or keys
            {{"key", "Num_Lock", hotkey}, 2, 0},                            // lock keys switched on
            {{"key", "Caps_Lock", hotkey, "Caps_Lock", "Num_Lock"}, 3, 0},
            {{"keydown", hotkey}, 4, 800}, // held longer than the repeat delay: one delivery
            {{"keyup", hotkey}, 4, 300},
            {{"keydown", hotkey}, 5, 0},
        };
        for (const auto &[keys, count, quietMs] : steps)
            QCOMPARE(type(keys, presses, quietMs ? count + 1 : count, quietMs ? quietMs : 8000), count);

        // While the combination is held the keyboard is free for the program's
        // own windows, and a release made meanwhile still counts as one.
        Display *client = XOpenDisplay(m_name.constData());
        const bool grabbed = waitUntil([&] {
            m_backend->dispatchEvents();
            return XGrabKeyboard(client, DefaultRootWindow(client), False, GrabModeAsync, GrabModeAsync,
                                 CurrentTime) == GrabSuccess;
        });
        type({"keyup", hotkey}, presses, 6, 300);
        XCloseDisplay(client);
        QVERIFY2(grabbed, "the keyboard stayed grabbed while the hotkey was held");
        QCOMPARE(type({"key", hotkey}, presses, 6), 6);

        m_backend->unregisterHotkey(117);
        QVERIFY(anotherClientCanGrabAll(m_name, sym));
        QCOMPARE(type({"key", hotkey}, presses, 7, 300), 6);
        // Only Ctrl plus A-Z or F1-F12.
        for (int wrong : {0, int('0'), int('a'), 124, 255}) {
            const auto result = m_backend->registerHotkey(117, wrong, [] {});
            QVERIFY(!result.ok && !result.error.empty());
        }
    }

    void eventsReadDuringARoundTripWakeTheLoop() {
        int presses = 0;
        QVERIFY(m_backend->registerHotkey(117, platform::vk::E, [&] { ++presses; }).ok);
        m_backend->dispatchEvents();
        pollfd fd = {m_backend->eventFd(), POLLIN, 0};
        QCOMPARE(poll(&fd, 1, 0), 0); // nothing to do: the loop must not spin
        xdotool({"keydown", "ctrl+e"});
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

    void hotkeyHeldByAnotherProgram_data() {
        QTest::addColumn<unsigned>("lock");
        QTest::newRow("plain") << 0u;
        QTest::newRow("caps lock variant") << unsigned(LockMask);
        QTest::newRow("num lock variant") << XkbKeysymToModifiers(m_display, XK_Num_Lock);
    }
    void hotkeyHeldByAnotherProgram() {
        QFETCH(unsigned, lock);
        Display *other = XOpenDisplay(m_name.constData());
        XGrabKey(other, XKeysymToKeycode(other, XK_e), ControlMask | lock, DefaultRootWindow(other), False,
                 GrabModeAsync, GrabModeAsync);
        XSync(other, False);
        const auto result = m_backend->registerHotkey(117, platform::vk::E, [] {});
        QVERIFY(!result.ok);
        QVERIFY2(result.error.find("Ctrl+E") != std::string::npos, result.error.c_str());

        // No variant stays with the backend, and a later registration works.
        XCloseDisplay(other);
        QVERIFY(anotherClientCanGrabAll(m_name, XK_e));
        QVERIFY(m_backend->registerHotkey(117, platform::vk::E, [] {}).ok);
        QVERIFY(!anotherClientCanGrabAll(m_name, XK_e));
        m_backend->unregisterHotkey(117);
    }

    void hotkeyFollowsAKeyboardRemap() {
        int presses = 0;
        QVERIFY(m_backend->registerHotkey(117, platform::vk::E, [&] { ++presses; }).ok);
        {
            // E moves to the keycode of Q.
            const auto oldE = remap(m_display, XKeysymToKeycode(m_display, XK_e), {XK_F20});
            const auto newE = remap(m_display, XKeysymToKeycode(m_display, XK_q), {XK_e, XK_E});
            m_backend->dispatchEvents(); // the mapping notices are on its socket by now
            QCOMPARE(type({"key", "ctrl+e"}, presses, 1), 1);
        }
        m_backend->dispatchEvents();
        QCOMPARE(type({"key", "ctrl+e"}, presses, 2), 2);

        // A notice that moves nothing (the server sends one whenever input
        // switches to another keyboard) leaves the grab as it is: released
        // and taken again, a press could slip through to the window in front,
        // and a combination held meanwhile would be delivered twice.
        QCOMPARE(type({"keydown", "ctrl+e"}, presses, 3), 3);
        const KeyCode q = XKeysymToKeycode(m_display, XK_q);
        remap(m_display, q, mapping(m_display, q));
        QCOMPARE(type({"sleep", "0"}, presses, 4, 1000), 3); // past the repeat delay
        xdotool({"keyup", "ctrl+e"});
        m_backend->unregisterHotkey(117);
    }

    // Without a window manager the backend finds and activates windows
    // itself; a manager that left its check window behind is not believed.
    // (With jwm running, the desktop tests activate the paste target.)
    void windowsWithoutWindowManager() {
        QVERIFY2(windowManagerCameAndWent(), "jwm did not come and go");
        const Window a = makeWindow(10), b = makeWindow(300);
        XClassHint hint = {const_cast<char *>("vemo-test"), const_cast<char *>("VemoTest")};
        XSetClassHint(m_display, a, &hint);
        focus(makeWindow(5, a));
        QCOMPARE(m_backend->foregroundWindow(), platform::WindowId(a)); // walked up to the top level
        QVERIFY(m_backend->activateWindow(b, 8000));
        QCOMPARE(m_backend->foregroundWindow(), platform::WindowId(b));
        QVERIFY(m_backend->windowExists(a));
        QCOMPARE(m_backend->windowClass(a).instance + "." + m_backend->windowClass(a).className,
                 std::string("vemo-test.VemoTest"));
        QVERIFY(m_backend->windowClass(b).className.empty());
        destroy(a);
        QVERIFY(!m_backend->windowExists(a) && !m_backend->activateWindow(a, 200));
        QVERIFY(m_backend->windowClass(a).className.empty());
        QVERIFY(!m_backend->windowExists(0) && !m_backend->activateWindow(0, 200));
    }

    // A keyboard without the keystroke's key (Russian alone has no v): a
    // spare keycode stands in for the moment of the paste. A second client
    // looks the pressed keycode up at once, while it still stands for the
    // key. (With the keys there, the desktop tests paste into other programs.)
    void pasteKeystrokeWithoutItsKey_data() {
        QTest::addColumn<platform::PasteKeys>("keys");
        QTest::addColumn<unsigned>("sym");
        QTest::addColumn<unsigned>("modifiers");
        QTest::newRow("Ctrl+V") << platform::PasteKeys::CtrlV << unsigned(XK_v) << unsigned(ControlMask);
        QTest::newRow("Ctrl+Shift+V")
            << platform::PasteKeys::CtrlShiftV << unsigned(XK_v) << unsigned(ControlMask | ShiftMask);
        QTest::newRow("Shift+Insert")
            << platform::PasteKeys::ShiftInsert << unsigned(XK_Insert) << unsigned(ShiftMask);
    }
    void pasteKeystrokeWithoutItsKey() {
        QFETCH(platform::PasteKeys, keys);
        QFETCH(unsigned, sym);
        QFETCH(unsigned, modifiers);
        const Window target = makeWindow(10);
        focus(target);
        const KeyCode own = XKeysymToKeycode(m_display, sym);
        const auto elsewhere = remap(m_display, own, {XK_Cyrillic_em, XK_Cyrillic_EM});
        std::atomic<bool> watching = false;
        XEvent event = {};
        KeySym meant = NoSymbol;
        std::thread watcher([&] {
            Display *display = XOpenDisplay(m_name.constData());
            XSelectInput(display, target, KeyPressMask);
            XSync(display, False);
            watching = true;
            while (waitForEvent(display, target, KeyPress, &event) &&
                   IsModifierKey(XkbKeycodeToKeysym(display, event.xkey.keycode, 0, 0))) {
            }
            meant = event.xkey.keycode ? mapping(display, event.xkey.keycode)[0] : NoSymbol;
            XCloseDisplay(display);
        });
        QVERIFY(waitUntil([&] { return watching.load(); }));
        const auto result = m_backend->sendPaste(keys);
        watcher.join();
        QVERIFY2(result.ok, result.error.c_str());
        const KeyCode pressed = event.xkey.keycode;
        QVERIFY(pressed != 0 && pressed != own);
        QCOMPARE(meant, KeySym(sym));
        QCOMPARE(event.xkey.state & (ControlMask | ShiftMask | Mod1Mask), modifiers);
        QVERIFY(mapping(m_display, pressed)[0] != sym); // the keycode is given back
    }
};

QTEST_GUILESS_MAIN(TestX11Platform)
#include "tst_x11_platform.moc"
