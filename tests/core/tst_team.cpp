// The team library against a real PostgreSQL server of the test's own: the
// server side made twice, the roles deciding who writes, changes reaching a
// second member within 2 s, the cache while the server is down and the
// catch-up when it is back, two editors at once, hostile records byte for
// byte, a wrong password and a bad import file.
#include "LibraryStore.h"
#include "PgCluster.h"
#include "Settings.h"
#include "TeamCache.h"
#include "TeamLibrary.h"
#include "TeamServer.h"
#include "TestEnv.h"
#include "common/TeamWords.h"

#include <QDir>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>

namespace {

// Every column of a record as the server or the client holds it: N for
// NULL, otherwise T and its bytes in hex.
QString bytesOf(const QByteArray &value) {
    return value.isNull() ? QStringLiteral("N") : QStringLiteral("T") + QString::fromLatin1(value.toHex());
}
QString dumpOf(const TeamRecord &r) {
    return QString::number(r.id) + u'|' + bytesOf(r.group) + u'|' + bytesOf(r.category) + u'|' +
           bytesOf(r.title) + u'|' + bytesOf(r.text) + u'|' + bytesOf(r.changeTime) + u'|' +
           bytesOf(r.commonFlag);
}
QString serverColumn(const char *name) {
    return QStringLiteral(
               "CASE WHEN \"%1\" IS NULL THEN 'N' ELSE 'T' || encode(convert_to(\"%1\", 'UTF8'), 'hex') "
               "END")
        .arg(QLatin1String(name));
}

struct Run {
    int code = -1;
    QString out, err;
};

} // namespace

class TestTeam : public QObject {
    Q_OBJECT

    std::unique_ptr<PgCluster> server;
    std::unique_ptr<TestEnv> env;

