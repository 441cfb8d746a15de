// The quick list's menu, fitted to the selected row, its items triggered on a real library file.
#include "WindowTest.h"
#include "quick_list/ListMenu.h"

#include <QDir>

class TestListMenu : public QObject {
    Q_OBJECT
    std::unique_ptr<ListFixture> f;
    QuickListWindow *list = nullptr;
    ListMenu *menu = nullptr;

    QString title(int row) const { return f->shown(row, col::Title); }

    void select(int row) { // as the menu key does, taking the row's record
        selectRow(list, row);
        openMenu(list);
        QTRY_VERIFY(menu->isVisible());
        menu->hide();
    }
    void reopen() { // as the list opens after a change from outside
        list->libraryChanged();
        QVERIFY(f->waitForRecords());
    }
    void rightClick(const QPoint &at) {
        QTest::mouseClick(recordList(list)->viewport(), Qt::RightButton, {}, at);
    }

  private slots:
    void init() {
        f = std::make_unique<ListFixture>();
        list = f->open();
        menu = listMenu(list);
    }
    void cleanup() { f.reset(); }

    void itemsFollowTheRow() {
        select(f->rowOf(2));
        QVERIFY(menu->unmarkCommon->isVisible() && !menu->markCommon->isVisible());
        showCategory(list, 1); // "SQL": record 3 is not common
        select(f->rowOf(3));
        QVERIFY(menu->markCommon->isVisible() && !menu->unmarkCommon->isVisible());
        // The hint rows of an empty library are no records.
        f->sql("DELETE FROM VBcode");
        reopen();
        select(0);
        for (QAction *item : menu->actions())
            QCOMPARE(item->isEnabled(),
                     item->isSeparator() || item == menu->backUp || item == menu->clearLibrary);
    }

    // The menu holds the list still while it is open and gives it back however it closes.
    void holdAndDelete() {
        selectRow(list, f->rowOf(2));
        const QPoint at =
            recordList(list)->visualRect(recordModel(list)->index(f->rowOf(2), col::Title)).center();
        f->env.answers = {false};
        rightClick(at);
        QVERIFY(feed(list).isHeld());
        QTRY_VERIFY(menu->isVisible());
        QTest::keyClick(menu, Qt::Key_D);
        QTRY_VERIFY(!menu->isVisible());
        QCOMPARE(f->env.boxes, QStringList{"Vemo文本收集器|是否删除当前记录 客户's 回复"});
        QCOMPARE(f->sql("SELECT count(*) FROM VBcode WHERE ID = 2"), QStringLiteral("1"));
        QVERIFY(!feed(list).isHeld());
        rightClick(at);
        QTRY_VERIFY(menu->isVisible());
        QTest::keyClick(menu, Qt::Key_Escape);
        QTRY_VERIFY(!menu->isVisible());
        QVERIFY(!feed(list).isHeld());
    }

    void toggleTwiceRestoresTitleAndColour() {
        // The stored title loses its apostrophe; the row shows what is stored.
        const QStringList titles = {"★★　客户s 回复", "客户s 回复"}, colours = {"#ff0000", "#000000"};
        for (int i = 0; i < 2; ++i) {
            select(f->rowOf(2));
            menu->toggleSpecial->trigger();
            QCOMPARE(f->sql("SELECT CodeName FROM VBcode WHERE ID = 2") + title(f->rowOf(2)),
                     titles[i] + titles[i]);
            QCOMPARE(f->shown(f->rowOf(2), col::Title, Qt::ForegroundRole), colours[i]);
        }
    }

