// The library store against real files in temporary folders: the record
// forms, the list order, keys that never collide, changes that are all or
// nothing, bad and busy files left untouched, and backups that open.
#include "MessageBox.h"
#include "TestEnv.h"
#include "store/DataEdit.h"
#include "store/LibrarySchema.h"
#include "store/SqliteDb.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <cerrno>
#include <cstring>
#include <sqlite3.h>
#include <thread>

using namespace DataEdit;

namespace {

// A raw connection of "another program", outside the store.
struct Raw {
    sqlite3 *db = nullptr;
    explicit Raw(const QString &path) { sqlite3_open(path.toUtf8().constData(), &db); }
    ~Raw() { sqlite3_close(db); }
    bool exec(const QString &sql) {
        return sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, nullptr) == SQLITE_OK;
    }
    // The first column of every row of a query.
    QStringList rows(const QString &sql) {
        QStringList out;
        sqlite3_stmt *s = nullptr;
        sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &s, nullptr);
        while (sqlite3_step(s) == SQLITE_ROW)
            out << QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(s, 0)));
        sqlite3_finalize(s);
        return out;
    }
};

QByteArray bytesOf(const QString &path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QStringList idsOf(const RowArray &rows) {
    QStringList ids;
    for (int r = 0; r < rows.rowCount(); ++r)
        ids << rows.at(0, r).toString();
    return ids;
}

EditorRecord record(const QString &id, const QString &title, bool common = false) {
    return {id, QStringLiteral("分组"), QStringLiteral("Function"), title, "text of " + title, common};
}

void setClock(const char *iso) {
    const QDateTime t = QDateTime::fromString(QString::fromLatin1(iso), Qt::ISODate);
    SetClock([t] { return t; });
}

} // namespace

class TestStore : public QObject {
    Q_OBJECT

    TestEnv *env = nullptr;
    QTemporaryDir *dir = nullptr;
    QString lib;

    void makeLibrary() { QVERIFY(Raw(lib).exec(QString::fromLatin1(librarySchema::CreateSql))); }
    void put(qint64 id, const QString &title, const QString &stamp, const QString &common = QString()) {
        const QString flag = common.isNull() ? QStringLiteral("NULL") : "'" + common + "'";
        QVERIFY(
            Raw(lib).exec(QStringLiteral("INSERT INTO VBcode VALUES (%1, 'g', 'Sub', '%2', 'code', '%3', %4)")
                              .arg(id)
                              .arg(title, stamp, flag)));
    }
    int count(const QString &where = QStringLiteral("1")) {
        return Raw(lib).rows("SELECT count(*) FROM VBcode WHERE " + where).value(0).toInt();
    }
    QString field(const QString &column, qint64 id) {
        return Raw(lib)
            .rows(QStringLiteral("SELECT %1 FROM VBcode WHERE ID = %2").arg(column).arg(id))
            .value(0);
    }
    QString backupDir() const { return dir->filePath(QStringLiteral("程序 目录/backup")); }

  private slots:
    void init() {
        env = new TestEnv;
        dir = new QTemporaryDir;
        // A program folder with a Chinese name and a blank, as users have them.
        QVERIFY(QDir(dir->path()).mkdir(QStringLiteral("程序 目录")));
        lib = dir->filePath(QStringLiteral("程序 目录/VBCode.mdb"));
        SetLibraryPath(lib);
        setClock("2020-12-23T15:04:05");
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
        QCOMPARE(Raw(shipped).rows("SELECT name || substr('*', 1, pk) FROM pragma_table_info('VBcode')"),
                 QStringLiteral("ID* MoudleName TypeName CodeName Code ChangeTime IsUsed").split(' '));
        QVERIFY(!GetAllRecords(shipped, TableName).isArray());
    }

