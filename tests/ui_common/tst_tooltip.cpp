// The balloon tip: its properties, which changes reach a live tip, and how it
// follows the mouse over the window it is attached to.
#include "CTooltip.h"

#include <QApplication>
#include <QCursor>
#include <QDir>
#include <QListWidget>
#include <QPointer>
#include <QScreen>
#include <QTest>
#include <QToolTip>
#include <algorithm>
#include <memory>

namespace {

// A window with the watched area in its upper half and free room below it,
// so the mouse can leave the area without leaving the window.
struct Desk {
    QWidget window;
    QWidget *tool;
    Desk() {
        window.resize(400, 300);
        window.move(40, 40);
        tool = new QWidget(&window);
        tool->setGeometry(0, 0, 400, 150);
        tool->setMouseTracking(true);
        window.setMouseTracking(true);
        window.show();
    }
    bool exposed() { return QTest::qWaitForWindowExposed(&window); }
    void rest(QPoint at = QPoint(100, 60)) { QTest::mouseMove(tool, at); }
    void leave() { QTest::mouseMove(&window, QPoint(100, 250)); }
};

CTooltip *quickListBalloon(const QString &title, const QString &text, int delay) {
    auto *tip = new CTooltip;
    tip->setStyle(1);
    tip->setIcon(1);
    tip->Destroy();
    tip->setDelayTime(delay);
    tip->setTitle(title);
    tip->setTipText(text);
    return tip;
}

} // namespace

class TestTooltip : public QObject {
    Q_OBJECT
  private slots:
    // Each case starts with the mouse away from every window.
    void init() { QCursor::setPos(QPoint(790, 590)); }

    void newObjectDefaults() {
        CTooltip tip;
        QCOMPARE(tip.VisibleTime(), 5000);
        QCOMPARE(tip.DelayTime(), 100);
        QCOMPARE(tip.Style(), 0);
        QCOMPARE(tip.Icon(), 0);
        QCOMPARE(tip.ForeColor(), 0);
        QCOMPARE(tip.BackColor(), 0);
        QVERIFY(!tip.Centered());
        QVERIFY(tip.Title().isEmpty());
        QVERIFY(tip.TipText().isEmpty());
        QVERIFY(!tip.hasTipWindow());
        QVERIFY(!tip.tipWidget());
    }

    void styleChoosesBalloon_data() {
        QTest::addColumn<int>("style");
        QTest::addColumn<bool>("balloon");
        QTest::newRow("0") << 0 << false;
        QTest::newRow("1") << 1 << true;
        QTest::newRow("2") << 2 << false;
    }
    void styleChoosesBalloon() {
        QFETCH(int, style);
        QFETCH(bool, balloon);
        QWidget parent;
        CTooltip tip;
        tip.setStyle(style);
        QVERIFY(!tip.hasTipWindow()); // storing creates nothing
        tip.Create(&parent);
        QCOMPARE(tip.tipWidget()->isBalloon(), balloon);
        QCOMPARE(tip.tipWidget()->toolWindow(), &parent);

        // Style, centring and the times wait for the next Create, which replaces the window.
        QPointer<CTooltipWindow> first = tip.tipWidget();
        tip.setStyle(style == 1 ? 0 : 1);
        tip.setCentered(true);
        tip.setVisibleTime(700);
        tip.setDelayTime(2000);
        QCOMPARE(first->isBalloon(), balloon);
        QVERIFY(!first->isCentered());
        QCOMPARE(first->visibleTime(), 5000);
        QCOMPARE(first->delayTime(), 100);
        tip.Create(&parent);
        QVERIFY(!first);
        QCOMPARE(tip.tipWidget()->isBalloon(), !balloon);
        QVERIFY(tip.tipWidget()->isCentered());
        QCOMPARE(tip.tipWidget()->visibleTime(), 700);
        QCOMPARE(tip.tipWidget()->delayTime(), 2000);
    }

