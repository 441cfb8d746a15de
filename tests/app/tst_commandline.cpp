// The program's command line, run as a shell runs it: a copy of the program
// beside its own library, no display. Unknown and repeated arguments are
// refused with the usage, and a full disk is told as such.
#include "LibrarySchema.h"
#include "TestEnv.h"

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>
#include <sys/stat.h>

class TestCommandLine : public QObject {
    Q_OBJECT

    std::unique_ptr<TestEnv> env;
    QString program, library;
    QString path(const QString &name) const { return env->dir() + '/' + name; }
    QString rows() const {
        return TestEnv::sql(library, "SELECT ID || ':' || Code FROM VBcode ORDER BY ID").join(u' ');
    }

    struct Run {
        int exitCode = -1;
        QString out, err;
    };
    // The program with the arguments, in the test's folder, without a display.
    Run run(const QStringList &args, const QString &wrapper = {}) {
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            environment.remove(name);
        environment.insert("HOME", env->dir());
        process.setProcessEnvironment(environment);
        process.setWorkingDirectory(env->dir());
        if (wrapper.isEmpty())
            process.start(program, args);
        else
            process.start("sh", QStringList{"-c", wrapper, "sh", program} + args);
        process.closeWriteChannel();
        if (!process.waitForFinished(60000))
            return {};
        const bool crashed = process.exitStatus() != QProcess::NormalExit;
        return {crashed ? 128 + 6 : process.exitCode(),
                QString::fromLocal8Bit(process.readAllStandardOutput()),
                QString::fromLocal8Bit(process.readAllStandardError())};
    }

  private slots:
    void init() {
        env = std::make_unique<TestEnv>();
        QVERIFY(QDir().mkdir(path("prog")));
        program = path("prog/vemo");
        QVERIFY(QFile::copy(VEMO_PROGRAM, program));
        library = path("prog/") + librarySchema::FileName;
        TestEnv::sql(library, QString::fromLatin1(librarySchema::CreateSql) +
                                  "INSERT INTO VBcode VALUES (1, 'g', '', 'one', 'text one', '1', '')");
        QVERIFY(TestEnv::writeFile(path("a.json"), "[{\"ID\":1,\"CodeName\":\"one\",\"Code\":\"edited\"}]"));
        QVERIFY(
            TestEnv::writeFile(path("b.json"), "[{\"ID\":2,\"CodeName\":\"two\",\"Code\":\"text two\"}]"));
    }

    // Every argument that begins with "-" is the command line's: a wrong one never starts the windows
    // (which, without a display, would abort), and nothing is imported or exported.
    void argumentsAreCheckedBeforeAnythingRuns_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("output"); // a pattern stdout or stderr matches
        QTest::addColumn<QString>("rows");
        QTest::newRow("misspelt option")
            << QStringList{"--exprot", "x.csv"} << 2 << "^不认识的参数：exprot\n[\\s\\S]*--export <文件>"
            << "1:text one";
        QTest::newRow("unknown short option") << QStringList{"-x"} << 2 << "^不认识的参数：x\n"
                                              << "1:text one";
        QTest::newRow("version") << QStringList{"--version"} << 0 << "^Vemo文本收集器 \\d+\\.\\d+\\.\\d+\n$"
                                 << "1:text one";
        QTest::newRow("repeated import")
            << QStringList{"--import", "a.json", "--import", "b.json"} << 2 << "^参数 --import 只能给一次。\n"
            << "1:text one";
        QTest::newRow("repeated flag") << QStringList{"--import", "a.json", "--update", "--update"} << 2
                                       << "^参数 --update 只能给一次。\n"
                                       << "1:text one";
        QTest::newRow("update on export")
            << QStringList{"--export", "x.json", "--update"} << 2 << "^--update 只能和 --import 一起用。\n"
            << "1:text one";
        QTest::newRow("import adds") << QStringList{"--import", "a.json"} << 0
                                     << "^导入完成：新增 1 条记录，跳过 0 条[\\s\\S]*ID 1：one\n$"
                                     << QString("1:text one %1:edited");
        QTest::newRow("import updates") << QStringList{"--update", "--import", "a.json"} << 0
                                        << "^导入完成：更新 1 条记录，新增 0 条，跳过 0 条"
                                        << "1:edited";
        QTest::newRow("export into a pipe")
            << QStringList{"--export", "pipe.json"} << 1 << "^导出失败：.*pipe.json 不是普通文件"
            << "1:text one";
    }
    void argumentsAreCheckedBeforeAnythingRuns() {
        QFETCH(QStringList, args);
        QFETCH(int, exitCode);
        QFETCH(QString, output);
        QFETCH(QString, rows);
        QVERIFY(::mkfifo(qPrintable(path("pipe.json")), 0600) == 0);
        const Run done = run(args);
        QCOMPARE(done.exitCode, exitCode);
        const QString printed = exitCode == 0 ? done.out : done.err;
        QVERIFY2(QRegularExpression(output).match(printed).hasMatch(), qPrintable(done.out + done.err));
        if (rows.contains("%1")) // a fresh key
            rows = rows.arg(TestEnv::sql(library, "SELECT ID FROM VBcode WHERE ID <> 1").value(0));
        QCOMPARE(this->rows(), rows);
        QVERIFY(!QFileInfo::exists(path("x.json")) && !QFileInfo::exists(path("x.csv")));
    }

    // An export onto a disk that fills up says that the disk is full and leaves no file behind.
    void aFullDiskIsToldAsSuch() {
        if (QProcess::execute("unshare", {"-rm", "true"}) != 0)
            QSKIP("no private mount namespace here to make a small disk in");
        TestEnv::sql(library, "WITH RECURSIVE n(i) AS (SELECT 2 UNION ALL SELECT i + 1 FROM n WHERE i < 300) "
                              "INSERT INTO VBcode SELECT i, '', '', i, hex(randomblob(5000)), '', '' FROM n");
        QVERIFY(QDir().mkdir(path("small")));
        const Run done =
            run({path("small")}, "unshare -rm sh -c 'mount -t tmpfs -o size=1m none \"$2\" && "
                                 "\"$1\" --export \"$2/x.json\"; echo \"left: $(ls \"$2\")\"' sh \"$@\"");
        QCOMPARE(done.exitCode, 0); // of the shell: the program's output is checked below
        QVERIFY2(done.err.startsWith("导出失败：磁盘空间不足，无法写入文件：" + path("small/x.json") + "\n"),
                 qPrintable(done.err));
        QVERIFY2(done.err.endsWith("\nNo space left on device\n"), qPrintable(done.err));
        QCOMPARE(done.out, QString("left: \n"));
    }
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