    // The rows may be older than the library: every action goes by the ID, 64 bits wide.
    void actionsGoByTheStoredRecord() {
        f->sql(
            "INSERT INTO VBcode VALUES (99999999999, '大号', 'Sub', '大号记录', 'big', '20240105', '常用')");
        f->settings.setValue(setting::LastUsedEntry,
                             lastUsed({"客户's 回复", "您好", "", "常用", "邮件", "2", "详"}));
        reopen();
        f->sql("UPDATE VBcode SET CodeName = '改过的标题' WHERE ID = 2");
        select(0); // the last-used row
        menu->toggleSpecial->trigger();
        const QString marked = QStringLiteral("★★　改过的标题");
        QCOMPARE(f->sql("SELECT CodeName FROM VBcode WHERE ID = 2") + title(0), marked + marked);
        // The record's own row shows the new title too, in the special colour.
        const int recordRow = feed(list).rowShowing(QStringLiteral("2"));
        QVERIFY(recordRow > 0);
        QCOMPARE(title(recordRow) + f->shown(recordRow, col::Title, Qt::ForegroundRole), marked + "#ff0000");

        select(f->rowOf(99999999999));
        menu->deleteRecord->trigger(); // Yes
        QCOMPARE(f->env.boxes.last(), QStringLiteral("Vemo文本收集器|是否删除当前记录 大号记录"));
        QCOMPARE(f->sql("SELECT ID FROM VBcode WHERE ID IN (0, 99999999999)"), QStringLiteral("0"));
        QCOMPARE(f->rowOf(99999999999), -1);

        // Gone from the library since the list was filled: nothing changes, and the list says so.
        f->sql("DELETE FROM VBcode WHERE ID = 2");
        const QList<std::pair<QAction *, QString>> refusals = {{menu->deleteRecord, "删除失败"},
                                                               {menu->toggleSpecial, "设置失败"},
                                                               {menu->unmarkCommon, "移出常用失败"}};
        for (const auto &[item, failure] : refusals) {
            select(0);
            item->trigger();
            QCOMPARE(statusLabel(list)->text(), failure + QStringLiteral("：记录已不存在"));
            QCOMPARE(title(0), marked);
        }

        // A row whose ID is no whole number refuses every record action.
        f->settings.setValue(setting::LastUsedEntry, lastUsed({"坏的", "x", "", "常用", "邮件", "2x", "详"}));
        reopen();
        QSignalSpy edits(list, &QuickListWindow::editRequested);
        const QString before = f->sql("SELECT group_concat(ID || CodeName || IsUsed) FROM VBcode");
        for (QAction *item : {menu->changeRecord, menu->deleteRecord, menu->markCommon, menu->unmarkCommon,
                              menu->toggleSpecial}) {
            statusLabel(list)->setText(QString());
            select(0);
            item->trigger();
            QCOMPARE(statusLabel(list)->text(), QStringLiteral("记录编号无效，未做任何修改"));
        }
        QCOMPARE(f->sql("SELECT group_concat(ID || CodeName || IsUsed) FROM VBcode"), before);
        QCOMPARE(edits.count(), 0);
    }

    // The editor gets the record as the library holds it when 修改内容 is
    // chosen, not the row's older copy; a record gone since says so.
    void changeAsksForTheEditorWithTheStoredRecord() {
        showCategory(list, 1); // "SQL"
        select(f->rowOf(3));
        f->sql("UPDATE VBcode SET Code = '别处改过的文本' WHERE ID = 3");
        Record asked;
        QSignalSpy edits(list, &QuickListWindow::editRequested);
        connect(list, &QuickListWindow::editRequested, this, [&](const Record &r) { asked = r; });
        menu->changeRecord->trigger();
        QCOMPARE(QStringList({QString::number(asked.id), asked.group, asked.category, asked.title, asked.text,
                              asked.common ? "common" : ""}),
                 (QStringList{"3", "SQL", "Class", "更新一行", "别处改过的文本", ""}));
        QVERIFY(f->waitForRecords());
        showCategory(list, 1);
        select(f->rowOf(3));
        f->sql("DELETE FROM VBcode WHERE ID = 3");
        menu->changeRecord->trigger();
        QCOMPARE(edits.size(), 1);
        QCOMPARE(statusLabel(list)->text(), QStringLiteral("无法修改：记录已不存在"));
    }

