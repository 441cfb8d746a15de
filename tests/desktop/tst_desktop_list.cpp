// The icons, the quick list and the call-up hotkey on a real desktop:
// opening, search, execution into the clipboard, the paste into another
// program, the notification area.
#include "Desktop.h"

#include <QtTest>

namespace {

const QString Alpha = "alpha 的文本";
const QString Beta = "第一行\n第二行 中文 beta";
// beta is the newer, listed first.
const QString TwoRecords =
    "INSERT INTO VBcode VALUES (1, '工具', 'Sub', 'alpha 标题', 'alpha 的文本', '20200101000001', '常用');"
    "INSERT INTO VBcode VALUES (2, '工具', 'Sub', 'beta 标题', '第一行' || char(10) || '第二行 中文 beta', "
    "'20200101000002', '常用');";

} // namespace

class DesktopList : public DesktopTest {
    Q_OBJECT

  private slots:
    // A press on the program's own icon while the list is open keeps the
    // list and its search.
    void pressOnTheOwnIconKeepsTheList_data() {
        QTest::addColumn<bool>("inTray");
        QTest::newRow("floating icon") << false;
        QTest::newRow("tray icon") << true;
    }
    void pressOnTheOwnIconKeepsTheList() {
        QFETCH(bool, inTray);
        const QString icon = startVemo(TwoRecords, inTray);
        QVERIFY(!icon.isEmpty());
        clickOn(icon);
        const QString shown = list();
        QVERIFY(!shown.isEmpty());
        type("alpha");
        QThread::msleep(300);
        moveTo(geometry(icon).center());
        hold("mouse", "1", 250); // a press, held a moment as a hand does
        QThread::msleep(500);
        QCOMPARE(list(), shown);
        key("Return"); // the first row of the search: alpha, not the newer beta
        QVERIFY2(clipboardBecomes(Alpha), qPrintable(clipboard()));
    }

    void hotkeyOpensTheListAndPastesIntoTheTarget() {
        const QString icon = startVemo(TwoRecords);
        QVERIFY(!icon.isEmpty());
        const QString file = home() + "/peer.txt";
        QProcess *peer = startTarget(file);
        moveTo({600, 300});
        key("ctrl+e");
        QString shown = list();
        QVERIFY2(!shown.isEmpty(), "Ctrl+E opened no list");
        QCOMPARE(geometry(shown).topLeft(), QPoint(600, 300));
        // Ctrl+E again while the list is in front: the list is no target, the peer stays one.
        QVERIFY(waitUntil([&] { return activeWindow() == shown; }));
        key("ctrl+e");
        QThread::msleep(300);
        click(row(shown, 0)); // beta: Chinese over two lines
        QVERIFY2(waitUntil([&] { return readFile(file) == Beta; }), qPrintable(readFile(file)));
        QCOMPARE(clipboard(), Beta);

        // NumLock on: the hotkey still arrives.
        activate(windowOf(peer, anySize));
        key("Num_Lock ctrl+e");
        QVERIFY2(!list().isEmpty(), "Ctrl+E with NumLock opened no list");
        key("Escape Num_Lock");
        QVERIFY(closes(shown));

        // The list from the icon, at the right edge, only copies.
        clickOn(icon);
        QVERIFY2(!(shown = list()).isEmpty(), "a click on the icon opened no list");
        QCOMPARE(geometry(shown).topRight() + QPoint(1, 0), QPoint(1920, 200));
        click(row(shown, 2)); // under the entry used last: beta, alpha
        QVERIFY(clipboardBecomes(Alpha));
        QVERIFY(closes(shown));

        // A target that closed meanwhile gets nothing, nor does the window now in front.
        QProcess *target = startTarget(home() + "/target.txt");
        key("ctrl+e");
        QVERIFY(!(shown = list()).isEmpty());
        target->kill();
        target->waitForFinished(5000);
        click(row(shown, 1)); // beta
        QVERIFY(clipboardBecomes(Beta));
        QThread::msleep(800);
        QCOMPARE(readFile(file), Beta);
    }

    // A fresh profile lives in the notification area; the menus of jwm's tray
    // icon and of the floating icon move the program between the two.
    void trayAndFloatingIconSwitch() {
        vemo = start();
        QString tray = windowOf(vemo, isTray, 15000);
        QVERIFY2(!tray.isEmpty(), "no notification-area icon");
        QVERIFY(windowOf(vemo, isIcon, 500).isEmpty());
        clickOn(tray, 3); // 添加新内容, 显示成屏幕图标, 设置, 导出文本库…, 导入文本库…, 关于, 退出
        menuItem(2);
        const QString icon = windowOf(vemo, isIcon);
        QVERIFY2(!icon.isEmpty(), "显示成屏幕图标 showed no icon");
        QVERIFY(closes(tray));
        QCOMPARE(setting("显示到系统托盘"), QString("False"));

        clickOn(icon, 3); // 显示到系统托盘, 设置, 导出文本库…, 导入文本库…, 关于, 退出
        menuItem(1);
        QVERIFY2(!(tray = windowOf(vemo, isTray)).isEmpty(), "显示到系统托盘 added no tray icon");
        QVERIFY(closes(icon));
        QCOMPARE(setting("显示到系统托盘"), QString("True"));
        clickOn(tray, 3);
        menuItem(7);
        QVERIFY2(ends(vemo), "退出 did not end the program");
        QCOMPARE(vemo->exitCode(), 0);
    }

    // Pinyin initials typed into the search box find a Chinese title, unless 拼音搜索 is 0.
    void pinyinInitialsFindTheTitle_data() {
        QTest::addColumn<QString>("setting");
        QTest::addColumn<QString>("copied");
        QTest::newRow("on") << "1"
                            << "会议纪要：时间、地点、参会人";
        QTest::newRow("off") << "0"
                             << "unchanged";
    }
    void pinyinInitialsFindTheTitle() {
        QFETCH(QString, setting);
        QFETCH(QString, copied);
        setSetting("拼音搜索", setting);
        // The newer common record comes first in the unsearched list.
        const QString icon = startVemo(
            "INSERT INTO VBcode VALUES (1, '工作', 'Sub', '会议纪要模板', '会议纪要：时间、地点、参会人', "
            "'20200101000001', '');"
            "INSERT INTO VBcode VALUES (2, '工具', 'Sub', 'alpha 标题', 'alpha', '20200101000002', '常用');");
        QVERIFY(!icon.isEmpty());
        setClipboard("unchanged");
        clickOn(icon);
        QVERIFY(!list().isEmpty());
        type("hyjy");
        QThread::msleep(300);
        key("Return"); // the first row listed goes to the clipboard; with none listed, nothing does
        QThread::msleep(1000);
        QVERIFY2(clipboardBecomes(copied), qPrintable(clipboard()));
    }
};

QTEST_GUILESS_MAIN(DesktopList)
#include "tst_desktop_list.moc"
