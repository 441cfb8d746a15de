// The quick list window offscreen, on the fake platform and a real library
// file in a temporary folder; and the insertion into the target window.
#include "CTooltip.h"
#include "FMain.h"
#include "FakePlatform.h"
#include "TestEnv.h"
#include "quick_list/ClickLabel.h"
#include "quick_list/FavList.h"
#include "quick_list/Insertion.h"
#include "settings/Settings.h"
#include "store/DataEdit.h"
#include "store/LibrarySchema.h"

#include <QApplication>
#include <QClipboard>
#include <QCursor>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <sqlite3.h>

using namespace quicklist;

namespace {

struct Rec {
    int id;
    QString group, title, text, common, time;
};

// Writes a library file with the records, as the store would hold them.
bool writeLibrary(const QString &path, const QList<Rec> &records) {
    sqlite3 *db = nullptr;
    if (sqlite3_open(path.toUtf8().constData(), &db) != SQLITE_OK)
        return false;
    bool ok = sqlite3_exec(db, librarySchema::CreateSql, nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_stmt *st = nullptr;
    ok = ok && sqlite3_prepare_v2(db, "INSERT INTO VBcode VALUES (?1, ?2, 'Function', ?3, ?4, ?5, ?6)", -1,
                                  &st, nullptr) == SQLITE_OK;
    for (const Rec &r : records) {
        if (!ok)
            break;
        const QByteArray g = r.group.toUtf8(), t = r.title.toUtf8(), x = r.text.toUtf8(),
                         c = r.common.toUtf8(), tm = r.time.toUtf8();
        sqlite3_bind_int(st, 1, r.id);
        sqlite3_bind_text(st, 2, g.constData(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(st, 3, t.constData(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(st, 4, x.constData(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(st, 5, tm.constData(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(st, 6, c.constData(), -1, SQLITE_TRANSIENT);
        ok = sqlite3_step(st) == SQLITE_DONE;
        sqlite3_reset(st);
    }
    sqlite3_finalize(st);
    sqlite3_close(db);
    return ok;
}

const QList<Rec> Sample = {
    {1, "SQL", "★★　查询全部", "SELECT * FROM t", "常用", "20240105000000"},
    {2, "邮件", "回复模板", "您好，已收到，谢谢。", "常用", "20240104000000"},
    {3, "SQL", "更新一行", "UPDATE t SET a = 1", "", "20240103000000"},
    {4, "签名", "签名", QString(1000, u'长'), "", "20240102000000"},
};

QString lastUsedOf(const QStringList &columns1to7) {
    QString value;
    for (const QString &c : columns1to7)
        value += LastUsedSeparator + c;
    return value;
}

} // namespace

class TestQuickList : public QObject {
    Q_OBJECT

  private slots:
    void init();
    void cleanup();

    void loadsRecordsAndCategories();
    void emptyLibraryShowsHintsAndExecutesNothing();
    void clickModes_data();
    void clickModes();
    void detailColumnShowsBalloonWithoutExecuting();
    void hoverSelectsAndFillsBalloon();
    void outsideClickCheck();
    void categoryHighlight();
    void stayOpenModeCopiesAndRemembers();
    void keyboard();
    void rightButtonAsksForTheMenuOnly();
    void labelsAskTheirNeighbours();
    void listedRowsSurviveRefreshUntilRefilled();
    void closingFreesAndNextOpeningRereads();

    void insertionFromIconIsClipboardOnly();
    void insertionPastesIntoTarget();
    void insertionSkipsGoneOrRefusedTarget();
    void insertionWaitsForModifiers();
    void executeFromHotkeyPastesThenCloses();

    void screenshots();

  private:
    FavList *open(const QList<Rec> &records = Sample);
    QPoint cellCentre(FavList *f, int row, int column) const;
    void hover(FavList *f, int row, int column);
    static bool isOpen() {
        return Forms::Form<FavList>::loaded() && Forms::Form<FavList>::peek()->isVisible();
    }

    std::unique_ptr<TestEnv> m_env;
    std::unique_ptr<FakePlatformGuard> m_fake;
    QString m_library;
};

void TestQuickList::init() {
    m_env = std::make_unique<TestEnv>();
    m_fake = std::make_unique<FakePlatformGuard>();
    m_library = m_env->dir() + QStringLiteral("/VBCode.mdb");
    DataEdit::SetLibraryPath(m_library);
    FMain::CallUpMode = FMain::ModeIcon;
    FMain::QuickListAutoClose = true;
    onKey::TargetWindowSlot.clear();
    QGuiApplication::clipboard()->setText(QStringLiteral("before"));
}

void TestQuickList::cleanup() {
    Forms::Form<FavList>::unload();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    m_fake.reset();
    m_env.reset();
}

FavList *TestQuickList::open(const QList<Rec> &records) {
    QFile::remove(m_library);
    if (!records.isEmpty())
        writeLibrary(m_library, records);
    FavList *f = Forms::Form<FavList>::get();
    f->move(200, 100);
    f->show();
    if (!QTest::qWaitForWindowExposed(f))
        qWarning("quick list not exposed");
    return f;
}

QPoint TestQuickList::cellCentre(FavList *f, int row, int column) const {
    return f->L1->visualRect(f->recordModel()->index(row, column)).center();
}

void TestQuickList::hover(FavList *f, int row, int column) {
    QMouseEvent move(QEvent::MouseMove, cellCentre(f, row, column),
                     f->L1->viewport()->mapToGlobal(cellCentre(f, row, column)), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QCoreApplication::sendEvent(f->L1->viewport(), &move);
}

void TestQuickList::loadsRecordsAndCategories() {
    SaveSet(settings::keys::LastRecord, lastUsedOf({"上次", "上次内容", "", "", "SQL", "3", "详"}));
    FavList *f = open();
    QCOMPARE(f->size(), QSize(420, 643));
    QCOMPARE(f->ts->text(), QStringLiteral("Vemo文本收集器 V2.0"));
    QVERIFY(f->windowFlags().testFlag(Qt::FramelessWindowHint));
    QVERIFY(f->windowFlags().testFlag(Qt::Tool));
    // The last-used row, then the common records, newest first.
    const RecordModel *m = f->recordModel();
    QCOMPARE(m->rowCount(), 3);
    QCOMPARE(m->index(0, col::Number).data().toString(), QStringLiteral("最近一次"));
    QCOMPARE(m->index(1, col::Number).data().toString(), QStringLiteral("001"));
    QCOMPARE(m->index(1, col::Title).data().toString(), QStringLiteral("★★　查询全部"));
    QCOMPARE(m->index(2, col::Title).data().toString(), QStringLiteral("回复模板"));
    // Colours: blue last-used, red special attention, "详" in the list's background.
    QCOMPARE(m->index(0, col::Title).data(Qt::ForegroundRole).value<QBrush>().color(), QColor(0, 0, 255));
    QCOMPARE(m->index(1, col::Number).data(Qt::ForegroundRole).value<QBrush>().color(), QColor(255, 0, 0));
    QVERIFY(!m->index(2, col::Title).data(Qt::ForegroundRole).isValid());
    QCOMPARE(m->index(2, col::Detail).data(Qt::ForegroundRole).value<QBrush>().color(),
             QColor(250, 250, 250));
    // Only the number, the title and "详" are visible.
    for (int c = 0; c < col::Count; ++c)
        QCOMPARE(f->L1->isColumnHidden(c), !(c == col::Number || c == col::Title || c == col::Detail));
    QCOMPARE(f->L1->columnWidth(col::Title), 3400 / 15);
    QCOMPARE(f->selectedRow(), 0);

    QCOMPARE(f->categoryModel()->names(), (QStringList{"常用", "SQL", "邮件", "签名"}));
    QCOMPARE(f->selectedCategory(), 1);
    QCOMPARE(f->categoryModel()->index(0, 0).data(Qt::ForegroundRole).value<QBrush>().color(),
             QColor(255, 255, 255));
    QCOMPARE(f->categoryModel()->index(1, 0).data(Qt::ForegroundRole).value<QBrush>().color(),
             QColor(128, 128, 128));
    QVERIFY(FMain::QuickListAutoClose);
    QVERIFY(f->autoCloseMode());
    QVERIFY(!f->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
}

void TestQuickList::emptyLibraryShowsHintsAndExecutesNothing() {
    FavList *f = open({});
    QCOMPARE(f->recordModel()->rowCount(), 2);
    QCOMPARE(f->recordModel()->index(0, col::Title).data().toString(),
             QStringLiteral("还未添加常用，复制文本"));
    QCOMPARE(f->recordModel()->index(1, col::Title).data().toString(),
             QStringLiteral("然后点击左下角的新增文本"));
    QCOMPARE(f->categoryModel()->names(), QStringList{"常用"});
    QCOMPARE(f->categoryModel()->highlighted(), 0);
    // The hint asks the user to copy a text and then add it: clicking the
    // hint must not wipe that text from the clipboard.
    QTest::mouseClick(f->L1->viewport(), Qt::LeftButton, {}, cellCentre(f, 0, col::Title));
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("before"));
    QCOMPARE(GetSet(settings::keys::LastRecord, QString()), QString());
    QVERIFY(isOpen());
}

void TestQuickList::clickModes_data() {
    QTest::addColumn<QString>("mode");
    QTest::addColumn<bool>("clickExecutes");
    QTest::addColumn<bool>("doubleClickExecutes");
    QTest::newRow("default") << QString() << true << false;
    QTest::newRow("click") << QStringLiteral("单击执行") << true << false;
    QTest::newRow("double-click") << QStringLiteral("双击执行") << false << true;
    QTest::newRow("other") << QStringLiteral("不执行") << false << false;
}

void TestQuickList::clickModes() {
    QFETCH(QString, mode);
    QFETCH(bool, clickExecutes);
    QFETCH(bool, doubleClickExecutes);
    if (!mode.isEmpty())
        SaveSet(settings::keys::ListClickMode, mode);
    FavList *f = open();
    QTest::mouseClick(f->L1->viewport(), Qt::LeftButton, {}, cellCentre(f, 1, col::Title));
    if (clickExecutes) {
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("您好，已收到，谢谢。"));
        QVERIFY(!isOpen());
        return;
    }
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("before"));
    QVERIFY(isOpen());
    QCOMPARE(f->selectedRow(), 1);
    QTest::mouseDClick(f->L1->viewport(), Qt::LeftButton, {}, cellCentre(f, 1, col::Title));
    QCOMPARE(QGuiApplication::clipboard()->text(),
             doubleClickExecutes ? QStringLiteral("您好，已收到，谢谢。") : QStringLiteral("before"));
    QCOMPARE(isOpen(), !doubleClickExecutes);
    QCOMPARE(GetSet(settings::keys::LastRecord, QString()).isEmpty(), !doubleClickExecutes);
}

void TestQuickList::detailColumnShowsBalloonWithoutExecuting() {
    FavList *f = open();
    QTest::mouseClick(f->L1->viewport(), Qt::LeftButton, {}, cellCentre(f, 1, col::Detail));
    QVERIFY(isOpen());
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("before"));
    QCOMPARE(f->hoverColumn(), col::Detail);
    QVERIFY(f->tip());
    QCOMPARE(f->tip()->DelayTime(), 100);
    QCOMPARE(f->tip()->Title(), QStringLiteral("回复模板"));
}

void TestQuickList::hoverSelectsAndFillsBalloon() {
    FavList *f = open();
    f->L2_Click(3); // "签名": one record with a text of 1000 characters
    QCOMPARE(f->recordModel()->rowCount(), 1);
    hover(f, 0, col::Title);
    QCOMPARE(f->selectedRow(), 0);
    QCOMPARE(f->hoverColumn(), col::Title);
    CTooltip *tip = f->tip();
    QVERIFY(tip && tip->hasTipWindow());
    QCOMPARE(tip->Style(), 1);
    QCOMPARE(tip->Icon(), 1);
    QCOMPARE(tip->DelayTime(), 2000);
    QCOMPARE(tip->Title(), QStringLiteral("签名"));
    QCOMPARE(tip->TipText(), QString(800, u'长'));
    QCOMPARE(tip->parentWindow(), f->L1->viewport());
    // Over "详" the balloon comes after 100 ms.
    hover(f, 0, col::Detail);
    QCOMPARE(f->tip()->DelayTime(), 100);

    // Hovering moves the selection, row by row.
    f->L2_Click(1); // "SQL": two records
    hover(f, 1, col::Number);
    QCOMPARE(f->selectedRow(), 1);
    QCOMPARE(f->tip()->Title(), QStringLiteral("更新一行"));
    // While a menu or another window of the list is in use, hovering does nothing.
    FMain::QuickListAutoClose = false;
    hover(f, 0, col::Title);
    QCOMPARE(f->selectedRow(), 1);
    QCOMPARE(f->tip()->Title(), QStringLiteral("更新一行"));
    // Executing removes the balloon.
    FMain::QuickListAutoClose = true;
    f->DelTip();
    QVERIFY(!f->tip());
}

void TestQuickList::outsideClickCheck() {
    FavList *f = open();
    const QRect frame = f->frameGeometry();
    const QList<QPoint> inside = {frame.topLeft(), frame.bottomRight(), frame.center(),
                                  QPoint(frame.left(), frame.bottom())};
    (*m_fake)->held = {platform::vk::LeftButton};
    for (const QPoint &p : inside) {
        QCursor::setPos(p);
        f->Timer1_Timer();
        QVERIFY2(isOpen(), qPrintable(QStringLiteral("closed at %1,%2").arg(p.x()).arg(p.y())));
    }
    const QPoint outside = frame.topLeft() - QPoint(5, 5);
    QCursor::setPos(outside);
    // Button up outside: nothing.
    (*m_fake)->held.clear();
    f->Timer1_Timer();
    QVERIFY(isOpen());
    // Button held outside while a menu is open: nothing.
    (*m_fake)->held = {platform::vk::LeftButton};
    FMain::QuickListAutoClose = false;
    f->Timer1_Timer();
    QVERIFY(isOpen());
    // Otherwise the list closes, and the timer runs every 100 ms.
    FMain::QuickListAutoClose = true;
    QCOMPARE(f->Timer1->interval(), 100);
    QTRY_VERIFY_WITH_TIMEOUT(!isOpen(), 1000);

    // A list that stays open ignores outside clicks, and stays on top.
    SaveSet(settings::keys::ListAutoClose, 0);
    f = open();
    QVERIFY(!f->autoCloseMode());
    QVERIFY(f->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    QCursor::setPos(f->frameGeometry().topLeft() - QPoint(5, 5));
    f->Timer1_Timer();
    QVERIFY(isOpen());
}

void TestQuickList::categoryHighlight() {
    FavList *f = open();
    CategoryModel *c = f->categoryModel();
    f->L2_Click(1); // "SQL"
    QCOMPARE(c->highlighted(), 1);
    QCOMPARE(f->selectedCategory(), 2);
    QCOMPARE(f->recordModel()->rowCount(), 2);
    QCOMPARE(f->L2->toolTip(), QStringLiteral("SQL"));

    // Searching highlights no category.
    f->SearchT->setText(QStringLiteral("UPDATE"));
    QCOMPARE(c->highlighted(), -1);
    QCOMPARE(f->recordModel()->rowCount(), 1);
    QCOMPARE(f->recordModel()->index(0, col::Title).data().toString(), QStringLiteral("更新一行"));
    // Clicking the category shown before the search shows and highlights it again.
    f->L2_Click(1);
    QCOMPARE(c->highlighted(), 1);
    QCOMPARE(f->recordModel()->rowCount(), 2);

    // An unmatched bracket leaves the list empty, with no message.
    f->SearchT->setText(QStringLiteral("["));
    QCOMPARE(f->recordModel()->rowCount(), 0);
    QVERIFY(m_env->boxes.isEmpty());

    // Clearing with a double-click returns to "常用", highlighted.
    QTest::mouseDClick(f->SearchT, Qt::LeftButton);
    QCOMPARE(f->SearchT->text(), QString());
    QCOMPARE(f->recordModel()->rowCount(), 2);
    QCOMPARE(f->recordModel()->index(0, col::Title).data().toString(), QStringLiteral("★★　查询全部"));
    QCOMPARE(c->highlighted(), 0);
    QCOMPARE(f->selectedCategory(), 1);
}

void TestQuickList::stayOpenModeCopiesAndRemembers() {
    SaveSet(settings::keys::ListAutoClose, QStringLiteral("0"));
    FMain::CallUpMode = FMain::ModeHotkey;
    onKey::TargetWindowSlot = QStringLiteral("42");
    (*m_fake)->windows = {42};
    FavList *f = open();
    QTest::mouseClick(f->L1->viewport(), Qt::LeftButton, {}, cellCentre(f, 0, col::Title));
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("SELECT * FROM t"));
    QCOMPARE(f->ts->text(), QStringLiteral("当前点击的内容已复制"));
    QVERIFY(isOpen());
    // Copied only: the target is not touched.
    QVERIFY((*m_fake)->log.empty());
    const QStringList parts = GetSet(settings::keys::LastRecord, QString()).split(LastUsedSeparator);
    QCOMPARE(parts, (QStringList{"", "★★　查询全部", "SELECT * FROM t", "", "常用", "SQL", "1", "详"}));
}

void TestQuickList::keyboard() {
    SaveSet(settings::keys::ListAutoClose, QStringLiteral("0"));
    FavList *f = open();
    f->L2_Click(1); // "SQL": two records
    f->SearchT->setFocus();
    QCOMPARE(f->selectedRow(), 0);
    // The arrows move through the list while the search box has the focus.
    QTest::keyClick(f->SearchT, Qt::Key_Down);
    QCOMPARE(f->selectedRow(), 1);
    QTest::keyClick(f->L1, Qt::Key_Up);
    QCOMPARE(f->selectedRow(), 0);
    QTest::keyClick(f->L1, Qt::Key_Down);
    QTest::keyClick(f->L1, Qt::Key_Return);
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("UPDATE t SET a = 1"));
    QTest::keyClick(f->SearchT, Qt::Key_Up);
    QTest::keyClick(f->SearchT, Qt::Key_Enter);
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("SELECT * FROM t"));
    // Command1 lies outside the window and executes when pressed from the keyboard.
    f->L2_Click(2); // the last-used row, then "回复模板"
    QVERIFY(f->loader().isLastUsedRow(0));
    f->selectRow(1);
    f->Command1->setFocus();
    QTest::keyClick(f->Command1, Qt::Key_Return);
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("您好，已收到，谢谢。"));
    QVERIFY(!f->rect().intersects(f->Command1->geometry()));
    QVERIFY(!f->rect().intersects(f->Command2->geometry()));
    // Esc closes from any control.
    QTest::keyClick(f->L1, Qt::Key_Escape);
    QVERIFY(!isOpen());
    f = open();
    QTest::keyClick(f->SearchT, Qt::Key_Escape);
    QVERIFY(!isOpen());
}

void TestQuickList::rightButtonAsksForTheMenuOnly() {
    FavList *f = open();
    QSignalSpy menu(f, &FavList::listMenuRequested);
    const QPoint at = cellCentre(f, 1, col::Title);
    QTest::mouseClick(f->L1->viewport(), Qt::RightButton, {}, at);
    QCOMPARE(menu.count(), 1);
    QCOMPARE(menu.at(0).at(0).toPoint(), f->L1->viewport()->mapToGlobal(at));
    QCOMPARE(f->selectedRow(), 1);
    QVERIFY(isOpen());
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("before"));
    QVERIFY(FMain::QuickListAutoClose);
}

void TestQuickList::labelsAskTheirNeighbours() {
    FavList *f = open();
    // Without an About window the permission stays, so the list still closes by itself.
    QTest::mouseClick(f->Label3, Qt::LeftButton);
    QVERIFY(FMain::QuickListAutoClose);
    QSignalSpy add(f, &FavList::addRequested);
    QSignalSpy about(f, &FavList::aboutRequested);
    bool permissionAtSignal = true;
    connect(f, &FavList::aboutRequested, this, [&] { permissionAtSignal = FMain::QuickListAutoClose; });
    QTest::mouseClick(f->Label3, Qt::LeftButton);
    QCOMPARE(about.count(), 1);
    QVERIFY(!permissionAtSignal);
    QTest::mouseClick(f->Label2, Qt::LeftButton);
    QCOMPARE(add.count(), 1);
    QVERIFY(isOpen());
    QTest::mouseClick(f->Label4, Qt::LeftButton);
    QVERIFY(!isOpen());
}

void TestQuickList::listedRowsSurviveRefreshUntilRefilled() {
    FavList *f = open();
    // Another record becomes common; the menu refreshes the cache.
    sqlite3 *db = nullptr;
    sqlite3_open(m_library.toUtf8().constData(), &db);
    sqlite3_exec(db, "UPDATE VBcode SET IsUsed='常用', ChangeTime='20250101000000' WHERE ID=4", nullptr,
                 nullptr, nullptr);
    sqlite3_close(db);
    f->setArr(true);
    QCOMPARE(f->recordModel()->rowCount(), 2);
    QCOMPARE(f->recordModel()->index(0, col::Title).data().toString(), QStringLiteral("★★　查询全部"));
    f->加载列表(CommonCategory, false);
    QCOMPARE(f->recordModel()->rowCount(), 3);
    QCOMPARE(f->recordModel()->index(0, col::Title).data().toString(), QStringLiteral("签名"));
}

void TestQuickList::closingFreesAndNextOpeningRereads() {
    FavList *f = open();
    QCOMPARE(f->recordModel()->rowCount(), 2);
    f->close();
    QVERIFY(!Forms::Form<FavList>::loaded());
    QVERIFY(std::find((*m_fake)->log.begin(), (*m_fake)->log.end(), "trim") != (*m_fake)->log.end());
    QCOMPARE(f->Timer1->isActive(), false);
    QCOMPARE(f->recordModel()->rowCount(), 0);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QList<Rec> more = Sample;
    more << Rec{5, "新组", "新的", "新文本", "常用", "20250101000000"};
    f = open(more);
    QCOMPARE(f->recordModel()->rowCount(), 3);
    QVERIFY(f->categoryModel()->names().contains(QStringLiteral("新组")));
}

void TestQuickList::insertionFromIconIsClipboardOnly() {
    FakePlatform &fake = **m_fake;
    fake.windows = {42};
    onKey::TargetWindowSlot = QStringLiteral("42"); // recorded by an earlier hotkey press
    FMain::CallUpMode = FMain::ModeIcon;
    QCOMPARE(录入到窗口(QStringLiteral("文本")), InsertOutcome::ClipboardOnly);
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("文本"));
    QVERIFY(fake.log.empty());
    // By the hotkey, but no usable target recorded.
    FMain::CallUpMode = FMain::ModeHotkey;
    for (const char *slot : {"", "0", "-5", "abc"}) {
        onKey::TargetWindowSlot = QString::fromLatin1(slot);
        QCOMPARE(录入到窗口(QStringLiteral("x")), InsertOutcome::ClipboardOnly);
    }
    QVERIFY(fake.log.empty());
}

void TestQuickList::insertionPastesIntoTarget() {
    FakePlatform &fake = **m_fake;
    fake.windows = {42, 7};
    fake.foreground = 7;
    FMain::CallUpMode = FMain::ModeHotkey;
    onKey::TargetWindowSlot = QStringLiteral("42");
    QString clipboardAtPaste;
    platform::WindowId frontAtPaste = 0;
    fake.onPaste = [&] {
        clipboardAtPaste = QGuiApplication::clipboard()->text();
        frontAtPaste = fake.foreground;
    };
    QCOMPARE(录入到窗口(QStringLiteral("粘贴的文本")), InsertOutcome::Pasted);
    QCOMPARE(fake.log, (std::vector<std::string>{"activate:42", "paste"}));
    QCOMPARE(clipboardAtPaste, QStringLiteral("粘贴的文本"));
    QCOMPARE(frontAtPaste, platform::WindowId(42));
}

void TestQuickList::insertionSkipsGoneOrRefusedTarget() {
    FakePlatform &fake = **m_fake;
    FMain::CallUpMode = FMain::ModeHotkey;
    onKey::TargetWindowSlot = QStringLiteral("42");
    // Closed since the hotkey press: no keys go out blind.
    QCOMPARE(录入到窗口(QStringLiteral("a")), InsertOutcome::TargetGone);
    QVERIFY(fake.log.empty());
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("a"));
    // The window exists but does not come to the front.
    fake.windows = {42};
    fake.activationArrives = false;
    QCOMPARE(录入到窗口(QStringLiteral("b")), InsertOutcome::ActivationRefused);
    QCOMPARE(fake.log, std::vector<std::string>{"activate:42"});
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("b"));
}

