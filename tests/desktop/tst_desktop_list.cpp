// The quick list and the call-up hotkey on a real desktop: opening, search,
// execution into the clipboard, and the paste into another program.
#include "Desktop.h"

#include <QDir>
#include <QFile>
#include <QThread>
#include <QtTest>

namespace {

const QString Notice = QStringLiteral("【Vemo】文本收集器提示您");
const QString Beta = QStringLiteral("第一行\n第二行 中文 beta");
const QString Alpha = QStringLiteral("alpha 的文本");

QString readFile(const QString &path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

} // namespace

class DesktopList : public DesktopTest {
    Q_OBJECT
    QProcess *vemo = nullptr;

    QStringList xdo(const QStringList &args) {
        return display->xdo(args).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }
    void key(const QString &keys) { display->xdo({QStringLiteral("key"), keys}); }
    void mouseTo(QPoint p) {
        display->xdo({QStringLiteral("mousemove"), QString::number(p.x()), QString::number(p.y())});
    }
    void click(QPoint p) {
        mouseTo(p);
        QThread::msleep(150); // let the list see the pointer rest on the row
        display->xdo({QStringLiteral("click"), QStringLiteral("1")});
    }

    void fillLibrary() {
        install->sql(
            QStringLiteral(
                "INSERT INTO VBcode VALUES (1, '工具', 'Sub', 'alpha 标题', '%1', '20200101000001', '常用');"
                "INSERT INTO VBcode VALUES (2, '工具', 'Sub', 'beta 标题', '第一行' || char(10) || "
                "'第二行 中文 beta', '20200101000002', '常用');")
                .arg(Alpha));
    }

    void startVemo() {
        vemo = install->start();
        QVERIFY(waitUntil([&] { return !install->windowsOf(vemo).isEmpty(); }, 15000));
    }
    QString iconWindow() {
        for (const QString &id : install->windowsOf(vemo))
            if (install->geometry(id).size() == QSize(48, 48))
                return id;
        return {};
    }
    // The quick list: the program's 420 x 643 window.
    QString listWindow(int timeoutMs = 5000) {
        return install->waitForWindowOf(
            vemo, [](QSize s) { return s == QSize(420, 643); }, timeoutMs);
    }
    // The middle of a row of the record list, in the title column.
    QPoint row(const QString &list, int index) {
        const QRect g = install->geometry(list);
        return g.topLeft() + QPoint(92 + 100, 29 + 10 + index * 20);
    }
    QString startPeer(const QString &file) {
        install->startPeer({QStringLiteral("target"), file});
        QString peer;
        waitUntil(
            [&] {
                for (const QString &id : xdo({QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                              QStringLiteral("--name"), QStringLiteral("^VemoPeer$")}))
                    if (!id.isEmpty())
                        peer = id;
                return !peer.isEmpty();
            },
            10000);
        return peer;
    }
    void focus(const QString &window) {
        display->xdo({QStringLiteral("windowactivate"), QStringLiteral("--sync"), window});
        display->xdo({QStringLiteral("windowfocus"), QStringLiteral("--sync"), window});
    }

  private slots:
    void init() {
        DesktopTest::init();
        if (!install)
            return;
        install->setSetting(QStringLiteral("显示到系统托盘"), QStringLiteral("False"));
    }

    void clickOnEmptyLibraryShowsTheHelpNotice() {
        startVemo();
        click(install->centre(iconWindow()));
        QVERIFY(!install->waitForWindow(Notice).isEmpty());
        QVERIFY(listWindow(300).isEmpty());
    }

    void listOpensAtTheRightEdgeAndGivesItsEntries() {
        fillLibrary();
        startVemo();
        click(install->centre(iconWindow()));
        QString list = listWindow();
        QVERIFY2(!list.isEmpty(), "a click on the icon opened no list");
        const QRect g = install->geometry(list);
        QCOMPARE(g.right() + 1, 1920);
        QCOMPARE(g.top(), 200);
        QThread::msleep(200);
        display->screenshot(QDir::tempPath() + QStringLiteral("/vemo-quick-list.png"));

        click(row(list, 1)); // alpha: the newer beta comes first
        QVERIFY(waitUntil([&] { return display->clipboard() == Alpha; }, 5000));
        QVERIFY(waitUntil([&] { return listWindow(100).isEmpty(); }, 5000)); // it closed itself

        // The next opening shows the entry just used first.
        click(install->centre(iconWindow()));
        list = listWindow();
        QVERIFY(!list.isEmpty());
        display->setClipboard(QStringLiteral("别的"));
        click(row(list, 0));
        QVERIFY(waitUntil([&] { return display->clipboard() == Alpha; }, 5000));
    }

