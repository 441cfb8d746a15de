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
#include <QLabel>
#include <QLineEdit>
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

const QList<Rec> Sample = {
    {1, "SQL", "★★　查询全部", "SELECT * FROM t", "常用", "20240105000000"},
    {2, "邮件", "回复模板", "您好，已收到，谢谢。", "常用", "20240104000000"},
    {3, "SQL", "更新一行", "UPDATE t SET a = 1", "", "20240103000000"},
    {4, "签名", "签名", QString(1000, u'长'), "", "20240102000000"},
};
const QString Reply = QStringLiteral("您好，已收到，谢谢。");

QString clipboard() {
    return QGuiApplication::clipboard()->text();
}

QString lastUsed() {
    return GetSet(settings::keys::LastRecord, QString());
}

bool isOpen() {
    return Forms::Form<FavList>::loaded() && Forms::Form<FavList>::peek()->isVisible();
}

QPoint cell(FavList *f, int row, int column) {
    return f->L1->visualRect(f->recordModel()->index(row, column)).center();
}

void click(FavList *f, int row, int column, Qt::MouseButton button = Qt::LeftButton) {
    QTest::mouseClick(f->L1->viewport(), button, {}, cell(f, row, column));
}

void hover(FavList *f, int row, int column) {
    const QPoint at = cell(f, row, column);
    QMouseEvent move(QEvent::MouseMove, at, f->L1->viewport()->mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QCoreApplication::sendEvent(f->L1->viewport(), &move);
}

} // namespace

class TestQuickList : public QObject {
    Q_OBJECT
    std::unique_ptr<TestEnv> m_env;
    std::unique_ptr<FakePlatformGuard> m_fake;

    FakePlatform &fake() { return **m_fake; }

    // Writes the records to a fresh library file and opens the list on it.
    FavList *open(const QList<Rec> &records = Sample, bool withLibrary = true) {
        const QString path = DataEdit::LibraryPath();
        QFile::remove(path);
        if (withLibrary) {
            sqlite3 *db = nullptr;
            sqlite3_open(path.toUtf8().constData(), &db);
            sqlite3_exec(db, librarySchema::CreateSql, nullptr, nullptr, nullptr);
            sqlite3_close(db);
        }
        for (const Rec &r : records)
            DataEdit::ExecSql(QStringLiteral("INSERT INTO VBcode VALUES (?, ?, 'Function', ?, ?, ?, ?)"),
                              {r.id, r.group, r.title, r.text, r.time, r.common});
        FavList *f = Forms::Form<FavList>::get();
        f->move(200, 100);
        f->show();
        if (!QTest::qWaitForWindowExposed(f))
            qWarning("quick list not exposed");
        return f;
    }

    // Called up by the hotkey over the window 42, which still exists.
    void hotkeyTarget() {
        FMain::CallUpMode = FMain::ModeHotkey;
        onKey::TargetWindowSlot = QStringLiteral("42");
        fake().windows = {42};
    }

  private slots:
    void init() {
        m_env = std::make_unique<TestEnv>();
        m_fake = std::make_unique<FakePlatformGuard>();
        DataEdit::SetLibraryPath(m_env->dir() + QStringLiteral("/VBCode.mdb"));
        FMain::CallUpMode = FMain::ModeIcon;
        FMain::QuickListAutoClose = true;
        onKey::TargetWindowSlot.clear();
        QGuiApplication::clipboard()->setText(QStringLiteral("before"));
    }
    void cleanup() {
        Forms::Form<FavList>::unload();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        m_fake.reset();
        m_env.reset();
    }

