// The window and system helpers, the form life cycle and the message seam.
#include "FMain.h"
#include "FakePlatform.h"
#include "Forms.h"
#include "MessageBox.h"
#include "TestEnv.h"
#include "Twips.h"
#include "UsedCode.h"

#include <QApplication>
#include <QClipboard>
#include <QMessageBox>
#include <QMimeData>
#include <QScreen>
#include <QSet>
#include <QtTest>

namespace {
class Probe : public FormBase {
  public:
    Probe() { ++loads; }
    ~Probe() override { ++destroyed; }
    static inline int loads = 0;
    static inline int unloads = 0;
    static inline int destroyed = 0;
    bool refuse = false;

  protected:
    bool Form_QueryUnload() override { return !refuse; }
    void Form_Unload() override { ++unloads; }
};

void flushDeletes() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}
} // namespace

class UsedCodeTest : public QObject {
    Q_OBJECT
  private slots:
    void randomNumberStaysInRangeAndDoesNotRepeatWithinATick() {
        QCOMPARE(UsedCode::RandomNumber(1), 0);
        QCOMPARE(UsedCode::RandomNumber(0), 0);
        // Many draws in one clock tick: a reseed per call would repeat values.
        QSet<int> seen;
        for (int i = 0; i < 2000; ++i) {
            const int r = UsedCode::RandomNumber(1000000);
            QVERIFY(r >= 0 && r < 1000000);
            seen.insert(r);
        }
        QVERIFY2(seen.size() > 1990, qPrintable(QString::number(seen.size())));
    }

    void regReplaceRemovesTheKeywords() {
        const QString pattern = QStringLiteral("Sub |Function |[\\(][\\)]|Public |Private ");
        QCOMPARE(UsedCode::RegReplace(QStringLiteral("Public Sub Test()"), pattern, QString()),
                 QStringLiteral("Test"));
        // Case-sensitive: lower-case keywords stay.
        QCOMPARE(UsedCode::RegReplace(QStringLiteral("public sub x"), pattern, QString()),
                 QStringLiteral("public sub x"));
    }

    void keepFormOnScreenFollowsTheRules_data() {
        QTest::addColumn<int>("left");
        QTest::addColumn<int>("top");
        QTest::addColumn<int>("expectedLeft");
        QTest::addColumn<int>("expectedTop");
        // Relative to the screen; a 3000 x 1500 twip window.
        QTest::newRow("left smaller than width stays") << 1005 << 3000 << 1005 << 3000;
        QTest::newRow("past the left edge") << -2000 << 3000 << 0 << 3000;
        QTest::newRow("stays") << 4000 << 3000 << 4000 << 3000;
        QTest::newRow("past the right edge") << 99000 << 3000 << -1 << 3000;
        QTest::newRow("past the bottom margin") << 4000 << 99000 << 4000 << -1;
        QTest::newRow("top smaller than height stays") << 4005 << 1005 << 4005 << 1005;
        QTest::newRow("above the top edge") << 4005 << -500 << 4005 << 0;
    }
    void keepFormOnScreenFollowsTheRules() {
        QFETCH(int, left);
        QFETCH(int, top);
        QFETCH(int, expectedLeft);
        QFETCH(int, expectedTop);
        QWidget w(nullptr, Qt::FramelessWindowHint);
        w.resize(twips::toPx(3000), twips::toPx(1500));
        QScreen *screen = QGuiApplication::primaryScreen();
        const QRect area = screen->geometry();
        const int sw = twips::fromPx(area.width());
        const int sh = twips::fromPx(area.height()) - 500;
        twips::move(&w, twips::fromPx(area.x()) + left, twips::fromPx(area.y()) + top);
        UsedCode::KeepFormOnScreen(&w);
        const int gotLeft = twips::Left(&w) - twips::fromPx(area.x());
        const int gotTop = twips::Top(&w) - twips::fromPx(area.y());
        // Pixel rounding: within one pixel of the twip value.
        QVERIFY2(std::abs(gotLeft - (expectedLeft >= 0 ? expectedLeft : sw - 3000)) < twips::PerPixel,
                 qPrintable(QString::number(gotLeft)));
        QVERIFY2(std::abs(gotTop - (expectedTop >= 0 ? expectedTop : sh - 1500)) < twips::PerPixel,
                 qPrintable(QString::number(gotTop)));
    }

