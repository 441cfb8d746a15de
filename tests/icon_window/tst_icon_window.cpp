// The floating icon window: start-up, the roads of capture, clicks and drags.
#include "FMain.h"
#include "FakePlatform.h"
#include "Forms.h"
#include "TestEnv.h"
#include "Twips.h"
#include "editor/mEdit.h"
#include "icon_window/Capture.h"
#include "icon_window/mMain.h"
#include "quick_list/FavList.h"
#include "settings/Settings.h"
#include "store/DataEdit.h"
#include "store/LibrarySchema.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QSystemTrayIcon>
#include <QtTest>
#include <sqlite3.h>

namespace {

void makeLibrary(const QString &path, int records) {
    sqlite3 *db = nullptr;
    QVERIFY(sqlite3_open(path.toUtf8().constData(), &db) == SQLITE_OK);
    QCOMPARE(sqlite3_exec(db, librarySchema::CreateSql, nullptr, nullptr, nullptr), SQLITE_OK);
    for (int i = 1; i <= records; ++i) {
        const QByteArray sql =
            QStringLiteral("INSERT INTO VBcode VALUES (%1, '组', 'Sub', '标题%1', '文本%1', "
                           "'2020010100000%1', '常用')")
                .arg(i)
                .toUtf8();
        QCOMPARE(sqlite3_exec(db, sql.constData(), nullptr, nullptr, nullptr), SQLITE_OK);
    }
    sqlite3_close(db);
}

void flush() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace

class IconWindowTest : public QObject {
    Q_OBJECT
    std::unique_ptr<TestEnv> env;
    std::unique_ptr<FakePlatformGuard> fake;
    std::unique_ptr<mMain> icon;

    mEdit *editor() { return Forms::Form<mEdit>::peek(); }

  private slots:
    void init() {
        env = std::make_unique<TestEnv>();
        fake = std::make_unique<FakePlatformGuard>();
        qputenv("XDG_RUNTIME_DIR", env->dir().toUtf8());
        SaveSet(settings::keys::ShowInTray, false);
        icon = std::make_unique<mMain>();
        FMain::DoubleCtrlC = false;
        QVERIFY(icon->Form_Load());
        DataEdit::SetLibraryPath(env->dir() + QStringLiteral("/VBCode.mdb"));
        QGuiApplication::clipboard()->clear();
    }
    void cleanup() {
        Forms::unloadAll();
        flush();
        icon.reset();
        fake.reset();
        env.reset();
    }

