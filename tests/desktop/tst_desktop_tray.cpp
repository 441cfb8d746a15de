// The notification-area icon and the main menu, with jwm's tray as the host.
#include "Desktop.h"

#include <QDir>
#include <QThread>
#include <QtTest>

class DesktopTray : public DesktopTest {
    Q_OBJECT
    QProcess *vemo = nullptr;

    // The program's window of a size, or empty.
    QString windowSized(const std::function<bool(QSize)> &fits, int timeoutMs = 5000) {
        return install->waitForWindowOf(vemo, fits, timeoutMs);
    }
    QString trayIcon(int timeoutMs = 5000) {
        return windowSized([](QSize s) { return s.width() < 40 && s.height() < 40; }, timeoutMs);
    }
    QString floatingIcon(int timeoutMs = 5000) {
        return windowSized([](QSize s) { return s == QSize(48, 48); }, timeoutMs);
    }
    QString list(int timeoutMs = 5000) {
        return windowSized([](QSize s) { return s == QSize(420, 643); }, timeoutMs);
    }
    void clickOn(const QString &window, const QString &button) {
        const QPoint c = install->centre(window);
        display->xdo({QStringLiteral("mousemove"), QString::number(c.x()), QString::number(c.y())});
        display->xdo({QStringLiteral("click"), button});
    }
    // Chooses the n-th item of the menu that just popped up.
    void chooseMenuItem(int n) {
        QThread::msleep(400);
        for (int i = 0; i < n; ++i)
            display->xdo({QStringLiteral("key"), QStringLiteral("Down")});
        display->xdo({QStringLiteral("key"), QStringLiteral("Return")});
    }

  private slots:
    void freshProfileLivesInTheTrayAndTheMenuSwitches() {
        vemo = install->start();
        const QString tray = trayIcon(15000);
        QVERIFY2(!tray.isEmpty(), "no notification-area icon");
        QVERIFY(floatingIcon(500).isEmpty());

        // A click opens the list at the right edge, even with an empty library.
        clickOn(tray, QStringLiteral("1"));
        const QString shown = list();
        QVERIFY2(!shown.isEmpty(), "a click on the tray icon opened no list");
        QCOMPARE(install->geometry(shown).right() + 1, 1920);
        QCOMPARE(install->geometry(shown).top(), 200);
        // A normal click on the tray icon while the list is open keeps the list and what it shows.
        display->xdo(
            {QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("50"), QStringLiteral("abc")});
        const QPoint c = install->centre(tray);
        display->xdo({QStringLiteral("mousemove"), QString::number(c.x()), QString::number(c.y())});
        display->xdo({QStringLiteral("mousedown"), QStringLiteral("1")});
        QThread::msleep(250);
        display->xdo({QStringLiteral("mouseup"), QStringLiteral("1")});
        QThread::msleep(500);
        QCOMPARE(list(), shown);
        display->xdo({QStringLiteral("key"), QStringLiteral("Escape")});
        QVERIFY(waitUntil([&] { return list(100).isEmpty(); }, 5000));

        // Right click: 添加新内容, 显示成屏幕图标, 设置, 关于, 退出.
        clickOn(tray, QStringLiteral("3"));
        chooseMenuItem(2);
        QVERIFY2(!floatingIcon().isEmpty(), "显示成屏幕图标 showed no icon");
        QVERIFY(waitUntil([&] { return trayIcon(100).isEmpty(); }, 5000));
        QCOMPARE(install->setting(QStringLiteral("显示到系统托盘")), QStringLiteral("False"));

        // The next start keeps the choice.
        install->stopAll();
        vemo = install->start();
        const QString icon = floatingIcon(15000);
        QVERIFY(!icon.isEmpty());
        QVERIFY(trayIcon(500).isEmpty());

        // Right click on the icon: 显示到系统托盘, 设置, 关于, 退出.
        clickOn(icon, QStringLiteral("3"));
        chooseMenuItem(1);
        QVERIFY2(!trayIcon().isEmpty(), "显示到系统托盘 added no tray icon");
        QVERIFY(waitUntil([&] { return floatingIcon(100).isEmpty(); }, 5000));
        QCOMPARE(install->setting(QStringLiteral("显示到系统托盘")), QStringLiteral("True"));

        // 退出 ends the process and leaves no icon behind.
        clickOn(trayIcon(), QStringLiteral("3"));
        chooseMenuItem(5);
        QVERIFY2(install->waitForExit(vemo), "退出 did not end the program");
        QCOMPARE(vemo->exitCode(), 0);
        const QString left = display->xdo({QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                           QStringLiteral("--name"), QStringLiteral("Vemo文本收集器")});
        QVERIFY2(left.trimmed().isEmpty(), qPrintable(left));
    }
};

QTEST_GUILESS_MAIN(DesktopTray)
#include "tst_desktop_tray.moc"
