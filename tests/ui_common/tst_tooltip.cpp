// The balloon tip: its properties, which changes reach a live tip, and how it
// follows the mouse over the window it is attached to.
#include "CTooltip.h"

#include <QApplication>
#include <QCursor>
#include <QScreen>
#include <QTest>
#include <QToolTip>
#include <memory>

namespace {

// A shown window with the watched area in its upper half, so the mouse can
// leave the area without leaving the window.
struct Desk {
    QWidget window;
    QWidget *tool = new QWidget(&window);
    Desk() {
        window.setGeometry(40, 40, 400, 300);
        tool->setGeometry(0, 0, 400, 150);
        tool->setMouseTracking(true);
        window.show();
    }
    bool exposed() { return QTest::qWaitForWindowExposed(&window); }
    void rest(QPoint at = QPoint(100, 60)) { QTest::mouseMove(tool, at); }
    void leave() { QTest::mouseMove(&window, QPoint(100, 250)); }
    void click(QPoint at) {
        QTest::mousePress(tool, Qt::LeftButton, {}, at);
        QTest::mouseRelease(tool, Qt::LeftButton, {}, at);
    }
};

// What the quick list does for a row on every mouse move: a new balloon
// replaces the old one, then is created.
void rowBalloon(std::unique_ptr<CTooltip> &tip, QWidget *tool, const QString &title, const QString &text,
                int delay) {
    tip = std::make_unique<CTooltip>();
    tip->setStyle(1);
    tip->setIcon(1);
    tip->setDelayTime(delay);
    tip->setTitle(title);
    tip->setTipText(text);
    tip->Create(tool);
}

QColor systemColour(QPalette::ColorRole role) {
    return QToolTip::palette().color(QPalette::Inactive, role);
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
        QVERIFY(tip.Title().isEmpty() && tip.TipText().isEmpty());
        QVERIFY(!tip.hasTipWindow());
    }

    // What Create builds from the stored properties.
    void create_data() {
        QTest::addColumn<int>("style");
        QTest::addColumn<QString>("title");
        QTest::addColumn<int>("icon");
        QTest::addColumn<bool>("titleLine");
        QTest::newRow("rectangle, neither title nor icon") << 0 << QString() << 0 << false;
        QTest::newRow("balloon, icon without title") << 1 << QString() << 1 << true;
        QTest::newRow("rectangle, title without icon") << 2 << QStringLiteral("标题") << 0 << true;
    }
    void create() {
        QFETCH(int, style);
        QFETCH(QString, title);
        QFETCH(int, icon);
        QFETCH(bool, titleLine);
        QWidget parent;
        CTooltip tip;
        tip.setStyle(style);
        tip.setTitle(title);
        tip.setIcon(icon);
        QVERIFY(!tip.hasTipWindow()); // storing creates nothing
        tip.Create(&parent);
        QCOMPARE(tip.tipWidget()->isBalloon(), style == 1);
        QCOMPARE(tip.tipWidget()->hasTitleLine(), titleLine);
        QCOMPARE(tip.tipWidget()->title(), title);
        QCOMPARE(tip.tipWidget()->toolWindow(), &parent);
    }

    // Text and colours reach a live tip at once, the title only when an icon is
    // set too; style and times wait for the next Create, which replaces the window.
    void changesToALiveTip() {
        QWidget parent;
        CTooltip tip;
        tip.setTitle(QStringLiteral("甲"));
        tip.setTipText(QStringLiteral("第一段")); // before Create: kept for it
        tip.Create(&parent);
        QPointer<CTooltipWindow> first = tip.tipWidget();
        QCOMPARE(first->text(), QStringLiteral("第一段"));
        QCOMPARE(first->backColor(), systemColour(QPalette::ToolTipBase));
        QCOMPARE(first->foreColor(), systemColour(QPalette::ToolTipText));

        tip.setTipText(QStringLiteral("第二段"));
        tip.setTitle(QStringLiteral("乙")); // icon 0: the live tip keeps its title
        tip.setStyle(1);
        tip.setDelayTime(2000);
        tip.setBackColor(0x0000FF); // COLORREF is 0x00BBGGRR
        tip.setForeColor(0xFF0000);
        QCOMPARE(first->text(), QStringLiteral("第二段"));
        QCOMPARE(first->title(), QStringLiteral("甲"));
        QVERIFY(!first->isBalloon());
        QCOMPARE(first->delayTime(), 100);
        QCOMPARE(first->backColor(), QColor(255, 0, 0));
        QCOMPARE(first->foreColor(), QColor(0, 0, 255));
        tip.setBackColor(0); // the system colour again, not black
        QCOMPARE(first->backColor(), systemColour(QPalette::ToolTipBase));
        tip.Create(&parent);
        QVERIFY(!first);
        QCOMPARE(tip.tipWidget()->title(), QStringLiteral("乙"));
        QVERIFY(tip.tipWidget()->isBalloon());
        QCOMPARE(tip.tipWidget()->delayTime(), 2000);
        QCOMPARE(tip.tipWidget()->foreColor(), QColor(0, 0, 255));

        tip.setIcon(2); // now both are set: at once
        tip.setTitle(QStringLiteral("丙"));
        QCOMPARE(tip.tipWidget()->icon(), 2);
        QCOMPARE(tip.tipWidget()->title(), QStringLiteral("丙"));
        tip.setIcon(0); // back to 0: nothing sent
        QCOMPARE(tip.tipWidget()->icon(), 2);
        tip.setIcon(1);
        tip.setTitle(QString()); // an empty title is not sent either
        QCOMPARE(tip.tipWidget()->title(), QStringLiteral("丙"));
    }

