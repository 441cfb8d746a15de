// The quick list's context menu on a real desktop: a right click on an entry,
// the items chosen by their access keys, the questions answered, and the
// library read back with the sqlite3 shell.
#include "Desktop.h"

#include <QDir>
#include <QThread>
#include <QtTest>

namespace {

const QString AppTitle = QStringLiteral("^Vemo文本收集器$");
const QString Notice = QStringLiteral("^【Vemo】文本收集器提示您$");
const QString EditorTitle = QStringLiteral("^新增、修改内容---按Ctrl\\+C不放可快速新增$");
const QSize IconSize(48, 48);
const QSize ListSize(420, 643);

struct Rgb {
    int r, g, b;
};

} // namespace

class DesktopMenu : public QObject {
    Q_OBJECT
    std::unique_ptr<Display> display;
    std::unique_ptr<Installation> install;
    QProcess *vemo = nullptr;
    QString list;

    void mouseTo(QPoint p) {
        display->xdo({QStringLiteral("mousemove"), QString::number(p.x()), QString::number(p.y())});
    }
    void click(QPoint p, int button = 1) {
        mouseTo(p);
        QThread::msleep(150); // let the list see the pointer rest on the row
        display->xdo({QStringLiteral("click"), QString::number(button)});
    }
    void key(const QString &keys) { display->xdo({QStringLiteral("key"), keys}); }
    QString count(const QString &where = QStringLiteral("1")) {
        return install->sql(QStringLiteral("SELECT count(*) FROM VBcode WHERE ") + where);
    }

    // The program's windows that are neither the icon nor the quick list.
    QStringList otherWindows() {
        QStringList found;
        for (const QString &id : install->windowsOf(vemo)) {
            const QSize size = install->geometry(id).size();
            if (size != IconSize && size != ListSize)
                found << id;
        }
        return found;
    }
    QString waitForList() {
        QString found;
        waitUntil(
            [&] {
                for (const QString &id : install->windowsOf(vemo))
                    if (install->geometry(id).size() == ListSize)
                        return !(found = id).isEmpty();
                return false;
            },
            8000);
        return found;
    }
    // A message box titled like the program (the icon and the list are too).
    QString waitForBox(const QString &title = AppTitle) {
        QString box;
        waitUntil(
            [&] {
                const QStringList ids = display
                                            ->xdo({QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                                   QStringLiteral("--name"), title})
                                            .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
                for (const QString &id : ids) {
                    const QSize size = install->geometry(id).size();
                    if (size != IconSize && size != ListSize)
                        return !(box = id).isEmpty();
                }
                return false;
            },
            8000);
        return box;
    }
    // Answers a box with a key once it has the keyboard.
    void answer(const QString &box, const QString &keys) {
        display->xdo({QStringLiteral("windowactivate"), QStringLiteral("--sync"), box});
        key(keys);
        QVERIFY2(waitUntil([&] { return !install->windowsOf(vemo).contains(box); }, 5000), "the box stayed");
    }

