// The team library in the running program, offscreen on the fake platform,
// against a PostgreSQL server of the test's own: the team's categories after
// the member's own, team records found and pasted byte for byte, a change by
// anybody reaching an open list, a reader's refusal in words, a conflicting
// edit that keeps the user's text, and the list while the server is down.
#include "Parts.h"
#include "PgCluster.h"
#include "ProgramFixture.h"
#include "QuickListParts.h"
#include "TeamServer.h"
#include "editor/RecordEditor.h"

#include <QClipboard>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest>

namespace {

const QString OwnRecords = QStringLiteral(
    "INSERT INTO VBcode VALUES (1, '组', 'Sub', '自己的标题', '自己的文本', '20200101000002', '常用');");

// Texts that must come back exactly: line ends of every kind, tabs, control
// characters, emoji and right-to-left marks.
const QList<QByteArray> Hostile = {
    QByteArray("hostile-1 a\r\nb\rc\nd\te"),
    QByteArray("hostile-2 \x01\x02\x1b[31m\x7f end"),
    QByteArray("hostile-3 \xf0\x9f\x98\x80\xf0\x9f\x91\xa9\xe2\x80\x8d\xf0\x9f\x92\xbb emoji"),
    QByteArray(
        "hostile-4 \xe2\x80\xae\xd7\xa9\xd7\x9c\xd7\x95\xd7\x9d \xd9\x85\xd8\xb1\xd8\xad\xd8\xa8\xd8\xa7 "
        "\xe2\x80\xac end"),
    QByteArray("  hostile-5 trailing spaces and a last line end  \r\n"),
};

} // namespace

class TestTeamList : public QObject, ProgramFixture {
    Q_OBJECT
    std::unique_ptr<PgCluster> server;

    std::unique_ptr<team::Server> as(const QString &user) {
        auto s = std::make_unique<team::Server>();
        s->open(server->conninfo(user));
        return s;
    }
    TeamRecord add(const QString &user, const QByteArray &group, const QByteArray &title,
                   const QByteArray &text) {
        TeamRecord r;
        r.group = group, r.category = "Sub", r.title = title, r.text = text;
        const auto added = as(user)->add(r);
        if (!added)
            qWarning("add failed");
        return added ? added.value() : TeamRecord{};
    }
    // The program started as `user`, its team library online with `records` records.
    void start(const QString &user, int records) {
        app->settings().setValue(setting::TeamLibrary, server->conninfo(user));
        QVERIFY(app->start());
        QTRY_COMPARE_WITH_TIMEOUT(app->team().state(), TeamLibrary::State::Online, 10000);
        QTRY_COMPARE(app->team().size(), records);
    }
    void openList() {
        QVERIFY(platform().pressHotkey(117));
        QVERIFY(list() && list()->isVisible());
        QTRY_VERIFY(!feed(list()).isReading());
    }
    // The row showing a title after a search for it; -1 when none does.
    int search(const QString &text, const QString &title) {
        searchBox(list())->setText(text);
        if (!QTest::qWaitFor([&] { return !feed(list()).isWaiting(); }))
            return -1;
        for (int row = 0; row < rowsOf(list()).rowCount(); ++row)
            if (rowsOf(list()).text(row, col::Title) == title)
                return row;
        return -1;
    }
    QString shown(int row, int column = col::Title) {
        return recordModel(list())->index(row, column).data().toString();
    }

  private slots:
    void initTestCase() {
        server = std::make_unique<PgCluster>();
        QVERIFY2(server->ok(), qPrintable(server->why()));
        team::Server admin;
        QVERIFY(admin.open(server->conninfo(QStringLiteral("vemo_admin"))).ok());
        QVERIFY(admin.initialize().ok());
        server->addUser(QStringLiteral("alice"), QStringLiteral("alice-pass"));
        server->addUser(QStringLiteral("bob"), QStringLiteral("bob-pass"));
        server->addUser(QStringLiteral("carol"), QStringLiteral("carol-pass"));
        server->sql(QStringLiteral("GRANT vemo_reader TO alice; GRANT vemo_editor TO bob, carol"));
    }
    void init() {
        server->sql(QStringLiteral("DELETE FROM vemo.\"VBcode\""));
        setUpProgram();
        qputenv("XDG_DATA_HOME", env->dir().toUtf8());
        platform().windows = {42};
        platform().foreground = 42;
        app = std::make_unique<Application>(env->dir());
        env->makeLibrary(OwnRecords);
    }
    void cleanup() {
        // What the last list left to do after a paste is done before the program goes.
        QTest::qWait(50);
        tearDownProgram();
    }

