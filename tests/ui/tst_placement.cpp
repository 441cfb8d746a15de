// Where windows go, how they are dragged, and the message boxes.
#include "Settings.h"
#include "TestEnv.h"
#include "common/MessageBoxes.h"
#include "common/WindowPlacement.h"
#include "icon/IconWindow.h"

#include <QMessageBox>
#include <QScreen>
#include <QTest>

class TestPlacement : public QObject {
    Q_OBJECT
  private slots:
    // Only a window that sticks out moves, to the edge (500 twips clear of the bottom; -1 here).
    void keepOnScreen_data() {
        QTest::addColumn<QPoint>("place"); // in twips from the screen's corner, of a 3000 x 1500 twip window
        QTest::addColumn<QPoint>("expected");
        QTest::newRow("left smaller than width") << QPoint(1005, 3000) << QPoint(1005, 3000);
        QTest::newRow("past the left edge") << QPoint(-2000, 3000) << QPoint(0, 3000);
        QTest::newRow("past the right edge") << QPoint(99000, 3000) << QPoint(-1, 3000);
        QTest::newRow("past the bottom margin") << QPoint(4000, 99000) << QPoint(4000, -1);
    }
    void keepOnScreen() {
        QFETCH(QPoint, place);
        QFETCH(QPoint, expected);
        QWidget w(nullptr, Qt::FramelessWindowHint);
        w.resize(twips::toPx(3000), twips::toPx(1500));
        const QRect area = QGuiApplication::primaryScreen()->geometry();
        const QPoint origin(twips::fromPx(area.x()), twips::fromPx(area.y()));
        expected.rx() = expected.x() < 0 ? twips::fromPx(area.width()) - 3000 : expected.x();
        expected.ry() = expected.y() < 0 ? twips::fromPx(area.height()) - 500 - 1500 : expected.y();
        twips::move(&w, origin.x() + place.x(), origin.y() + place.y());
        placement::keepOnScreen(&w);
        const QPoint off = QPoint(twips::left(&w), twips::top(&w)) - origin - expected;
        QVERIFY2(std::abs(off.x()) < twips::PerPixel && std::abs(off.y()) < twips::PerPixel, // pixel rounding
                 qPrintable(QStringLiteral("%1,%2 off").arg(off.x()).arg(off.y())));
    }

    // The floating icon's stored place may be any number a settings file
    // holds: at the ends of the range it comes out wholly on the screen, with
    // no overflow on the way.
    void storedPlaceAtTheEndsOfTheRange_data() {
        QTest::addColumn<int>("left");
        QTest::addColumn<int>("top");
        constexpr int Max = std::numeric_limits<int>::max(), Min = std::numeric_limits<int>::min();
        QTest::newRow("largest left") << Max << 200;
        QTest::newRow("largest top") << 1500 << Max;
        QTest::newRow("largest both") << Max << Max;
        QTest::newRow("smallest both") << Min << Min;
        QTest::newRow("largest left, smallest top") << Max << Min;
    }
    void storedPlaceAtTheEndsOfTheRange() {
        QFETCH(int, left);
        QFETCH(int, top);
        TestEnv env;
        Settings settings;
        settings.setValue(setting::IconLeft, left);
        settings.setValue(setting::IconTop, top);
        IconWindow icon(settings);
        icon.restorePlace();
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        QVERIFY2(screen.contains(icon.frameGeometry()),
                 qPrintable(QStringLiteral("at %1,%2").arg(icon.x()).arg(icon.y())));
    }

    void dragFollowsTheMouseUntilRelease() {
        QWidget w(nullptr, Qt::FramelessWindowHint);
        w.setGeometry(300, 300, 100, 100);
        const auto send = [&](QEvent::Type type, QPoint global) {
            QMouseEvent e(type, w.mapFromGlobal(global), global, Qt::LeftButton, Qt::LeftButton, {});
            QCoreApplication::sendEvent(&w, &e);
            return w.pos();
        };
        placement::startDrag(&w, QPoint(350, 350));
        QCOMPARE(send(QEvent::MouseMove, QPoint(380, 340)), QPoint(330, 290));
        QCOMPARE(send(QEvent::MouseMove, QPoint(420, 370)), QPoint(370, 320));
        send(QEvent::MouseButtonRelease, QPoint(420, 370));
        QVERIFY(!placement::isDragging(&w));
        QCOMPARE(send(QEvent::MouseMove, QPoint(500, 500)), QPoint(370, 320));
    }

    // A short message must not make a box narrower than its title, which the window manager would cut.
    void boxesAreAsWideAsTheirTitle() {
        for (const QString &title :
             {QStringLiteral("Vemo文本收集器"), QStringLiteral("【Vemo】文本收集器提示您")}) {
            const auto box =
                messages::makeBox(messages::Kind::Notice, QStringLiteral("修改完成"), title, nullptr);
            box->show();
            QVERIFY(QTest::qWaitForWindowExposed(box.get()));
            QFont bold = box->font();
            bold.setBold(true);
            QVERIFY2(box->width() >= QFontMetrics(bold).horizontalAdvance(title) + 100,
                     qPrintable(QString::number(box->width())));
        }
    }
};

QTEST_MAIN(TestPlacement)
#include "tst_placement.moc"