    void addStoresTheEditorValuesOrSaysWhy() {
        QCOMPARE(AddRecordFromEditor(record("1", "t")), AddResult::MissingFile);
        QCOMPARE(env->boxes, QStringList{QStringLiteral("Vemo文本收集器|缺少Vbcode.mb文件")});
        QCOMPARE(env->styles, QList<int>{64});
        QVERIFY(!InsertRecordFromEditor(record("1", "t")));
        QVERIFY(!QFile::exists(lib)); // the store never creates the file
        env->boxes.clear();

        makeLibrary();
        EditorRecord r =
            record(QStringLiteral("00000042"), QStringLiteral("It's \"quoted\"; DROP TABLE VBcode"));
        r.code = QStringLiteral("第一行\r\n'second' line ★");
        QCOMPARE(AddRecordFromEditor(r), AddResult::Stored);
        QCOMPARE(AddRecordFromEditor(record("7", "c", true)), AddResult::Stored);
        QCOMPARE(field("CodeName", 42), r.codeName);
        QCOMPARE(field("Code", 42), r.code);
        QCOMPARE(field("ChangeTime", 42), QStringLiteral("20201223150405"));
        QCOMPARE(field("typeof(IsUsed) || IsUsed", 42), QStringLiteral("text")); // "" and not NULL
        QCOMPARE(field("IsUsed", 7), QStringLiteral("常用"));
        QVERIFY(env->boxes.isEmpty());
    }

    void idCaptions() {
        const QList<QPair<QString, std::optional<qint64>>> cases = {
            {"00000042", 42},
            {"", 0},
            {"12ab3", 12},
            {"abc", 0},
            {"-5", -5},
            {"99999999999", 99999999999},
            {"9223372036854775807", std::numeric_limits<qint64>::max()},
            {"-9223372036854775808", std::numeric_limits<qint64>::min()},
            {"9223372036854775808", std::nullopt},
            {"123456789012345678901", std::nullopt}};
        for (const auto &[caption, id] : cases)
            QVERIFY2(IdFromCaption(caption) == id, qPrintable(caption));
        // An ID read back from a list is a whole number or nothing.
        for (const QString text : {"", "-", "2x", "abc", " 2", "123456789012345678901"})
            QVERIFY2(!IdFromText(text), qPrintable(text));
        QCOMPARE(IdFromText("-99999999999"), -99999999999);
    }

    void takenKeyGetsAFreshOne() {
        makeLibrary();
        QCOMPARE(*InsertRecordFromEditor(record("42", "first")), 42);
        const auto second = InsertRecordFromEditor(record("00000042", "first"));
        QVERIFY(second && *second != 42 && *second >= 0 && *second < 1000000);
        QCOMPARE(count(), 2); // the same text twice gives two records
        QCOMPARE(field("CodeName", *second), QStringLiteral("first"));
        QCOMPARE(DeleteRecord(42), Failure::None); // every ID names one record
        QCOMPARE(count(), 1);
    }

    void replaceIsAllOrNothing() {
        makeLibrary();
        put(42, "old", "20190101000000", "常用");
        put(43, "other", "20190101000000");
        QVERIFY(ReplaceRecordFromEditor(record("00000042", "new")));
        QCOMPARE(count("ID = 42"), 1);
        QCOMPARE(field("CodeName || IsUsed || ChangeTime", 42), QStringLiteral("new20201223150405"));
        QCOMPARE(field("CodeName", 43), QStringLiteral("other"));

        // The insert half of the change is refused after the delete ran.
        QVERIFY(Raw(lib).exec("CREATE TRIGGER refuse BEFORE INSERT ON VBcode WHEN NEW.CodeName = 'boom' "
                              "BEGIN SELECT RAISE(ABORT, 'refused'); END"));
        QVERIFY(!ReplaceRecordFromEditor(record("42", "boom")));
        QCOMPARE(count(), 2);
        QCOMPARE(field("CodeName || ChangeTime", 42), QStringLiteral("new20201223150405"));
        QCOMPARE(AddRecordFromEditor(record("5", "boom")), AddResult::Failed);
        QCOMPARE(count(), 2);
    }

