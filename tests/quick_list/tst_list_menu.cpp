// The quick list's context menu offscreen, on the fake platform and a real
// library file in a temporary folder: the menu is prepared as a right click
// would and its items are triggered.
#include "FMain.h"
#include "FakePlatform.h"
#include "MessageBox.h"
#include "TestEnv.h"
#include "editor/mEdit.h"
#include "quick_list/FavList.h"
#include "quick_list/mMenu.h"
#include "settings/Settings.h"
#include "store/DataEdit.h"
#include "store/LibrarySchema.h"

#include <QBrush>
#include <QClipboard>
#include <QDir>
#include <QLabel>
#include <QTest>
#include <sqlite3.h>

using namespace quicklist;

namespace {

// Listed under "常用" in this order: 1, 2; record 3 only in its group "SQL".
const char *Sample =
    "INSERT INTO VBcode VALUES (1, 'SQL', 'Function', '★★　查询全部', 'SELECT', '20240104', '常用');"
    "INSERT INTO VBcode VALUES (2, '邮件', 'Sub', '客户''s 回复', '您好', '20240103', '常用');"
    "INSERT INTO VBcode VALUES (3, 'SQL', 'Class', '更新一行', 'UPDATE t', '20240102', '');"
    "INSERT INTO VBcode VALUES (0, '其他', 'API', '零号记录', 'zero', '20240101', '');";

QString cell(const QString &sql) {
    const DataEdit::RowArray r = DataEdit::GetRecordset(DataEdit::LibraryPath(), sql);
    return r.rowCount() > 0 ? r.at(0, 0).toString() : QStringLiteral("<none>");
}

} // namespace

class TestListMenu : public QObject {
    Q_OBJECT
    std::unique_ptr<TestEnv> m_env;
    std::unique_ptr<FakePlatformGuard> m_fake;
    FavList *list = nullptr;

    mMenu *menu() { return Forms::Form<mMenu>::get(); }
    int rowOf(qint64 id) const {
        for (int row = 0; row < list->loader().rowCount(); ++row)
            if (list->loader().text(row, col::Id) == QString::number(id))
                return row;
        return -1;
    }
    // Selects the row of the record and prepares the menu on it.
    void rightClick(qint64 id) {
        QVERIFY2(rowOf(id) >= 0, "record not listed");
        list->selectRow(rowOf(id));
        menu()->prepare(list);
    }

  private slots:
    void init() {
        m_env = std::make_unique<TestEnv>();
        m_fake = std::make_unique<FakePlatformGuard>();
        DataEdit::SetLibraryPath(m_env->dir() + QStringLiteral("/VBCode.mdb"));
        sqlite3 *db = nullptr;
        const QByteArray sql = QByteArray(librarySchema::CreateSql) + Sample;
        if (sqlite3_open(DataEdit::LibraryPath().toUtf8().constData(), &db) != SQLITE_OK ||
            sqlite3_exec(db, sql.constData(), nullptr, nullptr, nullptr) != SQLITE_OK)
            qFatal("cannot create the library");
        sqlite3_close(db);
        FMain::QuickListAutoClose = true;
        list = Forms::Form<FavList>::get();
        list->show();
    }
    void cleanup() {
        Forms::Form<mEdit>::unload();
        Forms::Form<FavList>::unload();
        Forms::Form<mMenu>::unload();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        DataEdit::SetClock({});
        m_fake.reset();
        m_env.reset();
    }

