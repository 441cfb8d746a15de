// The team library on a real desktop, with a PostgreSQL server of the test's
// own: one member's program adds a team record (the command line's
// --team-import, with a home of its own), and the other member's running
// program lists it within 2 s and pastes it into a text box exactly; with the
// server stopped, that program still lists and pastes it and says offline.
// VEMO_SCREENSHOTS=<folder> keeps pictures of the list online and offline.
#include "Desktop.h"
#include "PgCluster.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

namespace {

const QString TeamText = "团队回复\t😀 שלום עולם\n第二行 end";

} // namespace

class DesktopTeam : public DesktopTest {
    Q_OBJECT
    std::unique_ptr<PgCluster> server;

    void shoot(const QString &name) {
        const QString folder = qEnvironmentVariable("VEMO_SCREENSHOTS");
        if (!folder.isEmpty())
            x->run("import", {"-window", "root", folder + "/" + name + ".png"});
    }
    // The other member's program: the command line with a home of its own.
    bool importAs(const QString &user, const QString &file) {
        QProcess other;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", folder->path() + "/other");
        env.insert("XDG_CONFIG_HOME", folder->path() + "/other/.config");
        env.insert("XDG_DATA_HOME", folder->path() + "/other/.local/share");
        other.setProcessEnvironment(env);
        other.start(programFolder() + "/vemo", {"--team-import", file, "--team", server->conninfo(user)});
        return other.waitForFinished(30000) && other.exitCode() == 0;
    }
    // Ctrl+E in the text box, a search, Return: the team text arrives in the
    // box. The search is typed and executed about 1.5 s after the call: a
    // record that came later is not found.
    bool pastesIntoTarget(const QString &search, const QString &file, const QString &shot,
                          const QString &keys = "Return") {
        startTarget(file);
        key("ctrl+e");
        const QString shown = list();
        if (shown.isEmpty())
            return false;
        type(search);
        QThread::msleep(500);
        shoot(shot);
        key(keys);
        return waitUntil([&] { return readFile(file) == TeamText; });
    }

  private slots:
    void cleanupTestCase() { server.reset(); }
    void init() {
        DesktopTest::init();
        server->sql("DELETE FROM vemo.\"VBcode\"");
    }
    void initTestCase() {
        server = std::make_unique<PgCluster>();
        QVERIFY2(server->ok(), qPrintable(server->why()));
        QProcess init;
        init.start(VEMO_BIN_DIR "/vemo", {"--team-init", server->conninfo("vemo_admin")});
        QVERIFY(init.waitForFinished(30000) && init.exitCode() == 0);
        server->addUser("bob", "bob-pass");
        server->addUser("carol", "carol-pass");
        server->sql("GRANT vemo_reader TO bob; GRANT vemo_editor TO carol");
    }

    void recordOfAnotherMemberListedPastedAndKeptOffline() {
        extraEnvironment["PGPASSFILE"] = qEnvironmentVariable("PGPASSFILE");
        setSetting("团队文本库", server->conninfo("bob"));
        const QString icon = startVemo("INSERT INTO VBcode VALUES (1, '工具', 'Sub', '自己的标题', "
                                       "'自己的文本', '20200101000001', '常用');");
        QVERIFY(!icon.isEmpty());
        QThread::msleep(1000); // bob's program is online and listening

        const QString json = folder->path() + "/team.json";
        QFile out(json);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(QJsonDocument(QJsonArray{QJsonObject{{"MoudleName", "客服话术"},
                                                       {"TypeName", "Sub"},
                                                       {"CodeName", "问候 greeting"},
                                                       {"Code", TeamText}}})
                      .toJson());
        out.close();
        QElapsedTimer sinceImport;
        QVERIFY(importAs("carol", json));
        sinceImport.start();
        QVERIFY2(pastesIntoTarget("greeting", home() + "/online.txt", "team-list-online"),
                 qPrintable(readFile(home() + "/online.txt")));
        qInfo("found and pasted %lld ms after the import ended", sinceImport.elapsed());

        QVERIFY(server->stop());
        QThread::msleep(3000);
        // Below the last-used row, which keeps its own copy of the text: the team row.
        QVERIFY2(pastesIntoTarget("greeting", home() + "/offline.txt", "team-list-offline", "Down Return"),
                 qPrintable(readFile(home() + "/offline.txt")));
        QVERIFY(server->start());
    }

    // Someone else changed the record while the editor had it open: 更新 says
    // who, and the editor stays with the user's text.
    void conflictingEditSaysWhoAndKeepsTheEditor() {
        extraEnvironment["PGPASSFILE"] = qEnvironmentVariable("PGPASSFILE");
        setSetting("团队文本库", server->conninfo("carol"));
        server->sql("INSERT INTO vemo.\"VBcode\" (\"ID\", \"MoudleName\", \"CodeName\", \"Code\") "
                    "VALUES (7, '客服话术', 'greeting', 'first')");
        const QString icon = startVemo("INSERT INTO VBcode VALUES (1, '工具', 'Sub', '自己的标题', "
                                       "'自己的文本', '20200101000001', '常用');");
        QVERIFY(!icon.isEmpty());
        QThread::msleep(1000);
        clickOn(icon);
        const QString shown = list();
        QVERIFY(!shown.isEmpty());
        type("greeting");
        QThread::msleep(500);
        chooseOnRow(shown, 0, "e");
        const QString edit = editor();
        QVERIFY(!edit.isEmpty());
        server->sql("UPDATE vemo.\"VBcode\" SET \"Code\" = 'changed by the admin'");
        clickIn(edit, {200, 250});
        key("ctrl+End");
        type(" mine");
        pressUpdate(edit);
        QVERIFY(answer("y"));
        const QString box = search({"--name", "^Vemo文本收集器$"}, isOther, 8000);
        QVERIFY(!box.isEmpty());
        QThread::msleep(300);
        shoot("team-editor-conflict");
        QVERIFY(answer("Return"));
        QVERIFY(windowsOf(vemo).contains(edit));
        QCOMPARE(server->sql("SELECT \"Code\" FROM vemo.\"VBcode\""), QStringList{"changed by the admin"});
    }
};

QTEST_MAIN(DesktopTeam)
#include "tst_desktop_team.moc"
