// The Windows program end to end under Wine: start and the single copy, the
// call-up over another program's text box, a capture from the clipboard, the
// entries it makes in the system, export and import, and the installer.
#include "WineDesktop.h"

#include <QDirIterator>
#include <QtTest>

#include <csignal>

namespace {

const QString Notice = "【Vemo】文本收集器提示您";
const QString RunKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

// A record's text that a paste or an export must keep to the byte: Windows
// line ends, tabs, Chinese, a character outside the BMP, quotes, backslashes.
const QString PastedText = QString::fromUtf8("第一行：会议纪要\r\n\t第二行 – Ünïcödé 😀\r\n"
                                             "\"引号\" 'x' \\n C:\\路径\\ 100%\t末尾 ");

QString insertRecord(int id, const QString &title, const QString &text, const QString &group = "常用") {
    return QString("INSERT INTO VBcode (ID, MoudleName, TypeName, CodeName, Code, ChangeTime, IsUsed) "
                   "VALUES (%1, %2, %3, %4, %5, '2024-01-0%1 10:00:00', '0');")
        .arg(id)
        .arg(QString("CAST(X'%1' AS TEXT)").arg(QString::fromLatin1(group.toUtf8().toHex())),
             QString("CAST(X'%1' AS TEXT)").arg(QString::fromLatin1(QByteArray("分类").toHex())),
             QString("CAST(X'%1' AS TEXT)").arg(QString::fromLatin1(title.toUtf8().toHex())),
             QString("CAST(X'%1' AS TEXT)").arg(QString::fromLatin1(text.toUtf8().toHex())));
}

// The windows path of a file in the test's folder, for a program under Wine.
QString windowsPath(const QString &unixPath) {
    return "Z:" + QString(unixPath).replace(u'/', u'\\');
}

} // namespace

class WineProgram : public WineDesktop {
    Q_OBJECT

    // Every row of the library, text columns as hex: compares byte for byte.
    QString libraryRows(const QString &path = {}) {
        return sql("SELECT ID, hex(MoudleName), hex(TypeName), hex(CodeName), hex(Code), IsUsed "
                   "FROM VBcode ORDER BY ID;",
                   path);
    }

    // Opens the settings window from the floating icon's menu.
    QString openSettings(const QString &icon) {
        click(geometry(icon).center(), 3); // 显示到系统托盘, 设置, 导出文本库…, 导入文本库…, 关于, 退出
        if (windowOf(vemo, isOther, 10000).isEmpty())
            return {};
        QThread::msleep(400);
        key("Down Down Return");
        return window("^设置$");
    }

    // The shortcut files named like the program anywhere in the profile or
    // the home (Wine may link the desktop to the home's).
    QStringList shortcuts() {
        QStringList found;
        for (const QString &root : {profile(), home()}) {
            QDirIterator it(root, {QString(Product) + ".lnk"}, QDir::Files,
                            QDirIterator::Subdirectories | QDirIterator::FollowSymlinks);
            while (it.hasNext())
                found << it.next().mid(root.size());
        }
        found.sort();
        return found;
    }

  private slots:
    // The floating icon appears; the settings it reads and writes are under
    // HKCU\Software\VemoTools\Vemo文本收集器; a second start is refused with
    // the notice and ends when it is answered, the first runs on.
    void startsWithItsSettingsAndOnlyOnce() {
        const QString icon = startVemo();
        QVERIFY2(!icon.isEmpty(), "no floating icon (the setting 显示到系统托盘=False was not read)");
        // A drag stores the icon's place.
        const QRect before = geometry(icon);
        moveTo(before.center());
        xdo({"mousedown", "1"});
        for (int step = 1; step <= 10; ++step) {
            moveTo(before.center() - QPoint(20 * step, 10 * step));
            QThread::msleep(60);
        }
        xdo({"mouseup", "1"});
        QVERIFY(waitUntil([&] { return geometry(icon).topLeft() != before.topLeft(); }));
        QVERIFY(waitUntil([&] { return regQuery(settingsKey(), "Vemo_left").has_value(); }, 10000));
        QVERIFY(regQuery(settingsKey(), "Vemo_Top").has_value());
        const QMap<QString, QString> values = regValues(settingsKey());
        QCOMPARE(values.value("显示到系统托盘"), QString("False"));
        QVERIFY(values.value("Vemo_left").toInt() > 0);

        QVERIFY(window(Notice, 1000).isEmpty());
        QProcess *second = launch(programFolder() + "\\vemo.exe");
        const QString notice = window(Notice);
        QVERIFY2(!notice.isEmpty(), "the second start shows no notice");
        QCOMPARE(second->state(), QProcess::Running); // until the notice is answered
        activate(notice);
        key("Return");
        QVERIFY(ends(second));
        QCOMPARE(second->exitCode(), 0);
        QCOMPARE(vemo->state(), QProcess::Running);
        QVERIFY(windowsOf(vemo).contains(icon));
    }