    void typingIntoTheSearchBoxNarrowsTheList() {
        fillLibrary();
        startVemo();
        click(install->centre(iconWindow()));
        const QString list = listWindow();
        QVERIFY(!list.isEmpty());
        click(install->geometry(list).topLeft() + QPoint(200, 15)); // the search box
        display->xdo({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("50"),
                      QStringLiteral("alpha")});
        QThread::msleep(300);
        click(row(list, 0));
        QVERIFY(waitUntil([&] { return display->clipboard() == Alpha; }, 5000));
    }

    // A normal click on the program's own icon while the list is open moves
    // the list to its place and keeps what it shows.
    void pressOnTheOwnIconKeepsTheList() {
        fillLibrary();
        startVemo();
        const QString icon = iconWindow();
        click(install->centre(icon));
        const QString list = listWindow();
        QVERIFY(!list.isEmpty());
        display->xdo({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("50"),
                      QStringLiteral("alpha")});
        QThread::msleep(300);
        mouseTo(install->centre(icon));
        display->xdo({QStringLiteral("mousedown"), QStringLiteral("1")});
        QThread::msleep(250);
        display->xdo({QStringLiteral("mouseup"), QStringLiteral("1")});
        QThread::msleep(500);
        QCOMPARE(listWindow(), list);
        // The search still holds: the first row is alpha, not the newest record.
        key(QStringLiteral("Return"));
        QVERIFY2(waitUntil([&] { return display->clipboard() == Alpha; }, 5000),
                 qPrintable(display->clipboard()));
    }

    void draggedIconComesBackAfterARestart() {
        startVemo();
        const QString icon = iconWindow();
        const QPoint from = install->centre(icon);
        mouseTo(from);
        display->xdo({QStringLiteral("mousedown"), QStringLiteral("1")});
        for (int step = 1; step <= 10; ++step) {
            mouseTo(from + QPoint(-30 * step, 25 * step));
            QThread::msleep(40);
        }
        display->xdo({QStringLiteral("mouseup"), QStringLiteral("1")});
        const QPoint moved = install->geometry(icon).topLeft();
        QVERIFY(moved.x() < 700 && moved.y() > 150);
        QVERIFY(waitUntil(
            [&] { return install->setting(QStringLiteral("Vemo_left")) == QString::number(moved.x() * 15); },
            5000));
        install->stopAll();
        startVemo();
        QCOMPARE(install->geometry(iconWindow()).topLeft(), moved);
    }

    void hotkeyOpensTheListAndPastesIntoTheTarget() {
        fillLibrary();
        startVemo();
        const QString file = install->home() + QStringLiteral("/peer.txt");
        const QString peer = startPeer(file);
        QVERIFY(!peer.isEmpty());
        focus(peer);
        mouseTo(QPoint(600, 300));
        key(QStringLiteral("ctrl+e"));
        const QString list = listWindow();
        QVERIFY2(!list.isEmpty(), "Ctrl+E opened no list");
        QCOMPARE(install->geometry(list).topLeft(), QPoint(600, 300));
        // Ctrl+E again while the list is in front: the list is no target, the peer stays one.
        QVERIFY(waitUntil([&] { return display->xdo({QStringLiteral("getactivewindow")}).trimmed() == list; },
                          5000));
        key(QStringLiteral("ctrl+e"));
        QThread::msleep(300);
        click(row(list, 0)); // beta: Chinese over two lines
        QVERIFY2(waitUntil([&] { return readFile(file) == Beta; }, 5000), qPrintable(readFile(file)));
        QCOMPARE(display->clipboard(), Beta);

        // NumLock on: the hotkey still arrives.
        focus(peer);
        key(QStringLiteral("Num_Lock"));
        key(QStringLiteral("ctrl+e"));
        QVERIFY2(!listWindow().isEmpty(), "Ctrl+E with NumLock opened no list");
        key(QStringLiteral("Escape"));
        QVERIFY(waitUntil([&] { return listWindow(100).isEmpty(); }, 5000));
    }