    void loadsRecordsAndCategories() {
        SaveSet(settings::keys::LastRecord, QStringLiteral("\b上次\b上次内容\b\b\bSQL\b3\b详"));
        FavList *f = open();
        // The last-used row in blue, then the common records, newest first; special ones in red.
        const RecordModel *m = f->recordModel();
        QCOMPARE(m->rowCount(), 3);
        QCOMPARE(m->index(0, col::Number).data().toString(), QStringLiteral("最近一次"));
        QCOMPARE(m->index(1, col::Number).data().toString(), QStringLiteral("001"));
        QCOMPARE(m->index(2, col::Title).data().toString(), QStringLiteral("回复模板"));
        QCOMPARE(m->index(0, col::Title).data(Qt::ForegroundRole).value<QBrush>().color(), QColor(0, 0, 255));
        QCOMPARE(m->index(1, col::Number).data(Qt::ForegroundRole).value<QBrush>().color(),
                 QColor(255, 0, 0));
        // Only the number, the title and "详" are visible.
        for (int c = 0; c < col::Count; ++c)
            QCOMPARE(f->L1->isColumnHidden(c), !(c == col::Number || c == col::Title || c == col::Detail));
        QCOMPARE(f->selectedRow(), 0);
        QCOMPARE(f->categoryModel()->names(), (QStringList{"常用", "SQL", "邮件", "签名"}));
        QCOMPARE(f->categoryModel()->highlighted(), 0);
        QVERIFY(f->autoCloseMode() && !f->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    }

    void emptyLibraryShowsHintsAndExecutesNothing() {
        FavList *f = open({});
        QCOMPARE(f->recordModel()->index(0, col::Title).data().toString(),
                 QStringLiteral("还未添加常用，复制文本"));
        QCOMPARE(f->recordModel()->index(1, col::Title).data().toString(),
                 QStringLiteral("然后点击左下角的新增文本"));
        QCOMPARE(f->categoryModel()->names(), QStringList{"常用"});
        // The hint asks the user to copy a text and then add it: clicking the
        // hint must not wipe that text from the clipboard.
        click(f, 0, col::Title);
        QCOMPARE(clipboard(), QStringLiteral("before"));
        QCOMPARE(lastUsed(), QString());
        QVERIFY(isOpen());

        // A library that cannot be read is no empty library: no hints, and the status line says why.
        f->unload();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        f = open({}, false);
        QCOMPARE(f->recordModel()->rowCount(), 0);
        QCOMPARE(f->ts->text(), QStringLiteral("缺少Vbcode.mb文件"));
    }

    void clickModes_data() {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<bool>("clickRuns");
        QTest::addColumn<bool>("doubleClickRuns");
        QTest::newRow("default") << QString() << true << false;
        QTest::newRow("click") << QStringLiteral("单击执行") << true << false;
        QTest::newRow("double-click") << QStringLiteral("双击执行") << false << true;
        QTest::newRow("other") << QStringLiteral("不执行") << false << false;
    }
    void clickModes() {
        QFETCH(QString, mode);
        QFETCH(bool, clickRuns);
        QFETCH(bool, doubleClickRuns);
        if (!mode.isNull())
            SaveSet(settings::keys::ListClickMode, mode);
        FavList *f = open();
        click(f, 1, col::Title);
        if (!clickRuns) {
            QCOMPARE(clipboard(), QStringLiteral("before"));
            QCOMPARE(f->selectedRow(), 1);
            QTest::mouseDClick(f->L1->viewport(), Qt::LeftButton, {}, cell(f, 1, col::Title));
            // QtTest's double-click leaves the button held; the hand lets go.
            QTest::mouseRelease(f->L1->viewport(), Qt::LeftButton, {}, cell(f, 1, col::Title));
        }
        const bool ran = clickRuns || doubleClickRuns;
        QCOMPARE(clipboard(), ran ? Reply : QStringLiteral("before"));
        QCOMPARE(lastUsed().contains(QStringLiteral("回复模板")), ran);
        QCOMPARE(isOpen(), !ran);
    }

    void hoverSelectsAndFillsBalloon() {
        FavList *f = open();
        // A click on "详" shows the row's balloon, with its title drawn whole, and executes nothing.
        QTest::mouseMove(f->L1->viewport(), cell(f, 0, col::Title) + QPoint(0, 3));
        QTest::mouseMove(f->L1->viewport(), cell(f, 1, col::Detail));
        QTRY_VERIFY(f->tip() && f->tip()->tipWidget() && f->tip()->tipWidget()->isVisible());
        click(f, 1, col::Detail);
        QVERIFY(isOpen());
        QCOMPARE(clipboard(), QStringLiteral("before"));
        QTRY_VERIFY(f->tip()->tipWidget() && f->tip()->tipWidget()->isVisible());
        f->tip()->tipWidget()->grab();
        QCOMPARE(f->tip()->tipWidget()->drawnTitle(), QStringLiteral("回复模板"));

        f->L2_Click(3); // "签名": one record with a text of 1000 characters
        hover(f, 0, col::Title);
        QCOMPARE(f->selectedRow(), 0);
        CTooltip *tip = f->tip();
        QVERIFY(tip && tip->hasTipWindow());
        QCOMPARE(tip->DelayTime(), 2000);
        QCOMPARE(tip->Title(), QStringLiteral("签名"));
        QCOMPARE(tip->TipText(), QString(800, u'长'));
        QCOMPARE(tip->parentWindow(), f->L1->viewport());

        f->L2_Click(1); // "SQL": two records
        hover(f, 1, col::Number);
        QCOMPARE(f->selectedRow(), 1);
        QCOMPARE(f->tip()->Title(), QStringLiteral("更新一行"));
        // While a menu or another window of the list is in use, hovering does nothing.
        FMain::QuickListAutoClose = false;
        hover(f, 0, col::Title);
        QCOMPARE(f->selectedRow(), 1);
        QCOMPARE(f->tip()->Title(), QStringLiteral("更新一行"));
    }

    void outsideClickCheck() {
        FavList *f = open();
        const QRect frame = f->frameGeometry();
        fake().held = {platform::vk::LeftButton};
        // Inside, up to the outermost pixels, the list stays.
        for (const QPoint &p : {frame.topLeft(), frame.bottomRight(), frame.bottomLeft(), frame.center()}) {
            QCursor::setPos(p);
            f->Timer1_Timer();
            QVERIFY2(isOpen(), qPrintable(QStringLiteral("closed at %1,%2").arg(p.x()).arg(p.y())));
        }
        QCursor::setPos(frame.topLeft() - QPoint(5, 5));
        FMain::QuickListAutoClose = false; // a menu of the list is open
        f->Timer1_Timer();
        QVERIFY(isOpen());
        FMain::QuickListAutoClose = true;
        fake().held.clear(); // no button held
        f->Timer1_Timer();
        QVERIFY(isOpen());
        fake().held = {platform::vk::LeftButton};
        QTRY_VERIFY_WITH_TIMEOUT(!isOpen(), 1000); // the timer itself closes the list

        // A list that stays open ignores outside clicks, and stays on top.
        SaveSet(settings::keys::ListAutoClose, 0);
        f = open();
        QVERIFY(!f->autoCloseMode());
        QVERIFY(f->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        QCursor::setPos(f->frameGeometry().topLeft() - QPoint(5, 5));
        f->Timer1_Timer();
        QVERIFY(isOpen());
    }

    void categoryHighlight() {
        FavList *f = open();
        CategoryModel *c = f->categoryModel();
        f->L2_Click(1); // "SQL"
        QCOMPARE(c->highlighted(), 1);
        QCOMPARE(f->recordModel()->rowCount(), 2);
        // Searching highlights no category.
        f->SearchT->setText(QStringLiteral("UPDATE"));
        QCOMPARE(c->highlighted(), -1);
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
        QCOMPARE(f->recordModel()->index(0, col::Title).data().toString(), QStringLiteral("★★　查询全部"));
        QCOMPARE(c->highlighted(), 0);
    }

    void stayOpenModeCopiesAndRemembers() {
        SaveSet(settings::keys::ListAutoClose, QStringLiteral("0"));
        hotkeyTarget();
        FavList *f = open();
        click(f, 0, col::Title);
        QCOMPARE(clipboard(), QStringLiteral("SELECT * FROM t"));
        QCOMPARE(f->ts->text(), QStringLiteral("当前点击的内容已复制"));
        QVERIFY(isOpen());
        QVERIFY(fake().log.empty()); // copied only: the target is not touched
        QCOMPARE(lastUsed().split(LastUsedSeparator),
                 (QStringList{"", "★★　查询全部", "SELECT * FROM t", "", "常用", "SQL", "1", "详"}));
    }

    void keyboard() {
        SaveSet(settings::keys::ListAutoClose, QStringLiteral("0"));
        FavList *f = open();
        f->L2_Click(1); // "SQL": two records
        f->SearchT->setFocus();
        // The arrows move through the list while the search box has the focus.
        QTest::keyClick(f->SearchT, Qt::Key_Down);
        QCOMPARE(f->selectedRow(), 1);
        QTest::keyClick(f->L1, Qt::Key_Up);
        QCOMPARE(f->selectedRow(), 0);
        QTest::keyClick(f->L1, Qt::Key_Down);
        QTest::keyClick(f->L1, Qt::Key_Return);
        QCOMPARE(clipboard(), QStringLiteral("UPDATE t SET a = 1"));
        QTest::keyClick(f->SearchT, Qt::Key_Up);
        QTest::keyClick(f->SearchT, Qt::Key_Enter);
        QCOMPARE(clipboard(), QStringLiteral("SELECT * FROM t"));
        // Command1 lies outside the window and executes when pressed from the keyboard.
        f->L2_Click(2); // the last-used row, then "回复模板"
        f->selectRow(1);
        f->Command1->setFocus();
        QTest::keyClick(f->Command1, Qt::Key_Return);
        QCOMPARE(clipboard(), Reply);
        QVERIFY(!f->rect().intersects(f->Command1->geometry()));
        // Esc closes from any control.
        QTest::keyClick(f->L1, Qt::Key_Escape);
        QVERIFY(!isOpen());
        QTest::keyClick(open()->SearchT, Qt::Key_Escape);
        QVERIFY(!isOpen());
    }

    void rightButtonAndLabelsAskTheirNeighbours() {
        FavList *f = open();
        QSignalSpy menu(f, &FavList::listMenuRequested);
        click(f, 1, col::Title, Qt::RightButton);
        QCOMPARE(menu.count(), 1);
        QCOMPARE(menu.at(0).at(0).toPoint(), f->L1->viewport()->mapToGlobal(cell(f, 1, col::Title)));
        QCOMPARE(f->selectedRow(), 1);
        QCOMPARE(clipboard(), QStringLiteral("before")); // selected, not executed

        // "Vemo" asks for the About window, which holds the list open meanwhile.
        QSignalSpy add(f, &FavList::addRequested);
        bool permissionAtSignal = true;
        connect(f, &FavList::aboutRequested, this, [&] { permissionAtSignal = FMain::QuickListAutoClose; });
        QTest::mouseClick(f->Label3, Qt::LeftButton);
        QVERIFY(!permissionAtSignal);
        QTest::mouseClick(f->Label2, Qt::LeftButton);
        QCOMPARE(add.count(), 1);
        QVERIFY(isOpen());
        QTest::mouseClick(f->Label4, Qt::LeftButton);
        QVERIFY(!isOpen());
    }

    void closingFreesAndNextOpeningRereads() {
        FavList *f = open();
        f->close();
        QVERIFY(!Forms::Form<FavList>::loaded());
        QCOMPARE(fake().log, std::vector<std::string>{"trim"});
        QVERIFY(!f->Timer1->isActive());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        f = open(Sample + QList<Rec>{{5, "新组", "新的", "新文本", "常用", "20250101000000"}});
        QCOMPARE(f->recordModel()->rowCount(), 3);
        QVERIFY(f->categoryModel()->names().contains(QStringLiteral("新组")));
    }

    void insertionWithoutATargetIsClipboardOnly() {
        hotkeyTarget();
        FMain::CallUpMode = FMain::ModeIcon; // a target recorded by an earlier hotkey press
        QCOMPARE(录入到窗口(QStringLiteral("文本")), InsertOutcome::ClipboardOnly);
        QCOMPARE(clipboard(), QStringLiteral("文本"));
        FMain::CallUpMode = FMain::ModeHotkey;
        for (const char *slot : {"", "0", "-5", "abc"}) {
            onKey::TargetWindowSlot = QString::fromLatin1(slot);
            QCOMPARE(录入到窗口(QStringLiteral("x")), InsertOutcome::ClipboardOnly);
        }
        QVERIFY(fake().log.empty());
    }

    // Clipboard, then activation, then the keystroke into the window in front.
    void insertionPastesIntoTarget() {
        hotkeyTarget();
        fake().windows = {42, 7};
        fake().foreground = 7;
        QString clipboardAtPaste;
        platform::WindowId frontAtPaste = 0;
        fake().onPaste = [&] {
            clipboardAtPaste = clipboard();
            frontAtPaste = fake().foreground;
        };
        QCOMPARE(录入到窗口(QStringLiteral("粘贴的文本")), InsertOutcome::Pasted);
        QCOMPARE(fake().log, (std::vector<std::string>{"activate:42", "paste"}));
        QCOMPARE(clipboardAtPaste, QStringLiteral("粘贴的文本"));
        QCOMPARE(frontAtPaste, platform::WindowId(42));
    }

    void insertionSkipsGoneOrRefusedTarget() {
        hotkeyTarget();
        fake().windows.clear(); // closed since the hotkey press: no keys go out blind
        QCOMPARE(录入到窗口(QStringLiteral("a")), InsertOutcome::TargetGone);
        QVERIFY(fake().log.empty());
        QCOMPARE(clipboard(), QStringLiteral("a"));
        fake().windows = {42};
        fake().activationArrives = false; // it exists but does not come to the front
        QCOMPARE(录入到窗口(QStringLiteral("b")), InsertOutcome::ActivationRefused);
        QCOMPARE(fake().log, std::vector<std::string>{"activate:42"});
        QCOMPARE(clipboard(), QStringLiteral("b"));
    }

    void insertionWaitsForModifiers() {
        hotkeyTarget();
        std::set<int> heldAtPaste{-1};
        fake().onPaste = [&] { heldAtPaste = fake().held; };
        // Shift and Ctrl still held from the hotkey, released a moment later.
        fake().held = {platform::vk::Shift, platform::vk::Control};
        QTimer::singleShot(60, [&] { fake().held.clear(); });
        QCOMPARE(录入到窗口(QStringLiteral("a")), InsertOutcome::Pasted);
        QVERIFY(heldAtPaste.empty());
        // Alt held for good: a keystroke would be Ctrl+Alt+V; the text stays on the clipboard.
        fake().log.clear();
        fake().held = {platform::vk::Menu};
        QCOMPARE(录入到窗口(QStringLiteral("b")), InsertOutcome::ModifierHeld);
        QCOMPARE(fake().log, std::vector<std::string>{"activate:42"});
        QCOMPARE(clipboard(), QStringLiteral("b"));
        // Ctrl alone held for good: the keystroke is still a plain Ctrl+V.
        fake().held = {platform::vk::Control};
        QCOMPARE(录入到窗口(QStringLiteral("c")), InsertOutcome::Pasted);
        QCOMPARE(heldAtPaste, std::set<int>{platform::vk::Control});
    }

    void executeFromHotkeyPastesThenCloses() {
        hotkeyTarget();
        FavList *f = open();
        QString lastUsedAtPaste = QStringLiteral("unset");
        fake().onPaste = [&] { lastUsedAtPaste = lastUsed(); };
        click(f, 1, col::Title);
        QCOMPARE(fake().log, (std::vector<std::string>{"activate:42", "paste", "trim"}));
        // The last-used entry is written after the paste, then the list closes.
        QCOMPARE(lastUsedAtPaste, QString());
        QVERIFY(lastUsed().contains(QStringLiteral("回复模板")));
        QVERIFY(!isOpen());
    }
};

QTEST_MAIN(TestQuickList)
#include "tst_quick_list.moc"