    // Both lists have rows of 18 pixels under the desktop's Chinese font.
    static constexpr int RowHeight = 18;
    // The middle of the title cell of a row of the record list.
    QPoint row(int index) {
        return install->geometry(list).topLeft() + QPoint(92 + 100, 30 + RowHeight / 2 + index * RowHeight);
    }
    QRect rowRect(int index) {
        return QRect(install->geometry(list).topLeft() + QPoint(92 + 40, 30 + 2 + index * RowHeight),
                     QSize(180, RowHeight - 4));
    }
    // A right click on a row, then the item by its access key.
    void choose(int index, const QString &accessKey, const QString &shotName = {}) {
        const int before = otherWindows().size();
        click(row(index), 3);
        QVERIFY2(waitUntil([&] { return otherWindows().size() > before; }, 5000), "no menu appeared");
        QThread::msleep(100);
        if (!shotName.isEmpty())
            shot(shotName);
        key(accessKey);
    }
    // A screenshot of the whole screen, kept for a person to look at.
    QString shot(const QString &name) {
        QThread::msleep(300); // the last repaint
        const QString path = QDir::tempPath() + QStringLiteral("/vemo-menu-%1.png").arg(name);
        display->screenshot(path);
        return path;
    }
    // How many pixels of an area of a screenshot pass the test; read as a
    // binary PPM cut out by ImageMagick.
    static int pixels(const QString &png, const QRect &area, const std::function<bool(Rgb)> &test) {
        QProcess convert;
        convert.start(
            QStringLiteral("convert"),
            {png, QStringLiteral("-crop"),
             QStringLiteral("%1x%2+%3+%4").arg(area.width()).arg(area.height()).arg(area.x()).arg(area.y()),
             QStringLiteral("-depth"), QStringLiteral("8"), QStringLiteral("ppm:-")});
        convert.waitForFinished(10000);
        const QByteArray ppm = convert.readAllStandardOutput();
        // Header: "P6", width, height, maximum value, each followed by white space.
        int fields = 0;
        qsizetype at = 0;
        while (fields < 4 && at < ppm.size()) {
            while (at < ppm.size() && QChar(ppm[at]).isSpace())
                ++at;
            while (at < ppm.size() && !QChar(ppm[at]).isSpace())
                ++at;
            ++fields;
        }
        ++at;
        int n = 0;
        for (; at + 2 < ppm.size(); at += 3)
            n += test(Rgb{uchar(ppm[at]), uchar(ppm[at + 1]), uchar(ppm[at + 2])}) ? 1 : 0;
        return n;
    }
    static bool red(Rgb c) { return c.r > 200 && c.g < 80 && c.b < 80; }
    // Text on the list's near-white background.
    static bool ink(Rgb c) { return c.r + c.g + c.b < 3 * 160; }

  private slots:
    void init() {
        display = std::make_unique<Display>();
        QString error;
        if (!display->start(&error))
            QFAIL(qPrintable(error));
        install = std::make_unique<Installation>(*display);
        install->setSetting(QStringLiteral("显示到系统托盘"), QStringLiteral("False"));
        // Listed under "常用": alpha, beta, zero; gamma only in its group "其他".
        install->sql(QStringLiteral(
            "INSERT INTO VBcode VALUES (1, '工具', 'Sub', 'alpha 标题', 'alpha', '20200101000003', '常用');"
            "INSERT INTO VBcode VALUES (2, '工具', 'Function', 'beta 标题', 'beta', '20200101000002', "
            "'常用');"
            "INSERT INTO VBcode VALUES (0, '其他', 'API', 'zero 标题', 'zero', '20200101000001', '常用');"
            "INSERT INTO VBcode VALUES (3, '其他', 'Class', 'gamma 标题', 'gamma', '20200101000000', '');"));
        vemo = install->start();
        QString icon;
        QVERIFY(waitUntil(
            [&] {
                for (const QString &id : install->windowsOf(vemo))
                    if (install->geometry(id).size() == IconSize)
                        return !(icon = id).isEmpty();
                return false;
            },
            15000));
        click(install->centre(icon));
        list = waitForList();
        QVERIFY2(!list.isEmpty(), "a click on the icon opened no list");
    }
    void cleanup() {
        if (QTest::currentTestFailed())
            display->screenshot(QDir::tempPath() +
                                QStringLiteral("/vemo-menu-failed-%1.png").arg(QTest::currentTestFunction()));
        install.reset();
        display.reset();
    }