    // Killed, then a new Windows session (which hands out the same process
    // ids again): the next start runs.
    void startsAgainAfterAKillAndANewSession() {
        QVERIFY(!startVemo().isEmpty());
        ::kill(pid_t(vemo->processId()), SIGKILL);
        QVERIFY(ends(vemo));
        endSession();
        startServer();
        const QString icon = startVemo();
        QVERIFY2(!icon.isEmpty() || !window(Notice, 3000).isEmpty(), "the program did not start again");
        QVERIFY2(window(Notice, 3000).isEmpty(), "refused as if another copy ran");
        QVERIFY(!icon.isEmpty());
    }

    // Ctrl+E over a text box of another program opens the list at the
    // pointer with the keyboard: a search word and Return paste the record
    // found into the text box, exactly.
    void callUpPastesIntoTheTextBox_data() {
        QTest::addColumn<int>("unused");
        QTest::newRow("jwm") << 0;
        QTest::newRow("openbox") << 0;
    }
    void callUpPastesIntoTheTextBox() {
        sql(insertRecord(1, "weekly report 周报", "本周完成") +
            insertRecord(2, "meeting notes 会议纪要", PastedText) +
            insertRecord(3, "address 地址", "北京市"));
        QVERIFY(!startVemo().isEmpty());
        const QString output = folder->path() + "/box.txt";
        QProcess *box = startTextBox(windowsPath(output));
        QString boxWindow;
        QVERIFY(waitUntil([&] { return !(boxWindow = window("^vemo-text-box$", 0)).isEmpty(); }, 30000));
        activate(boxWindow);
        type("x");
        QVERIFY(fileBecomes(output, "x"));

        const QPoint at = geometry(boxWindow).center() + QPoint(40, 20);
        moveTo(at);
        QThread::msleep(300);
        key("ctrl+e");
        const QString list = windowOf(vemo, isList, 15000);
        QVERIFY2(!list.isEmpty(), "Ctrl+E opened no list");
        const QRect placed = geometry(list);
        QVERIFY2((placed.topLeft() - at).manhattanLength() <= 40,
                 qPrintable(QString("the list is at %1,%2, the pointer at %3,%4")
                                .arg(placed.x())
                                .arg(placed.y())
                                .arg(at.x())
                                .arg(at.y())));
        QThread::msleep(500);
        type("meeting");
        QThread::msleep(500);
        key("Return");
        QVERIFY2(fileBecomes(output, "x" + PastedText.toUtf8()),
                 qPrintable("the text box holds: " + QString::fromUtf8(readFile(output).toHex(' '))));
        QVERIFY(box->state() == QProcess::Running);
    }

    // A text on the Windows clipboard, a double-click on the icon, 新增: the
    // record is in the library with the text as it was.
    void capturesTheClipboard() {
        const QString icon = startVemo();
        QVERIFY(!icon.isEmpty());
        const QString text = QString::fromUtf8("收集的文本\r\n\t第二行 😀 \"q\"");
        const QString source = folder->path() + "/clip.txt";
        QFile file(source);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(text.toUtf8());
        file.close();
        int code = -1;
        wine({m_peersPath() + "\\vemo_text_box.exe", "clip", windowsPath(source)}, &code);
        QCOMPARE(code, 0);

        click(geometry(icon).center(), 1, 2);
        const QString editor = window("^新增、修改内容---按Ctrl\\+C不放可快速新增$");
        QVERIFY2(!editor.isEmpty(), "the double-click opened no editor");
        // The editor's 新增 button, at its fixed place.
        click(geometry(editor).topLeft() + QPoint(317, 97));
        QVERIFY2(waitUntil([&] {
                     return sql("SELECT count(*) FROM VBcode WHERE Code = " + literal(text) + ";") == "1";
                 }),
                 qPrintable("the library holds: " + libraryRows()));
    }

    // 开机时启动 writes the Run value with the quoted path of the running
    // program and unticking removes it; 创建桌面快捷方式 makes the two links.
    void entriesInTheSystem() {
        const QString icon = startVemo();
        QVERIFY(!icon.isEmpty());
        const QString settings = openSettings(icon);
        QVERIFY2(!settings.isEmpty(), "no settings window");
        activate(settings);
        // Focus order: 列表点击方式, 拼音搜索, 快速调出菜单, 点击后关闭窗体,
        // 按住Ctrl+C不放新增, 创建桌面快捷方式, 开机时启动.
        key("Tab Tab Tab Tab Tab Tab space");
        const QString expected = "\"" + programFolder() + "\\vemo\"";
        const auto runValue = [&] {
            for (const QString root : {"HKLM\\", "HKCU\\"}) {
                const QMap<QString, QString> values = regValues(root + RunKey);
                if (values.contains("vemo"))
                    return values.value("vemo");
            }
            return QString();
        };
        QVERIFY2(waitUntil([&] { return runValue() == expected; }, 10000),
                 qPrintable("Run value: " + runValue()));
        QCOMPARE(regValues(settingsKey()).value("开机启动"), QString("1"));
        key("space");
        QVERIFY2(waitUntil([&] { return runValue().isEmpty(); }, 10000), "unticking left the Run value");

        QVERIFY(shortcuts().isEmpty());
        key("shift+Tab space");
        QVERIFY2(waitUntil([&] { return shortcuts().size() == 2; }, 10000),
                 qPrintable("shortcuts: " + shortcuts().join(", ")));
        QVERIFY(shortcuts().filter("Desktop").size() == 1);
        QVERIFY(shortcuts().filter("Start Menu/Programs").size() == 1);
    }

