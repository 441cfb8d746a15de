// The quick list offscreen, on the fake platform and a real library file.
#include "WindowTest.h"
#include "common/BalloonTip.h"

#include <QScrollBar>

class TestQuickList : public QObject {
    Q_OBJECT
    std::unique_ptr<ListFixture> f;
    QuickListWindow *list = nullptr;

    QWidget *rows() const { return recordList(list)->viewport(); }
    QPoint cell(int row, int column) const {
        return recordList(list)->visualRect(recordModel(list)->index(row, column)).center();
    }
    void hover(int row, int column) { QTest::mouseMove(rows(), cell(row, column)); }
    QStringList titles() const {
        QStringList all;
        for (int row = 0; row < rowsOf(list).rowCount(); ++row)
            all << rowsOf(list).text(row, col::Title);
        return all;
    }
    void click(int row, int column) { QTest::mouseClick(rows(), Qt::LeftButton, {}, cell(row, column)); }

  private slots:
    void init() {
        f = std::make_unique<ListFixture>();
        QGuiApplication::clipboard()->setText(QStringLiteral("before"));
    }
    void cleanup() { f.reset(); }

    void rowsAndCategories() {
        f->settings.setValue(setting::LastUsedEntry, lastUsed({"上次", "x", "", "", "SQL", "3", "详"}));
        list = f->open();
        QCOMPARE(f->shown(0, col::Number) + f->shown(1, col::Number), QStringLiteral("最近一次001"));
        // "最近一次" is drawn whole in its column.
        QStyleOptionViewItem option;
        option.initFrom(recordList(list));
        const QModelIndex lastUsedCell = recordModel(list)->index(0, col::Number);
        QVERIFY(recordList(list)->itemDelegate()->sizeHint(option, lastUsedCell).width() <=
                recordList(list)->columnWidth(col::Number));
        QCOMPARE(f->shown(0, col::Title, Qt::ForegroundRole), QColor(LastUsedColour).name());
        QCOMPARE(f->shown(1, col::Title, Qt::ForegroundRole), QColor(SpecialColour).name());
        auto *categories = categoryModel(list);
        QCOMPARE(categories->names(), (QStringList{"常用", "SQL", "邮件", "签名", "其他"}));
        QCOMPARE(categories->highlighted(), 0);
        showCategory(list, 1);
        QCOMPARE(categories->highlighted(), 1);
        QCOMPARE(f->shown(2, col::Title), QStringLiteral("更新一行"));
        // A search highlights no category; clearing it goes back to "常用".
        searchBox(list)->setText(QStringLiteral("UPDATE"));
        QCOMPARE(categories->highlighted(), -1);
        searchBox(list)->clear();
        QCOMPARE(categories->highlighted(), 0);
        QCOMPARE(f->shown(2, col::Title), QStringLiteral("客户's 回复"));
    }