    void readsInListOrderWithTheirForms() {
        makeLibrary();
        QVERIFY(!GetAllRecords(lib, TableName).isArray()); // an empty table is no array
        QVERIFY(!GetDistinctValues(lib, TableName, "MoudleName").isArray());
        put(1, "a", "20200101000000", "常用");
        put(2, "b", "20210101000000", "");
        put(3, "c", "20200601000000", "常用");
        put(4, "d", "20221231235959");
        const RowArray rows = GetAllRecords(lib, QStringLiteral("vbcode"));
        QCOMPARE(rows.columnCount(), 7);
        QCOMPARE(idsOf(rows), (QStringList{"3", "1", "2", "4"})); // common, newest first; NULL after ""
        QCOMPARE(rows.at(0, 0).typeId(), int(QMetaType::Int));
        QCOMPARE(rows.at(6, 0).toString(), QStringLiteral("常用"));
        QVERIFY(rows.at(6, 3).isNull() && !rows.at(6, 2).isNull());
        QVERIFY(rows.at(7, 0).isNull() && rows.at(0, 4).isNull()); // outside the array
    }

    // The store sorts by itself; odd values other writers leave must come out in SQLite's own order.
    void listOrderMatchesSqliteForAnyValues() {
        for (const int flags : {3, 90}) {
            lib = dir->filePath(QStringLiteral("order%1.mdb").arg(flags));
            makeLibrary();
            Raw raw(lib);
            QVERIFY(raw.exec("BEGIN"));
            for (int i = 0; i < 400; ++i) {
                const int f = (i * 7) % (flags + 2);
                const QString flag = f == 0 ? "NULL" : f == 1 ? "'常用'" : QStringLiteral("'v%1'").arg(f);
                // Digit stamps (some equal), numbers, other texts, text beyond U+FFFF, and NULL.
                const QString stamps[] = {QStringLiteral("'2020%1'").arg(100000000 + (i * 7919) % 50),
                                          QString::number(i), QStringLiteral("'x%1'").arg(i),
                                          "'" + QString::fromUcs4(U"\U0001F600") + QString::number(i) + "'",
                                          QStringLiteral("NULL")};
                QVERIFY(raw.exec(QStringLiteral("INSERT INTO VBcode VALUES (%1, 'g', 't', 'c', 'x', %2, %3)")
                                     .arg(i)
                                     .arg(stamps[i % 5], flag)));
            }
            QVERIFY(raw.exec("INSERT INTO VBcode VALUES (1000, 'g', 't', 'c', 'x', '\uE000', '常用')"));
            QVERIFY(raw.exec("COMMIT"));
            QCOMPARE(idsOf(GetAllRecords(lib, TableName)),
                     raw.rows("SELECT ID FROM VBcode ORDER BY IsUsed DESC, ChangeTime DESC, ID"));
        }
    }

    void namesFromOutsideAreNeverSql() {
        makeLibrary();
        put(1, "a", "20200101000000");
        put(2, "b", "20200101000000");
        const RowArray groups = GetDistinctValues(lib, TableName, "MoudleName");
        QCOMPARE(groups.columnCount(), 1);
        QCOMPARE(idsOf(groups), QStringList{"g"});
        QVERIFY(!GetDistinctValues(lib, TableName, "MoudleName FROM VBcode; DROP TABLE VBcode --").isArray());
        QVERIFY(!GetDistinctValues(lib, "sqlite_master", "name").isArray());
        QVERIFY(!GetAllRecords(lib, "VBcode WHERE 0 UNION SELECT 1,2,3,4,5,6,7").isArray());
        QVERIFY(!ExecSql("DELETE FROM VBcode; DROP TABLE VBcode")); // one statement only
        QCOMPARE(count(), 2);
    }

