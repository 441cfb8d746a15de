// Export and import on real files: hostile texts come back byte for byte through JSON and CSV, the files
// have the agreed form and what they cannot hold is counted, bad files and refused targets change
// nothing and say where they are wrong, and an import skips exactly the records the library holds
// already or updates the records with the same ID.
#include "LibraryExchange.h"
#include "LibrarySchema.h"
#include "LibraryStore.h"
#include "SqliteDb.h"
#include "TestEnv.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// CR, LF and CR LF mixed, quotes, commas, tabs, NUL, U+2028/9, emoji, control characters, SQL
// meta-characters, backslashes, NULL, blanks, IDs at both ends of 64 bits and a text of over 10 MB.
const QString Hostile = QStringLiteral(
    "INSERT INTO VBcode VALUES (1, '组', 'Sub', 'say \"hi\"', 'a' || char(13) || 'b' || char(10) || 'c'"
    "  || char(13, 10) || 'd' || char(10, 13, 13), '20200101000000', '常用');"
    "INSERT INTO VBcode VALUES (2, ',', 'a,b', ',,', 'x,' || char(9) || 'y\"' || char(9), '2020', '');"
    "INSERT INTO VBcode VALUES (3, NULL, '', 'n' || CAST(X'00' AS TEXT), CAST(X'610000' AS TEXT), '2', '');"
    "INSERT INTO VBcode VALUES (4, '表情', 'API', '😀 emoji', '行' || char(8232) || '段' || char(8233)"
    "  || '😀🇨🇳' || char(1, 8, 12, 27, 31, 127), '20991231235959', '常用');"
    "INSERT INTO VBcode VALUES (5, 'big', 'Class', '10 MB', replace(replace(hex(randomblob(5300000)), 'A',"
    "  char(13, 10)), 'B', '\",'), 'x', 'y');"
    "INSERT INTO VBcode VALUES (-9223372036854775808, '''; DROP TABLE VBcode; --', '%_\\', 'C:\\path\\n',"
    "  '  padded  ', '20200101000002', '常用');"
    "INSERT INTO VBcode VALUES (9223372036854775807, 'max', 'Function', '\\\"', '\\\\', '0', '');"
    "INSERT INTO VBcode VALUES (0, '', '', '', '', '20200101000003', '');");

// Every row through another program: the type of the ID and every column's hex(), in ID order.
QStringList dump(const QString &lib) {
    return TestEnv::sql(lib,
                        "SELECT typeof(ID) || hex(ID) || '|' || hex(MoudleName) || '|' || hex(TypeName) "
                        "|| '|' || hex(CodeName) || '|' || hex(Code) || '|' || hex(ChangeTime) || '|' || "
                        "hex(IsUsed) FROM VBcode ORDER BY ID");
}

} // namespace

class TestExchange : public QObject {
    Q_OBJECT

    std::unique_ptr<TestEnv> env;
    QString path(const QString &name) { return env->dir() + '/' + name; }
    QString library(const QString &name, const QString &statements = {},
                    const QString &create = QString::fromLatin1(librarySchema::CreateSql)) {
        TestEnv::sql(path(name), create + statements);
        return path(name);
    }

  private slots:
    void init() { env = std::make_unique<TestEnv>(); }

