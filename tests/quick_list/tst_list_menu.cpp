// The quick list's context menu offscreen, on the fake platform and a real
// library file in a temporary folder. The popup itself blocks nothing here:
// the opening is tested through prepare() and the items are triggered.
#include "CTooltip.h"
#include "FMain.h"
#include "FakePlatform.h"
#include "MessageBox.h"
#include "TestEnv.h"
#include "editor/mEdit.h"
#include "quick_list/FavList.h"
#include "quick_list/mMenu.h"
#include "store/DataEdit.h"
#include "store/LibrarySchema.h"

#include <QApplication>
#include <QBrush>
#include <QClipboard>
#include <QDir>
#include <QLabel>
#include <QTest>
#include <sqlite3.h>

using namespace quicklist;

namespace {

// ID, group, category, title, text, common; the change stamps follow the order.
struct Rec {
    int id;
    QString group, type, title, text, common;
};

const QList<Rec> Sample = {
    {1, "SQL", "Function", "★★　查询全部", "SELECT * FROM t", "常用"},
    {2, "邮件", "Sub", "回复模板", "您好，已收到，谢谢。", "常用"},
    {3, "SQL", "Class", "更新一行", "UPDATE t SET a = 1", ""},
    {0, "其他", "API", "零号记录", "ID 0 is kept by clearing", ""},
};

QString cell(const QString &sql, const QVariantList &params = {}) {
    const DataEdit::RowArray r = DataEdit::GetRecordset(DataEdit::LibraryPath(), sql, params);
    return r.rowCount() > 0 ? r.at(0, 0).toString() : QStringLiteral("<none>");
}

QString titleColour(FavList *f, int row) {
    const QVariant brush = f->recordModel()->index(row, col::Title).data(Qt::ForegroundRole);
    return brush.isValid() ? brush.value<QBrush>().color().name() : QStringLiteral("text");
}

} // namespace

class TestListMenu : public QObject {
    Q_OBJECT

  private slots:
    void init();
    void cleanup();

    void itemsAndOpening();
    void hintRowsOfferOnlyTheLibraryItems();
    void deleteAsksAndRemovesOnYesOnly();
    void markAndUnmark();
    void toggleTwiceRestoresTitleAndColour();
    void refusedChangesLeaveTheRows();
    void backupOneFilePerMinute();
    void clearAsksAndKeepsIdZero();
    void changeKeepsFlagAndCategory();

  private:
    FavList *open(const QList<Rec> &records = Sample);
    int rowOf(FavList *f, int id) const;
    mMenu *menu() { return Forms::Form<mMenu>::get(); }
    // Selects the row of the record and prepares the menu on it, as a right click would.
    void rightClick(FavList *f, int id);

    std::unique_ptr<TestEnv> m_env;
    std::unique_ptr<FakePlatformGuard> m_fake;
};

void TestListMenu::init() {
    m_env = std::make_unique<TestEnv>();
    m_fake = std::make_unique<FakePlatformGuard>();
    DataEdit::SetLibraryPath(m_env->dir() + QStringLiteral("/VBCode.mdb"));
    DataEdit::SetClock({});
    FMain::QuickListAutoClose = true;
}

void TestListMenu::cleanup() {
    Forms::Form<mEdit>::unload();
    Forms::Form<FavList>::unload();
    Forms::Form<mMenu>::unload();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    DataEdit::SetClock({});
    m_fake.reset();
    m_env.reset();
}

FavList *TestListMenu::open(const QList<Rec> &records) {
    sqlite3 *db = nullptr;
    const QByteArray path = DataEdit::LibraryPath().toUtf8();
    if (sqlite3_open(path.constData(), &db) != SQLITE_OK ||
        sqlite3_exec(db, librarySchema::CreateSql, nullptr, nullptr, nullptr) != SQLITE_OK)
        qFatal("cannot create the library");
    sqlite3_close(db);
    int stamp = 0;
    for (const Rec &r : records)
        if (!DataEdit::ExecSql(QStringLiteral("INSERT INTO VBcode VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7)"),
                               {r.id, r.group, r.type, r.title, r.text,
                                QStringLiteral("202401%1000000").arg(50 - ++stamp), r.common}))
            qFatal("cannot fill the library");
    FavList *f = Forms::Form<FavList>::get();
    f->move(600, 100);
    f->show();
    if (!QTest::qWaitForWindowExposed(f))
        qWarning("quick list not exposed");
    return f;
}

