// Start-up, the single instance and the end of the real program.
#include "Desktop.h"

#include <QtTest>
#include <csignal>

namespace {
const QString Notice = "【Vemo】文本收集器提示您";
} // namespace

class DesktopStartup : public DesktopTest {
    Q_OBJECT

    // Lock files left in any folder the program may put its lock in.
    QString lockFilesLeft() {
        const QString tempFolder = QDir::tempPath() + "/vemo-" + qEnvironmentVariable("USER");
        return QString::fromUtf8(
            x->run("find", {home(), tempFolder, "-type", "f", "-name", "*.lock"}).trimmed());
    }

  private slots:
    // Only another live copy means "already running": a second start says so
    // and ends, a killed copy's lock holds nobody back, and a runtime folder
    // that cannot hold the lock (a folder where the lock file goes) gives way
    // to another folder, where a second copy still sees the first.
    void secondStart_data() {
        QTest::addColumn<bool>("blocked");
        QTest::newRow("lock in the runtime folder") << false;
        QTest::newRow("runtime folder cannot hold it") << true;
    }
    void secondStart() {
        QFETCH(bool, blocked);
        if (blocked)
            QVERIFY(QDir().mkpath(home() + "/runtime/Vemo文本收集器.lock"));
        QVERIFY(!startVemo().isEmpty());
        QVERIFY(window(Notice, 1000).isEmpty());
        QProcess *second = start();
        const QString notice = window(Notice);
        QVERIFY2(!notice.isEmpty(), "the second start shows no notice");
        QVERIFY(windowsOf(second).contains(notice));
        QCOMPARE(second->state(), QProcess::Running); // until the notice is closed
        activate(notice);
        key("Return");
        QVERIFY(ends(second));
        QCOMPARE(second->exitCode(), 0);
        QVERIFY(!windowsOf(vemo).isEmpty());

        ::kill(pid_t(vemo->processId()), SIGKILL);
        QVERIFY(ends(vemo));
        QVERIFY2(!startVemo().isEmpty(), "no icon after a stale lock");
        QVERIFY(window(Notice, 500).isEmpty());
        vemo->terminate();
        QVERIFY(ends(vemo));
        QCOMPARE(vemo->exitCode(), 0);
        QCOMPARE(lockFilesLeft(), QString());
    }

    // In a PID namespace of its own every copy is process 1, as in a
    // container or a sandbox: a copy killed there does not hold the next one
    // back, and a living one refuses a copy in yet another namespace.
    void copiesInPidNamespaces() {
        if (QProcess::execute("unshare", {"--pid", "--fork", "--mount-proc", "true"}) != 0)
            QSKIP("no PID namespace can be made here (unshare needs root or user namespaces)");
        setSetting("显示到系统托盘", "False");
        // Killing unshare kills the program inside with SIGKILL.
        const QStringList inNamespace{"--pid", "--fork", "--mount-proc", "--kill-child=SIGKILL",
                                      programFolder() + "/vemo"};
        const auto icon = [&](int timeoutMs) {
            return search({"--name", "^Vemo文本收集器$"}, isIcon, timeoutMs);
        };
        QProcess *first = startProgram("unshare", inNamespace);
        QVERIFY2(!icon(15000).isEmpty(), "no icon in a PID namespace");
        ::kill(pid_t(first->processId()), SIGKILL);
        QVERIFY(ends(first));
        QVERIFY(waitUntil([&] { return icon(200).isEmpty(); }, 5000));

        QProcess *again = startProgram("unshare", inNamespace);
        QVERIFY2(!icon(15000).isEmpty(), "no icon after a copy was killed in its namespace");
        QVERIFY(window(Notice, 1000).isEmpty());
        QProcess *third = startProgram("unshare", inNamespace);
        const QString notice = window(Notice);
        QVERIFY2(!notice.isEmpty(), "a third copy in a namespace of its own was not refused");
        activate(notice);
        key("Return");
        QVERIFY(ends(third));
        QCOMPARE(again->state(), QProcess::Running);
    }

    // With the quick list held open, its balloon up and the settings window
    // open, the end by the menu's 退出 and by the session's SIGTERM: nothing
    // crashes, every window writes its settings, and no lock is left behind.
    void endWithTheListHeldOpen_data() {
        QTest::addColumn<bool>("byMenu");
        QTest::newRow("退出 from the icon's menu") << true;
        QTest::newRow("SIGTERM from the session") << false;
    }
    void endWithTheListHeldOpen() {
        QFETCH(bool, byMenu);
        setSetting("窗体自动关闭", "0");
        const QString icon = startVemo(
            "INSERT INTO VBcode VALUES (1, '组', 'Sub', '标题', '一段文本', '20200101000001', '常用')");
        QVERIFY(!icon.isEmpty());
        clickOn(icon, 3); // 显示到系统托盘, 设置, 导出文本库…, 导入文本库…, 关于, 退出
        menuItem(2);
        QVERIFY2(!window("^设置$").isEmpty(), "no settings window");
        clickOn(icon);
        const QString shown = list();
        QVERIFY2(!shown.isEmpty(), "no quick list");
        moveTo(geometry(shown).topLeft() + QPoint(378, 38)); // resting on "详" of the first row
        QVERIFY2(!windowOf(vemo, [](QSize s) { return isOther(s) && s.height() < 200; }).isEmpty(),
                 "no balloon");

        if (byMenu) {
            clickOn(icon, 3);
            QThread::msleep(400);
            key("Up Return");
        } else {
            vemo->terminate();
        }
        QVERIFY(ends(vemo));
        QCOMPARE(vemo->exitStatus(), QProcess::NormalExit);
        QCOMPARE(vemo->exitCode(), 0);
        QCOMPARE(setting("呼出快捷键值"), QString("69"));
        QCOMPARE(setting("窗体自动关闭"), QString("0"));
        QCOMPARE(lockFilesLeft(), QString());
    }
};

QTEST_GUILESS_MAIN(DesktopStartup)
#include "tst_desktop_startup.moc"