    void toggleAndDeleteByAccessKeys() {
        QVERIFY(pixels(shot(QStringLiteral("before")), rowRect(1), red) == 0);

        choose(1, QStringLiteral("s")); // beta gets the special-attention mark
        QVERIFY(waitUntil(
            [&] { return count(QStringLiteral("ID = 2 AND CodeName = '★★　beta 标题'")) == "1"; }, 5000));
        mouseTo(row(0)); // hovering selects another row: the selection hides the colour
        QVERIFY2(pixels(shot(QStringLiteral("toggled")), rowRect(1), red) > 20, "the marked row is not red");

        // Delete alpha: No keeps it, Yes removes it from the library and the list.
        choose(0, QStringLiteral("d"));
        QString box = waitForBox();
        QVERIFY(!box.isEmpty());
        shot(QStringLiteral("delete-question"));
        answer(box, QStringLiteral("n"));
        QCOMPARE(count(QStringLiteral("ID = 1")), QStringLiteral("1"));
        QVERIFY(pixels(shot(QStringLiteral("kept")), rowRect(2), ink) > 20);

        choose(0, QStringLiteral("d"));
        box = waitForBox();
        QVERIFY(!box.isEmpty());
        answer(box, QStringLiteral("y"));
        QVERIFY(waitUntil([&] { return count(QStringLiteral("ID = 1")) == "0"; }, 5000));
        mouseTo(row(1));
        const QString after = shot(QStringLiteral("deleted"));
        QVERIFY2(pixels(after, rowRect(2), ink) == 0, "the deleted row is still listed");
        QVERIFY(pixels(after, rowRect(0), red) > 20); // beta moved up, still red
        QCOMPARE(count(), QStringLiteral("3"));
    }

    void changeFromAGroupKeepsCategoryAndFlag() {
        // "其他" is the third category; gamma (not common) comes after zero there.
        click(install->geometry(list).topLeft() + QPoint(40, 30 + RowHeight / 2 + 2 * RowHeight));
        QThread::msleep(200);
        choose(1, QStringLiteral("e"));
        const QString editor = install->waitForWindow(EditorTitle, 8000);
        QVERIFY2(!editor.isEmpty(), "no record editor");
        QVERIFY(install->geometry(editor).right() <= install->geometry(list).left());
        shot(QStringLiteral("editor"));
        // "更新" (3240, 1260 twips; 1005 x 400).
        display->xdo({QStringLiteral("mousemove"), QStringLiteral("--window"), editor, QStringLiteral("250"),
                      QStringLiteral("97"), QStringLiteral("click"), QStringLiteral("1")});
        QString box = waitForBox();
        QVERIFY(!box.isEmpty());
        answer(box, QStringLiteral("y"));
        box = waitForBox(); // "修改完成"
        QVERIFY(!box.isEmpty());
        answer(box, QStringLiteral("Return"));
        QCOMPARE(
            install->sql(QStringLiteral("SELECT ID || '|' || TypeName || '|' || IsUsed || '|' || MoudleName "
                                        "FROM VBcode WHERE CodeName = 'gamma 标题'")),
            QStringLiteral("3|Class||其他"));
        QVERIFY(waitUntil([&] { return install->waitForWindow(EditorTitle, 200).isEmpty(); }, 5000));
    }

    void backupAndClear() {
        choose(0, QStringLiteral("b"), QStringLiteral("open"));
        const QString tip = waitForBox(Notice);
        QVERIFY2(!tip.isEmpty(), "no notice after the backup");
        const QStringList files =
            QDir(install->programFolder() + QStringLiteral("/backup")).entryList(QDir::Files);
        QCOMPARE(files.size(), 1);
        QVERIFY(QRegularExpression(QStringLiteral("^\\d{8} \\d{4}VBCode\\.mdb$"))
                    .match(files.value(0))
                    .hasMatch());
        answer(tip, QStringLiteral("Return"));

        // "清空数据库" has no access key: the last item, reached from the end.
        choose(0, QStringLiteral("Up"));
        key(QStringLiteral("Return"));
        QString box = waitForBox();
        QVERIFY(!box.isEmpty());
        answer(box, QStringLiteral("n"));
        QCOMPARE(count(), QStringLiteral("4"));

        choose(0, QStringLiteral("Up"));
        key(QStringLiteral("Return"));
        box = waitForBox();
        QVERIFY(!box.isEmpty());
        answer(box, QStringLiteral("y"));
        QVERIFY(waitUntil(
            [&] { return install->sql(QStringLiteral("SELECT group_concat(ID) FROM VBcode")) == "0"; },
            5000));
        QVERIFY2(pixels(shot(QStringLiteral("cleared")), rowRect(0), ink) == 0, "the list was not emptied");
    }
};

QTEST_GUILESS_MAIN(DesktopMenu)
#include "tst_desktop_menu.moc"