    void flagsMarksAndClearing() {
        makeLibrary();
        put(42, "a", "20200101000000");
        put(0, "zero", "20200101000000");
        put(-3, "negative", "20200101000000");
        put(99999999999, "big", "20200101000000");
        QCOMPARE(SetCommonFlag(42, true), Failure::None);
        QCOMPARE(field("IsUsed", 42), QStringLiteral("常用"));
        QCOMPARE(SetCommonFlag(42, false), Failure::None);
        QCOMPARE(field("IsUsed", 42), QString());
        QCOMPARE(SetCommonFlag(999, true), Failure::NoSuchRecord);
        QCOMPARE(DeleteRecord(999), Failure::NoSuchRecord);
        // IDs beyond 32 bits name their own record, never record 0.
        QCOMPARE(SetCommonFlag(*IdFromCaption("99999999999"), true), Failure::None);
        QCOMPARE(field("IsUsed", 0) + field("IsUsed", 99999999999), QStringLiteral("常用"));
        QCOMPARE(DeleteRecord(*IdFromCaption("99999999999")), Failure::None);
        QCOMPARE(count("ID = 0"), 1);

        // The mark goes on and off the title as stored now, whatever the
        // caller last saw; an apostrophe is dropped, marks in the middle go too.
        const QList<QPair<QString, QString>> toggles = {{"It's done", "★★　Its done"},
                                                        {"★★　Its done", "Its done"},
                                                        {"ab★★　cd★★　", "abcd"},
                                                        {"renamed 'since'", "★★　renamed since"}};
        for (const auto &[stored, toggled] : toggles) {
            QVERIFY(Raw(lib).exec(QStringLiteral("UPDATE VBcode SET CodeName = '%1' WHERE ID = 42")
                                      .arg(QString(stored).replace("'", "''"))));
            QString title;
            QCOMPARE(ToggleSpecialMark(42, &title), Failure::None);
            QCOMPARE(title, toggled);
            QCOMPARE(field("CodeName", 42), toggled);
        }
        QCOMPARE(ToggleSpecialMark(2), Failure::NoSuchRecord);

        // Clearing asks first and keeps the records of ID 0 and below.
        env->answers = {msg::No, msg::Yes};
        QVERIFY(!ConfirmClearLibrary());
        QCOMPARE(count(), 3);
        QVERIFY(ConfirmClearLibrary());
        QCOMPARE(Raw(lib).rows("SELECT ID FROM VBcode ORDER BY ID"), (QStringList{"-3", "0"}));
        QCOMPARE(env->boxes.first(), QStringLiteral("Vemo文本收集器|是否清空所在记录，该操作不可恢复"));
        QCOMPARE(env->styles, (QList<int>{68, 68}));
    }

    // Missing, empty, text, truncated, column-missing, write-protected and
    // locked files: every change fails, the bytes stay as they were, and a
    // read says why it found nothing.
    void badFilesAreLeftAsTheyAre() {
        const auto everyChangeFails = [&] {
            QCOMPARE(AddRecordFromEditor(record("3", "t")), AddResult::Failed);
            QVERIFY(!ReplaceRecordFromEditor(record("1", "t")));
            QVERIFY(DeleteRecord(1) != Failure::None);
            QVERIFY(SetCommonFlag(1, true) != Failure::None);
            QVERIFY(ToggleSpecialMark(1) != Failure::None);
            QVERIFY(ClearLibrary() != Failure::None);
        };
        const auto readFails = [&](Failure expected) {
            Failure why = Failure::None;
            QVERIFY(!GetAllRecords(lib, TableName, &why).isArray());
            QCOMPARE(why, expected);
            QVERIFY(!HasAnyRecord(why));
            QCOMPARE(why, expected);
        };
        readFails(Failure::Missing);
        QCOMPARE(ClearLibrary(), Failure::Missing);
        makeLibrary();
        Failure why = Failure::Locked;
        QVERIFY(!HasAnyRecord(why));
        QCOMPARE(why, Failure::None); // empty, and readable
        for (int i = 1; i <= 40; ++i)
            put(i, QString(500, u'x'), "20200101000000");
        QVERIFY(HasAnyRecord(why));
        const QByteArray good = bytesOf(lib);
        const QList<QPair<QByteArray, Failure>> files = {
            {QByteArray(), Failure::NotALibrary},
            {QByteArray("这不是数据库\nnot a database\n").repeated(50), Failure::NotALibrary},
            {good.left(good.size() / 2), Failure::Damaged}};
        for (const auto &[content, failure] : files) {
            QFile f(lib);
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write(content);
            f.close();
            readFails(failure);
            QVERIFY(!GetDistinctValues(lib, TableName, "TypeName").isArray());
            everyChangeFails();
            QCOMPARE(bytesOf(lib), content);
            QVERIFY(!QFile::exists(lib + "-journal"));
        }
        QVERIFY(env->boxes.isEmpty());

        // A table without the library's columns is no library either.
        QVERIFY(QFile::remove(lib));
        QVERIFY(Raw(lib).exec("CREATE TABLE VBcode (ID INTEGER PRIMARY KEY, Code TEXT);"
                              "INSERT INTO VBcode VALUES (1, 'x')"));
        readFails(Failure::NotALibrary);

        // Write-protected: read, not changed.
        QVERIFY(QFile::remove(lib));
        makeLibrary();
        put(1, "a", "20200101000000");
        const QByteArray before = bytesOf(lib);
        QVERIFY(QFile::setPermissions(lib, QFile::ReadOwner));
        // An administrator still writes a read-only file: the store's own
        // read-only opening stands in then.
        if (QFile writable(lib); writable.open(QIODevice::ReadWrite))
            store::SqliteDb::setForceReadOnly(true);
        QCOMPARE(GetAllRecords(lib, TableName).rowCount(), 1);
        everyChangeFails();
        QCOMPARE(bytesOf(lib), before);
        QFile::setPermissions(lib, QFile::ReadOwner | QFile::WriteOwner);
    }