    void startUpPlacesTheIconAndRegistersTheHotkey() {
        QVERIFY(icon->isVisible());
        // 12000 twips is 800 px, past the right edge of the 800 px test screen: pulled back on.
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        QCOMPARE(icon->pos(), QPoint(screen.right() + 1 - icon->width(), 13));
        QCOMPARE(icon->size(), icon->Picture1->size());
        QCOMPARE(icon->savedLeft(), icon->x() * 15);
        QVERIFY(icon->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        QVERIFY(FMain::DoubleCtrlC);
        QVERIFY(std::count((*fake)->log.begin(), (*fake)->log.end(), std::string("hotkey+:117:69")) == 1);
        QCOMPARE(icon->Timer1->interval(), 100);
        QVERIFY(icon->Timer1->isActive());
        // Neither start entry nor shortcut is written while their settings are 0.
        for (const std::string &entry : (*fake)->log)
            QVERIFY(entry.rfind("boot", 0) != 0 && entry.rfind("shortcut", 0) != 0);
    }

    void storedSettingsShapeTheStart() {
        cleanup();
        env = std::make_unique<TestEnv>();
        fake = std::make_unique<FakePlatformGuard>();
        SaveSet(settings::keys::ShowInTray, false);
        SaveSet(settings::keys::DoubleCtrlC, 0);
        SaveSet(settings::keys::HotkeyValue, 112);
        SaveSet(settings::keys::VemoLeft, 1500);
        SaveSet(settings::keys::VemoTop, 3000);
        SaveSet(settings::keys::BootStart, 1);
        FMain::DoubleCtrlC = false;
        icon = std::make_unique<mMain>();
        QVERIFY(icon->Form_Load());
        QCOMPARE(icon->pos(), QPoint(100, 200));
        QVERIFY(!FMain::DoubleCtrlC);
        QCOMPARE((*fake)->hotkeys.at(117).first, 112);
        QVERIFY(std::any_of((*fake)->log.begin(), (*fake)->log.end(),
                            [](const std::string &e) { return e.rfind("boot+:", 0) == 0; }));
    }

    void withoutANotificationAreaTheIconStaysVisible() {
        cleanup();
        env = std::make_unique<TestEnv>();
        fake = std::make_unique<FakePlatformGuard>();
        icon = std::make_unique<mMain>(); // "显示到系统托盘" defaults to True
        QVERIFY(icon->Form_Load());
        QVERIFY(!QSystemTrayIcon::isSystemTrayAvailable()); // offscreen has none
        QVERIFY(icon->isVisible());
    }

    void holdingCtrlCForFiveTicksProposesOnce() {
        FMain::DoubleCtrlC = true;
        QGuiApplication::clipboard()->setText(QStringLiteral("Public Sub Test()\nx = 1"));
        (*fake)->held = {17, 67};
        for (int i = 0; i < 4; ++i)
            icon->Timer1_Timer();
        QVERIFY(!editor());
        (*fake)->held.clear(); // released after four ticks: the count starts again
        icon->Timer1_Timer();
        (*fake)->held = {17, 67};
        for (int i = 0; i < 4; ++i)
            icon->Timer1_Timer();
        QVERIFY(!editor());
        icon->Timer1_Timer();
        QVERIFY(editor() && editor()->isVisible());
        QCOMPARE(editor()->CodeName1->text(), QStringLiteral("Test"));
        QCOMPARE(editor()->TypeName1->currentText(), QStringLiteral("Sub"));
        QCOMPARE(editor()->ID1->text().size(), 8);
        // Held on while the editor shows: no second proposal replaces it.
        editor()->CodeName1->setText(QStringLiteral("改过的标题"));
        for (int i = 0; i < 10; ++i)
            icon->Timer1_Timer();
        QCOMPARE(editor()->CodeName1->text(), QStringLiteral("改过的标题"));
    }

    void ctrlCWatchIgnoresShiftAltShortTextsAndTheSwitch() {
        QGuiApplication::clipboard()->setText(QStringLiteral("abc"));
        (*fake)->held = {17, 67};
        FMain::DoubleCtrlC = false;
        for (int i = 0; i < 8; ++i)
            icon->Timer1_Timer();
        QVERIFY(!editor());
        FMain::DoubleCtrlC = true;
        for (int modifier : {16, 18}) {
            (*fake)->held = {17, 67, modifier};
            for (int i = 0; i < 8; ++i)
                icon->Timer1_Timer();
            QVERIFY(!editor());
        }
        (*fake)->held = {17, 67};
        QGuiApplication::clipboard()->setText(QStringLiteral("a"));
        for (int i = 0; i < 8; ++i)
            icon->Timer1_Timer();
        QVERIFY(!editor());
    }

    void doubleClickProposesTheClipboardText() {
        icon->Picture1_DblClick(); // empty clipboard: nothing
        QVERIFY(!editor());
        QGuiApplication::clipboard()->setText(QStringLiteral("复制文本后直接双击"));
        SaveSet(settings::keys::IconDoubleClick, QStringLiteral("不识别"));
        icon->Picture1_DblClick();
        QVERIFY(!editor());
        SaveSet(settings::keys::IconDoubleClick, QStringLiteral("识别剪贴板内容"));
        icon->Picture1_DblClick();
        QVERIFY(editor());
        QCOMPARE(editor()->CodeText1->toPlainText(), QStringLiteral("复制文本后直接双击"));
        QCOMPARE(editor()->CodeName1->text(), QStringLiteral("复制文本后直接双击"));
        QVERIFY(editor()->AddCom->isVisibleTo(editor()) && !editor()->UpdateCom->isVisibleTo(editor()));
        // Beside the icon, top edges level, left of it on the screen.
        QCOMPARE(editor()->frameGeometry().top(), icon->frameGeometry().top());
    }

    void droppedTextIsProposedAndOtherDataIgnored() {
        QMimeData image;
        image.setImageData(QImage(4, 4, QImage::Format_RGB32));
        QDragEnterEvent enterImage(QPoint(5, 5), Qt::CopyAction, &image, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(icon.get(), &enterImage);
        QVERIFY(!enterImage.isAccepted());

        QMimeData text;
        text.setText(QStringLiteral("Private Function GetName(ByVal s As String) As String"));
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(icon.get(), &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(icon.get(), &drop);
        QVERIFY(editor());
        QCOMPARE(editor()->CodeName1->text(), QStringLiteral("GetName"));
        QCOMPARE(editor()->TypeName1->currentText(), QStringLiteral("Function"));
    }

    void clickOnEmptyLibraryShowsTheHelpNotice() {
        makeLibrary(DataEdit::LibraryPath(), 0);
        icon->Picture1_MouseDown(1);
        icon->Picture1_MouseUp(1);
        QTRY_COMPARE(env->boxes.size(), 1);
        QVERIFY(env->boxes.first().startsWith(QStringLiteral("【Vemo】文本收集器提示您|功能介绍:\r\n\r\n")));
        QVERIFY(env->boxes.first().endsWith(QStringLiteral("\r\n\r\n您还未添加常用的文本！！！")));
        QVERIFY(!Forms::Form<FavList>::loaded());
        // The first click of a double-click does not put the notice in the way.
        QGuiApplication::clipboard()->setText(QStringLiteral("第一条文本"));
        icon->Picture1_MouseDown(1);
        icon->Picture1_MouseUp(1);
        icon->Picture1_DblClick();
        QTest::qWait(QApplication::doubleClickInterval() + 100);
        QCOMPARE(env->boxes.size(), 1);
        QVERIFY(editor() && editor()->CodeText1->toPlainText() == QStringLiteral("第一条文本"));
        // A double-click that opens nothing (an empty clipboard) still gets the notice.
        Forms::Form<mEdit>::unload();
        flush();
        QGuiApplication::clipboard()->clear();
        icon->Picture1_MouseDown(1);
        icon->Picture1_MouseUp(1);
        icon->Picture1_DblClick();
        QTRY_COMPARE(env->boxes.size(), 2);
        QVERIFY(!editor());
        // A library that cannot be read is no empty one: the notice says why instead.
        QFile::remove(DataEdit::LibraryPath());
        icon->Picture1_MouseDown(1);
        icon->Picture1_MouseUp(1);
        QTRY_COMPARE(env->boxes.size(), 3);
        QCOMPARE(env->boxes.last(), QStringLiteral("【Vemo】文本收集器提示您|缺少Vbcode.mb文件"));
    }

    void clickWithRecordsOpensTheListAtTheRightEdge() {
        makeLibrary(DataEdit::LibraryPath(), 1);
        FMain::CallUpMode = FMain::ModeHotkey;
        icon->Picture1_MouseDown(1);
        icon->Picture1_MouseUp(1);
        QVERIFY(env->boxes.isEmpty());
        FavList *list = Forms::Form<FavList>::peek();
        QVERIFY(list && list->isVisible());
        QCOMPARE(FMain::CallUpMode, FMain::ModeIcon);
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        QCOMPARE(list->frameGeometry().right() + 1, screen.right() + 1);
        QCOMPARE(list->frameGeometry().top(), 200);
        // A capture closes the list before the editor opens.
        QGuiApplication::clipboard()->setText(QStringLiteral("新文本"));
        FMain::CaptureClipboard();
        flush();
        QVERIFY(!Forms::Form<FavList>::loaded());
        QVERIFY(editor() && editor()->CodeText1->toPlainText() == QStringLiteral("新文本"));
    }

    // The pointer drags the window; where the release leaves it tells a drag from a click.
    void dragSavesThePlaceAndAVerticalDragIsAClick() {
        makeLibrary(DataEdit::LibraryPath(), 0);
        const auto drag = [&](QPoint by) {
            // Positions on the screen: the window moves under the pointer.
            const QPoint grip = icon->mapToGlobal(icon->rect().center());
            const auto at = [&](QPoint global) { return icon->mapFromGlobal(global); };
            QTest::mousePress(icon.get(), Qt::LeftButton, {}, at(grip));
            QTest::mouseMove(icon.get(), at(grip + by / 2));
            QTest::mouseMove(icon.get(), at(grip + by));
            QTest::mouseRelease(icon.get(), Qt::LeftButton, {}, at(grip + by));
        };
        // The window manager moved the window since the start: the next press is a click all the same.
        icon->move(icon->pos() - QPoint(50, 0));
        const QPoint start = icon->pos();
        drag(QPoint(-100, 40));
        QCOMPARE(icon->pos(), start + QPoint(-100, 40));
        QCOMPARE(GetSet(settings::keys::VemoLeft, 0), QString::number((start.x() - 100) * 15));
        QCOMPARE(GetSet(settings::keys::VemoTop, 0), QString::number((start.y() + 40) * 15));
        QTest::qWait(QApplication::doubleClickInterval() + 100);
        QVERIFY(env->boxes.isEmpty());

        drag(QPoint(0, 60)); // straight down
        QCOMPARE(icon->pos(), start + QPoint(-100, 100));
        QCOMPARE(GetSet(settings::keys::VemoTop, 0), QString::number((start.y() + 40) * 15)); // not written
        QTRY_COMPARE(env->boxes.size(), 1); // a click on an empty library
    }

    void rightClickAsksForTheMainMenu() {
        QSignalSpy menu(icon.get(), &mMain::mainMenuRequested);
        icon->Picture1_MouseDown(2);
        icon->Picture1_MouseUp(2);
        QCOMPARE(menu.size(), 1);
        QCOMPARE(menu.first().at(1).toBool(), false);
    }
};

QTEST_MAIN(IconWindowTest)
#include "tst_icon_window.moc"