int TestListMenu::rowOf(FavList *f, int id) const {
    for (int row = 0; row < f->loader().rowCount(); ++row)
        if (f->loader().text(row, col::Id) == QString::number(id))
            return row;
    return -1;
}

void TestListMenu::rightClick(FavList *f, int id) {
    const int row = rowOf(f, id);
    QVERIFY2(row >= 0, "record not listed");
    f->selectRow(row);
    menu()->prepare(f);
}

void TestListMenu::itemsAndOpening() {
    FavList *f = open();
    QStringList items;
    for (QAction *a : menu()->ListMenu->actions())
        items << (a->isSeparator() ? QStringLiteral("-") : a->text());
    QCOMPARE(items,
             (QStringList{"修改内容 &E", "复制内容 &C", "删除记录 &D", "-", "添加为常用 &A",
                          "从常用中删除 &A", "设置\\取消特别关注 &S", "-", "备份数据库 &B", "清空数据库"}));
    QVERIFY(!menu()->isVisible());

    // A balloon over the common record goes when the menu opens.
    f->ShowItemTip(100);
    QVERIFY(f->tip());
    rightClick(f, 2);
    QVERIFY(!f->tip());
    QVERIFY(!FMain::QuickListAutoClose);
    QVERIFY(menu()->从常用中删除->isVisible() && !menu()->添加为常用->isVisible());

    f->L2_Click(1); // "SQL": record 3 is not common
    rightClick(f, 3);
    QVERIFY(menu()->添加为常用->isVisible() && !menu()->从常用中删除->isVisible());
    // Dismissing the menu leaves the permission off until an item sets it.
    QVERIFY(!FMain::QuickListAutoClose);
    menu()->复制内容->trigger();
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("UPDATE t SET a = 1"));
    QCOMPARE(f->ts->text(), QStringLiteral("选定内容已复制到剪贴板中"));
    QVERIFY(FMain::QuickListAutoClose);
}

void TestListMenu::hintRowsOfferOnlyTheLibraryItems() {
    FavList *f = open({});
    QCOMPARE(f->loader().rowCount(), 2);
    QGuiApplication::clipboard()->setText(QStringLiteral("to be added"));
    menu()->prepare(f);
    QVERIFY(!menu()->复制内容->isEnabled() && !menu()->删除记录->isEnabled() &&
            !menu()->修改内容->isEnabled());
    QVERIFY(menu()->备份数据库->isEnabled() && menu()->清空数据库->isEnabled());
    // Nothing of a hint row reaches the clipboard or the editor.
    menu()->复制内容_Click();
    menu()->修改内容_Click();
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("to be added"));
    QVERIFY(!Forms::Form<mEdit>::loaded());
}

void TestListMenu::deleteAsksAndRemovesOnYesOnly() {
    FavList *f = open();
    rightClick(f, 2);
    m_env->answers = {msg::No};
    menu()->删除记录->trigger();
    QCOMPARE(m_env->boxes, QStringList{"Vemo文本收集器|是否删除当前记录 回复模板"});
    QCOMPARE(m_env->styles, QList<int>{msg::YesNoInfo});
    QCOMPARE(rowOf(f, 2), 1);
    QCOMPARE(cell("SELECT count(*) FROM VBcode WHERE ID = 2"), QStringLiteral("1"));
    QVERIFY(!FMain::QuickListAutoClose);

    m_env->answers = {msg::Yes};
    menu()->删除记录->trigger();
    QCOMPARE(rowOf(f, 2), -1);
    QCOMPARE(f->loader().rowCount(), 1);
    QCOMPARE(f->selectedRow(), 0); // a row stays selected for the next action
    QCOMPARE(cell("SELECT count(*) FROM VBcode WHERE ID = 2"), QStringLiteral("0"));
    QVERIFY(FMain::QuickListAutoClose);
    // The cache was refreshed: the next filling no longer lists it.
    f->加载列表(CommonCategory, false);
    QCOMPARE(rowOf(f, 2), -1);
}

