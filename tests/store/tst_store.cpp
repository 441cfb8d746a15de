// The library store against real files in temporary folders: the record
// forms, the list order, keys that never collide, changes that are all or
// nothing, bad and busy files left untouched, and backups that open.
#include "MessageBox.h"
#include "TestEnv.h"
#include "store/DataEdit.h"
#include "store/LibrarySchema.h"
#include "store/SqliteDb.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <cerrno>
#include <cstring>
#include <sqlite3.h>
#include <thread>
#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

using namespace DataEdit;

namespace {

// A raw connection of "another program", outside the store.
struct Raw {
    sqlite3 *db = nullptr;
    explicit Raw(const QString &path) { sqlite3_open(path.toUtf8().constData(), &db); }
    ~Raw() { sqlite3_close(db); }
    bool exec(const QString &sql) {
        return sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, nullptr) == 0;
    }
    QVariant value(const QString &sql) {
        sqlite3_stmt *s = nullptr;
        QVariant v;
        sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &s, nullptr);
        if (sqlite3_step(s) == SQLITE_ROW && sqlite3_column_type(s, 0) != SQLITE_NULL)
            v = QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(s, 0)));
        sqlite3_finalize(s);
        return v;
    }
};

QByteArray bytesOf(const QString &path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

EditorRecord record(const QString &id, const QString &title, bool common = false) {
    return {
        id,    QStringLiteral("分组"), QStringLiteral("Function"), title, QStringLiteral("text of ") + title,
        common};
}

QDateTime at(const char *text) {
    return QDateTime::fromString(QString::fromLatin1(text), Qt::ISODate);
}

} // namespace

class TestStore : public QObject {
    Q_OBJECT

    TestEnv *env = nullptr;
    QTemporaryDir *dir = nullptr;
    QString lib;

    void makeLibrary() {
        Raw raw(lib);
        QVERIFY(raw.exec(QString::fromLatin1(librarySchema::CreateSql)));
    }
    void put(int id, const QString &title, const QString &stamp, const QVariant &common) {
        Raw raw(lib);
        const QString flag = common.isNull() ? QStringLiteral("NULL") : "'" + common.toString() + "'";
        QVERIFY(raw.exec(QStringLiteral("INSERT INTO VBcode VALUES (%1, 'g', 'Sub', '%2', 'code', '%3', %4)")
                             .arg(id)
                             .arg(title, stamp, flag)));
    }
    int count(const QString &where = QStringLiteral("1")) {
        return Raw(lib).value("SELECT count(*) FROM VBcode WHERE " + where).toInt();
    }
    QString field(const QString &column, int id) {
        return Raw(lib)
            .value(QStringLiteral("SELECT %1 FROM VBcode WHERE ID = %2").arg(column).arg(id))
            .toString();
    }

  private slots:
    void init() {
        env = new TestEnv;
        dir = new QTemporaryDir;
        // A program folder with a Chinese name and a blank, as users have them.
        QVERIFY(QDir(dir->path()).mkdir(QStringLiteral("程序 目录")));
        lib = dir->filePath(QStringLiteral("程序 目录/VBCode.mdb"));
        SetLibraryPath(lib);
        SetClock([] { return at("2020-12-23T15:04:05"); });
    }
    void cleanup() {
        store::SqliteDb::setForceReadOnly(false);
        SetClock({});
        delete dir;
        delete env;
    }