    // The team's groups are categories after the member's own; a search finds
    // team records, marked in their number; each pastes exactly as stored.
    void teamRecordsListedFoundAndPasted() {
        for (int i = 0; i < Hostile.size(); ++i)
            add(QStringLiteral("bob"), "客服话术", "团队标题" + QByteArray::number(i), Hostile[i]);
        start(QStringLiteral("bob"), int(Hostile.size()));
        openList();
        QCOMPARE(categoryModel(list())->names(), (QStringList{"常用", "组", "团队·客服话术"}));
        showCategory(list(), 2);
        QTRY_COMPARE(rowsOf(list()).rowCount(), int(Hostile.size()));
        QVERIFY(shown(0, col::Number).startsWith(QStringLiteral("团")));
        // A new team group arrives while a team category is shown: it stays highlighted.
        add(QStringLiteral("bob"), "新组", "新组的标题", "x");
        QTRY_VERIFY_WITH_TIMEOUT(categoryModel(list())->names().contains(QStringLiteral("团队·新组")), 2000);
        QCOMPARE(categoryModel(list())->highlighted(), categoryModel(list())->names().indexOf("团队·客服话术"));
        QCOMPARE(rowsOf(list()).rowCount(), int(Hostile.size()));

        QString pastedText;
        platform().onPaste = [&] { pastedText = QGuiApplication::clipboard()->text(); };
        for (int i = 0; i < Hostile.size(); ++i) {
            openList();
            const QString title = QStringLiteral("团队标题%1").arg(i);
            const int row = search(QStringLiteral("hostile-%1").arg(i + 1), title);
            QVERIFY2(row >= 0, qPrintable(title));
            QCOMPARE(rowsOf(list()).text(row, col::Group), QStringLiteral("团队·客服话术"));
            selectRow(list(), row);
            executeSelected(list());
            QCOMPARE(pastedText.toUtf8(), Hostile[i]);
            QTRY_VERIFY(!list()); // closed once the paste is done
        }
        // The pinyin search reaches team titles too; the member's own still come first.
        openList();
        const int own = search(QStringLiteral("bt"), QStringLiteral("自己的标题"));
        const int team = search(QStringLiteral("bt"), QStringLiteral("团队标题0"));
        QVERIFY(own >= 0 && team > own);
        QVERIFY(!shown(own, col::Number).startsWith(QStringLiteral("团")));
    }

    // A change on the server reaches the open list within 2 s, the search and
    // the selected record kept; a reader's delete is refused in words.
    void changesArriveAndReaderIsRefused() {
        const TeamRecord kept = add(QStringLiteral("bob"), "话术", "保留的记录", "kept");
        start(QStringLiteral("alice"), 1);
        openList();
        int row = search(QStringLiteral("记录"), QStringLiteral("保留的记录"));
        QVERIFY(row >= 0);
        selectRow(list(), row);
        add(QStringLiteral("carol"), "话术", "新来的记录", "new");
        QTRY_VERIFY_WITH_TIMEOUT(search(QStringLiteral("记录"), QStringLiteral("新来的记录")) >= 0, 2000);
        QCOMPARE(searchBox(list())->text(), QStringLiteral("记录"));

        row = search(QStringLiteral("记录"), QStringLiteral("保留的记录"));
        selectRow(list(), row);
        openMenu(list());
        ListMenu *menu = listMenu(list());
        QVERIFY(menu->copyText->isEnabled() && menu->deleteRecord->isEnabled());
        QVERIFY(!menu->markCommon->isEnabled() && !menu->toggleSpecial->isEnabled());
        menu->deleteRecord->trigger(); // Yes
        menu->hide();
        QTRY_VERIFY(env->boxes.join(u'\n').contains(QStringLiteral("只有读的权限")));
        QCOMPARE(as(QStringLiteral("bob"))->fetchAll().value().size(), size_t(2));
        QVERIFY(app->team().find(kept.id).has_value());
        QVERIFY(search(QStringLiteral("记录"), QStringLiteral("保留的记录")) >= 0);

        // 备份 acts on the member's own library and says the team's is untouched.
        openMenu(list());
        menu->backUp->trigger();
        menu->hide();
        QVERIFY(env->boxes.last().contains(QStringLiteral("数据库备份完成")));
        QVERIFY(statusLabel(list())->text().contains(QStringLiteral("团队文本库没有改变")));
    }

