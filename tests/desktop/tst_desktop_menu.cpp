// The quick list's menu on a real desktop: a right click on an entry, the
// items chosen by their keys, the boxes answered, the library read back with
// the sqlite3 shell and the marked row's colour checked on a screenshot.
#include "Desktop.h"

#include <QtTest>

class DesktopMenu : public DesktopTest {
    Q_OBJECT

    // The red pixels of a row's title cell, cut from a fresh screenshot as raw RGB.
    int redPixels(const QString &list, int row) {
        QThread::msleep(300); // the last repaint
        const QPoint at = geometry(list).topLeft() + QPoint(132, 32 + row * 18);
        const QByteArray rgb =
            x->run("import",
                   {"-window", "root", "-crop", QString("180x14+%1+%2").arg(at.x()).arg(at.y()), "-depth",
                    "8", "rgb:-"},
                   15000);
        int n = 0;
        for (qsizetype i = 0; i + 2 < rgb.size(); i += 3)
            n += uchar(rgb[i]) > 200 && uchar(rgb[i + 1]) < 80 && uchar(rgb[i + 2]) < 80;
        return n;
    }

  private slots:
    void itemsAndTheirBoxes() {
        // Listed under "常用" in this order.
        const QString icon = startVemo(
            "INSERT INTO VBcode VALUES (1, '工具', 'Sub', 'alpha 标题', 'alpha', '20200101000003', '常用');"
            "INSERT INTO VBcode VALUES (2, '工具', 'Sub', 'beta 标题', 'beta', '20200101000002', '常用');"
            "INSERT INTO VBcode VALUES (0, '其他', 'API', 'zero 标题', 'zero', '20200101000001', '常用');");
        QVERIFY(!icon.isEmpty());
        clickOn(icon);
        QString shown = list();
        QVERIFY2(!shown.isEmpty(), "a click on the icon opened no list");
        QCOMPARE(redPixels(shown, 1), 0);
        chooseOnRow(shown, 1, "s"); // beta gets the "★★　" mark
        QVERIFY(sqlBecomes("SELECT CodeName FROM VBcode WHERE ID = 2", "★★　beta 标题"));
        moveTo(row(shown, 0)); // the pointer selects another row: a selection hides the colour
        QVERIFY2(redPixels(shown, 1) > 20, "the marked row is not red");

        // Delete alpha: No keeps it, Yes removes it.
        chooseOnRow(shown, 0, "d");
        QVERIFY(answer("n"));
        QCOMPARE(sql("SELECT count(*) FROM VBcode WHERE ID = 1"), QString("1"));
        chooseOnRow(shown, 0, "d");
        QVERIFY(answer("y"));
        QVERIFY(sqlBecomes("SELECT count(*) || '|' || sum(ID = 1) FROM VBcode", "2|0"));
        // After a box of the menu the list has the keyboard again.
        QVERIFY2(waitUntil([&] { return activeWindow() == shown; }), "the list is not the active window");
        type("zero");
        QThread::msleep(300);
        key("Return");
        QVERIFY2(clipboardBecomes("zero"), qPrintable(clipboard()));

        clickOn(icon);
        QVERIFY(!(shown = list()).isEmpty());
        chooseOnRow(shown, 0, "b");
        QVERIFY(answer("Return", "^【Vemo】文本收集器提示您$"));
        // Exactly one file, named after the minute.
        const QString files = QDir(programFolder() + "/backup").entryList(QDir::Files).join(u'|');
        QVERIFY2(QRegularExpression("^\\d{8} \\d{4}VBCode\\.mdb$").match(files).hasMatch(),
                 qPrintable(files));
        // "清空数据库" has no access key: the last item, reached from the end.
        chooseOnRow(shown, 0, "Up Return");
        QVERIFY(answer("n"));
        QCOMPARE(sql("SELECT count(*) FROM VBcode"), QString("2"));
        chooseOnRow(shown, 0, "Up Return");
        QVERIFY(answer("y"));
        QVERIFY(sqlBecomes("SELECT group_concat(ID) FROM VBcode", "0"));
    }
};

QTEST_GUILESS_MAIN(DesktopMenu)
#include "tst_desktop_menu.moc"