    void shippedLibraryIsEmptyWithTheSevenColumns() {
        const QString shipped = QStringLiteral(VEMO_PRISTINE_LIBRARY);
        QVERIFY(QFile::exists(QStringLiteral(VEMO_BIN_DIR "/VBCode.mdb")));
        Raw raw(shipped);
        QStringList columns;
        sqlite3_stmt *s = nullptr;
        sqlite3_prepare_v2(raw.db, "SELECT name, pk FROM pragma_table_info('VBcode')", -1, &s, nullptr);
        while (sqlite3_step(s) == SQLITE_ROW)
            columns << QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(s, 0))) +
                           (sqlite3_column_int(s, 1) ? "*" : "");
        sqlite3_finalize(s);
        QCOMPARE(columns.join(' '),
                 QStringLiteral("ID* MoudleName TypeName CodeName Code ChangeTime IsUsed"));
        QVERIFY(!GetAllRecords(shipped, TableName).isArray());
    }

    void addStoresTheEditorValues() {
        makeLibrary();
        EditorRecord r =
            record(QStringLiteral("00000042"), QStringLiteral("It's \"quoted\"; DROP TABLE VBcode"));
        r.code = QStringLiteral("第一行\r\n'second' line ★");
        QCOMPARE(AddRecordFromEditor(r), AddResult::Stored);
        QCOMPARE(AddRecordFromEditor(record(QStringLiteral("7"), QStringLiteral("c"), true)),
                 AddResult::Stored);
        QCOMPARE(field("CodeName", 42), r.codeName);
        QCOMPARE(field("Code", 42), r.code);
        QCOMPARE(field("ChangeTime", 42), QStringLiteral("20201223150405"));
        QCOMPARE(field("IsUsed", 42), QString());
        QVERIFY(!Raw(lib).value("SELECT IsUsed FROM VBcode WHERE ID = 42").isNull()); // "" and not NULL
        QCOMPARE(field("IsUsed", 7), QStringLiteral("常用"));
        QVERIFY(env->boxes.isEmpty());
    }

    void addWithoutLibraryTellsTheUserAndCreatesNothing() {
        QCOMPARE(AddRecordFromEditor(record("1", "t")), AddResult::MissingFile);
        QCOMPARE(env->boxes, QStringList{QStringLiteral("Vemo文本收集器|缺少Vbcode.mb文件")});
        QCOMPARE(env->styles, QList<int>{64});
        QVERIFY(!QFile::exists(lib));
        QVERIFY(!InsertRecordFromEditor(record("1", "t")));
        QVERIFY(!QFile::exists(lib));
    }

    void idCaptions_data() {
        QTest::addColumn<QString>("caption");
        QTest::addColumn<int>("id");
        QTest::addColumn<bool>("valid");
        QTest::newRow("leading zeros") << "00000042" << 42 << true;
        QTest::newRow("empty") << "" << 0 << true;
        QTest::newRow("digits then text") << "12ab3" << 12 << true;
        QTest::newRow("no digits") << "abc" << 0 << true;
        QTest::newRow("negative") << "-5" << -5 << true;
        QTest::newRow("beyond 32 bits") << "99999999999" << 0 << false;
    }
    void idCaptions() {
        QFETCH(QString, caption);
        QFETCH(int, id);
        QFETCH(bool, valid);
        const auto converted = IdFromCaption(caption);
        QCOMPARE(converted.has_value(), valid);
        if (valid)
            QCOMPARE(*converted, id);
    }

    void takenKeyGetsAFreshOne() {
        makeLibrary();
        QCOMPARE(*InsertRecordFromEditor(record("42", "first")), 42);
        const auto second = InsertRecordFromEditor(record("00000042", "first"));
        QVERIFY(second && *second != 42 && *second >= 0 && *second < 1000000);
        QCOMPARE(count(), 2); // the same text twice gives two records
        QCOMPARE(field("CodeName", *second), QStringLiteral("first"));
        // Every ID names one record, so a delete removes exactly one.
        QVERIFY(DeleteRecord(42));
        QCOMPARE(count(), 1);
    }

    void replaceKeepsTheIdAndRenewsTheStamp() {
        makeLibrary();
        put(42, "old", "20190101000000", "常用");
        put(43, "other", "20190101000000", "");
        QVERIFY(ReplaceRecordFromEditor(record("00000042", "new")));
        QCOMPARE(count("ID = 42"), 1);
        QCOMPARE(field("CodeName", 42), QStringLiteral("new"));
        QCOMPARE(field("IsUsed", 42), QString());
        QCOMPARE(field("ChangeTime", 42), QStringLiteral("20201223150405"));
        QCOMPARE(field("CodeName", 43), QStringLiteral("other"));
    }

    void failedReplaceKeepsTheOldRecord() {
        makeLibrary();
        put(42, "old", "20190101000000", "常用");
        // The insert half of the change is refused after the delete ran.
        QVERIFY(Raw(lib).exec("CREATE TRIGGER refuse BEFORE INSERT ON VBcode WHEN NEW.CodeName = 'boom' "
                              "BEGIN SELECT RAISE(ABORT, 'refused'); END"));
        QVERIFY(!ReplaceRecordFromEditor(record("42", "boom")));
        QCOMPARE(count(), 1);
        QCOMPARE(field("CodeName", 42), QStringLiteral("old"));
        QCOMPARE(field("ChangeTime", 42), QStringLiteral("20190101000000"));
        QCOMPARE(AddRecordFromEditor(record("5", "boom")), AddResult::Failed);
        QCOMPARE(count(), 1);
    }

    void readsInListOrderWithTheirForms() {
        makeLibrary();
        QVERIFY(!GetAllRecords(lib, TableName).isArray()); // an empty table is no array
        QVERIFY(!GetDistinctValues(lib, TableName, "MoudleName").isArray());
        put(1, "a", "20200101000000", "常用");
        put(2, "b", "20210101000000", "");
        put(3, "c", "20200601000000", "常用");
        put(4, "d", "20221231235959", QVariant());
        const RowArray rows = GetAllRecords(lib, QStringLiteral("vbcode"));
        QCOMPARE(rows.columnCount(), 7);
        QCOMPARE(rows.rowCount(), 4);
        QList<int> ids;
        for (int r = 0; r < rows.rowCount(); ++r)
            ids << rows.at(0, r).toInt();
        QCOMPARE(ids, (QList<int>{3, 1, 2, 4})); // common first, newest first; a NULL flag after ""
        QCOMPARE(rows.at(0, 0).typeId(), int(QMetaType::Int));
        QCOMPARE(rows.at(3, 0).toString(), QStringLiteral("c"));
        QCOMPARE(rows.at(5, 0).toString(), QStringLiteral("20200601000000"));
        QCOMPARE(rows.at(6, 0).toString(), QStringLiteral("常用"));
        QVERIFY(rows.at(6, 3).isNull());
        QVERIFY(!rows.at(6, 2).isNull());
        QVERIFY(rows.at(7, 0).isNull() && rows.at(0, 4).isNull()); // outside the array
    }

    // Odd values that other writers may leave: the order is still SQLite's own.
    void listOrderMatchesSqliteForAnyValues_data() {
        QTest::addColumn<int>("flags");
        QTest::newRow("few distinct flags") << 3;
        QTest::newRow("many distinct flags") << 90;
    }
    void listOrderMatchesSqliteForAnyValues() {
        QFETCH(int, flags);
        makeLibrary();
        Raw raw(lib);
        QVERIFY(raw.exec("BEGIN"));
        for (int i = 0; i < 400; ++i) {
            const int f = (i * 7) % (flags + 2);
            const QString flag = f == 0 ? "NULL" : f == 1 ? "'常用'" : QStringLiteral("'v%1'").arg(f);
            // Digit stamps (some equal), numbers, other texts, text beyond
            // U+FFFF, and NULL.
            const QString stamps[] = {QStringLiteral("'2020%1'").arg(100000000 + (i * 7919) % 50),
                                      QString::number(i), QStringLiteral("'x%1'").arg(i),
                                      "'" + QString::fromUcs4(U"\U0001F600") + QString::number(i) + "'",
                                      QStringLiteral("NULL")};
            const QString &stamp = stamps[i % 5];
            QVERIFY(raw.exec(QStringLiteral("INSERT INTO VBcode VALUES (%1, 'g', 't', 'c', 'x', %2, %3)")
                                 .arg(i)
                                 .arg(stamp, flag)));
        }
        QVERIFY(raw.exec("INSERT INTO VBcode VALUES (1000, 'g', 't', 'c', 'x', '\uE000', '常用')"));
        QVERIFY(raw.exec("COMMIT"));
        QStringList expected, actual;
        sqlite3_stmt *st = nullptr;
        sqlite3_prepare_v2(raw.db, "SELECT ID FROM VBcode ORDER BY IsUsed DESC, ChangeTime DESC, ID", -1, &st,
                           nullptr);
        while (sqlite3_step(st) == SQLITE_ROW)
            expected << QString::number(sqlite3_column_int(st, 0));
        sqlite3_finalize(st);
        const RowArray rows = GetAllRecords(lib, TableName);
        for (int r = 0; r < rows.rowCount(); ++r)
            actual << rows.at(0, r).toString();
        QCOMPARE(actual, expected);
    }

    void distinctValuesAcceptOnlyKnownNames() {
        makeLibrary();
        put(1, "a", "20200101000000", "");
        put(2, "b", "20200101000000", "");
        const RowArray groups = GetDistinctValues(lib, TableName, "MoudleName");
        QCOMPARE(groups.columnCount(), 1);
        QCOMPARE(groups.rowCount(), 1);
        QCOMPARE(groups.at(0, 0).toString(), QStringLiteral("g"));
        QVERIFY(!GetDistinctValues(lib, TableName, "MoudleName FROM VBcode; DROP TABLE VBcode --").isArray());
        QVERIFY(!GetDistinctValues(lib, "sqlite_master", "name").isArray());
        QVERIFY(!GetAllRecords(lib, "VBcode WHERE 0 UNION SELECT 1,2,3,4,5,6,7").isArray());
        QVERIFY(!ExecSql("DELETE FROM VBcode; DROP TABLE VBcode")); // one statement only
        QCOMPARE(count(), 2);
    }

    void flagsAndDeletes() {
        makeLibrary();
        put(42, "a", "20200101000000", "");
        put(0, "zero", "20200101000000", "");
        put(-3, "negative", "20200101000000", "");
        put(8, "b", "20200101000000", "常用");
        QVERIFY(SetCommonFlag(42, true));
        QCOMPARE(field("IsUsed", 42), QStringLiteral("常用"));
        QVERIFY(SetCommonFlag(42, false));
        QCOMPARE(field("IsUsed", 42), QString());
        QVERIFY(!SetCommonFlag(999, true));
        QVERIFY(!DeleteRecord(999));
        QCOMPARE(count(), 4);
        QVERIFY(ClearLibrary());
        QCOMPARE(count(), 2);
        QCOMPARE(count("ID <= 0"), 2);
    }

    void specialMarkToggles() {
        makeLibrary();
        put(1, "x", "20200101000000", "");
        QString title = QStringLiteral("It's done");
        QVERIFY(ToggleSpecialMark(1, title));
        QCOMPARE(title, QStringLiteral("Its done"));
        QCOMPARE(field("CodeName", 1), QStringLiteral("★★　Its done"));
        title = field("CodeName", 1);
        QVERIFY(ToggleSpecialMark(1, title));
        QCOMPARE(field("CodeName", 1), QStringLiteral("Its done"));
        title = QStringLiteral("ab★★　cd★★　");
        QVERIFY(ToggleSpecialMark(1, title));
        QCOMPARE(field("CodeName", 1), QStringLiteral("abcd"));
        title = QStringLiteral("t");
        QVERIFY(!ToggleSpecialMark(2, title));
    }

    void badFilesAreLeftAsTheyAre_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("text")
            << QByteArray("这不是数据库\nnot a database at all, just some text\n").repeated(50);
        QTest::newRow("truncated") << QByteArray("truncate");
    }
    void badFilesAreLeftAsTheyAre() {
        QFETCH(QByteArray, content);
        if (content == "truncate") {
            makeLibrary();
            for (int i = 1; i <= 40; ++i)
                put(i, QString(500, u'x'), "20200101000000", "");
            content = bytesOf(lib).left(int(bytesOf(lib).size() / 2));
        }
        QFile f(lib);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(content);
        f.close();
        QVERIFY(!GetAllRecords(lib, TableName).isArray());
        QVERIFY(!GetDistinctValues(lib, TableName, "TypeName").isArray());
        QCOMPARE(AddRecordFromEditor(record("3", "t")), AddResult::Failed);
        QVERIFY(!ReplaceRecordFromEditor(record("3", "t")));
        QVERIFY(!DeleteRecord(3));
        QVERIFY(!SetCommonFlag(3, true));
        QString title = QStringLiteral("t");
        QVERIFY(!ToggleSpecialMark(3, title));
        QVERIFY(!ClearLibrary());
        QCOMPARE(bytesOf(lib), content);
        QVERIFY(!QFile::exists(lib + "-journal"));
        QVERIFY(env->boxes.isEmpty());
    }

    void writeProtectedLibraryIsReadButNotChanged() {
        makeLibrary();
        put(1, "a", "20200101000000", "");
        const QByteArray before = bytesOf(lib);
        // chmod does not stop root; then the store's own read-only opening stands in.
#ifdef Q_OS_UNIX
        const bool root = geteuid() == 0;
#else
        const bool root = false;
#endif
        if (root)
            store::SqliteDb::setForceReadOnly(true);
        else
            QVERIFY(QFile::setPermissions(lib, QFile::ReadOwner));
        QCOMPARE(GetAllRecords(lib, TableName).rowCount(), 1);
        QCOMPARE(AddRecordFromEditor(record("2", "b")), AddResult::Failed);
        QVERIFY(!ReplaceRecordFromEditor(record("1", "b")));
        QVERIFY(!DeleteRecord(1));
        QVERIFY(!SetCommonFlag(1, true));
        QVERIFY(!ClearLibrary());
        QCOMPARE(bytesOf(lib), before);
        QFile::setPermissions(lib, QFile::ReadOwner | QFile::WriteOwner);
    }

    void lockedLibraryIsWaitedForThenLeftIntact() {
        makeLibrary();
        put(1, "a", "20200101000000", "");
        {
            Raw other(lib);
            QVERIFY(other.exec("BEGIN EXCLUSIVE"));
            QVERIFY(other.exec("UPDATE VBcode SET CodeName = 'uncommitted'"));
            QElapsedTimer waited;
            waited.start();
            QVERIFY(!DeleteRecord(1));
            QVERIFY(waited.elapsed() >= 1000); // it did wait before giving up
            QVERIFY(!GetAllRecords(lib, TableName).isArray());
            QVERIFY(!ReplaceRecordFromEditor(record("1", "b")));
            QVERIFY(!ConfirmClearLibrary()); // Yes, but nothing was cleared
            QVERIFY(other.exec("ROLLBACK"));
        }
        QCOMPARE(count(), 1);
        QCOMPARE(field("CodeName", 1), QStringLiteral("a"));

        // A short write of another program is ridden out.
        Raw other(lib);
        QVERIFY(other.exec("BEGIN IMMEDIATE"));
        std::thread finisher([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            other.exec("COMMIT");
        });
        const bool deleted = DeleteRecord(1);
        finisher.join();
        QVERIFY(deleted);
        QCOMPARE(count(), 0);
    }

    void backupsAreDatedCopies() {
        makeLibrary();
        put(1, "a", "20200101000000", "");
        SetClock([] { return at("2026-03-01T09:05:30"); });
        QVERIFY(BackupLibrary());
        const QDir backup(dir->filePath(QStringLiteral("程序 目录/backup")));
        QCOMPARE(backup.entryList(QDir::Files), QStringList{QStringLiteral("20260301 0905VBCode.mdb")});
        QCOMPARE(env->boxes, QStringList{QStringLiteral("【Vemo】文本收集器提示您|数据库备份完成")});

        put(2, "b", "20200101000000", "");
        SetClock([] { return at("2026-03-01T09:05:59"); });
        QVERIFY(BackupLibrary()); // same minute: replaces the first
        SetClock([] { return at("2026-03-02T10:00:00"); });
        QVERIFY(BackupLibrary());
        QCOMPARE(backup.entryList(QDir::Files), (QStringList{QStringLiteral("20260301 0905VBCode.mdb"),
                                                             QStringLiteral("20260302 1000VBCode.mdb")}));
        QCOMPARE(GetAllRecords(backup.filePath("20260301 0905VBCode.mdb"), TableName).rowCount(), 2);
    }

    void backupOfAMissingLibraryReportsWhy() {
        QVERIFY(!BackupLibrary());
        // The system's own words, under the default title, and no success tip.
        QCOMPARE(env->boxes,
                 QStringList{QStringLiteral("Vemo文本收集器|") + QString::fromLocal8Bit(strerror(ENOENT))});
        QCOMPARE(env->styles, QList<int>{0});
        QVERIFY(QFileInfo(dir->filePath(QStringLiteral("程序 目录/backup"))).isDir());
        QVERIFY(QDir(dir->filePath(QStringLiteral("程序 目录/backup"))).isEmpty());
    }

    void backupIsConsistentDespiteOpenWritesAndCrashes() {
        makeLibrary();
        for (int i = 1; i <= 300; ++i)
            put(i, QString(300, u'a'), "20200101000000", "");
        const QByteArray committed = bytesOf(lib);
        {
            // Another program in the middle of a write: the backup copies the
            // last committed state.
            Raw other(lib);
            QVERIFY(other.exec("BEGIN IMMEDIATE"));
            QVERIFY(other.exec("UPDATE VBcode SET Code = Code || 'uncommitted' WHERE ID = 1"));
            QVERIFY(BackupLibrary());
            QVERIFY(other.exec("ROLLBACK"));
        }
        const QString crashed = dir->filePath(QStringLiteral("crashed"));
        QVERIFY(QDir().mkpath(crashed));
        {
            Raw other(lib);
            QVERIFY(other.exec("PRAGMA cache_size = 5"));
            QVERIFY(other.exec("BEGIN"));
            QVERIFY(other.exec("UPDATE VBcode SET Code = Code || 'uncommitted'"));
            QVERIFY(bytesOf(lib) != committed); // the change did reach the file
            QVERIFY(QFile::copy(lib, crashed + "/VBCode.mdb"));
            QVERIFY(QFile::copy(lib + "-journal", crashed + "/VBCode.mdb-journal"));
            QVERIFY(other.exec("ROLLBACK"));
        }
        // The copy taken in the middle of a big write is what a crash leaves
        // behind: changed pages plus a journal.
        SetLibraryPath(crashed + "/VBCode.mdb");
        SetClock([] { return at("2026-03-01T09:06:00"); });
        QVERIFY(BackupLibrary());
        for (const QString &copy :
             QDir(crashed + "/backup").entryList(QDir::Files) +
                 QDir(dir->filePath(QStringLiteral("程序 目录/backup"))).entryList(QDir::Files)) {
            const QString path = QFile::exists(crashed + "/backup/" + copy)
                                     ? crashed + "/backup/" + copy
                                     : dir->filePath(QStringLiteral("程序 目录/backup/") + copy);
            Raw raw(path);
            QCOMPARE(raw.value("PRAGMA integrity_check").toString(), QStringLiteral("ok"));
            QCOMPARE(raw.value("SELECT count(*) FROM VBcode WHERE Code LIKE '%uncommitted'").toInt(), 0);
            QCOMPARE(raw.value("SELECT count(*) FROM VBcode").toInt(), 300);
        }
        QCOMPARE(QDir(crashed + "/backup").entryList(QDir::Files).size(), 1); // no temporary left over
    }

    void clearingAsksFirst() {
        makeLibrary();
        put(5, "a", "20200101000000", "");
        put(0, "zero", "20200101000000", "");
        env->answers = {msg::No, msg::Yes};
        QVERIFY(!ConfirmClearLibrary());
        QCOMPARE(count(), 2);
        QVERIFY(ConfirmClearLibrary());
        QCOMPARE(count(), 1);
        QCOMPARE(env->boxes.first(), QStringLiteral("Vemo文本收集器|是否清空所在记录，该操作不可恢复"));
        QCOMPARE(env->styles, (QList<int>{68, 68}));
    }
};

QTEST_GUILESS_MAIN(TestStore)
#include "tst_store.moc"