    void lockedLibraryIsWaitedForThenLeftIntact() {
        makeLibrary();
        put(1, "a", "20200101000000");
        {
            Raw other(lib);
            QVERIFY(other.exec("BEGIN EXCLUSIVE"));
            QVERIFY(other.exec("UPDATE VBcode SET CodeName = 'uncommitted'"));
            QCOMPARE(DeleteRecord(1), Failure::Locked);
            Failure why = Failure::None;
            QVERIFY(!GetAllRecords(lib, TableName, &why).isArray());
            QCOMPARE(why, Failure::Locked);
            QVERIFY(!HasAnyRecord(why));
            QCOMPARE(why, Failure::Locked);
            QVERIFY(!ReplaceRecordFromEditor(record("1", "b")));
            env->boxes.clear();
            QVERIFY(!ConfirmClearLibrary()); // Yes, but nothing was cleared, and the user hears so
            QCOMPARE(env->boxes.last(),
                     QStringLiteral("Vemo文本收集器|清空失败：VBCode.mdb正被其他程序占用，记录未改变"));
            QVERIFY(other.exec("ROLLBACK"));
        }
        QCOMPARE(field("CodeName", 1), QStringLiteral("a"));

        // A short write of another program is ridden out.
        Raw other(lib);
        QVERIFY(other.exec("BEGIN IMMEDIATE"));
        std::thread finisher([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            other.exec("COMMIT");
        });
        const Failure deleted = DeleteRecord(1);
        finisher.join();
        QCOMPARE(deleted, Failure::None);
        QCOMPARE(count(), 0);
    }