    void roundTripKeepsEveryByte_data() {
        QTest::addColumn<QString>("suffix");
        QTest::newRow("json") << "json";
        QTest::newRow("csv") << "CSV";
    }
    void roundTripKeepsEveryByte() {
        QFETCH(QString, suffix);
        const QString source = library("source.mdb", Hostile), file = path("library." + suffix);
        const auto exported = exchange::exportLibrary(LibraryStore(source), file);
        QVERIFY2(exported.ok(), qPrintable(messages::describe(exported)));
        const QString target = library("target.mdb");
        const auto imported = exchange::importLibrary(LibraryStore(target), file);
        QVERIFY2(imported.ok(), qPrintable(messages::describe(imported)));
        QCOMPARE(QList<qint64>() << exported.added << imported.added << imported.skipped, QList<qint64>()
                                                                                              << 8 << 8 << 0);
        // Records without a group come in with one the list can show.
        TestEnv::sql(source, "UPDATE VBcode SET MoudleName = '未分组' WHERE coalesce(MoudleName, '') = ''");
        const QStringList before = dump(source), after = dump(target);
        for (int i = 0; i < before.size(); ++i) // row by row: a failure prints one row, not 21 MB
            QCOMPARE(after.value(i).left(2000), before[i].left(2000));
        QVERIFY(after == before);
        if (suffix == "json") { // and other programs read it
            const QJsonArray records = QJsonDocument::fromJson(TestEnv::bytesOf(file)).array();
            QCOMPARE(records.size(), 8);
            QCOMPARE(records[4].toObject()["Code"].toString(), QString::fromUtf8("a\0\0", 3));
        }
    }

    // The forms another program meets: the ID as a number or, when the library holds no whole number
    // there, as its text; NULL as null or an empty field; NUL escaped in JSON, kept inside quotes in CSV.
    void exportWritesTheAgreedForm() {
        const QString lib = library(
            "foreign.mdb",
            "INSERT INTO VBcode VALUES (7, NULL, 'Sub', 'say \"hi\"', 'a,b' || char(13, 10) || 'c' || "
            "char(9) || CAST(X'00' AS TEXT), '20200101000000', '常用');"
            "INSERT INTO VBcode VALUES ('A17', 'g', '', '行' || char(8232), '\\', 20200101000001, NULL)",
            "CREATE TABLE VBcode (ID, MoudleName, TypeName, CodeName, Code, ChangeTime, IsUsed);");
        QVERIFY(exchange::exportLibrary(LibraryStore(lib), path("out.json")).ok());
        QCOMPARE(
            TestEnv::bytesOf(path("out.json")),
            QByteArray(
                "[\n{\"ID\":7,\"MoudleName\":null,\"TypeName\":\"Sub\",\"CodeName\":\"say \\\"hi\\\"\","
                "\"Code\":\"a,b\\r\\nc\\t\\u0000\",\"ChangeTime\":\"20200101000000\",\"IsUsed\":\"常用\"},\n"
                "{\"ID\":\"A17\",\"MoudleName\":\"g\",\"TypeName\":\"\",\"CodeName\":\"行\\u2028\","
                "\"Code\":\"\\\\\",\"ChangeTime\":\"20200101000001\",\"IsUsed\":null}\n]\n"));
        QVERIFY(exchange::exportLibrary(LibraryStore(lib), path("out.csv")).ok());
        QCOMPARE(TestEnv::bytesOf(path("out.csv")),
                 QByteArrayLiteral("\xEF\xBB\xBFID,MoudleName,TypeName,CodeName,Code,ChangeTime,IsUsed\r\n"
                                   "7,,Sub,\"say \"\"hi\"\"\",\"a,b\r\nc\t\0\",20200101000000,常用\r\n"
                                   "A17,g,,行\xE2\x80\xA8,\\,20200101000001,\r\n"));
    }