    void titleLineAtCreate_data() {
        QTest::addColumn<QString>("title");
        QTest::addColumn<int>("icon");
        QTest::addColumn<bool>("line");
        QTest::newRow("icon without title") << QString() << 1 << true;
        QTest::newRow("neither") << QString() << 0 << false;
        QTest::newRow("title without icon") << QStringLiteral("标题") << 0 << true;
        QTest::newRow("both") << QStringLiteral("标题") << 3 << true;
    }
    void titleLineAtCreate() {
        QFETCH(QString, title);
        QFETCH(int, icon);
        QFETCH(bool, line);
        QWidget parent;
        CTooltip tip;
        tip.setTitle(title);
        tip.setIcon(icon);
        tip.Create(&parent);
        QCOMPARE(tip.tipWidget()->hasTitleLine(), line);
        QCOMPARE(tip.tipWidget()->title(), title);
    }

    void liveTitleNeedsTitleAndIconButTextGoesAtOnce() {
        QWidget parent;
        CTooltip tip;
        tip.setTitle(QStringLiteral("甲"));
        tip.setTipText(QStringLiteral("第一段")); // before Create: kept for it
        QVERIFY(!tip.hasTipWindow());
        tip.Create(&parent);
        QCOMPARE(tip.tipWidget()->text(), QStringLiteral("第一段"));
        tip.setTipText(QStringLiteral("第二段"));
        QCOMPARE(tip.tipWidget()->text(), QStringLiteral("第二段"));
        tip.setTitle(QStringLiteral("乙")); // icon 0: the live tip keeps its title
        QCOMPARE(tip.Title(), QStringLiteral("乙"));
        QCOMPARE(tip.tipWidget()->title(), QStringLiteral("甲"));
        tip.Create(&parent);
        QCOMPARE(tip.tipWidget()->title(), QStringLiteral("乙"));

        tip.setIcon(2); // now both are set: at once
        QCOMPARE(tip.tipWidget()->icon(), 2);
        tip.setTitle(QStringLiteral("丙"));
        QCOMPARE(tip.tipWidget()->title(), QStringLiteral("丙"));
        tip.setIcon(0); // back to 0: nothing sent
        QCOMPARE(tip.tipWidget()->icon(), 2);
        tip.setIcon(1);
        tip.setTitle(QString()); // an empty title is not sent either
        QCOMPARE(tip.tipWidget()->title(), QStringLiteral("丙"));
    }

    void colours() {
        const QPalette system = QToolTip::palette();
        QWidget parent;
        CTooltip tip;
        tip.Create(&parent);
        QCOMPARE(tip.tipWidget()->backColor(), system.color(QPalette::Inactive, QPalette::ToolTipBase));
        QCOMPARE(tip.tipWidget()->foreColor(), system.color(QPalette::Inactive, QPalette::ToolTipText));

        // COLORREF is 0x00BBGGRR; a live tip takes colours at once.
        tip.setBackColor(0x0000FF);
        tip.setForeColor(0xFF0000);
        QCOMPARE(tip.tipWidget()->backColor(), QColor(255, 0, 0));
        QCOMPARE(tip.tipWidget()->foreColor(), QColor(0, 0, 255));
        tip.setBackColor(0); // 0 is the system colour again, not black
        QCOMPARE(tip.tipWidget()->backColor(), system.color(QPalette::Inactive, QPalette::ToolTipBase));
        QCOMPARE(tip.tipWidget()->foreColor(), QColor(0, 0, 255));

        tip.setForeColor(0x00FF00);
        tip.Create(&parent);
        QCOMPARE(tip.tipWidget()->foreColor(), QColor(0, 255, 0));
        QCOMPARE(tip.tipWidget()->backColor(), system.color(QPalette::Inactive, QPalette::ToolTipBase));
    }