    void destroyRemovesTheWindow() {
        QWidget parent;
        QPointer<CTooltipWindow> window;
        {
            CTooltip tip;
            tip.Create(&parent);
            window = tip.tipWidget();
            tip.Destroy();
            QVERIFY(!tip.hasTipWindow() && !window);
            tip.Destroy(); // twice is harmless
            tip.Create(&parent);
            window = tip.tipWidget();
        }
        QVERIFY(!window); // the object's end takes its window along
    }

    void showsAfterRestingAndHidesOnLeaveAndPress() {
        Desk desk;
        QVERIFY(desk.exposed());
        CTooltip tip;
        tip.setDelayTime(200);
        tip.Create(desk.tool);
        CTooltipWindow *w = tip.tipWidget();
        desk.rest();
        QTest::qWait(300);
        QVERIFY(!w->isVisible()); // no text, no tip
        tip.setTipText(QStringLiteral("一段可以复用的文本"));

        desk.rest(QPoint(100, 70));
        QVERIFY(!w->isVisible());
        QTRY_VERIFY(w->isVisible());
        const QPoint cursor = desk.tool->mapToGlobal(QPoint(100, 70));
        QVERIFY(w->geometry().top() > cursor.y()); // below the pointer
        QVERIFY(w->geometry().left() <= cursor.x() && w->geometry().right() >= cursor.x());
        const QRect where = w->geometry();
        desk.rest(QPoint(120, 74)); // stays put while the mouse moves within
        QCOMPARE(w->geometry(), where);

        desk.leave();
        QVERIFY(!w->isVisible());
        desk.rest();
        QTRY_VERIFY(w->isVisible());
        // A click hides it; resting without a move keeps it away, and the
        // next move brings it back after the delay.
        desk.click(QPoint(120, 70));
        QVERIFY(!w->isVisible());
        QTest::qWait(300);
        QVERIFY(!w->isVisible());
        desk.rest(QPoint(130, 70));
        QVERIFY(!w->isVisible());
        QTRY_VERIFY(w->isVisible());

        // Moving on restarts the delay; the visible time ends the tip, and it
        // stays away while the mouse stays.
        desk.leave();
        tip.setDelayTime(1500);
        tip.setVisibleTime(300);
        tip.Create(desk.tool);
        w = tip.tipWidget();
        desk.rest(QPoint(140, 80));
        QTest::qWait(800);
        desk.rest(QPoint(150, 80));
        QTest::qWait(900); // 1700 ms after the first move, 900 after the last
        QVERIFY(!w->isVisible());
        QTRY_VERIFY(w->isVisible());
        QTRY_VERIFY(!w->isVisible());
        // Once the visible time ended it, the tip stays away while the mouse
        // rests, and the next move brings it back after the delay.
        QTest::qWait(1700);
        QVERIFY(!w->isVisible());
        desk.rest(QPoint(160, 80));
        QTest::qWait(1000);
        QVERIFY(!w->isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(w->isVisible(), 2000);
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
        desk.reset(); // the window goes first
        QVERIFY(!tip.tipWidget()->toolWindow());
        tip.setTipText(QStringLiteral("之后")); // still safe to use
        tip.Create(nullptr);
        QVERIFY(tip.hasTipWindow());
    }

    // The quick list makes a new balloon on every mouse move over a row.
    void recreatedOnEveryMoveDoesNotFlicker() {
        Desk desk;
        QVERIFY(desk.exposed());
        std::unique_ptr<CTooltip> balloon;
        rowBalloon(balloon, desk.tool, QStringLiteral("行一"), QStringLiteral("第一行"), 100);
        desk.rest(QPoint(100, 30));
        QTRY_VERIFY(balloon->tipWidget()->isVisible());
        const QRect where = balloon->tipWidget()->geometry();

        // Same row: the shown balloon stays, in place.
        desk.rest(QPoint(102, 31));
        rowBalloon(balloon, desk.tool, QStringLiteral("行一"), QStringLiteral("第一行"), 2000);
        QVERIFY(balloon->tipWidget()->isVisible());
        QCOMPARE(balloon->tipWidget()->geometry(), where);

        // Another row: its balloon shows at once, at the mouse.
        desk.rest(QPoint(150, 90));
        rowBalloon(balloon, desk.tool, QStringLiteral("行二"), QStringLiteral("第二行"), 2000);
        QVERIFY(balloon->tipWidget()->isVisible());
        QCOMPARE(balloon->tipWidget()->text(), QStringLiteral("第二行"));
        QVERIFY(balloon->tipWidget()->geometry().top() > desk.tool->mapToGlobal(QPoint(150, 90)).y());

        // Once it is gone (a click), a new balloon waits for the delay again.
        desk.click(QPoint(150, 90));
        rowBalloon(balloon, desk.tool, QStringLiteral("行二"), QStringLiteral("第二行"), 300);
        QVERIFY(!balloon->tipWidget()->isVisible());
        QTRY_VERIFY(balloon->tipWidget()->isVisible());

        // Nothing is left on the screen when the last one goes: a tip that is
        // up goes once the current event is handled.
        QPointer<CTooltipWindow> last = balloon->tipWidget();
        balloon.reset();
        QTRY_VERIFY(!last);
        auto tipShown = [] {
            for (QWidget *w : QApplication::topLevelWidgets()) {
                if (qobject_cast<CTooltipWindow *>(w) && w->isVisible())
                    return true;
            }
            return false;
        };
        QTRY_VERIFY(!tipShown());
    }

    // Line ends of any kind break lines; long text wraps at a readable width
    // and is cut to the screen; a balloon has clear corners.
    void layoutAndShape() {
        Desk desk;
        QVERIFY(desk.exposed());
        std::unique_ptr<CTooltip> tip;
        auto show = [&](const QString &text) {
            desk.leave();
            rowBalloon(tip, desk.tool, QString(), text, 0);
            desk.rest();
            return QTest::qWaitFor([&] { return tip->tipWidget()->isVisible(); });
        };
        QVERIFY(show(QStringLiteral("甲乙丙")));
        const QSize oneLine = tip->tipWidget()->size();
        const QImage image = tip->tipWidget()->grab().toImage();
        const QSize pixels = oneLine * image.devicePixelRatio();
        QCOMPARE(qAlpha(image.pixel(0, 0)), 0);
        QCOMPARE(qAlpha(image.pixel(pixels.width() - 1, pixels.height() - 1)), 0);
        QCOMPARE(qAlpha(image.pixel(pixels.width() / 2, pixels.height() / 2)), 255);

        QVERIFY(show(QStringLiteral("甲\r\n乙\r\n丙")));
        const QSize crlf = tip->tipWidget()->size();
        QVERIFY(crlf.height() >= oneLine.height() + 2 * tip->tipWidget()->fontMetrics().height());
        QVERIFY(show(QStringLiteral("甲\n乙\r丙")));
        QCOMPARE(tip->tipWidget()->size(), crlf);

        // A title wider than the text sets the balloon's width and is drawn whole.
        desk.leave();
        rowBalloon(tip, desk.tool, QStringLiteral("会议纪要模板 Weekly"), QStringLiteral("短"), 0);
        desk.rest();
        QTRY_VERIFY(tip->tipWidget()->isVisible());
        tip->tipWidget()->grab();
        QCOMPARE(tip->tipWidget()->drawnTitle(), QStringLiteral("会议纪要模板 Weekly"));

        QVERIFY(show(QString(100000, QChar(0x6587))));
        QVERIFY(tip->tipWidget()->isTruncated());
        QVERIFY(tip->tipWidget()->width() <= 440);
        QVERIFY(tip->tipWidget()->height() <= desk.window.screen()->availableGeometry().height());
    }
};

QTEST_MAIN(TestTooltip)
#include "tst_tooltip.moc"