    void keyIsDownAsksThePlatform() {
        FakePlatformGuard fake;
        QVERIFY(!UsedCode::KeyIsDown(17));
        fake->held = {17, 67};
        QVERIFY(UsedCode::KeyIsDown(17) && UsedCode::KeyIsDown(67));
        QVERIFY(!UsedCode::KeyIsDown(16));
    }

    void openPathRefusesAnEmptyPath() {
        TestEnv env;
        UsedCode::OpenPath(QString());
        QCOMPARE(env.boxes, QStringList{QStringLiteral("Vemo文本收集器|路径不能为空")});
    }

    void clipboardHoldsOnlyThePlainText() {
        auto *data = new QMimeData;
        data->setHtml(QStringLiteral("<b>old</b>"));
        data->setText(QStringLiteral("old"));
        QGuiApplication::clipboard()->setMimeData(data);
        UsedCode::SetClipboardText(QStringLiteral("新的文本"));
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("新的文本"));
        QVERIFY(!QGuiApplication::clipboard()->mimeData()->hasHtml());
    }

    void moveFormFollowsThePointerUntilRelease() {
        QWidget w(nullptr, Qt::FramelessWindowHint);
        w.resize(100, 100);
        w.move(300, 300);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        UsedCode::MoveFormByLeftButton(&w, 2, QPoint(350, 350)); // not the left button: nothing starts
        QVERIFY(!UsedCode::IsMoving(&w));
        UsedCode::MoveForm(&w, 2, QPoint(350, 350)); // any button starts a drag
        QVERIFY(UsedCode::IsMoving(&w));
        QTest::mouseRelease(&w, Qt::RightButton);
        QVERIFY(!UsedCode::IsMoving(&w));
    }

    void formsLoadOnTouchAndUnloadOnClose() {
        Probe::loads = Probe::unloads = Probe::destroyed = 0;
        QVERIFY(!Forms::Form<Probe>::loaded());
        Probe *p = Forms::Form<Probe>::get();
        QCOMPARE(Forms::Form<Probe>::get(), p);
        QCOMPARE(Probe::loads, 1);
        p->refuse = true;
        Forms::Form<Probe>::unload();
        QVERIFY(Forms::Form<Probe>::loaded()); // the window refused to close
        p->refuse = false;
        Forms::Form<Probe>::unload(); // hidden windows close too
        QVERIFY(!Forms::Form<Probe>::loaded());
        flushDeletes();
        QCOMPARE(Probe::unloads, 1);
        QCOMPARE(Probe::destroyed, 1);
        Forms::Form<Probe>::get();
        QCOMPARE(Probe::loads, 2); // loads afresh
        Forms::unloadAll();
        flushDeletes();
        QVERIFY(!Forms::Form<Probe>::loaded());
        QCOMPARE(Probe::destroyed, 2);
    }

    void showTipUsesItsTitle() {
        TestEnv env;
        FMain::ShowTip(QStringLiteral("数据库备份完成"));
        QCOMPARE(env.boxes, QStringList{QStringLiteral("【Vemo】文本收集器提示您|数据库备份完成")});
        QCOMPARE(env.styles, QList<int>{64});
    }

    // A short message must not make the box narrower than its title, which
    // the window manager would cut.
    void boxesAreWideEnoughForTheirTitle() {
        for (const QString &title : {QStringLiteral("Vemo文本收集器"), QStringLiteral("【Vemo】文本收集器提示您")}) {
            const auto box = msg::makeBox(QStringLiteral("修改完成"), msg::Information, title, nullptr);
            box->show();
            QVERIFY(QTest::qWaitForWindowExposed(box.get()));
            QFont bold = box->font();
            bold.setBold(true);
            // The title, the frame's icon and its three buttons.
            QVERIFY2(box->width() >= QFontMetrics(bold).horizontalAdvance(title) + 100,
                     qPrintable(QString::number(box->width())));
        }
    }
};

QTEST_MAIN(UsedCodeTest)
#include "tst_usedcode.moc"