    // The menu takes its record when it opens: the rows that arrive while it
    // is open (after a search typed during the read) change neither the rows
    // nor the record its items act on, nor the title the deletion asks about.
    void menuKeepsItsRecordWhileTheLibraryArrives_data() {
        QTest::addColumn<int>("item");
        QTest::newRow("设置\\取消特别关注") << int(Qt::Key_S);
        QTest::newRow("删除记录") << int(Qt::Key_D);
    }
    void menuKeepsItsRecordWhileTheLibraryArrives() {
        QFETCH(int, item);
        GatedLoader loader(f->store);
        f->list = std::make_unique<QuickListWindow>(f->settings, f->store, loader);
        list = f->list.get();
        menu = listMenu(list);
        list->show();
        QTRY_VERIFY(rowsOf(list).rowCount() > 1);
        QTest::keyClicks(searchBox(list), QStringLiteral("e"));
        selectRow(list, 1); // 客户's 回复, record 2, on the first screen
        const QStringList before = {title(0), title(1)};
        openMenu(list);
        QTRY_VERIFY(menu->isVisible());
        QCOMPARE(menu->recordId(), std::optional<qint64>(2));
        loader.gate.release(2); // this read, and the one after the change
        QTRY_VERIFY(!loader.isReading());
        QTest::qWait(50);
        QCOMPARE(QStringList({title(0), title(1)}), before);
        f->env.answers = {true};
        QTest::keyClick(menu, Qt::Key(item));
        QTRY_VERIFY(!menu->isVisible());
        if (item == Qt::Key_S) {
            QCOMPARE(f->sql("SELECT group_concat(ID) FROM (SELECT ID FROM VBcode WHERE CodeName LIKE '★★%' "
                            "ORDER BY ID)"),
                     QStringLiteral("1,2"));
        } else {
            QCOMPARE(f->env.boxes.last(), QStringLiteral("Vemo文本收集器|是否删除当前记录 客户's 回复"));
            QCOMPARE(f->sql("SELECT group_concat(ID) FROM (SELECT ID FROM VBcode ORDER BY ID)"),
                     QStringLiteral("0,1,3,4"));
        }
        // The rows asked for come once the menu is gone.
        QTRY_VERIFY(!feed(list).isReading());
        QCOMPARE(searchBox(list)->text(), QStringLiteral("e"));
    }

    // A library that cannot be read lists no rows; its menu still opens, with
    // the whole-library items, and the backup copies the file as it is.
    void menuOfAnUnreadableLibrary() {
        f->list.reset();
        QFile damaged(f->store.path());
        QVERIFY(damaged.open(QIODevice::WriteOnly | QIODevice::Truncate));
        damaged.write(QByteArray(4096, 'x'));
        damaged.close();
        list = f->open();
        menu = listMenu(list);
        QCOMPARE(recordModel(list)->rowCount(), 0);
        QVERIFY(statusLabel(list)->text().startsWith(QStringLiteral("无法读取文本库")));
        const QPoint at = recordList(list)->viewport()->rect().center();
        QTest::mouseClick(recordList(list)->viewport(), Qt::RightButton, {}, at);
        QTRY_VERIFY(menu->isVisible());
        for (QAction *action : menu->actions())
            QCOMPARE(action->isEnabled(),
                     action->isSeparator() || action == menu->backUp || action == menu->clearLibrary);
        QTest::keyClick(menu, Qt::Key_B);
        QTRY_VERIFY(!menu->isVisible());
        QCOMPARE(f->env.boxes.last(), QStringLiteral("【Vemo】文本收集器提示您|数据库备份完成"));
        const QStringList copies = QDir(f->env.dir() + QStringLiteral("/backup")).entryList(QDir::Files);
        QCOMPARE(copies.size(), 1);
        QFile copy(f->env.dir() + QStringLiteral("/backup/") + copies.first());
        QVERIFY(copy.open(QIODevice::ReadOnly));
        QCOMPARE(copy.readAll(), QByteArray(4096, 'x'));
    }

    void backupOneFilePerMinuteThenClear() {
        QDateTime now(QDate(2026, 3, 1), QTime(9, 5, 10));
        f->store.setClock([&now] { return now; });
        for (int seconds : {0, 40, 60}) {
            now = now.addSecs(seconds);
            menu->backUp->trigger();
        }
        QCOMPARE(QDir(f->env.dir() + QStringLiteral("/backup")).entryList(QDir::Files, QDir::Name),
                 (QStringList{"20260301 0905VBCode.mdb", "20260301 0906VBCode.mdb"}));
        QCOMPARE(f->env.boxes, QStringList(3, QStringLiteral("【Vemo】文本收集器提示您|数据库备份完成")));
        // Clearing asks; No changes nothing, Yes keeps only the record with ID 0.
        f->env.answers = {false, true};
        menu->clearLibrary->trigger();
        QCOMPARE(f->env.boxes.last(), QStringLiteral("Vemo文本收集器|是否清空所在记录，该操作不可恢复"));
        QCOMPARE(f->sql("SELECT count(*) FROM VBcode") + QString::number(rowsOf(list).rowCount()),
                 QStringLiteral("52"));
        menu->clearLibrary->trigger();
        QCOMPARE(f->sql("SELECT group_concat(ID) FROM VBcode") + QString::number(rowsOf(list).rowCount()),
                 QStringLiteral("00"));
        QVERIFY(!feed(list).isHeld());
    }
};

QTEST_MAIN(TestListMenu)
#include "tst_list_menu.moc"