    void badFilesChangeNothing_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("message");
        QTest::newRow("truncated JSON")
            << "t.json" << QByteArray("[\n{\"ID\":1,\"CodeName\":\"a\"},\n{\"ID\":2,\"Co")
            << "文件第 3 行不是有效的 JSON：文件在此中断，内容不完整";
        QTest::newRow("JSON not an array") << "o.json" << QByteArray("{\"ID\":1}")
                                           << "文件第 1 行不是有效的 JSON：文件应以“[”开始，其中是一条条记录";
        QTest::newRow("unknown field")
            << "f.json" << QByteArray("[{\"CodeName\":\"a\"},\n\n{\"Title\":\"b\"}]")
            << "第 2 条记录（文件第 3 行）有误：没有名为“Title”的字段";
        QTest::newRow("lone surrogate") << "s.json" << QByteArray("[{\"Code\":\"\\ud800x\"}]")
                                        << "文件第 1 行不是有效的 JSON：“\\u”转义的代理项不成对";
        QTest::newRow("JSON in Latin-1") << "l.json" << QByteArray("[{\"Code\":\n\"caf\xe9\"}]")
                                         << "文件第 2 行不是 UTF-8 编码的文字。请先把文件另存为 UTF-8 编码。";
        QTest::newRow("unclosed quote") << "q.csv" << QByteArray("ID,Code\r\n1,\"open\r\nstill open\r\n")
                                        << "文件第 2 行不是有效的 CSV：从这一行开始的引号没有闭合";
        QTest::newRow("wrong header") << "h.csv" << QByteArray("ID,Name,Code\r\n1,a,b\r\n")
                                      << "文件的第一行不是文本库的列名（“Name”不是列名）。第一行应为：\n"
                                         "ID,MoudleName,TypeName,CodeName,Code,ChangeTime,IsUsed";
        QTest::newRow("short row") << "r.csv" << QByteArray("CodeName,Code\r\na,\"b\nb\"\r\nc\r\n")
                                   << "第 2 条记录（文件第 4 行）有误：有 1 个字段，标题行有 2 个";
        QTest::newRow("CSV in GBK") << "g.csv" << QByteArray("CodeName,Code\r\na,b\r\n\xc4\xe3\xba\xc3,x\r\n")
                                    << "文件第 3 行不是 UTF-8 编码的文字。请先把文件另存为 UTF-8 编码。";
        QTest::newRow("CR-only CSV") << "cr.csv" << QByteArray("CodeName,Code\ra,\"b\rb\"\rc\r")
                                     << "第 2 条记录（文件第 4 行）有误：有 1 个字段，标题行有 2 个";
        QTest::newRow("CR-only CSV in GBK")
            << "crg.csv" << QByteArray("CodeName,Code\ra,b\r\r\xc4\xe3,x\r")
            << "文件第 4 行不是 UTF-8 编码的文字。请先把文件另存为 UTF-8 编码。";
        QTest::newRow("JSON in UTF-16")
            << "u.json" << QByteArray("\xFF\xFE[\0{\0}\0]\0", 10)
            << "文件是 UTF-16 编码的，不是 UTF-8 编码的文字。请先把文件另存为 UTF-8 编码。";
        QTest::newRow("JSON in UTF-16 without mark")
            << "b.json" << QByteArray("\0[\0{\0}\0]", 8)
            << "文件是 UTF-16 编码的，不是 UTF-8 编码的文字。请先把文件另存为 UTF-8 编码。";
        QTest::newRow("CSV in UTF-16")
            << "u.csv" << QByteArray("\xFF\xFEI\0D\0\r\0\n\0", 10)
            << "文件是 UTF-16 编码的，不是 UTF-8 编码的文字。请先把文件另存为 UTF-8 编码。";
        QTest::newRow("missing file") << "m.json" << QByteArray() << "找不到文件：%1";
        QTest::newRow("other format") << "x.txt" << QByteArray("[]") << "只能使用 .json 或 .csv 文件：%1";
    }
    void badFilesChangeNothing() {
        QFETCH(QString, name);
        QFETCH(QByteArray, content);
        QFETCH(QString, message);
        const QString lib = library("lib.mdb", "INSERT INTO VBcode VALUES (1, 'g', 't', 'a', 'b', '1', '')");
        if (!content.isNull())
            QVERIFY(TestEnv::writeFile(path(name), content));
        const QStringList before = dump(lib);
        const auto report = exchange::importLibrary(LibraryStore(lib), path(name));
        QCOMPARE(messages::describe(report), message.replace("%1", QDir::toNativeSeparators(path(name))));
        QCOMPARE(report.added, 0);
        QCOMPARE(dump(lib), before);
    }

    // The export of an empty library imports as nothing, and so does an empty array.
    void anEmptyExportImportsBack_data() {
        QTest::addColumn<QString>("name");
        QTest::newRow("json") << "empty.json";
        QTest::newRow("csv") << "empty.csv";
    }
    void anEmptyExportImportsBack() {
        QFETCH(QString, name);
        const QString lib = library("lib.mdb");
        QVERIFY(exchange::exportLibrary(LibraryStore(lib), path(name)).ok());
        const auto report = exchange::importLibrary(LibraryStore(lib), path(name));
        QVERIFY2(report.ok(), qPrintable(messages::describe(report)));
        QVERIFY(TestEnv::writeFile(path("blank.json"), " [ \r\n ] \n"));
        QVERIFY(exchange::importLibrary(LibraryStore(lib), path("blank.json")).ok());
        QCOMPARE(dump(lib), QStringList());
    }

    // What JSON or CSV cannot hold as stored is written as near as can be, and the report counts the
    // records so written and says how; exact records are not counted.
    void exportCountsWhatItCouldNotKeep_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("how");
        QTest::newRow("json")
            << "out.json"
            << "其中 3 条记录无法按原样写出：2 条含有不是 UTF-8 的字节，写成了 U+FFFD（\uFFFD）；"
               "2 条含有二进制值（BLOB），按文字写出。";
        QTest::newRow("csv")
            << "out.csv"
            << "其中 5 条记录无法按原样写出：2 条含有不是 UTF-8 的字节，写成了 U+FFFD（\uFFFD）；"
               "2 条含有二进制值（BLOB），按文字写出；2 条含有空值（NULL），写成了空字段。";
    }
    void exportCountsWhatItCouldNotKeep() {
        QFETCH(QString, name);
        QFETCH(QString, how);
        const QString lib = library(
            "foreign.mdb", "INSERT INTO VBcode VALUES (1, 'g', '', 'bad', CAST(X'61FF62' AS TEXT), '1', '');"
                           "INSERT INTO VBcode VALUES (2, 'g', '', 'blob', X'00FF', '2', '');"
                           "INSERT INTO VBcode VALUES (3, 'g', '', 'text blob', X'6869', '3', '');"
                           "INSERT INTO VBcode VALUES (4, NULL, '', 'null', 'x', '4', NULL);"
                           "INSERT INTO VBcode VALUES (5, 'g', '', 'exact', 'y', '5', '常用');"
                           "INSERT INTO VBcode VALUES (6, NULL, '', 'null', 'x', '6', NULL);");
        const auto report = exchange::exportLibrary(LibraryStore(lib), path(name));
        QVERIFY(report.ok());
        QCOMPARE(messages::describeDone(report, true),
                 "已导出 6 条记录到：\n" + QDir::toNativeSeparators(path(name)) + "\n" + how);
        const QByteArray file = TestEnv::bytesOf(path(name));
        QVERIFY(file.contains("a\xEF\xBF\xBD"
                              "b") &&
                file.contains("hi"));
    }

    // An export never replaces what is not a file, nor writes through a link another user planted in a
    // sticky folder that anyone may write to; the thing named stays as it was.
    void exportRefusesUnsafeTargets_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("message");
        QTest::newRow("pipe")
            << "fifo"
            << "%1 不是普通文件（而是文件夹、管道或设备），不能用来保存导出的文本库。请换一个文件名。";
        QTest::newRow("link to a device")
            << "device"
            << "%1 不是普通文件（而是文件夹、管道或设备），不能用来保存导出的文本库。请换一个文件名。";
        QTest::newRow("folder")
            << "folder"
            << "%1 不是普通文件（而是文件夹、管道或设备），不能用来保存导出的文本库。请换一个文件名。";
        QTest::newRow("another user's link in /tmp")
            << "foreign"
            << "%1 "
               "经过一个由其他用户放在公共文件夹中的符号链接，写入它可能改写别人指定的文件，所以没有导出。请"
               "换一个位置。";
        QTest::newRow("one's own link in /tmp") << "own"
                                                << "";
    }
    void exportRefusesUnsafeTargets() {
        QFETCH(QString, kind);
        QFETCH(QString, message);
        const QString lib = library("lib.mdb", "INSERT INTO VBcode VALUES (1, 'g', 't', 'a', 'b', '1', '')");
        const QString sticky = path("tmp"), victim = path("victim.json");
        QVERIFY(QDir().mkdir(sticky) && ::chmod(qPrintable(sticky), 01777) == 0);
        QVERIFY(TestEnv::writeFile(victim, "mine"));
        QString target = path("out.json");
        if (kind == "fifo") {
            QVERIFY(::mkfifo(qPrintable(target), 0600) == 0);
        } else if (kind == "device") {
            QVERIFY(QFile::link("/dev/null", target));
        } else if (kind == "folder") {
            target = path("out.csv");
            QVERIFY(QDir().mkdir(target));
        } else {
            target = sticky + "/x.json";
            QVERIFY(QFile::link(victim, target));
            if (kind == "foreign") {
                if (::geteuid() != 0)
                    QSKIP("only root can plant a link of another user");
                QVERIFY(::lchown(qPrintable(target), 65534, 65534) == 0);
            }
        }
        const auto report = exchange::exportLibrary(LibraryStore(lib), target);
        QCOMPARE(messages::describe(report),
                 message.isEmpty() ? QString() : message.arg(QDir::toNativeSeparators(target)));
        const QFileInfo after(target);
        if (kind == "fifo" || kind == "device")
            QVERIFY(!after.isFile() && after.exists());
        QCOMPARE(TestEnv::bytesOf(victim).startsWith("mine"), kind != "own");
    }

    // The library's own failures are told as what they are, not as a fault of the first record; a value
    // longer than the library holds is told with its record.
    void libraryFailuresSayWhatHappened() {
        const QString lib = library("lib.mdb", "INSERT INTO VBcode VALUES (1, 'g', 't', 'a', 'b', '1', '')");
        QVERIFY(
            TestEnv::writeFile(path("in.json"), "[{\"CodeName\":\"x\"},\n{\"CodeName\":\"y\",\n\"Code\":\"" +
                                                    QByteArray(3000, 'z') + "\"}]"));
        SqliteDb::setForceReadOnly(true);
        const auto readOnly = exchange::importLibrary(LibraryStore(lib), path("in.json"));
        SqliteDb::setForceReadOnly(false);
        QCOMPARE(messages::describe(readOnly),
                 QStringLiteral("VBCode.mdb是只读的，无法写入（请检查文件和所在文件夹的写入权限）"));
        SqliteDb::setLengthLimit(2000);
        const auto tooBig = exchange::importLibrary(LibraryStore(lib), path("in.json"));
        SqliteDb::setLengthLimit(0);
        QCOMPARE(
            messages::describe(tooBig),
            QStringLiteral("第 2 条记录（文件第 2 行）无法存入文本库：内容太长，超过了文本库能存放的大小"));
        QCOMPARE(dump(lib).size(), 1);
    }

    // When the keys from 0 to 999999 run out, the import stops at the record that wanted one and says so.
    void anImportThatRunsOutOfKeysSaysSo() {
        const QString lib = library(
            "full.mdb",
            "WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < 999999) "
            "INSERT INTO VBcode (ID, CodeName, Code) SELECT i, '', '' FROM n WHERE i NOT IN (7, 99999)",
            "CREATE TABLE VBcode (ID INTEGER PRIMARY KEY, MoudleName, TypeName, CodeName, Code, ChangeTime, "
            "IsUsed);");
        QVERIFY(TestEnv::writeFile(path("in.csv"), "ID,CodeName,Code\n,a,1\n5,b,2\n,c,3\n2000000,d,4\n"));
        const auto report = exchange::importLibrary(LibraryStore(lib), path("in.csv"));
        QCOMPARE(messages::describe(report),
                 QStringLiteral("第 3 条记录（文件第 4 行）需要一个新的 ID，但 0 到 999999 之间的 ID "
                                "已经用完（这次导入已分配 2 "
                                "个）。没有 ID 或 ID 已被占用的记录太多，请先给它们填上不重复的 ID。"));
        QCOMPARE(TestEnv::sql(lib, "SELECT count(*) FROM VBcode"), QStringList{"999998"});
    }


    // Files the fuzz targets found mishandled (each is in fuzz/corpus/ as well): the export of an empty
    // library, a line named by where a text's bad byte stands in the file, and a first character that
    // begins like the byte-order mark.
    void foundByFuzzing_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("message"); // none: imported
        QTest::newRow("empty array") << "e.json" << QByteArray("[]\n") << QString();
        QTest::newRow("empty array, BOM and blanks")
            << "b.json" << QByteArray("\xEF\xBB\xBF [ ]\n") << QString();
        QTest::newRow("bad UTF-8 after escaped line breaks")
            << "u.json" << QByteArray("[{\"Code\":\"a\\nb\\nc\xff\"}]")
            << "文件第 1 行不是 UTF-8 编码的文字。请先把文件另存为 UTF-8 编码。";
        QTest::newRow("character like the BOM")
            << "f.csv" << QByteArray("\xEF\xBB\x97\r\n")
            << "文件的第一行不是文本库的列名（“\uFED7”不是列名）。第一行应为：\n"
               "ID,MoudleName,TypeName,CodeName,Code,ChangeTime,IsUsed";
    }
    void foundByFuzzing() {
        QFETCH(QString, name);
        QFETCH(QByteArray, content);
        QFETCH(QString, message);
        const QString lib = library("lib.mdb");
        QVERIFY(TestEnv::writeFile(path(name), content));
        const auto report = exchange::importLibrary(LibraryStore(lib), path(name));
        QCOMPARE(report.ok() ? QString() : messages::describe(report), message);
        QCOMPARE(dump(lib), QStringList());
    }

    // A record the library refuses, and a cancel, take back the records stored before them.
    void anImportIsAllOrNothing() {
        const QString lib = library("lib.mdb", "CREATE TRIGGER refuse BEFORE INSERT ON VBcode WHEN "
                                               "NEW.CodeName = 'boom' BEGIN SELECT RAISE(ABORT, 'no'); END");
        QVERIFY(TestEnv::writeFile(path("boom.json"), "[{\"CodeName\":\"a\"},\n{\"CodeName\":\"boom\"}]"));
        const auto refused = exchange::importLibrary(LibraryStore(lib), path("boom.json"));
        QCOMPARE(messages::describe(refused),
                 QStringLiteral("第 2 条记录（文件第 2 行）无法存入文本库：文本库拒绝了这次修改"));
        QByteArray many("CodeName,Code\r\n");
        for (int i = 0; i < 1000; ++i)
            many += QByteArray::number(i) + ",text\r\n";
        QVERIFY(TestEnv::writeFile(path("many.csv"), many));
        qint64 seen = 0;
        double done = 0;
        const auto cancelled =
            exchange::importLibrary(LibraryStore(lib), path("many.csv"), [&](qint64 n, double share) {
                done = share;
                return (seen = n) < 256;
            });
        QCOMPARE(cancelled.problem, exchange::Problem::Cancelled);
        QVERIFY(seen == 256 && done > 0.2 && done < 0.3);
        QCOMPARE(dump(lib), QStringList());
    }

    // A failed or cancelled export leaves the chosen name as it was and no partial file beside it.
    void aFailedExportLeavesNoFile() {
        QVERIFY(TestEnv::writeFile(path("file"), "not a folder"));
        const QString lib =
            library("lib.mdb", "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n "
                               "WHERE i < 600) INSERT INTO VBcode SELECT i, '', '', i, i, '', '' FROM n");
        const auto unwritable = exchange::exportLibrary(LibraryStore(lib), path("file/out.json"));
        QVERIFY(messages::describe(unwritable)
                    .startsWith("无法写入文件：" + QDir::toNativeSeparators(path("file/out.json"))));
        QVERIFY(TestEnv::writeFile(path("old.csv"), "old"));
        const auto cancelled = exchange::exportLibrary(LibraryStore(lib), path("old.csv"),
                                                       [](qint64 n, double) { return n < 512; });
        const auto missing = exchange::exportLibrary(LibraryStore(path("none.mdb")), path("old.csv"));
        QCOMPARE(cancelled.problem, exchange::Problem::Cancelled);
        QCOMPARE(messages::describe(missing), QStringLiteral("缺少Vbcode.mb文件"));
        QCOMPARE(TestEnv::bytesOf(path("old.csv")), QByteArray("old"));
        QCOMPARE(QDir(env->dir()).entryList(QDir::Files), (QStringList{"file", "lib.mdb", "old.csv"}));
    }

    // Records whose title and text the library holds are skipped, however their ID and other fields
    // differ; a taken or unusable ID gets a fresh key; a record twice in the file is added once; a record
    // without a group gets one the list shows; a record with the ID and title of a stored one but
    // another text is added and named.
    void importSkipsExactlyTheStoredRecords_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("json")
            << "in.json"
            << QByteArray("[{\"ID\":1,\"MoudleName\":\"x\",\"CodeName\":\"A\",\"Code\":\"text A\"},\n"
                          "{\"ID\":12,\"CodeName\":\"C\",\"Code\":\"text C\",\"ChangeTime\":"
                          "\"20210101000000\",\"IsUsed\":true},\n"
                          "{\"ID\":1.5,\"CodeName\":\"D\",\"Code\":\"text D\"},\n"
                          "{\"ID\":\"11\",\"CodeName\":\"B\",\"Code\":\"text B\",\"IsUsed\":\"\"},"
                          "{\"ID\":20,\"CodeName\":\"E\",\"Code\":\"\"},{\"ID\":21,\"CodeName\":"
                          "\"E\",\"Code\":\"\",\"ChangeTime\":null}]");
        QTest::newRow("csv, some columns")
            << "in.csv"
            << QByteArray("CodeName,Code,ID,IsUsed,ChangeTime\n"
                          "A,text A,1,,\nC,text C,12,常用,20210101000000\n"
                          "D,text D,x7,,\r\n\r\nB,text B,11,,\nE,,20,,\nE,,21,,");
    }
    void importSkipsExactlyTheStoredRecords() {
        QFETCH(QString, name);
        QFETCH(QByteArray, content);
        const QString lib =
            library("lib.mdb", "INSERT INTO VBcode VALUES (10, 'g', 'Sub', 'A', 'text A', '1', '');"
                               "INSERT INTO VBcode VALUES (11, 'g', 'Sub', 'B', 'text B', '1', '');"
                               "INSERT INTO VBcode VALUES (12, 'g', 'Sub', 'C', 'other', '1', '')");
        QVERIFY(TestEnv::writeFile(path(name), content));
        LibraryStore store(lib);
        store.setClock([] { return QDateTime(QDate(2026, 3, 1), QTime(9, 5, 30)); });
        const auto report = exchange::importLibrary(store, path(name));
        QVERIFY2(report.ok(), qPrintable(messages::describe(report)));
        QCOMPARE(QList<qint64>() << report.added << report.skipped, QList<qint64>() << 3 << 3);
        QCOMPARE(TestEnv::sql(lib,
                              "SELECT CodeName || ',' || Code || ',' || ChangeTime || ',' || IsUsed || ',' "
                              "|| MoudleName || ',' || (ID <> 12 AND ID BETWEEN 0 AND 999999) "
                              "FROM VBcode WHERE ChangeTime <> '1' ORDER BY CodeName, ID"),
                 (QStringList{"C,text C,20210101000000,常用,未分组,1", "D,text D,20260301090530,,未分组,1",
                              "E,,20260301090530,,未分组,1"}));
        QCOMPARE(TestEnv::sql(lib, "SELECT group_concat(ID) FROM VBcode WHERE CodeName = 'E'"),
                 QStringList{"20"});
        QCOMPARE(messages::describeDone(report, false),
                 QStringLiteral("导入完成：新增 3 条记录，跳过 3 条（文本库中已有标题和内容都相同的记录）。\n"
                                "有 1 条记录与文本库中的记录 ID 和标题相同而内容不同，已作为新记录加入"
                                "（要改写原记录，请用“更新 ID 相同的记录”的方式导入）：\nID 12：C"));
        const auto again = exchange::importLibrary(store, path(name)); // now every record is there
        QCOMPARE(QList<qint64>() << again.added << again.skipped, QList<qint64>() << 0 << 6);
    }

    // The Update mode writes a record with a stored ID over that record (the columns the file gives,
    // with the time of the import), leaves equal ones alone and adds the rest as the Add mode does.
    void updateWritesOverTheRecordsWithTheirId_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("json")
            << "in.json"
            << QByteArray("[{\"ID\":10,\"CodeName\":\"A\",\"Code\":\"edited A\",\"IsUsed\":\"常用\"},\n"
                          "{\"ID\":11,\"CodeName\":\"B\",\"Code\":\"text B\"},\n"
                          "{\"ID\":12,\"MoudleName\":\"\",\"CodeName\":\"C2\",\"Code\":\"x\"},\n"
                          "{\"ID\":30,\"CodeName\":\"N\",\"Code\":\"new\"},\n"
                          "{\"ID\":31,\"CodeName\":\"N\",\"Code\":\"new\"}]");
        QTest::newRow("csv") << "in.csv"
                             << QByteArray("ID,CodeName,Code,IsUsed\r\n10,A,edited A,常用\r\n11,B,text B,\r\n"
                                           "12,C2,x,\r\n30,N,new,\r\n31,N,new,\r\n");
    }
    void updateWritesOverTheRecordsWithTheirId() {
        QFETCH(QString, name);
        QFETCH(QByteArray, content);
        const QString lib =
            library("lib.mdb", "INSERT INTO VBcode VALUES (10, 'g', 'Sub', 'A', 'text A', '1', '');"
                               "INSERT INTO VBcode VALUES (11, 'g', 'Sub', 'B', 'text B', '1', '');"
                               "INSERT INTO VBcode VALUES (12, 'g', 'Sub', 'C', 'text C', '1', '')");
        QVERIFY(TestEnv::writeFile(path(name), content));
        LibraryStore store(lib);
        store.setClock([] { return QDateTime(QDate(2026, 3, 1), QTime(9, 5, 30)); });
        const auto report = exchange::importLibrary(store, path(name), {}, ImportMode::Update);
        QVERIFY2(report.ok(), qPrintable(messages::describe(report)));
        QCOMPARE(messages::describeDone(report, false, true),
                 QStringLiteral("导入完成：更新 2 条记录，新增 1 条，跳过 2 条（文本库中已有相同的记录）。\n"
                                "其中 1 条记录与文本库中 ID 和标题相同而内容不同，已改写原记录：\nID 10：A"));
        const QString group = name.endsWith("json") ? "未分组" : "g"; // CSV without the column keeps it
        QCOMPARE(
            TestEnv::sql(lib,
                         "SELECT ID || ',' || MoudleName || ',' || TypeName || ',' || CodeName || ',' || "
                         "Code || ',' || ChangeTime || ',' || IsUsed FROM VBcode ORDER BY ID"),
            (QStringList{"10,g,Sub,A,edited A,20260301090530,常用", "11,g,Sub,B,text B,1,",
                         "12," + group + ",Sub,C2,x,20260301090530,", "30,未分组,,N,new,20260301090530,"}));
    }
};

QTEST_GUILESS_MAIN(TestExchange)
#include "tst_exchange.moc"
