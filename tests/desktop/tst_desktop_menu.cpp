// The quick list's context menu on a real desktop: a right click on an entry,
// the items chosen by their access keys, the questions answered, the library
// read back with the sqlite3 shell and the list checked on a screenshot.
#include "Desktop.h"

#include <QDir>
#include <QThread>
#include <QtTest>

namespace {

const QString AppTitle = QStringLiteral("^Vemo文本收集器$");
const QSize IconSize(48, 48);
const QSize ListSize(420, 643);
// Both lists have rows of 18 pixels under the desktop's Chinese font.
constexpr int RowHeight = 18;

} // namespace

class DesktopMenu : public QObject {
    Q_OBJECT
    std::unique_ptr<Display> display;
    std::unique_ptr<Installation> install;
    QProcess *vemo = nullptr;
    QString list;

    static bool red(int r, int g, int b) { return r > 200 && g < 80 && b < 80; }
    // Text on the list's near-white background.
    static bool ink(int r, int g, int b) { return r + g + b < 3 * 160; }
    void moveTo(QPoint p) {
        display->xdo({QStringLiteral("mousemove"), QString::number(p.x()), QString::number(p.y())});
    }
    void key(const QString &keys) { display->xdo(QStringList{QStringLiteral("key")} + keys.split(u' ')); }
    void click(QPoint p, int button = 1) {
        moveTo(p);
        QThread::msleep(150); // let the list see the pointer rest on the row
        display->xdo({QStringLiteral("click"), QString::number(button)});
    }
    QString sql(const QString &query) { return install->sql(query); }

    // A window of the program whose size passes the test, waited for.
    QString waitForSize(const std::function<bool(QSize)> &fits, int timeoutMs = 8000) {
        return install->waitForWindowOf(vemo, fits, timeoutMs);
    }
    static bool other(QSize s) { return s != IconSize && s != ListSize; }

    // The middle of the title cell of a row of the record list.
    QPoint rowAt(int row) { return install->geometry(list).topLeft() + QPoint(192, 39 + row * RowHeight); }
    // A right click on a row, then the item by its keys.
    void choose(int row, const QString &itemKeys) {
        click(rowAt(row), 3);
        QVERIFY2(!waitForSize(other, 5000).isEmpty(), "no menu appeared");
        QThread::msleep(100);
        key(itemKeys);
    }
    // Answers a box titled like the program (the icon and the list are too)
    // with a key once it has the keyboard.
    void answer(const QString &keys, const QString &title = AppTitle) {
        const QStringList search = {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                    QStringLiteral("--name"), title};
        QString box;
        const auto found = [&] {
            for (const QString &id : display->xdo(search).split(u'\n', Qt::SkipEmptyParts))
                if (other(install->geometry(id).size()))
                    return !(box = id).isEmpty();
            return false;
        };
        QVERIFY2(waitUntil(found, 8000), "no box appeared");
        display->xdo({QStringLiteral("windowactivate"), QStringLiteral("--sync"), box});
        key(keys);
        QVERIFY2(waitUntil([&] { return !install->windowsOf(vemo).contains(box); }, 5000), "the box stayed");
    }

    // How many pixels of the title cell of a list row pass the test, on a
    // fresh screenshot; ImageMagick cuts the cell out as raw RGB.
    int pixels(int row, bool (*test)(int, int, int)) {
        QThread::msleep(300); // the last repaint
        const QString png = QDir::tempPath() + QStringLiteral("/vemo-menu.png");
        display->screenshot(png);
        const QPoint at = install->geometry(list).topLeft() + QPoint(132, 32 + row * RowHeight);
        QProcess convert;
        convert.start(QStringLiteral("convert"),
                      {png, QStringLiteral("-crop"),
                       QStringLiteral("180x%1+%2+%3").arg(RowHeight - 4).arg(at.x()).arg(at.y()),
                       QStringLiteral("-depth"), QStringLiteral("8"), QStringLiteral("rgb:-")});
        convert.waitForFinished(10000);
        const QByteArray rgb = convert.readAllStandardOutput();
        int n = 0;
        for (qsizetype i = 0; i + 2 < rgb.size(); i += 3)
            n += test(uchar(rgb[i]), uchar(rgb[i + 1]), uchar(rgb[i + 2])) ? 1 : 0;
        return n;
    }