    void destroyRemovesTheWindow() {
        Desk desk;
        QVERIFY(desk.exposed());
        QPointer<CTooltipWindow> hidden;
        {
            CTooltip tip;
            tip.setTipText(QStringLiteral("文本"));
            tip.Create(desk.tool);
            hidden = tip.tipWidget();
            tip.Destroy();
            QVERIFY(!tip.hasTipWindow());
            QVERIFY(!hidden);
            tip.Destroy(); // twice is harmless
            tip.Create(desk.tool);
            hidden = tip.tipWidget();
        }
        QVERIFY(!hidden); // the object's end takes its window along

        // A tip that is up goes once the current event is handled.
        auto tip = std::make_unique<CTooltip>();
        tip->setTipText(QStringLiteral("文本"));
        tip->Create(desk.tool);
        desk.rest();
        QTRY_VERIFY(tip->tipWidget()->isVisible());
        QPointer<CTooltipWindow> shown = tip->tipWidget();
        tip.reset();
        QTRY_VERIFY(!shown);
    }

    void showsAfterRestingAndHidesOnLeaveAndPress() {
        Desk desk;
        QVERIFY(desk.exposed());
        CTooltip tip;
        tip.setStyle(1);
        tip.setTipText(QStringLiteral("一段可以复用的文本"));
        tip.setDelayTime(200);
        tip.Create(desk.tool);
        CTooltipWindow *w = tip.tipWidget();
        QVERIFY(!w->isVisible()); // nothing before the mouse comes

        desk.rest(QPoint(100, 60));
        QVERIFY(!w->isVisible());
        QTRY_VERIFY(w->isVisible());
        const QPoint cursor = desk.tool->mapToGlobal(QPoint(100, 60));
        QVERIFY(!w->geometry().contains(cursor));
        QVERIFY(w->geometry().top() > cursor.y()); // below the pointer
        QVERIFY(w->geometry().left() <= cursor.x() && w->geometry().right() >= cursor.x());

        // It stays put while the mouse moves within the window.
        const QRect where = w->geometry();
        desk.rest(QPoint(110, 64));
        desk.rest(QPoint(120, 70));
        QVERIFY(w->isVisible());
        QCOMPARE(w->geometry(), where);

        desk.leave();
        QVERIFY(!w->isVisible());
        desk.rest();
        QTRY_VERIFY(w->isVisible());

        // A click hides it, and moving on does not bring it back ...
        QTest::mousePress(desk.tool, Qt::LeftButton, {}, QPoint(120, 70));
        QTest::mouseRelease(desk.tool, Qt::LeftButton, {}, QPoint(120, 70));
        QVERIFY(!w->isVisible());
        desk.rest(QPoint(130, 70));
        QTest::qWait(400);
        QVERIFY(!w->isVisible());
        // ... until the mouse has left and comes back.
        desk.leave();
        desk.rest();
        QTRY_VERIFY(w->isVisible());
        // The visible time ends it, and it stays away while the mouse stays.
        desk.leave();
        tip.setVisibleTime(300);
        tip.Create(desk.tool);
        w = tip.tipWidget();
        desk.rest(QPoint(140, 80));
        QTRY_VERIFY(w->isVisible());
        QTRY_VERIFY(!w->isVisible());
        desk.rest(QPoint(150, 80));
        QTest::qWait(400);
        QVERIFY(!w->isVisible());
    }

    void movingRestartsTheDelay() {
        Desk desk;
        QVERIFY(desk.exposed());
        CTooltip tip;
        tip.setTipText(QStringLiteral("文本"));
        tip.setDelayTime(1500);
        tip.Create(desk.tool);
        desk.rest(QPoint(50, 50));
        QTest::qWait(800);
        desk.rest(QPoint(60, 50));
        QTest::qWait(900); // 1700 ms after the first move, 900 after the last
        QVERIFY(!tip.tipWidget()->isVisible());
        QTRY_VERIFY(tip.tipWidget()->isVisible());
    }

    void emptyTextShowsNothing() {
        Desk desk;
        QVERIFY(desk.exposed());
        CTooltip tip;
        tip.setTitle(QStringLiteral("标题"));
        tip.setIcon(1);
        tip.setDelayTime(0);
        tip.Create(desk.tool);
        desk.rest();
        QTest::qWait(200);
        QVERIFY(!tip.tipWidget()->isVisible());
        tip.setTipText(QStringLiteral("有了")); // a text given later is used
        desk.rest(QPoint(90, 60));
        QTRY_VERIFY(tip.tipWidget()->isVisible());
    }