    // vemo.exe --export and --import give back a library of hostile texts
    // exactly, through JSON and through CSV.
    void exportAndImportRoundTrip_data() {
        QTest::addColumn<QString>("file");
        QTest::newRow("json") << "texts.json";
        QTest::newRow("csv") << "texts.csv";
    }
    void exportAndImportRoundTrip() {
        QFETCH(QString, file);
        const QStringList texts = {
            PastedText,
            "a,b;c\n\"\"quoted\"\",\r\nline\rCR only",
            QString::fromUtf8("\xEF\xBB\xBF") + "BOM first, =1+2, @SUM(A1), -x",
            QString::fromUtf8("\\u0041 \\\" \\\\ {\"json\": [1, 2]} \u2028 \u2029 \t\t"),
            QString("长文本").repeated(20000),
            " leading and trailing spaces ",
        };
        QString statements;
        for (int i = 0; i < texts.size(); ++i)
            statements += insertRecord(i + 1, QString("标题 %1 \"q\", x").arg(i), texts[i],
                                       i % 2 ? "组,一" : "组\"二\"");
        sql(statements);
        const QString before = libraryRows();
        QCOMPARE(before.count(u'\n'), int(texts.size()) - 1);

        const QString exported = programFolder() + "\\" + file;
        int code = -1;
        wine({programFolder() + "\\vemo.exe", "--export", exported}, &code);
        QCOMPARE(code, 0);
        QVERIFY(QFile::exists(unixPath(exported)));

        // Into the empty library the program came with (kept in the zip).
        sql("DELETE FROM VBcode;");
        QCOMPARE(libraryRows(), QString());
        wine({programFolder() + "\\vemo.exe", "--import", exported}, &code);
        QCOMPARE(code, 0);
        QCOMPARE(libraryRows(), before);
    }

    // The installer installs silently, per user; the installed program runs;
    // a second installation keeps a library that holds a record; the silent
    // uninstall removes the program and leaves the library.
    void installerKeepsTheLibrary() {
        int code = -1;
        wine({windowsPath(installer()), "/S"}, &code, 180000);
        QCOMPARE(code, 0);
        const QString installed = profile() + "/AppData/Local/Programs/" + Product;
        QVERIFY2(QFile::exists(installed + "/vemo.exe"), qPrintable("nothing in " + installed));
        QVERIFY(QFile::exists(installed + "/VBCode.mdb"));
        QVERIFY(QFile::exists(installed + "/platforms/qwindows.dll"));
        QVERIFY(QFile::exists(installed + "/uninstall.exe"));
        QVERIFY2(shortcuts().filter("Start Menu/Programs").size() == 1, qPrintable(shortcuts().join(", ")));
        QVERIFY(regQuery("HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + QString(Product),
                         "UninstallString")
                    .has_value());

        const QString program = "C:\\users\\" + QDir(profile()).dirName() + "\\AppData\\Local\\Programs\\" +
                                Product + "\\vemo.exe";
        QVERIFY2(!startVemo(program).isEmpty(), "the installed program shows no icon");
        vemo->kill();
        QVERIFY(ends(vemo));
        const QString library = installed + "/VBCode.mdb";
        sql(insertRecord(1, "kept 保留", PastedText), library);
        const QString rows = libraryRows(library);

        wine({windowsPath(installer()), "/S"}, &code, 180000);
        QCOMPARE(code, 0);
        QCOMPARE(libraryRows(library), rows);

        // The uninstaller copies itself away and returns at once: wait for its work.
        wine({program.section(u'\\', 0, -2) + "\\uninstall.exe", "/S"}, &code, 180000);
        QCOMPARE(code, 0);
        QVERIFY2(waitUntil([&] { return !QFile::exists(installed + "/vemo.exe"); }, 60000),
                 "the uninstaller left the program");
        QVERIFY(waitUntil([&] { return !QFile::exists(installed + "/uninstall.exe"); }, 30000));
        QCOMPARE(libraryRows(library), rows);
        QVERIFY(shortcuts().filter("Start Menu/Programs").isEmpty());
    }

  private:
    QString m_peersPath() { return windowsPath(qEnvironmentVariable("VEMO_WINDOWS_PEERS")); }
};

QTEST_GUILESS_MAIN(WineProgram)
#include "tst_wine_program.moc"