    void chosenKeyReplacesCtrlE() {
        fillLibrary();
        install->setSetting(QStringLiteral("呼出快捷键值"), QStringLiteral("112"));
        startVemo();
        key(QStringLiteral("ctrl+e"));
        QVERIFY(listWindow(1000).isEmpty());
        key(QStringLiteral("ctrl+F1"));
        QVERIFY2(!listWindow().isEmpty(), "Ctrl+F1 opened no list");
    }

    void listFromTheIconOnlyCopies() {
        fillLibrary();
        startVemo();
        const QString file = install->home() + QStringLiteral("/peer.txt");
        const QString peer = startPeer(file);
        focus(peer);
        key(QStringLiteral("ctrl+e")); // records the peer as the target
        QVERIFY(!listWindow().isEmpty());
        key(QStringLiteral("Escape"));
        QVERIFY(waitUntil([&] { return listWindow(100).isEmpty(); }, 5000));
        focus(peer);
        click(install->centre(iconWindow()));
        const QString list = listWindow();
        QVERIFY(!list.isEmpty());
        click(row(list, 1));
        QVERIFY(waitUntil([&] { return display->clipboard() == Alpha; }, 5000));
        QThread::msleep(500);
        QCOMPARE(readFile(file), QString());
    }

    void closedTargetGetsNoKeystroke() {
        fillLibrary();
        startVemo();
        const QString bystanderFile = install->home() + QStringLiteral("/bystander.txt");
        const QString bystander = startPeer(bystanderFile);
        QProcess *target =
            install->startPeer({QStringLiteral("target"), install->home() + QStringLiteral("/target.txt")});
        QString targetWindow;
        QVERIFY(waitUntil(
            [&] {
                for (const QString &id : xdo({QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                              QStringLiteral("--pid"), QString::number(target->processId())}))
                    targetWindow = id;
                return !targetWindow.isEmpty();
            },
            10000));
        focus(targetWindow);
        key(QStringLiteral("ctrl+e"));
        const QString list = listWindow();
        QVERIFY(!list.isEmpty());
        target->kill();
        target->waitForFinished(5000);
        click(row(list, 1));
        QVERIFY(waitUntil([&] { return display->clipboard() == Alpha; }, 5000));
        QThread::msleep(800);
        QCOMPARE(readFile(bystanderFile), QString());
        Q_UNUSED(bystander);
    }

    void hotkeyHeldElsewhereLeavesTheProgramRunningAndExitFreesIt() {
        fillLibrary();
        startVemo(); // holds Ctrl+E
        QProcess *first = vemo;
        Installation other(*display);
        other.setSetting(QStringLiteral("显示到系统托盘"), QStringLiteral("False"));
        other.sql(
            QStringLiteral("INSERT INTO VBcode VALUES (1, '', '', 't', 'x', '20200101000001', '常用')"));
        QProcess *second = other.start();
        QVERIFY(waitUntil([&] { return !other.windowsOf(second).isEmpty(); }, 15000));
        QCOMPARE(second->state(), QProcess::Running);
        key(QStringLiteral("ctrl+e"));
        QVERIFY(!listWindow().isEmpty());            // the first program's list
        QCOMPARE(other.windowsOf(second).size(), 1); // the second shows its icon only
        key(QStringLiteral("Escape"));

        // After the first program ended, the combination is free for another.
        first->terminate();
        QVERIFY(install->waitForExit(first));
        Installation third(*display);
        third.setSetting(QStringLiteral("显示到系统托盘"), QStringLiteral("False"));
        third.sql(
            QStringLiteral("INSERT INTO VBcode VALUES (1, '', '', 't', 'x', '20200101000001', '常用')"));
        other.stopAll();
        QProcess *next = third.start();
        QVERIFY(waitUntil([&] { return !third.windowsOf(next).isEmpty(); }, 15000));
        key(QStringLiteral("ctrl+e"));
        QVERIFY(!third.waitForWindowOf(next, [](QSize s) { return s == QSize(420, 643); }).isEmpty());
    }
};

QTEST_GUILESS_MAIN(DesktopList)
#include "tst_desktop_list.moc"