    Run vemo(const QStringList &arguments) {
        QProcess p;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), env->dir());
        p.setProcessEnvironment(environment);
        p.start(QStringLiteral(VEMO_PROGRAM), arguments);
        p.waitForFinished(60000);
        return {p.exitCode(), QString::fromLocal8Bit(p.readAllStandardOutput()),
                QString::fromLocal8Bit(p.readAllStandardError())};
    }
    qint64 count() {
        return server->sql(QStringLiteral("SELECT count(*) FROM vemo.\"VBcode\"")).value(0).toLongLong();
    }
    std::unique_ptr<team::Server> as(const QString &user) {
        auto s = std::make_unique<team::Server>();
        const auto opened = s->open(server->conninfo(user));
        if (!opened)
            qWarning("%s", qPrintable(messages::describe(opened)));
        return s;
    }
    QString path(const QString &name) const { return env->dir() + u'/' + name; }

  private slots:
    void initTestCase() {
        env = std::make_unique<TestEnv>();
        server = std::make_unique<PgCluster>();
        QVERIFY2(server->ok(), qPrintable(server->why()));
        const Run init =
            vemo({QStringLiteral("--team-init"), server->conninfo(QStringLiteral("vemo_admin"))});
        QCOMPARE(init.code, 0);
        QVERIFY2(init.out.contains(QStringLiteral("已建立")), qPrintable(init.out + init.err));
        server->addUser(QStringLiteral("alice"), QStringLiteral("alice-pass"));
        server->addUser(QStringLiteral("bob"), QStringLiteral("bob-pass"));
        server->addUser(QStringLiteral("carol"), QStringLiteral("carol-pass"));
        server->addUser(QStringLiteral("dave"), QStringLiteral("dave-real-pass"),
                        QStringLiteral("dave-wrong-pass"));
        server->sql(QStringLiteral("GRANT vemo_reader TO alice; GRANT vemo_editor TO bob, carol, dave"));
    }
    void init() {
        env = std::make_unique<TestEnv>();
        server->sql(QStringLiteral("DELETE FROM vemo.\"VBcode\""));
    }

    void initTwiceChangesNothing() {
        server->sql(QStringLiteral("INSERT INTO vemo.\"VBcode\" (\"ID\", \"CodeName\") VALUES (7, 'kept')"));
        const QString before = server->schemaDump();
        const Run again =
            vemo({QStringLiteral("--team-init"), server->conninfo(QStringLiteral("vemo_admin"))});
        QCOMPARE(again.code, 0);
        QVERIFY2(again.out.contains(QStringLiteral("没有改动")), qPrintable(again.out + again.err));
        QCOMPARE(server->schemaDump(), before);
        QCOMPARE(server->sql(QStringLiteral("SELECT \"CodeName\" FROM vemo.\"VBcode\"")),
                 QStringList{"kept"});
        // A member without the right to make it changes nothing either.
        const Run refused =
            vemo({QStringLiteral("--team-init"), server->conninfo(QStringLiteral("alice"), "postgres")});
        QCOMPARE(refused.code, 1);
        QVERIFY(refused.err.contains(QStringLiteral("数据库没有改变")));
        QCOMPARE(server->sql(QStringLiteral("SELECT count(*) FROM pg_namespace WHERE nspname = 'vemo'"),
                             QStringLiteral("postgres")),
                 QStringList{"0"});
    }

    // The server's permissions decide: a reader's change is refused and changes nothing.
    void readerIsRefusedEditorIsNot() {
        auto bobServer = as(QStringLiteral("bob")), aliceServer = as(QStringLiteral("alice"));
        team::Server &bob = *bobServer, &alice = *aliceServer;
        QVERIFY(bob.isOpen() && alice.isOpen());
        TeamRecord r;
        r.title = "t", r.text = "x";
        const auto added = bob.add(r);
        QVERIFY(added.ok());
        QCOMPARE(added.value().changedBy, QStringLiteral("bob"));
        const auto removed = alice.remove(added.value().id, added.value().version);
        QCOMPARE(removed.error(), TeamError::NotAllowed);
        QVERIFY(messages::describe(removed).contains(QStringLiteral("只有读的权限")));
        TeamRecord changed = added.value();
        changed.text = "alice";
        QCOMPARE(alice.replace(changed).error(), TeamError::NotAllowed);
        QCOMPARE(alice.add(r).error(), TeamError::NotAllowed);
        QCOMPARE(alice.fetchAll().value(), TeamRecords{added.value()});
        // The same for an import from the command line.
        TestEnv::writeFile(path("new.json"), "[{\"CodeName\":\"n\",\"Code\":\"new\"}]");
        const Run import = vemo({QStringLiteral("--team-import"), path("new.json"), QStringLiteral("--team"),
                                 server->conninfo(QStringLiteral("alice"))});
        QCOMPARE(import.code, 1);
        QVERIFY2(import.err.contains(QStringLiteral("只有读的权限")), qPrintable(import.err));
        QCOMPARE(count(), 1);
        QVERIFY(bob.remove(added.value().id, added.value().version).ok());
        QCOMPARE(count(), 0);
    }

    // A change by one member reaches another member's library within 2 s: added, changed, removed.
    void changeReachesAnotherMember() {
        TeamLibrary member(path("cache.db"));
        member.follow(server->conninfo(QStringLiteral("alice")));
        QTRY_COMPARE_WITH_TIMEOUT(member.state(), TeamLibrary::State::Online, 10000);
        auto bobServer = as(QStringLiteral("bob"));
        team::Server &bob = *bobServer;
        TeamRecord r;
        r.title = "新的", r.text = "内容";
        const auto added = bob.add(r);
        QVERIFY(added.ok());
        QTRY_VERIFY_WITH_TIMEOUT(member.find(added.value().id).has_value(), 2000);
        QCOMPARE(*member.find(added.value().id), added.value());
        QCOMPARE(member.table().text(0), QStringLiteral("内容"));
        TeamRecord changed = added.value();
        changed.text = "改过";
        const auto replaced = bob.replace(changed);
        QVERIFY(replaced.ok());
        QTRY_COMPARE_WITH_TIMEOUT(member.find(changed.id)->text, QByteArray("改过"), 2000);
        QVERIFY(bob.remove(changed.id, replaced.value().version).ok());
        QTRY_VERIFY_WITH_TIMEOUT(!member.find(changed.id).has_value(), 2000);
        QCOMPARE(member.size(), 0);
    }

    // The server stopped: the last library received is shown from the cache, read-only, and the status
    // says since when; back, a member who missed changes catches up within seconds.
    void offlineFromCacheThenCatchUp() {
        const QString cache = path("cache.db");
        auto bobServer = as(QStringLiteral("bob"));
        team::Server &bob = *bobServer;
        TeamRecord first;
        first.title = "first", first.text = "1";
        QVERIFY(bob.add(first).ok());
        {
            TeamLibrary member(cache);
            member.follow(server->conninfo(QStringLiteral("alice")));
            QTRY_COMPARE_WITH_TIMEOUT(member.size(), 1, 10000);
            // A running member sees the server go and come back.
            QVERIFY(server->stop());
            QTRY_COMPARE_WITH_TIMEOUT(member.state(), TeamLibrary::State::Offline, 5000);
            QCOMPARE(member.size(), 1);
            QVERIFY(messages::teamStatus(member).contains(QStringLiteral("离线")));
            QVERIFY(server->start());
            QTRY_COMPARE_WITH_TIMEOUT(member.state(), TeamLibrary::State::Online, 10000);
        }
        // Changes while the member is away, then the server goes.
        QVERIFY(bob.open(server->conninfo(QStringLiteral("bob"))).ok());
        TeamRecord second;
        second.title = "second", second.text = "2";
        const auto added = bob.add(second);
        QVERIFY(added.ok());
        bob.close();
        QVERIFY(server->stop());

        TeamLibrary member(cache);
        member.follow(server->conninfo(QStringLiteral("alice")));
        QTRY_COMPARE_WITH_TIMEOUT(member.size(), 1, 1000); // from the cache, before any answer
        QTRY_COMPARE_WITH_TIMEOUT(member.state(), TeamLibrary::State::Offline, 12000);
        QVERIFY(member.offlineSince().isValid());
        QVERIFY(member.receivedAt().isValid());
        QCOMPARE(member.table().title(0), QStringLiteral("first"));
        QSignalSpy finished(&member, &TeamLibrary::changeFinished);
        member.remove(member.table().id(0).value(), 0);
        QTRY_COMPARE(finished.size(), 1);
        QCOMPARE(finished[0][1].value<TeamOutcome<TeamRecord>>().error(), TeamError::Offline);

        QVERIFY(server->start());
        QTRY_VERIFY_WITH_TIMEOUT(member.find(added.value().id).has_value(), 8000);
        QCOMPARE(member.state(), TeamLibrary::State::Online);
        QCOMPARE(member.size(), 2);
        // And the cache holds what came.
        QTRY_COMPARE_WITH_TIMEOUT(team::readCache(cache).value().records.size(), size_t(2), 2000);
    }

    // Two editors on one record: the second change is refused, naming who changed it and when.
    void conflictingEditNamesWhoAndWhen() {
        auto bobServer = as(QStringLiteral("bob")), carolServer = as(QStringLiteral("carol"));
        team::Server &bob = *bobServer, &carol = *carolServer;
        TeamRecord r;
        r.title = "shared", r.text = "v1";
        const TeamRecord opened = bob.add(r).value(); // both open the editor on this version
        TeamRecord bobs = opened, carols = opened;
        bobs.text = "bob's";
        carols.text = "carol's";
        const auto stored = bob.replace(bobs);
        QVERIFY(stored.ok());
        QVERIFY(stored.value().version > opened.version);
        const auto refused = carol.replace(carols);
        QCOMPARE(refused.error(), TeamError::Conflict);
        QCOMPARE(refused.changedBy(), QStringLiteral("bob"));
        QCOMPARE(refused.changedAt(), stored.value().changedAt());
        QVERIFY(messages::describe(refused).contains(QStringLiteral("已被 bob 于")));
        QCOMPARE(carol.remove(opened.id, opened.version).error(), TeamError::Conflict);
        QCOMPARE(carol.fetchAll().value().front().text, QByteArray("bob's"));
        // Through a member's library as well.
        TeamLibrary member(path("cache.db"));
        member.follow(server->conninfo(QStringLiteral("carol")));
        QTRY_COMPARE_WITH_TIMEOUT(member.state(), TeamLibrary::State::Online, 10000);
        QSignalSpy finished(&member, &TeamLibrary::changeFinished);
        member.replace(carols.toRecord(), opened.version);
        QTRY_COMPARE(finished.size(), 1);
        QCOMPARE(finished[0][1].value<TeamOutcome<TeamRecord>>().error(), TeamError::Conflict);
        QVERIFY(bob.remove(opened.id, stored.value().version).ok());
        QCOMPARE(carol.replace(carols).error(), TeamError::Deleted);
    }

    // Records another program put on the server come to the member, into the list's table and the
    // cache byte for byte; a text with NUL, which the server cannot hold, is refused whole.
    void hostileRecordsByteForByte() {
        server->sql(QStringLiteral(
            "INSERT INTO vemo.\"VBcode\" VALUES "
            "(1, '组', 'Sub', 'say \"hi\"', E'a\\rb\\nc\\r\\nd\\n\\r\\r', '20200101000000', '常用'),"
            "(2, ',', 'a,b', ',,', E'x,\\ty\"\\t', '2020', ''),"
            "(3, NULL, '', 'n', '', '2', ''),"
            "(4, '表情', 'API', '😀 emoji', '行' || chr(8232) || '段' || chr(8233) || '😀🇨🇳' || chr(1) || "
            "chr(8) "
            "|| chr(12) || chr(27) || chr(31) || chr(127), '20991231235959', '常用'),"
            "(5, 'big', 'Class', '10 MB', repeat(E'ab\"\\r\\n,', 1500000), 'x', 'y'),"
            "(-9223372036854775808, E'''; DROP TABLE VBcode; --', E'%_\\\\', E'C:\\\\path\\\\n', '  padded  "
            "', "
            "'20200101000002', '常用'),"
            "(9223372036854775807, 'max', 'Function', E'\\\\\"', E'\\\\\\\\', '0', ''),"
            "(0, '', '', '', '', '20200101000003', ''),"
            "(6, NULL, NULL, NULL, NULL, NULL, NULL)"));
        const QStringList expected = server->sql(
            QStringLiteral(
                "SELECT \"ID\" || '|' || %1 || '|' || %2 || '|' || %3 || '|' || %4 || '|' || %5 || '|' || "
                "%6 FROM vemo.\"VBcode\" ORDER BY \"ID\"")
                .arg(serverColumn("MoudleName"), serverColumn("TypeName"), serverColumn("CodeName"),
                     serverColumn("Code"), serverColumn("ChangeTime"), serverColumn("IsUsed")));
        QCOMPARE(expected.size(), 9);

        TeamLibrary member(path("cache.db"));
        member.follow(server->conninfo(QStringLiteral("alice")));
        QTRY_COMPARE_WITH_TIMEOUT(member.size(), 9, 10000);
        QStringList received, listed;
        QTRY_VERIFY_WITH_TIMEOUT(team::readCache(path("cache.db")).ok(), 2000);
        const auto cached = team::readCache(path("cache.db"));
        for (const TeamRecord &r : cached.value().records)
            received << dumpOf(r);
        // The client's records, its list table and the cache agree with the server.
        QStringList fromMember;
        for (int row = 0; row < member.table().size(); ++row) {
            const TeamRecord r = *member.find(member.table().id(row).value());
            fromMember << dumpOf(r);
            QCOMPARE(member.table().textBytes(row), QByteArrayView(r.text));
            QCOMPARE(member.table().titleBytes(row), QByteArrayView(r.title));
        }
        fromMember.sort();
        QStringList sortedExpected = expected, sortedReceived = received;
        sortedExpected.sort();
        sortedReceived.sort();
        for (int i = 0; i < expected.size(); ++i) {
            QCOMPARE(fromMember.value(i).left(300), sortedExpected[i].left(300));
            QCOMPARE(sortedReceived.value(i).left(300), sortedExpected[i].left(300));
        }
        QVERIFY(fromMember == sortedExpected);
        QVERIFY(sortedReceived == sortedExpected);

        auto bobServer = as(QStringLiteral("bob"));
        team::Server &bob = *bobServer;
        TeamRecord nul;
        nul.title = "nul", nul.text = QByteArray("a\0b", 3);
        QCOMPARE(bob.add(nul).error(), TeamError::NulInText);
        QCOMPARE(count(), 9);
    }

    void connectionFailuresSayWhatHappened_data() {
        QTest::addColumn<QString>("conninfo");
        QTest::addColumn<int>("error");
        QTest::addColumn<QString>("words");
        PgCluster &s = *server;
        QTest::newRow("wrong password") << s.conninfo("dave") << int(TeamError::WrongPassword) << "密码不对";
        QTest::newRow("password in the string") << s.conninfo("dave") + " password=dave-real-pass"
                                                << int(TeamError::PasswordInString) << "不能写密码";
        QTest::newRow("no password for the user")
            << s.conninfo("erin") << int(TeamError::NoPassword) << "没有";
        QTest::newRow("no server") << "host=NOSERVER dbname=team user=alice" << int(TeamError::Unreachable)
                                   << "连接不上服务器";
        QTest::newRow("no team library")
            << s.conninfo("alice", "postgres") << int(TeamError::NoTable) << "--team-init";
        QTest::newRow("bad string") << s.conninfo("alice") + " port" << int(TeamError::BadConnectionString)
                                    << "写法不对";
    }
    void connectionFailuresSayWhatHappened() {
        QFETCH(QString, conninfo);
        QFETCH(int, error);
        QFETCH(QString, words);
        conninfo.replace(QStringLiteral("NOSERVER"), env->dir());
        const auto probed = team::probe(conninfo);
        QVERIFY2(int(probed.error()) == error, qPrintable(messages::describe(probed)));
        QVERIFY2(messages::describe(probed).contains(words), qPrintable(messages::describe(probed)));
        // The command line says the same and never prints a password.
        const Run run =
            vemo({QStringLiteral("--team-export"), path("out.json"), QStringLiteral("--team"), conninfo});
        QCOMPARE(run.code, 1);
        QVERIFY2(run.err.contains(words), qPrintable(run.err));
        for (const char *password : {"dave-real-pass", "dave-wrong-pass"})
            QVERIFY(!(run.out + run.err).contains(QLatin1String(password)));
        QVERIFY(!QFile::exists(path("out.json")));
    }

    // Export and import through the same files as the member's own library; a bad file stores nothing.
    void exportAndImport() {
        const QString bob = server->conninfo(QStringLiteral("bob"));
        TestEnv::writeFile(path("in.json"), "[{\"ID\":5,\"CodeName\":\"a\",\"Code\":\"x\\r\\ny\"},"
                                            "{\"CodeName\":\"b\",\"Code\":\"z\",\"IsUsed\":\"常用\"}]");
        Run run = vemo({QStringLiteral("--team-import"), path("in.json"), QStringLiteral("--team"), bob});
        QVERIFY2(run.code == 0, qPrintable(run.err));
        QCOMPARE(count(), 2);
        run = vemo({QStringLiteral("--team-import"), path("in.json"), QStringLiteral("--team"), bob});
        QVERIFY(run.out.contains(QStringLiteral("新增 0 条记录，跳过 2 条")));
        // The setting names the server when --team does not.
        Settings().setValue(setting::TeamLibrary, bob);
        run = vemo({QStringLiteral("--team-export"), path("out.csv")});
        QVERIFY2(run.code == 0, qPrintable(run.err));
        const QByteArray csv = TestEnv::bytesOf(path("out.csv"));
        QVERIFY(csv.startsWith("\xEF\xBB\xBFID,MoudleName,TypeName,CodeName,Code,ChangeTime,IsUsed\r\n"));
        // Records without a group are filed under 未分组, as in the member's own library.
        QVERIFY(csv.contains("5,未分组,,a,\"x\r\ny\","));

        const QList<QPair<QString, QByteArray>> bad{
            {"truncated.json", "[{\"CodeName\":\"c\",\"Code\":\"1\"},{\"Code"},
            {"nul.json", "[{\"CodeName\":\"c\",\"Code\":\"1\"},{\"CodeName\":\"d\",\"Code\":\"\\u0000\"}]"},
            {"header.csv", "ID,Title\r\n1,x\r\n"},
            {"text.txt", "x"}};
        for (const auto &[name, content] : bad) {
            TestEnv::writeFile(path(name), content);
            run = vemo({QStringLiteral("--team-import"), path(name), QStringLiteral("--team"), bob});
            QCOMPARE(run.code, 1);
            QVERIFY2(run.err.contains(QStringLiteral("团队文本库没有改变")), qPrintable(run.err));
            QCOMPARE(count(), 2);
        }
    }
};

QTEST_GUILESS_MAIN(TestTeam)
#include "tst_team.moc"
