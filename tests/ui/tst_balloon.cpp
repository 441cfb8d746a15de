// The balloon under the mouse: when it shows, hides and comes back.
#include "common/BalloonTip.h"

#include <QTest>

class TestBalloon : public QObject {
    Q_OBJECT
  private slots:
    // Hidden by a click or by its time, it stays away until the pointer moves on.
    void showsHidesAndComesBack() {
        QWidget window; // the balloon watches its upper half
        window.setGeometry(40, 40, 400, 300);
        auto *tool = new QWidget(&window);
        tool->setGeometry(0, 0, 400, 150);
        tool->setMouseTracking(true);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        auto *w =
            new BalloonTipWindow(tool, QStringLiteral("标题"), QStringLiteral("一段可以复用的文本"), 200);
        QTest::mouseMove(tool, QPoint(100, 70));
        QVERIFY(!w->isVisible());
        QTRY_VERIFY(w->isVisible());
        QTest::mouseMove(&window, QPoint(100, 250));
        QVERIFY(!w->isVisible());

        QTest::mouseMove(tool, QPoint(110, 70));
        QTRY_VERIFY(w->isVisible());
        QTest::mouseClick(tool, Qt::LeftButton, {}, QPoint(110, 70));
        QVERIFY(!w->isVisible());
        QTest::mouseMove(tool, QPoint(110, 70)); // the same place is no move
        QTest::qWait(400);
        QVERIFY(!w->isVisible());
        QTest::mouseMove(tool, QPoint(130, 70));
        QTRY_VERIFY(w->isVisible());

        QTRY_VERIFY_WITH_TIMEOUT(!w->isVisible(), 6000); // its time is up
        QTest::qWait(400);
        QVERIFY(!w->isVisible());
        QTest::mouseMove(tool, QPoint(140, 70));
        QTRY_VERIFY(w->isVisible());
    }
};

QTEST_MAIN(TestBalloon)
#include "tst_balloon.moc"