void TestQuickList::insertionWaitsForModifiers() {
    FakePlatform &fake = **m_fake;
    fake.windows = {42};
    FMain::CallUpMode = FMain::ModeHotkey;
    onKey::TargetWindowSlot = QStringLiteral("42");
    std::set<int> heldAtPaste{-1};
    fake.onPaste = [&] { heldAtPaste = fake.held; };

    // Shift and Ctrl still held from the hotkey, released a moment later.
    fake.held = {platform::vk::Shift, platform::vk::Control};
    QTimer::singleShot(60, [&] { fake.held.clear(); });
    QCOMPARE(录入到窗口(QStringLiteral("a")), InsertOutcome::Pasted);
    QVERIFY(heldAtPaste.empty());

    // Alt held for good: a keystroke would be Ctrl+Alt+V; the text stays on the clipboard.
    fake.log.clear();
    fake.held = {platform::vk::Menu};
    QCOMPARE(录入到窗口(QStringLiteral("b")), InsertOutcome::ModifierHeld);
    QCOMPARE(fake.log, std::vector<std::string>{"activate:42"});
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("b"));

    // Ctrl alone held for good: the keystroke is still a plain Ctrl+V.
    fake.held = {platform::vk::Control};
    QCOMPARE(录入到窗口(QStringLiteral("c")), InsertOutcome::Pasted);
    QCOMPARE(heldAtPaste, std::set<int>{platform::vk::Control});
}