    void itemsFollowTheRowAndCopy() {
        QStringList items;
        for (QAction *a : menu()->ListMenu->actions())
            items << (a->isSeparator() ? QStringLiteral("-") : a->text());
        QCOMPARE(items, (QStringList{"修改内容 &E", "复制内容 &C", "删除记录 &D", "-", "添加为常用 &A",
                                     "从常用中删除 &A", "设置\\取消特别关注 &S", "-", "备份数据库 &B",
                                     "清空数据库"}));
        list->ShowItemTip(100);
        rightClick(2);
        QVERIFY(!list->tip()); // the balloon goes when the menu opens
        QVERIFY(menu()->从常用中删除->isVisible() && !menu()->添加为常用->isVisible());

        list->L2_Click(1); // "SQL": record 3 is not common
        rightClick(3);
        QVERIFY(menu()->添加为常用->isVisible() && !menu()->从常用中删除->isVisible());
        // The menu takes the permission away until an item gives it back.
        QVERIFY(!FMain::QuickListAutoClose);
        menu()->复制内容->trigger();
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("UPDATE t"));
        QCOMPARE(list->ts->text(), QStringLiteral("选定内容已复制到剪贴板中"));
        QVERIFY(FMain::QuickListAutoClose);
    }

    void hintRowsOfferOnlyTheLibraryItems() {
        QVERIFY(DataEdit::ExecSql(QStringLiteral("DELETE FROM VBcode")));
        list->setArr(true);
        list->加载列表(CommonCategory, false);
        QCOMPARE(list->loader().rowCount(), 2);
        QGuiApplication::clipboard()->setText(QStringLiteral("to be added"));
        menu()->prepare(list);
        QVERIFY(!menu()->复制内容->isEnabled() && !menu()->删除记录->isEnabled());
        QVERIFY(menu()->备份数据库->isEnabled() && menu()->清空数据库->isEnabled());
        // Nothing of a hint row reaches the clipboard or the editor.
        menu()->复制内容_Click();
        menu()->修改内容_Click();
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("to be added"));
        QVERIFY(!Forms::Form<mEdit>::loaded());
    }

    void deleteAsksAndRemovesOnYesOnly() {
        rightClick(2);
        m_env->answers = {msg::No, msg::Yes};
        menu()->删除记录->trigger();
        QCOMPARE(m_env->boxes, QStringList{"Vemo文本收集器|是否删除当前记录 客户's 回复"});
        QCOMPARE(cell("SELECT count(*) FROM VBcode WHERE ID = 2"), QStringLiteral("1"));
        QVERIFY(FMain::QuickListAutoClose); // a No gives the list back its closing and hovering
        rightClick(2);

        menu()->删除记录->trigger();
        QCOMPARE(rowOf(2), -1);
        QCOMPARE(list->selectedRow(), 0); // a row stays selected for the next action
        QCOMPARE(cell("SELECT count(*) FROM VBcode WHERE ID = 2"), QStringLiteral("0"));
        QVERIFY(FMain::QuickListAutoClose);
        list->加载列表(CommonCategory, false); // the refreshed cache no longer lists it
        QCOMPARE(rowOf(2), -1);
    }

    void toggleTwiceRestoresTitleAndColour() {
        // The stored title loses its apostrophe; the row shows what is stored.
        const QStringList titles = {"★★　客户s 回复", "客户s 回复"}, colours = {"#ff0000", "#000000"};
        for (int i = 0; i < 2; ++i) {
            rightClick(2);
            menu()->设置取消特别关注->trigger();
            QCOMPARE(cell("SELECT CodeName FROM VBcode WHERE ID = 2"), titles[i]);
            QCOMPARE(list->loader().text(1, col::Title), titles[i]);
            const QVariant brush = list->recordModel()->index(1, col::Title).data(Qt::ForegroundRole);
            QCOMPARE(brush.value<QBrush>().color().name(), colours[i]);
            QVERIFY(FMain::QuickListAutoClose);
        }
    }

    void refusedChangesKeepTheRow() {
        // Another window deleted the record while the list still shows it.
        QVERIFY(DataEdit::ExecSql(QStringLiteral("DELETE FROM VBcode WHERE ID = 2")));
        const QList<std::pair<QAction *, QString>> items = {{menu()->删除记录, "删除失败"},
                                                            {menu()->设置取消特别关注, "设置失败"},
                                                            {menu()->从常用中删除, "移出常用失败"}};
        for (const auto &[item, failure] : items) {
            rightClick(2);
            item->trigger();
            QCOMPARE(list->ts->text(), failure + QStringLiteral("：记录已不存在"));
            QCOMPARE(list->loader().text(rowOf(2), col::Title), QStringLiteral("客户's 回复"));
        }
    }

    void backupOneFilePerMinuteThenClear() {
        QDateTime now(QDate(2026, 3, 1), QTime(9, 5, 10));
        DataEdit::SetClock([&now] { return now; });
        menu()->prepare(list);
        for (int seconds : {0, 40, 60}) {
            now = now.addSecs(seconds);
            menu()->备份数据库->trigger();
        }
        QCOMPARE(QDir(m_env->dir() + QStringLiteral("/backup")).entryList(QDir::Files, QDir::Name),
                 (QStringList{"20260301 0905VBCode.mdb", "20260301 0906VBCode.mdb"}));
        QCOMPARE(m_env->boxes, QStringList(3, QStringLiteral("【Vemo】文本收集器提示您|数据库备份完成")));
        QVERIFY(FMain::QuickListAutoClose);

        // Clearing asks; No changes nothing, Yes keeps only the record with ID 0.
        m_env->boxes.clear();
        m_env->answers = {msg::No, msg::Yes};
        menu()->prepare(list);
        menu()->清空数据库->trigger();
        QCOMPARE(m_env->boxes, QStringList{"Vemo文本收集器|是否清空所在记录，该操作不可恢复"});
        QCOMPARE(cell("SELECT count(*) FROM VBcode"), QStringLiteral("4"));
        QCOMPARE(list->loader().rowCount(), 2);
        QVERIFY(FMain::QuickListAutoClose);

        menu()->prepare(list);
        menu()->清空数据库->trigger();
        QCOMPARE(cell("SELECT group_concat(ID) FROM VBcode"), QStringLiteral("0"));
        QCOMPARE(list->loader().rowCount(), 0);
        QVERIFY(FMain::QuickListAutoClose);
    }

    // A menu closed without a choice gives the list back its closing and hovering.
    void dismissedMenuGivesThePermissionBack() {
        menu()->popupFor(list, list->mapToGlobal(QPoint(200, 60)));
        QVERIFY(!FMain::QuickListAutoClose);
        QTRY_VERIFY(menu()->ListMenu->isVisible());
        QTest::keyClick(menu()->ListMenu, Qt::Key_Escape);
        QTRY_VERIFY(!menu()->ListMenu->isVisible());
        QVERIFY(FMain::QuickListAutoClose);
    }

    // The rows may be older than the library: the last-used row of a record
    // renamed since, or a library replaced while the list is open. Every
    // action goes by the ID, and an ID beyond 32 bits is its own record.
    void actionsGoByTheStoredRecord() {
        QVERIFY(DataEdit::ExecSql(QStringLiteral(
            "INSERT INTO VBcode VALUES (99999999999, '大号', 'Sub', '大号记录', 'big', '20240105', "
            "'常用')")));
        const QString sep(LastUsedSeparator);
        SaveSet(settings::keys::LastRecord, sep + "客户's 回复" + sep + "您好" + sep + sep + "常用" + sep +
                                                "邮件" + sep + "2" + sep + "详");
        list->setArr(true);
        list->加载列表(CommonCategory, false);
        QVERIFY(list->loader().isLastUsedRow(0));
        QVERIFY(DataEdit::ExecSql(QStringLiteral("UPDATE VBcode SET CodeName = '改过的标题' WHERE ID = 2")));
        list->selectRow(0);
        menu()->prepare(list);
        menu()->设置取消特别关注->trigger();
        QCOMPARE(cell("SELECT CodeName FROM VBcode WHERE ID = 2"), QStringLiteral("★★　改过的标题"));
        QCOMPARE(list->loader().text(0, col::Title), QStringLiteral("★★　改过的标题"));

        // Deleting the record of ID 99999999999 asks about it and deletes it, not record 0.
        rightClick(99999999999);
        m_env->answers = {msg::Yes};
        menu()->删除记录->trigger();
        QCOMPARE(m_env->boxes.last(), QStringLiteral("Vemo文本收集器|是否删除当前记录 大号记录"));
        QCOMPARE(cell("SELECT group_concat(ID) FROM VBcode WHERE ID IN (0, 99999999999)"),
                 QStringLiteral("0"));

        // The library was replaced: the record is gone, nothing changes, and the list says so.
        QVERIFY(DataEdit::ExecSql(QStringLiteral("DELETE FROM VBcode WHERE ID = 2")));
        list->selectRow(0);
        menu()->prepare(list);
        menu()->设置取消特别关注->trigger();
        QCOMPARE(list->ts->text(), QStringLiteral("设置失败：记录已不存在"));
        QCOMPARE(list->loader().text(0, col::Title), QStringLiteral("★★　改过的标题"));

        // A row whose ID is no number refuses every record action.
        SaveSet(settings::keys::LastRecord,
                sep + "坏的" + sep + "x" + sep + sep + "常用" + sep + "邮件" + sep + "2x" + sep + "详");
        list->加载列表(CommonCategory, false);
        list->selectRow(0);
        const QString before = cell("SELECT group_concat(ID || CodeName || IsUsed) FROM VBcode");
        for (QAction *item : {menu()->删除记录, menu()->添加为常用, menu()->设置取消特别关注}) {
            menu()->prepare(list);
            item->trigger();
            QCOMPARE(list->ts->text(), QStringLiteral("记录编号无效，未做任何修改"));
        }
        QCOMPARE(cell("SELECT group_concat(ID || CodeName || IsUsed) FROM VBcode"), before);
    }

    void changeAndMarkKeepTheRestOfTheRecord() {
        list->L2_Click(1); // "SQL": record 3 is not common
        rightClick(3);
        menu()->修改内容->trigger();
        mEdit *e = Forms::Form<mEdit>::peek();
        QVERIFY(e && e->isVisible() && !e->isAddMode() && !e->IsUsedCheck->isChecked());
        QCOMPARE(e->ID1->text() + e->TypeName1->currentText() + e->MoudleName1->currentText(),
                 QStringLiteral("3ClassSQL"));
        // The list is back on "常用" at once; the permission waits for the editor.
        QCOMPARE(rowOf(3), -1);
        QVERIFY(!FMain::QuickListAutoClose);
        e->UpdateCom_Click();
        QCOMPARE(cell("SELECT IsUsed || '|' || TypeName || '|' || CodeName FROM VBcode WHERE ID = 3"),
                 QStringLiteral("|Class|更新一行"));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!Forms::Form<mEdit>::loaded());
        QVERIFY(FMain::QuickListAutoClose);

        // Marking lists the record under "常用" from the next filling on.
        list->L2_Click(1);
        rightClick(3);
        menu()->添加为常用->trigger();
        QCOMPARE(cell("SELECT IsUsed FROM VBcode WHERE ID = 3"), QStringLiteral("常用"));
        QCOMPARE(list->ts->text(), QStringLiteral("选定内容已添加到常用中"));
        list->加载列表(CommonCategory, false);
        QVERIFY(rowOf(3) >= 0);

        // Unmarking removes the row although a group, not "常用", is shown.
        list->L2_Click(1);
        rightClick(1);
        menu()->从常用中删除->trigger();
        QCOMPARE(rowOf(1), -1);
        QVERIFY(rowOf(3) >= 0);
        QCOMPARE(cell("SELECT IsUsed FROM VBcode WHERE ID = 1"), QString());
        QVERIFY(FMain::QuickListAutoClose);
    }
};

QTEST_MAIN(TestListMenu)
#include "tst_list_menu.moc"