void TestListMenu::markAndUnmark() {
    FavList *f = open();
    f->L2_Click(1); // "SQL"
    rightClick(f, 3);
    menu()->添加为常用->trigger();
    QCOMPARE(cell("SELECT IsUsed FROM VBcode WHERE ID = 3"), QStringLiteral("常用"));
    QCOMPARE(f->ts->text(), QStringLiteral("选定内容已添加到常用中"));
    QCOMPARE(f->loader().text(rowOf(f, 3), col::Common), QString()); // unchanged until refilled
    QVERIFY(FMain::QuickListAutoClose);
    f->加载列表(CommonCategory, false);
    QVERIFY(rowOf(f, 3) >= 0);

    // Unmarking removes the row although a group, not "常用", is shown.
    f->L2_Click(1);
    rightClick(f, 1);
    QVERIFY(menu()->从常用中删除->isVisible());
    menu()->从常用中删除->trigger();
    QCOMPARE(rowOf(f, 1), -1);
    QVERIFY(rowOf(f, 3) >= 0);
    QCOMPARE(cell("SELECT IsUsed FROM VBcode WHERE ID = 1"), QString());
    QVERIFY(FMain::QuickListAutoClose);
}

void TestListMenu::toggleTwiceRestoresTitleAndColour() {
    FavList *f = open({{7, "邮件", "Sub", "客户's 回复", "text", "常用"}});
    rightClick(f, 7);
    const int row = rowOf(f, 7);
    QCOMPARE(titleColour(f, row), QStringLiteral("text"));
    menu()->设置取消特别关注->trigger();
    // The stored title has no apostrophe; the row shows what is stored.
    QCOMPARE(cell("SELECT CodeName FROM VBcode WHERE ID = 7"), QStringLiteral("★★　客户s 回复"));
    QCOMPARE(f->loader().text(row, col::Title), QStringLiteral("★★　客户s 回复"));
    QCOMPARE(titleColour(f, row), QStringLiteral("#ff0000"));
    QVERIFY(FMain::QuickListAutoClose);

    menu()->prepare(f);
    menu()->设置取消特别关注->trigger();
    QCOMPARE(cell("SELECT CodeName FROM VBcode WHERE ID = 7"), QStringLiteral("客户s 回复"));
    QCOMPARE(f->loader().text(row, col::Title), QStringLiteral("客户s 回复"));
    QCOMPARE(titleColour(f, row), QStringLiteral("text"));
    QCOMPARE(f->selectedRow(), row);
    QVERIFY(FMain::QuickListAutoClose);
}

void TestListMenu::refusedChangesLeaveTheRows() {
    FavList *f = open();
    // Another window deleted the record while the list still shows it.
    QVERIFY(DataEdit::ExecSql(QStringLiteral("DELETE FROM VBcode WHERE ID = 2")));
    rightClick(f, 2);
    menu()->删除记录->trigger();
    QCOMPARE(rowOf(f, 2), 1);
    QCOMPARE(f->ts->text(), QStringLiteral("删除失败：记录已不存在或数据库无法写入"));
    QVERIFY(FMain::QuickListAutoClose);

    menu()->prepare(f);
    menu()->设置取消特别关注->trigger();
    QCOMPARE(f->loader().text(1, col::Title), QStringLiteral("回复模板"));
    QCOMPARE(f->ts->text(), QStringLiteral("设置失败：记录已不存在或数据库无法写入"));

    // A missing library refuses the mark the same way.
    QVERIFY(QFile::remove(DataEdit::LibraryPath()));
    menu()->prepare(f);
    menu()->添加为常用->trigger();
    QCOMPARE(f->ts->text(), QStringLiteral("添加失败：记录已不存在或数据库无法写入"));
    QVERIFY(!QFile::exists(DataEdit::LibraryPath()));
}