    // An empty library offers two hint rows that execute nothing; an unreadable one is no empty library.
    void emptyOrUnreadableLibrary() {
        f->env.makeLibrary();
        list = f->open();
        QCOMPARE(f->shown(0, col::Title) + f->shown(1, col::Title), HintLine1 + HintLine2);
        click(0, col::Title);
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("before"));
        QVERIFY(list->isVisible() && f->settings.value(setting::LastUsedEntry).isEmpty());
        QFile::remove(f->store.path());
        list = f->open();
        QCOMPARE(recordModel(list)->rowCount(), 0);
        QCOMPARE(statusLabel(list)->text(), QStringLiteral("缺少Vbcode.mb文件"));
    }

    void clickModes_data() {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<bool>("closes");
        QTest::addColumn<int>("runsOn"); // 1 the click, 2 the double-click, 0 neither
        QTest::newRow("click") << choice::ClickExecutes << true << 1;
        QTest::newRow("double-click") << choice::DoubleClickExecutes << true << 2;
        QTest::newRow("any other text") << QStringLiteral("不执行") << true << 0;
        QTest::newRow("stays open, copies") << choice::ClickExecutes << false << 1;
    }
    void clickModes() {
        QFETCH(QString, mode);
        QFETCH(bool, closes);
        QFETCH(int, runsOn);
        f->settings.setValue(setting::ListClickMode, mode);
        f->settings.setValue(setting::ListClosesItself, closes);
        list = f->open();
        QCOMPARE(list->windowFlags().testFlag(Qt::WindowStaysOnTopHint), !closes);
        QSignalSpy chosen(list, &QuickListWindow::entryChosen);
        click(1, col::Title);
        if (runsOn != 1) {
            QCOMPARE(selectedRow(list), 1);
            QTest::mouseDClick(rows(), Qt::LeftButton, {}, cell(1, col::Title));
            QTest::mouseRelease(rows(), Qt::LeftButton, {}, cell(1, col::Title)); // QtTest leaves it held
        }
        const bool ran = runsOn != 0, copies = ran && !closes;
        const QString text = QStringLiteral("您好，已收到。");
        QCOMPARE(chosen.value(0).value(0).toString(), ran && closes ? text : QString());
        QCOMPARE(list->isVisible(), !(ran && closes));
        QCOMPARE(QGuiApplication::clipboard()->text(), copies ? text : QStringLiteral("before"));
        QCOMPARE(statusLabel(list)->text() == QStringLiteral("当前点击的内容已复制"), copies);
        QTRY_COMPARE(f->settings.value(setting::LastUsedEntry),
                     ran ? lastUsed({"客户's 回复", text, "", "常用", "邮件", "2", "详"}) : QString());
    }

    void balloonAndHovering() {
        list = f->open();
        // A click on "详" brings up that row's balloon, its title drawn whole.
        hover(1, RecordListModel::DetailColumn);
        QTRY_VERIFY(balloon(list) && balloon(list)->isVisible());
        click(1, RecordListModel::DetailColumn);
        QTRY_VERIFY(balloon(list) && balloon(list)->isVisible());
        balloon(list)->grab();
        QCOMPARE(balloon(list)->drawnTitle(), QStringLiteral("客户's 回复"));
        // Moving on to another row while it is up shows that row's balloon at once.
        hover(0, RecordListModel::DetailColumn);
        QVERIFY(balloon(list)->isVisible());
        QCOMPARE(balloon(list)->title(), QStringLiteral("★★　查询全部"));

        // While something holds the list, hovering does nothing.
        showCategory(list, 1); // "SQL": two rows
        const auto hold = list->keepOpen();
        QVERIFY(!balloon(list)->isVisible());
        hover(1, col::Title);
        QTest::qWait(150);
        QVERIFY(selectedRow(list) == 0 && !balloon(list)->isVisible());
    }

    // What is typed while the library is still being read waits for it: the
    // rows are those of typing afterwards, and Return takes the row the arrow
    // keys pressed meanwhile lead to.
    void typingWhileReading() {
        list = f->open();
        QTest::keyClicks(searchBox(list), QStringLiteral("e"));
        const QStringList typedAfter = titles();
        QVERIFY(typedAfter.size() > 2);
        const QString secondText = rowsOf(list).text(1, col::Text);

        GatedLoader loader(f->store);
        f->list = std::make_unique<QuickListWindow>(f->settings, f->store, loader);
        list = f->list.get();
        list->show();
        QTRY_VERIFY(rowsOf(list).rowCount() > 0);
        QVERIFY(feed(list).isReading() && !rowsOf(list).table().isComplete());
        const QStringList firstScreen = titles();
        QCOMPARE(firstScreen, (QStringList{"★★　查询全部", "客户's 回复"}));
        QSignalSpy chosen(list, &QuickListWindow::entryChosen);
        QTest::keyClicks(searchBox(list), QStringLiteral("e"));
        QTest::keyClick(searchBox(list), Qt::Key_Down);
        QTest::keyClick(searchBox(list), Qt::Key_Return);
        QCOMPARE(titles(), firstScreen);
        QVERIFY(chosen.isEmpty() && list->isVisible());
        loader.gate.release();
        QTRY_VERIFY(!feed(list).isReading());
        QCOMPARE(titles(), typedAfter);
        QCOMPARE(chosen.size(), 1);
        QCOMPARE(chosen.value(0).value(0).toString(), secondText);
    }

    // A second opening takes the records read for the first while the file
    // is unchanged, and reads again after another program wrote to it.
    void reopening() {
        list = f->open();
        f->list = std::make_unique<QuickListWindow>(f->settings, f->store, f->loader);
        list = f->list.get();
        QVERIFY(!feed(list).isReading() && rowsOf(list).table().size() == 5);
        f->sql("UPDATE VBcode SET CodeName = '别处改过' WHERE ID = 2");
        f->list = std::make_unique<QuickListWindow>(f->settings, f->store, f->loader);
        list = f->list.get();
        list->show();
        QVERIFY(feed(list).isReading());
        QTRY_COMPARE(titles().value(1), QStringLiteral("别处改过"));
        QVERIFY(f->waitForRecords());
        QCOMPARE(titles().value(1), QStringLiteral("别处改过"));
        // Kept a while after the list closed, then given back.
        f->list.reset();
        QSignalSpy released(&f->loader, &RecordLoader::released);
        f->loader.releaseLater(10);
        QTRY_COMPARE(released.size(), 1);
        f->list = std::make_unique<QuickListWindow>(f->settings, f->store, f->loader);
        QVERIFY(feed(f->list.get()).isReading());
    }

    // A list closed while its read runs leaves the read to finish for the
    // next opening; a loader destroyed meanwhile abandons it.
    void closingWhileReading() {
        auto loader = std::make_unique<GatedLoader>(f->store);
        f->list = std::make_unique<QuickListWindow>(f->settings, f->store, *loader);
        f->list->show();
        QVERIFY(feed(f->list.get()).isReading());
        QTRY_VERIFY(loader->isReading());
        f->list.reset();
        loader->gate.release();
        QTRY_VERIFY(!loader->isReading());
        f->list = std::make_unique<QuickListWindow>(f->settings, f->store, *loader);
        QVERIFY(!feed(f->list.get()).isReading() && rowsOf(f->list.get()).table().isComplete());
        f->list.reset();
        loader->start();
        QVERIFY(loader->isReading());
        loader.reset();
    }

    // The list is on the screen before it reads anything: keys typed at
    // once go into its search box and wait there for the rows.
    void shownBeforeReading() {
        GatedLoader loader(f->store);
        f->list = std::make_unique<QuickListWindow>(f->settings, f->store, loader);
        list = f->list.get();
        QVERIFY(rowsOf(list).table().isEmpty() && rowsOf(list).rowCount() == 0);
        list->show();
        QTest::keyClicks(searchBox(list), QStringLiteral("UPD"));
        QTest::keyClick(searchBox(list), Qt::Key_Return);
        QCOMPARE(searchBox(list)->text(), QStringLiteral("UPD"));
        QSignalSpy chosen(list, &QuickListWindow::entryChosen);
        QTRY_VERIFY(rowsOf(list).rowCount() > 0);
        QVERIFY(chosen.isEmpty());
        loader.gate.release();
        QTRY_COMPARE(chosen.size(), 1);
        QCOMPARE(chosen.value(0).value(0).toString(), QStringLiteral("UPDATE t"));
    }

    // While the rows are not yet those asked for, the status line says so and
    // a click executes nothing; the arrival brings the status back.
    void staleRowsSayAndIgnoreClicks() {
        f->settings.setValue(setting::ListClickMode, choice::ClickExecutes);
        GatedLoader loader(f->store);
        f->list = std::make_unique<QuickListWindow>(f->settings, f->store, loader);
        list = f->list.get();
        list->show();
        QTRY_VERIFY(rowsOf(list).rowCount() > 1);
        const QString status = statusLabel(list)->text();
        QTest::keyClicks(searchBox(list), QStringLiteral("UPDATE"));
        QCOMPARE(statusLabel(list)->text(), QStringLiteral("正在读取文本库，请稍候…"));
        QSignalSpy chosen(list, &QuickListWindow::entryChosen);
        click(1, col::Title);
        QCOMPARE(chosen.size(), 0);
        loader.gate.release();
        QTRY_VERIFY(!feed(list).isReading());
        QCOMPARE(statusLabel(list)->text(), status);
        QCOMPARE(titles(), QStringList{"更新一行"});
    }

    // The first screen is exactly the top of the whole list, with more than
    // a screen of common records, of other records in the group "常用", and
    // of the rest; a row selected meanwhile stays on its record.
    void firstScreenIsTheTopOfTheWholeList() {
        const QString records = QStringLiteral(
            "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 70) "
            "INSERT INTO VBcode SELECT i, 'A', 'Sub', 'common ' || i, 'c' || i, printf('2024%06d', i), "
            "'常用' "
            "FROM n UNION ALL SELECT 100 + i, '常用', 'Sub', 'group ' || i, 'g' || i, printf('2025%06d', i), "
            "'' "
            "FROM n UNION ALL SELECT 200 + i, 'B', 'Sub', 'other ' || i, 'o' || i, printf('2026%06d', i), '' "
            "FROM n;");
        f = std::make_unique<ListFixture>(records);
        list = f->open();
        const QStringList whole = titles();
        QCOMPARE(whole.size(), 140);
        QCOMPARE(whole.value(69) + whole.value(70), QStringLiteral("common 1group 70"));

        GatedLoader loader(f->store);
        f->list = std::make_unique<QuickListWindow>(f->settings, f->store, loader);
        list = f->list.get();
        list->show();
        QTRY_VERIFY(rowsOf(list).rowCount() > 0);
        QCOMPARE(titles(), whole.mid(0, 64));
        for (int i = 0; i < 66; ++i)
            QTest::keyClick(searchBox(list), Qt::Key_Down);
        const int selected = selectedRow(list);
        QCOMPARE(f->shown(selected, col::Title), whole.value(selected));
        loader.gate.release();
        QTRY_VERIFY(!feed(list).isReading());
        QCOMPARE(titles(), whole);
        QCOMPARE(selectedRow(list), selected);

        // Scrolled away from the selected row (the wheel moves no selection):
        // the rows on top stay on top when the whole list comes.
        GatedLoader again(f->store);
        f->list = std::make_unique<QuickListWindow>(f->settings, f->store, again);
        list = f->list.get();
        list->show();
        QTRY_VERIFY(rowsOf(list).rowCount() > 0);
        selectRow(list, 2);
        QScrollBar *scroll = recordList(list)->verticalScrollBar();
        scroll->setValue(scroll->maximum() - 3);
        const auto topTitle = [&] {
            return f->shown(recordList(list)->indexAt(QPoint(1, 1)).row(), col::Title);
        };
        const QString top = topTitle();
        QVERIFY(top.startsWith("common") && top != f->shown(0, col::Title));
        again.gate.release();
        QTRY_VERIFY(!feed(list).isReading());
        QCOMPARE(topTitle(), top);
        QCOMPARE(selectedRow(list), 2);
    }

    // Records that arrive while a menu, a box or the editor holds the list do
    // not change its rows until the hold ends.
    void rowsKeepStillWhileHeld() {
        GatedLoader loader(f->store);
        f->list = std::make_unique<QuickListWindow>(f->settings, f->store, loader);
        list = f->list.get();
        list->show();
        QTRY_VERIFY(rowsOf(list).rowCount() > 0);
        QTest::keyClicks(searchBox(list), QStringLiteral("e"));
        const QStringList before = titles();
        selectRow(list, 1);
        auto hold = list->keepOpen();
        loader.gate.release();
        QTRY_VERIFY(!loader.isReading());
        QTest::qWait(50);
        QCOMPARE(titles(), before);
        QCOMPARE(selectedRow(list), 1);
        hold.reset();
        QTRY_VERIFY(!feed(list).isReading());
        QVERIFY(titles() != before);
    }

    void outsideClicks() {
        list = f->open();
        const QRect frame = list->frameGeometry();
        const QRect icon(frame.topLeft() - QPoint(60, 60), QSize(40, 40));
        list->setOwnIconTest([&](const QPoint &p) { return icon.contains(p); });
        f->fake->held = {platform::vk::LeftButton};
        // The list itself to its outermost pixels, and the program's own icon.
        for (const QPoint &p : {frame.topLeft(), frame.bottomRight(), icon.center()}) {
            QCursor::setPos(p);
            QTest::qWait(250);
            QVERIFY(list->isVisible());
        }
        QCursor::setPos(frame.bottomRight() + QPoint(20, 20));
        {
            const auto hold = list->keepOpen(); // a menu or a box of the list is in use
            QTest::qWait(250);
            QVERIFY(list->isVisible());
        }
        QTRY_VERIFY(!list->isVisible());
    }
};

QTEST_MAIN(TestQuickList)
#include "tst_quick_list.moc"
