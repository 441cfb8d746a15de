// Start-up, single instance and shutdown of the real program on a private display.
#include "Desktop.h"

#include <QDir>
#include <QtTest>
#include <csignal>

class DesktopStartup : public DesktopTest {
    Q_OBJECT

  private slots:
    void iconShownAtStoredPlaceOnFreshProfile() {
        install->setSetting(QStringLiteral("显示到系统托盘"), QStringLiteral("False"));
        QProcess *vemo = install->start();
        QString icon;
        QVERIFY(waitUntil([&] { return !(icon = install->windowsOf(vemo).value(0)).isEmpty(); }, 15000));
        // 12000 and 200 twips at 15 twips to the pixel.
        QTRY_COMPARE_WITH_TIMEOUT(install->geometry(icon).topLeft(), QPoint(800, 13), 5000);
        QCOMPARE(install->geometry(icon).size(), QSize(48, 48));
        display->screenshot(QDir::tempPath() + QStringLiteral("/vemo-icon-window.png"));
    }

    void secondStartShowsNoticeAndLeavesFirstRunning() {
        install->setSetting(QStringLiteral("显示到系统托盘"), QStringLiteral("False"));
        QProcess *first = install->start();
        QVERIFY(waitUntil([&] { return !install->windowsOf(first).isEmpty(); }, 15000));
        QProcess *second = install->start();
        const QString notice = install->waitForWindow(QStringLiteral("【Vemo】文本收集器提示您"));
        QVERIFY2(!notice.isEmpty(), "the second start shows no notice");
        QVERIFY(install->windowsOf(second).contains(notice));
        QCOMPARE(second->state(), QProcess::Running); // it waits for the notice to be closed
        display->run(QStringLiteral("xdotool"),
                     {QStringLiteral("windowactivate"), QStringLiteral("--sync"), notice});
        display->run(QStringLiteral("xdotool"),
                     {QStringLiteral("key"), QStringLiteral("--window"), notice, QStringLiteral("Return")});
        QVERIFY(install->waitForExit(second));
        QCOMPARE(second->exitCode(), 0);
        QCOMPARE(first->state(), QProcess::Running);
        QVERIFY(!install->windowsOf(first).isEmpty());
    }

    void staleLockOfKilledInstanceDoesNotBlock() {
        install->setSetting(QStringLiteral("显示到系统托盘"), QStringLiteral("False"));
        QProcess *first = install->start();
        QVERIFY(waitUntil([&] { return !install->windowsOf(first).isEmpty(); }, 15000));
        ::kill(static_cast<pid_t>(first->processId()), SIGKILL);
        QVERIFY(install->waitForExit(first));
        QProcess *next = install->start();
        QVERIFY2(waitUntil([&] { return !install->windowsOf(next).isEmpty(); }, 15000),
                 "no icon after a stale lock");
        QVERIFY(install->waitForWindow(QStringLiteral("【Vemo】文本收集器提示您"), 500).isEmpty());
    }

    void terminationEndsInOrder() {
        install->setSetting(QStringLiteral("显示到系统托盘"), QStringLiteral("False"));
        QProcess *vemo = install->start();
        QVERIFY(waitUntil([&] { return !install->windowsOf(vemo).isEmpty(); }, 15000));
        vemo->terminate();
        QVERIFY(install->waitForExit(vemo));
        QCOMPARE(vemo->exitStatus(), QProcess::NormalExit);
        QCOMPARE(vemo->exitCode(), 0);
        // The lock went with it: the next start is not refused.
        QProcess *next = install->start();
        QVERIFY(waitUntil([&] { return !install->windowsOf(next).isEmpty(); }, 15000));
        QVERIFY(install->waitForWindow(QStringLiteral("【Vemo】文本收集器提示您"), 500).isEmpty());
    }
};

QTEST_GUILESS_MAIN(DesktopStartup)
#include "tst_desktop_startup.moc"