    void listViewportCountsAsTheWindow() {
        // A list gets its mouse events on its viewport; the tip is attached to the list.
        QListWidget list;
        list.setMouseTracking(true);
        list.addItems({QStringLiteral("一"), QStringLiteral("二")});
        list.resize(300, 200);
        list.show();
        QVERIFY(QTest::qWaitForWindowExposed(&list));
        CTooltip tip;
        tip.setTipText(QStringLiteral("文本"));
        tip.Create(&list);
        QTest::mouseMove(list.viewport(), QPoint(40, 20));
        QTRY_VERIFY(tip.tipWidget()->isVisible());
        QTest::mousePress(list.viewport(), Qt::LeftButton, {}, QPoint(40, 20));
        QVERIFY(!tip.tipWidget()->isVisible());
        QTest::mouseRelease(list.viewport(), Qt::LeftButton, {}, QPoint(40, 20));
    }

    void parentHiddenOrGone() {
        auto desk = std::make_unique<Desk>();
        QVERIFY(desk->exposed());
        CTooltip tip;
        tip.setTipText(QStringLiteral("文本"));
        tip.Create(desk->tool);
        desk->rest();
        QTRY_VERIFY(tip.tipWidget()->isVisible());
        desk->window.hide();
        QVERIFY(!tip.tipWidget()->isVisible());

        desk->window.show();
        QVERIFY(desk->exposed());
        desk->rest();
        QTRY_VERIFY(tip.tipWidget()->isVisible());
        desk.reset(); // the window goes first
        QVERIFY(!tip.tipWidget()->isVisible());
        QVERIFY(!tip.tipWidget()->toolWindow());
        tip.setTipText(QStringLiteral("之后")); // still safe to use
        tip.Create(nullptr);
        QVERIFY(tip.hasTipWindow());
        tip.Destroy();
    }

    void recreatedOnEveryMoveDoesNotFlicker() {
        // The quick list makes a new balloon on every mouse move over a row.
        Desk desk;
        QVERIFY(desk.exposed());
        std::unique_ptr<CTooltip> balloon(
            quickListBalloon(QStringLiteral("行一"), QStringLiteral("第一行"), 100));
        balloon->Create(desk.tool);
        desk.rest(QPoint(100, 30));
        QTRY_VERIFY(balloon->tipWidget()->isVisible());
        QPointer<CTooltipWindow> up = balloon->tipWidget();
        const QRect where = up->geometry();

        // Same row: the shown balloon stays, in place.
        desk.rest(QPoint(102, 31));
        balloon.reset(quickListBalloon(QStringLiteral("行一"), QStringLiteral("第一行"), 2000));
        balloon->Create(desk.tool);
        QVERIFY(balloon->tipWidget()->isVisible());
        QCOMPARE(balloon->tipWidget()->geometry(), where);

        // Another row: its balloon shows at once, at the mouse.
        desk.rest(QPoint(150, 90));
        balloon.reset(quickListBalloon(QStringLiteral("行二"), QStringLiteral("第二行"), 2000));
        balloon->Create(desk.tool);
        CTooltipWindow *w = balloon->tipWidget();
        QVERIFY(w->isVisible());
        QCOMPARE(w->title(), QStringLiteral("行二"));
        QCOMPARE(w->text(), QStringLiteral("第二行"));
        QVERIFY(w->geometry().top() > desk.tool->mapToGlobal(QPoint(150, 90)).y());

        // Once it is gone (a click), a new balloon waits for the delay again.
        QTest::mousePress(desk.tool, Qt::LeftButton, {}, QPoint(150, 90));
        QTest::mouseRelease(desk.tool, Qt::LeftButton, {}, QPoint(150, 90));
        balloon.reset(quickListBalloon(QStringLiteral("行二"), QStringLiteral("第二行"), 300));
        balloon->Create(desk.tool);
        QVERIFY(!balloon->tipWidget()->isVisible());
        QTRY_VERIFY(balloon->tipWidget()->isVisible());

        // Nothing is left on the screen when the last one goes.
        balloon.reset();
        auto tipShown = [] {
            const QWidgetList all = QApplication::topLevelWidgets();
            return std::any_of(all.cbegin(), all.cend(), [](QWidget *t) {
                return qobject_cast<CTooltipWindow *>(t) && t->isVisible();
            });
        };
        QTRY_VERIFY(!tipShown());
    }