void TestListMenu::backupOneFilePerMinute() {
    FavList *f = open();
    QDateTime now(QDate(2026, 3, 1), QTime(9, 5, 10));
    DataEdit::SetClock([&now] { return now; });
    const QDir backup(m_env->dir() + QStringLiteral("/backup"));
    const auto files = [&] { return backup.entryList(QDir::Files, QDir::Name); };

    menu()->prepare(f);
    menu()->备份数据库->trigger();
    QVERIFY(FMain::QuickListAutoClose);
    now = now.addSecs(40);
    menu()->备份数据库->trigger();
    QCOMPARE(files(), QStringList{"20260301 0905VBCode.mdb"});
    now = now.addSecs(60);
    menu()->备份数据库->trigger();
    QCOMPARE(files(), (QStringList{"20260301 0905VBCode.mdb", "20260301 0906VBCode.mdb"}));
    QCOMPARE(m_env->boxes, QStringList(3, QStringLiteral("【Vemo】文本收集器提示您|数据库备份完成")));
}

void TestListMenu::clearAsksAndKeepsIdZero() {
    FavList *f = open();
    const int rows = f->loader().rowCount();
    menu()->prepare(f);
    m_env->answers = {msg::No};
    menu()->清空数据库->trigger();
    QCOMPARE(m_env->boxes, QStringList{"Vemo文本收集器|是否清空所在记录，该操作不可恢复"});
    QCOMPARE(cell("SELECT count(*) FROM VBcode"), QStringLiteral("4"));
    QCOMPARE(f->loader().rowCount(), rows);
    QVERIFY(!FMain::QuickListAutoClose);

    m_env->answers = {msg::Yes};
    menu()->清空数据库->trigger();
    QCOMPARE(cell("SELECT group_concat(ID) FROM VBcode"), QStringLiteral("0"));
    QCOMPARE(f->loader().rowCount(), 0);
    QCOMPARE(f->selectedRow(), -1);
    QVERIFY(FMain::QuickListAutoClose);
    f->L2_Click(f->categoryModel()->names().indexOf(QStringLiteral("其他")));
    QCOMPARE(f->loader().rowCount(), 1);
}

void TestListMenu::changeKeepsFlagAndCategory() {
    FavList *f = open();
    f->L2_Click(1); // "SQL"
    rightClick(f, 3);
    menu()->修改内容->trigger();
    mEdit *e = Forms::Form<mEdit>::peek();
    QVERIFY(e && e->isVisible());
    QVERIFY(!e->isAddMode());
    QCOMPARE(e->ID1->text(), QStringLiteral("3"));
    QCOMPARE(e->CodeName1->text(), QStringLiteral("更新一行"));
    QCOMPARE(e->TypeName1->currentText(), QStringLiteral("Class"));
    QCOMPARE(e->MoudleName1->currentText(), QStringLiteral("SQL"));
    QVERIFY(!e->IsUsedCheck->isChecked());
    // The list is back on "常用" at once; the permission waits for the editor.
    QCOMPARE(rowOf(f, 3), -1);
    QVERIFY(rowOf(f, 2) >= 0);
    QVERIFY(!FMain::QuickListAutoClose);

    m_env->answers = {msg::Yes};
    e->UpdateCom_Click();
    QCOMPARE(cell("SELECT IsUsed || '|' || TypeName || '|' || CodeName FROM VBcode WHERE ID = 3"),
             QStringLiteral("|Class|更新一行"));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!Forms::Form<mEdit>::loaded());
    QVERIFY(FMain::QuickListAutoClose);
}

QTEST_MAIN(TestListMenu)
#include "tst_list_menu.moc"
