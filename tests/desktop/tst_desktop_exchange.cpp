// 导出文本库… and 导入文本库… on a real desktop: chosen from the icon's menu,
// the file named in the real file dialog, the way of importing chosen in the
// dialog that follows, the file and the library read back with the sqlite3
// shell.
#include "Desktop.h"

#include <QtTest>

class DesktopExchange : public DesktopTest {
    Q_OBJECT

    bool gone(const QString &window) { return !windowsOf(vemo).contains(window); }
    // Types the path into the file dialog of that title and accepts it.
    bool giveFile(const QString &title, const QString &path) {
        const QString dialog = window("^" + title + "$");
        if (dialog.isEmpty())
            return false;
        activate(dialog);
        key("ctrl+a");
        xdo({"type", "--delay", "20", path});
        QThread::msleep(300);
        key("Return");
        if (!waitUntil([&] { return gone(dialog); }, 2000))
            key("Return"); // the first went to the completion list
        return waitUntil([&] { return gone(dialog); }, 3000);
    }
    // Chooses the way of importing (0: add, 1: update) in its dialog and starts the import.
    bool chooseMode(int mode) {
        const QString dialog = window("^导入方式$");
        if (dialog.isEmpty())
            return false;
        activate(dialog);
        if (mode == 1)
            key("Down");
        key("Return");
        return waitUntil([&] { return gone(dialog); }, 3000);
    }
    // The stored records, byte for byte; as an import files them: a record
    // without a group under "未分组", where the list shows it.
    QString rows(bool asImported = false) {
        const QString group =
            asImported ? "CASE WHEN coalesce(MoudleName, '') = '' THEN '未分组' ELSE MoudleName END" : "MoudleName";
        return sql("SELECT ID || ':' || hex(" + group +
                   ") || hex(TypeName) || hex(CodeName) || ':' || hex(Code) || "
                   "hex(ChangeTime) || hex(IsUsed) FROM VBcode ORDER BY ID");
    }

  private slots:
    void exportAndImportThroughTheFileDialog() {
        const QString records =
            "INSERT INTO VBcode VALUES (1, '组', 'Sub', 'say \"hi\", 1', 'a' || char(13, 10) || 'b' || "
            "char(10, 9)"
            "  || CAST(X'00' AS TEXT) || '😀' || char(8232), '20200101000001', '常用');"
            "INSERT INTO VBcode VALUES (9007199254740993, '', 'API', '''; --', '\\', '20200101000002', '');"
            "INSERT INTO VBcode VALUES (-2, NULL, '', 'c', 'd', '20200101000003', '');";
        const QString icon = startVemo(records);
        QVERIFY(!icon.isEmpty());
        const QString before = rows(true);

        // The icon's menu: 显示到系统托盘, 设置, 导出文本库…, 导入文本库…, 关于, 退出.
        // A name without an extension gets the chosen type's, JSON at first.
        clickOn(icon, 3);
        menuItem(3);
        QVERIFY2(giveFile("导出文本库", home() + "/texts"), "no file dialog");
        QVERIFY2(answer("Return", "^Vemo文本收集器$"), "no notice");
        QFile file(home() + "/texts.json");
        QVERIFY2(file.open(QIODevice::ReadOnly), "no texts.json");
        QVERIFY(file.readAll().contains("\"CodeName\":\"say \\\"hi\\\", 1\""));

        // Two records gone: the import brings them back as they were (filed under a group) and skips
        // the one still there.
        sql("DELETE FROM VBcode WHERE ID <> 1");
        clickOn(icon, 3);
        menuItem(4);
        QVERIFY2(giveFile("导入文本库", file.fileName()), "no file dialog");
        QVERIFY2(chooseMode(0), "no choice of the way to import");
        QVERIFY2(answer("Return", "^Vemo文本收集器$"), "no notice");
        QCOMPARE(rows(), before);

        // A record edited outside: the update writes it over the stored one, adding nothing.
        QFile edited(home() + "/edited.json");
        QVERIFY(edited.open(QIODevice::WriteOnly));
        edited.write("[{\"ID\":-2,\"CodeName\":\"c\",\"Code\":\"edited\"}]");
        edited.close();
        clickOn(icon, 3);
        menuItem(4);
        QVERIFY2(giveFile("导入文本库", edited.fileName()), "no file dialog");
        QVERIFY2(chooseMode(1), "no choice of the way to import");
        QVERIFY2(answer("Return", "^Vemo文本收集器$"), "no notice");
        QCOMPARE(sql("SELECT count(*) || ':' || (SELECT Code FROM VBcode WHERE ID = -2) FROM VBcode"),
                 QString("3:edited"));
    }
};

QTEST_GUILESS_MAIN(DesktopExchange)
#include "tst_desktop_exchange.moc"