    void textLayout() {
        Desk desk;
        QVERIFY(desk.exposed());
        auto sizeFor = [&](const QString &text) {
            CTooltip tip;
            tip.setTipText(text);
            tip.setDelayTime(0);
            tip.Create(desk.tool);
            desk.rest(QPoint(20, 20));
            if (!QTest::qWaitFor([&] { return tip.tipWidget()->isVisible(); }))
                return std::make_pair(QSize(), false);
            desk.leave();
            return std::make_pair(tip.tipWidget()->size(), tip.tipWidget()->isTruncated());
        };
        const QSize oneLine = sizeFor(QStringLiteral("甲乙丙")).first;
        const QSize crlf = sizeFor(QStringLiteral("甲\r\n乙\r\n丙")).first;
        const QSize lf = sizeFor(QStringLiteral("甲\n乙\r丙")).first;
        QVERIFY(oneLine.isValid());
        QVERIFY(crlf.height() > 2 * oneLine.height() - 20);
        QVERIFY(crlf.width() < oneLine.width());
        QCOMPARE(lf, crlf);

        // Long text wraps at a readable width and is cut to the screen.
        const auto [huge, cut] = sizeFor(QString(100000, QChar(0x6587)));
        const QRect screen = desk.window.screen()->availableGeometry();
        QVERIFY(cut);
        QVERIFY(huge.width() <= 440);
        QVERIFY(huge.height() <= screen.height());
        const auto [word, wordCut] = sizeFor(QString(3000, u'x')); // no break opportunity at all
        QVERIFY(word.width() <= 440);
        QVERIFY(!wordCut || word.height() <= screen.height());
    }

    void balloonPicture() {
        Desk desk;
        QVERIFY(desk.exposed());
        CTooltip tip;
        tip.setStyle(1);
        tip.setIcon(1);
        tip.setTitle(QStringLiteral("常用函数：读取配置"));
        tip.setTipText(
            QStringLiteral("这是一段收集起来以便反复使用的文本，气球提示会把它自动换行显示。\r\n"
                           "第二行：Function GetSet(Key As String) As String\r\n"
                           "第三行说明了较长的内容也能在四百像素以内折行，而不会超出屏幕的边缘。"));
        tip.setDelayTime(0);
        tip.Create(desk.tool);
        desk.rest(QPoint(60, 40));
        QTRY_VERIFY(tip.tipWidget()->isVisible());
        const QImage image = tip.tipWidget()->grab().toImage();
        const QString path = QDir::temp().filePath(QStringLiteral("balloon.png"));
        QVERIFY(image.save(path));
        qInfo("balloon picture: %s", qPrintable(path));

        // A real balloon: clear corners and a stem rising from the body.
        const qreal ratio = image.devicePixelRatio();
        auto alphaAt = [&](int x, int y) { return qAlpha(image.pixel(int(x * ratio), int(y * ratio))); };
        const QSize size = tip.tipWidget()->size();
        QCOMPARE(alphaAt(0, 0), 0);
        QCOMPARE(alphaAt(size.width() - 1, size.height() - 1), 0);
        QCOMPARE(alphaAt(size.width() / 2, size.height() / 2), 255);
        const int stemX = desk.tool->mapToGlobal(QPoint(60, 40)).x() - tip.tipWidget()->x();
        QVERIFY(alphaAt(stemX + 2, 4) > 0);        // in the stem
        QCOMPARE(alphaAt(size.width() - 4, 4), 0); // beside it
    }
};

QTEST_MAIN(TestTooltip)
#include "tst_tooltip.moc"