void TestQuickList::executeFromHotkeyPastesThenCloses() {
    FakePlatform &fake = **m_fake;
    fake.windows = {42};
    FMain::CallUpMode = FMain::ModeHotkey;
    onKey::TargetWindowSlot = QStringLiteral("42");
    FavList *f = open();
    QString lastUsedAtPaste = QStringLiteral("unset");
    fake.onPaste = [&] { lastUsedAtPaste = GetSet(settings::keys::LastRecord, QString()); };
    QTest::mouseClick(f->L1->viewport(), Qt::LeftButton, {}, cellCentre(f, 1, col::Title));
    QCOMPARE(fake.log, (std::vector<std::string>{"activate:42", "paste", "trim"}));
    // The last-used entry is written after the paste, then the list closes.
    QCOMPARE(lastUsedAtPaste, QString());
    QVERIFY(GetSet(settings::keys::LastRecord, QString()).contains(QStringLiteral("回复模板")));
    QVERIFY(!isOpen());
}

void TestQuickList::screenshots() {
    const QString dir = qEnvironmentVariable("VEMO_SCREENSHOT_DIR");
    if (dir.isEmpty())
        QSKIP("set VEMO_SCREENSHOT_DIR to write the screenshots");
    FavList *f = open({});
    QVERIFY(f->grab().save(dir + QStringLiteral("/quicklist_empty.png")));
    f->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    SaveSet(settings::keys::LastRecord, lastUsedOf({"上次用过的文本", "上次内容", "", "", "SQL", "3", "详"}));
    QList<Rec> many = Sample;
    for (int i = 10; i < 40; ++i)
        many << Rec{i,
                    i % 2 ? "代码" : "邮件",
                    QStringLiteral("常用条目 %1 Record title").arg(i),
                    "text",
                    "常用",
                    QStringLiteral("2023%1").arg(i, 10, 10, QChar(u'0'))};
    f = open(many);
    QVERIFY(f->grab().save(dir + QStringLiteral("/quicklist_records.png")));

    f->L2_Click(4); // "签名": the last-used row, then a record with a long text
    hover(f, 1, col::Detail);
    QVERIFY(f->tip() && f->tip()->tipWidget());
    CTooltipWindow *tipWindow = f->tip()->tipWidget();
    tipWindow->popUp(f->L1->viewport()->mapToGlobal(cellCentre(f, 1, col::Detail)));
    QVERIFY(tipWindow->isVisible());
    // The list and the balloon in one picture, as they stand on the screen.
    const QRect area = f->frameGeometry().united(tipWindow->frameGeometry());
    QImage shot(area.size(), QImage::Format_ARGB32);
    shot.fill(Qt::white);
    QPainter painter(&shot);
    painter.drawPixmap(f->frameGeometry().topLeft() - area.topLeft(), f->grab());
    painter.drawPixmap(tipWindow->frameGeometry().topLeft() - area.topLeft(), tipWindow->grab());
    painter.end();
    QVERIFY(shot.save(dir + QStringLiteral("/quicklist_balloon.png")));
}

QTEST_MAIN(TestQuickList)
#include "tst_quick_list.moc"