    void backupsAreDatedCopies() {
        // A missing library: the system's own words, under the default title,
        // no success tip, and the folder made all the same, with nothing in it.
        QVERIFY(!BackupLibrary());
        QCOMPARE(env->boxes,
                 QStringList{QStringLiteral("Vemo文本收集器|") + QString::fromLocal8Bit(strerror(ENOENT))});
        QCOMPARE(env->styles, QList<int>{0});
        QVERIFY(QFileInfo(backupDir()).isDir());
        QCOMPARE(QDir(backupDir()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden).size(),
                 0);
        // Clearing a missing library says so in the store's own words.
        env->boxes.clear();
        env->answers = {msg::Yes};
        QVERIFY(!ConfirmClearLibrary());
        QCOMPARE(env->boxes.last(), QStringLiteral("Vemo文本收集器|缺少Vbcode.mb文件"));
        env->boxes.clear();

        makeLibrary();
        put(1, "a", "20200101000000");
        // The copies may be used by whoever may use the library.
        const auto mode = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther;
        QVERIFY(QFile::setPermissions(lib, mode));
        setClock("2026-03-01T09:05:30");
        QVERIFY(BackupLibrary());
        QCOMPARE(env->boxes, QStringList{QStringLiteral("【Vemo】文本收集器提示您|数据库备份完成")});
        put(2, "b", "20200101000000");
        setClock("2026-03-01T09:05:59");
        QVERIFY(BackupLibrary()); // same minute: replaces the first
        setClock("2026-03-02T10:00:00");
        QVERIFY(BackupLibrary());
        const QDir backup(backupDir());
        QCOMPARE(backup.entryList(QDir::Files), (QStringList{QStringLiteral("20260301 0905VBCode.mdb"),
                                                             QStringLiteral("20260302 1000VBCode.mdb")}));
        QCOMPARE(GetAllRecords(backup.filePath("20260301 0905VBCode.mdb"), TableName).rowCount(), 2);
        for (const QFileInfo &copy : backup.entryInfoList(QDir::Files))
            QCOMPARE(copy.permissions() & 0x7777, QFileInfo(lib).permissions() & 0x7777);

        // A library SQLite cannot read is copied as it is: that copy matters most.
        QByteArray damaged = bytesOf(lib);
        damaged.truncate(damaged.size() / 2);
        damaged.replace(0, 16, "garbage garbage!");
        QFile f(lib);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(damaged);
        f.close();
        setClock("2026-03-03T11:00:00");
        QVERIFY(BackupLibrary());
        QCOMPARE(bytesOf(backup.filePath("20260303 1100VBCode.mdb")), damaged);
    }

    void backupIsConsistentDespiteOpenWritesAndCrashes() {
        makeLibrary();
        for (int i = 1; i <= 300; ++i)
            put(i, QString(300, u'a'), "20200101000000");
        const QByteArray committed = bytesOf(lib);
        const QString crashed = dir->filePath(QStringLiteral("crashed"));
        QVERIFY(QDir().mkpath(crashed));
        {
            // Another program in the middle of a write: the backup copies the last committed state.
            Raw other(lib);
            QVERIFY(other.exec("BEGIN IMMEDIATE"));
            QVERIFY(other.exec("UPDATE VBcode SET Code = Code || 'uncommitted' WHERE ID = 1"));
            QVERIFY(BackupLibrary());
            QVERIFY(other.exec("ROLLBACK"));
        }
        {
            // What a crash in the middle of a big write leaves behind: changed pages plus a journal.
            Raw other(lib);
            QVERIFY(other.exec("PRAGMA cache_size = 5"));
            QVERIFY(other.exec("BEGIN"));
            QVERIFY(other.exec("UPDATE VBcode SET Code = Code || 'uncommitted'"));
            QVERIFY(bytesOf(lib) != committed); // the change did reach the file
            QVERIFY(QFile::copy(lib, crashed + "/VBCode.mdb"));
            QVERIFY(QFile::copy(lib + "-journal", crashed + "/VBCode.mdb-journal"));
            QVERIFY(other.exec("ROLLBACK"));
        }
        SetLibraryPath(crashed + "/VBCode.mdb");
        QVERIFY(BackupLibrary());
        const QStringList copies = {backupDir() + "/20201223 1504VBCode.mdb",
                                    crashed + "/backup/20201223 1504VBCode.mdb"};
        for (const QString &copy : copies) {
            Raw raw(copy);
            QCOMPARE(raw.rows("PRAGMA integrity_check"), QStringList{"ok"});
            QCOMPARE(raw.rows("SELECT count(*) FROM VBcode WHERE Code NOT LIKE '%uncommitted'"),
                     QStringList{"300"});
        }
        QCOMPARE(QDir(crashed + "/backup").entryList(QDir::Files).size(), 1); // no temporary left over
    }
};

QTEST_GUILESS_MAIN(TestStore)
#include "tst_store.moc"
