// Start-up, single instance and shutdown of the real program on a private display.
#include "Desktop.h"

#include <QDir>
#include <QFile>
#include <QThread>
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

    // With the quick list held open, its balloon up and the settings window
    // open, the end by the menu's 退出 and by the session's SIGTERM: nothing
    // crashes, every window writes its settings, and no lock is left behind.
    void endWithTheBalloonShownIsOrderly_data() {
        QTest::addColumn<bool>("byMenu");
        QTest::newRow("退出 from the icon's menu") << true;
        QTest::newRow("SIGTERM from the session") << false;
    }
    void endWithTheBalloonShownIsOrderly() {
        QFETCH(bool, byMenu);
        install->setSetting(QStringLiteral("显示到系统托盘"), QStringLiteral("False"));
        install->setSetting(QStringLiteral("窗体自动关闭"), QStringLiteral("0"));
        install->sql(QStringLiteral("INSERT INTO VBcode VALUES (1, '组', 'Sub', '标题', '一段文本', "
                                    "'20200101000001', '常用')"));
        QProcess *vemo = install->start();
        const auto sized = [&](QSize size) {
            return install->waitForWindowOf(
                vemo, [size](QSize s) { return s == size; }, 8000);
        };
        const QString icon = sized(QSize(48, 48));
        QVERIFY(!icon.isEmpty());
        const auto clickAt = [&](QPoint p, const QString &button) {
            display->xdo({QStringLiteral("mousemove"), QString::number(p.x()), QString::number(p.y())});
            QThread::msleep(150);
            display->xdo({QStringLiteral("click"), button});
        };
        // The settings window, from the icon's menu: 显示到系统托盘, 设置, ...
        clickAt(install->centre(icon), QStringLiteral("3"));
        QThread::msleep(400);
        display->xdo({QStringLiteral("key"), QStringLiteral("Down"), QStringLiteral("Down"),
                      QStringLiteral("Return")});
        QVERIFY2(!install->waitForWindow(QStringLiteral("^设置$")).isEmpty(), "no settings window");
        clickAt(install->centre(icon), QStringLiteral("1"));
        const QString list = sized(QSize(420, 643));
        QVERIFY2(!list.isEmpty(), "no quick list");
        // Resting on "详" of the first row brings its balloon.
        display->xdo({QStringLiteral("mousemove"), QString::number(install->geometry(list).x() + 378),
                      QString::number(install->geometry(list).y() + 38)});
        const QString balloon = install->waitForWindowOf(
            vemo, [](QSize s) { return s != QSize(48, 48) && s != QSize(420, 643) && s.height() < 200; },
            5000);
        QVERIFY2(!balloon.isEmpty(), "no balloon");

        if (byMenu) {
            clickAt(install->centre(icon), QStringLiteral("3"));
            QThread::msleep(400);
            display->xdo({QStringLiteral("key"), QStringLiteral("Up"), QStringLiteral("Return")}); // 退出
        } else {
            vemo->terminate();
        }
        QVERIFY(install->waitForExit(vemo));
        QCOMPARE(vemo->exitStatus(), QProcess::NormalExit);
        QCOMPARE(vemo->exitCode(), 0);
        QCOMPARE(install->setting(QStringLiteral("呼出快捷键值")), QStringLiteral("69"));
        QCOMPARE(install->setting(QStringLiteral("窗体自动关闭")), QStringLiteral("0"));
        QVERIFY(QDir(install->home() + QStringLiteral("/runtime"))
                    .entryList(QDir::Files | QDir::Hidden)
                    .isEmpty());
    }

    // Only another live copy means "already running": a runtime folder that
    // cannot hold the lock gives way to another per-user folder.
    void runtimeFolderThatCannotHoldTheLock() {
        install->setSetting(QStringLiteral("显示到系统托盘"), QStringLiteral("False"));
        // Where the lock file belongs, a folder of that name: no file can be made there.
        QVERIFY(QDir().mkpath(install->home() + QStringLiteral("/runtime/Vemo文本收集器.lock")));
        const QStringList env;
        QProcess *first = install->start(env);
        QVERIFY2(!install
                      ->waitForWindowOf(
                          first, [](QSize s) { return s == QSize(48, 48); }, 15000)
                      .isEmpty(),
                 "the program did not start");
        QVERIFY(install->waitForWindow(QStringLiteral("【Vemo】文本收集器提示您"), 1000).isEmpty());
        // A second copy still learns that the first runs.
        QProcess *second = install->start(env);
        const QString notice = install->waitForWindow(QStringLiteral("【Vemo】文本收集器提示您"));
        QVERIFY2(!notice.isEmpty(), "the second copy started as well");
        QVERIFY(install->windowsOf(second).contains(notice));
        second->kill();
        QVERIFY(install->waitForExit(second));
        // A clean end leaves no lock file in any folder.
        first->terminate();
        QVERIFY(install->waitForExit(first));
        QCOMPARE(first->exitCode(), 0);
        QProcess find;
        find.start(QStringLiteral("find"),
                   {install->home(),
                    QDir::tempPath() + QStringLiteral("/vemo-") + qEnvironmentVariable("USER"),
                    QStringLiteral("-type"), QStringLiteral("f"), QStringLiteral("-name"),
                    QStringLiteral("*.lock")});
        find.waitForFinished();
        QCOMPARE(QString::fromUtf8(find.readAllStandardOutput()).trimmed(), QString());
    }
};

QTEST_GUILESS_MAIN(DesktopStartup)
#include "tst_desktop_startup.moc"