  private slots:
    void init() {
        display = std::make_unique<Display>();
        QString error;
        if (!display->start(&error))
            QFAIL(qPrintable(error));
        install = std::make_unique<Installation>(*display);
        install->setSetting(QStringLiteral("显示到系统托盘"), QStringLiteral("False"));
        // Listed under "常用" in this order.
        sql(QStringLiteral(
            "INSERT INTO VBcode VALUES (1, '工具', 'Sub', 'alpha 标题', 'alpha', '20200101000003', '常用');"
            "INSERT INTO VBcode VALUES (2, '工具', 'Sub', 'beta 标题', 'beta', '20200101000002', '常用');"
            "INSERT INTO VBcode VALUES (0, '其他', 'API', 'zero 标题', 'zero', '20200101000001', '常用');"));
        vemo = install->start();
        const QString icon = waitForSize([](QSize s) { return s == IconSize; }, 15000);
        QVERIFY(!icon.isEmpty());
        click(install->centre(icon));
        list = waitForSize([](QSize s) { return s == ListSize; });
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
        QCOMPARE(pixels(1, red), 0);
        choose(1, QStringLiteral("s")); // beta gets the "★★　" mark
        QVERIFY(waitUntil([&] { return sql("SELECT CodeName FROM VBcode WHERE ID = 2") == "★★　beta 标题"; },
                          5000));
        // Hovering selects another row: the selection hides the colour.
        moveTo(rowAt(0));
        QVERIFY2(pixels(1, red) > 20, "the marked row is not red");

        // Delete alpha: No keeps it, Yes removes it from the library and the list.
        choose(0, QStringLiteral("d"));
        answer(QStringLiteral("n"));
        QCOMPARE(sql("SELECT count(*) FROM VBcode WHERE ID = 1"), QStringLiteral("1"));
        QVERIFY(pixels(2, ink) > 20);
        choose(0, QStringLiteral("d"));
        answer(QStringLiteral("y"));
        QVERIFY(waitUntil([&] { return sql("SELECT count(*) || '|' || sum(ID = 1) FROM VBcode") == "2|0"; },
                          5000));
        moveTo(rowAt(1));
        QVERIFY2(pixels(2, ink) == 0, "the deleted row is still listed");
        QVERIFY(pixels(0, red) > 20); // beta moved up, still red
    }

    // After a box of the menu the list has the keyboard again.
    void keyboardComesBackAfterABox() {
        choose(1, QStringLiteral("d"));
        answer(QStringLiteral("n"));
        QVERIFY2(
            waitUntil([&] { return display->xdo({QStringLiteral("getactivewindow")}).trimmed() == list; },
                      5000),
            "the list is not the active window");
        display->xdo({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("50"),
                      QStringLiteral("zero")});
        QThread::msleep(300);
        key(QStringLiteral("Return"));
        QVERIFY2(waitUntil([&] { return display->clipboard() == QLatin1String("zero"); }, 5000),
                 qPrintable(display->clipboard()));
    }

    void backupAndClear() {
        choose(0, QStringLiteral("b"));
        answer(QStringLiteral("Return"), QStringLiteral("^【Vemo】文本收集器提示您$"));
        const QStringList files =
            QDir(install->programFolder() + QStringLiteral("/backup")).entryList(QDir::Files);
        // Exactly one file, named after the minute.
        QVERIFY2(QRegularExpression(QStringLiteral("^\\d{8} \\d{4}VBCode\\.mdb$"))
                     .match(files.join(u'|'))
                     .hasMatch(),
                 qPrintable(files.join(u'|')));

        // "清空数据库" has no access key: the last item, reached from the end.
        choose(0, QStringLiteral("Up Return"));
        answer(QStringLiteral("n"));
        QCOMPARE(sql("SELECT count(*) FROM VBcode"), QStringLiteral("3"));
        choose(0, QStringLiteral("Up Return"));
        answer(QStringLiteral("y"));
        QVERIFY(waitUntil([&] { return sql("SELECT group_concat(ID) FROM VBcode") == "0"; }, 5000));
        QVERIFY2(pixels(0, ink) == 0, "the list was not emptied");
    }
};

QTEST_GUILESS_MAIN(DesktopMenu)
#include "tst_desktop_menu.moc"