    // Someone else changed the record since the editor opened it: the editor
    // stays with the user's text and names who changed it.
    void conflictingEditKeepsTheText() {
        TeamRecord record = add(QStringLiteral("bob"), "话术", "共同的记录", "first");
        start(QStringLiteral("bob"), 1);
        openList();
        selectRow(list(), search(QStringLiteral("共同"), QStringLiteral("共同的记录")));
        openMenu(list());
        listMenu(list())->changeRecord->trigger();
        listMenu(list())->hide();
        QVERIFY(editor() && editor()->isTeamRecord());
        QCOMPARE(editor()->text(), QStringLiteral("first"));

        record.text = "carol's";
        QVERIFY(as(QStringLiteral("carol"))->replace(record).ok());
        part<QPlainTextEdit>(editor(), "textBox")->setPlainText(QStringLiteral("bob's own words"));
        env->boxes.clear();
        part<QPushButton>(editor(), "updateButton")->click();
        QTRY_VERIFY(env->boxes.size() >= 2); // the question, then the answer
        QVERIFY2(env->boxes.last().contains(QStringLiteral("carol")), qPrintable(env->boxes.last()));
        QVERIFY(editor() && editor()->isVisible());
        QCOMPARE(editor()->text(), QStringLiteral("bob's own words"));
        QCOMPARE(as(QStringLiteral("bob"))->fetchAll().value().at(0).text, QByteArray("carol's"));

        // Opened afresh on the current version, the change is stored.
        QTRY_COMPARE(app->team().find(record.id)->text, QByteArray("carol's"));
        editor()->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        app->capture().editTeam(app->team(), *app->team().find(record.id));
        part<QPlainTextEdit>(editor(), "textBox")->setPlainText(QStringLiteral("agreed"));
        part<QPushButton>(editor(), "updateButton")->click();
        QTRY_COMPARE(as(QStringLiteral("carol"))->fetchAll().value().at(0).text, QByteArray("agreed"));
        QTRY_VERIFY(!editor());
    }

    // The server stopped: the list opens at once with the cached records and
    // says so; back, it catches up.
    void offlineAndBack() {
        add(QStringLiteral("bob"), "话术", "缓存的记录", "cached\r\ntext");
        start(QStringLiteral("bob"), 1);
        QVERIFY(server->stop());
        QTRY_COMPARE_WITH_TIMEOUT(app->team().state(), TeamLibrary::State::Offline, 10000);
        openList();
        QVERIFY2(statusLabel(list())->text().startsWith(QStringLiteral("团队文本库离线（自 ")),
                 qPrintable(statusLabel(list())->text()));
        QString pastedText;
        platform().onPaste = [&] { pastedText = QGuiApplication::clipboard()->text(); };
        selectRow(list(), search(QStringLiteral("缓存"), QStringLiteral("缓存的记录")));
        executeSelected(list());
        QCOMPARE(pastedText, QStringLiteral("cached\r\ntext"));
        QTRY_VERIFY(!list());

        openList();
        QVERIFY(server->start());
        add(QStringLiteral("carol"), "话术", "回来后的记录", "after");
        QTRY_COMPARE_WITH_TIMEOUT(app->team().state(), TeamLibrary::State::Online, 15000);
        QTRY_VERIFY_WITH_TIMEOUT(search(QStringLiteral("记录"), QStringLiteral("回来后的记录")) >= 0, 5000);
        QVERIFY(!statusLabel(list())->text().contains(QStringLiteral("离线")));
    }
};

QTEST_MAIN(TestTeamList)
#include "tst_team_list.moc"
