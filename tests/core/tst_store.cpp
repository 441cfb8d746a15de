// The library store on real files: the stored forms, the list order, keys that never collide, changes
// that are all or nothing, bad and busy files left untouched, and dated backups.
#include "LibrarySchema.h"
#include "LibraryStore.h"
#include "Program.h"
#include "RecordLoader.h"
#include "TestEnv.h"
#include "Utf8.h"

#include <QDir>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTest>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sqlite3.h>

namespace {

Record record(qint64 id, const QString &title, bool common = false) {
    return {id, QStringLiteral("分组"), QStringLiteral("Function"), title, "text of " + title, {}, common};
}

template <typename T> T got(const Outcome<T> &outcome) { // the value of an outcome that must be one
    if (!outcome)
        qFatal("the store failed: %d %s", int(outcome.error()), qPrintable(outcome.detail()));
    return outcome.value();
}

} // namespace

class TestStore : public QObject {
    Q_OBJECT

    std::unique_ptr<TestEnv> env;
    QString lib, backupDir;
    QDateTime now;
    LibraryStore store{QString()};

    void make(const QString &statements = {}) {
        TestEnv::sql(lib, QString::fromLatin1(librarySchema::CreateSql) + statements);
    }
    void put(qint64 id) {
        if (!QFile::exists(lib))
            make();
        TestEnv::sql(lib, "INSERT INTO VBcode (ID, CodeName) VALUES (" + QString::number(id) + ", 'a')");
    }
    QString field(const QString &c, qint64 id) {
        return TestEnv::sql(lib, "SELECT " + c + " FROM VBcode WHERE ID = " + QString::number(id)).value(0);
    }
    QStringList ids() { return TestEnv::sql(lib, "SELECT ID FROM VBcode ORDER BY ID"); }

  private slots:
    void init() {
        env = std::make_unique<TestEnv>();
        // A program folder with a Chinese name and a blank, as users have them.
        QVERIFY(QDir(env->dir()).mkdir(QStringLiteral("程序 目录")));
        lib = env->dir() + QStringLiteral("/程序 目录/VBCode.mdb");
        backupDir = env->dir() + QStringLiteral("/程序 目录/backup");
        now = QDateTime(QDate(2020, 12, 23), QTime(15, 4, 5));
        store = LibraryStore(lib);
        store.setClock([this] { return now; });
    }

    void shippedLibraryIsEmptyWithTheSevenColumns() {
        const QString shipped = QStringLiteral(VEMO_PRISTINE_LIBRARY);
        QVERIFY(QFileInfo(shipped).isFile());
        QCOMPARE(TestEnv::sql(shipped, "SELECT name || substr('*', 1, pk) FROM pragma_table_info('VBcode')"),
                 QStringLiteral("ID* MoudleName TypeName CodeName Code ChangeTime IsUsed").split(' '));
        QCOMPARE(got(LibraryStore(shipped).hasAnyRecord()), false);
    }

    void changesAreStoredAsGivenAllOrNothing() {
        QCOMPARE(store.add(record(1, "t")).error(), StoreError::Missing);
        QVERIFY(!QFile::exists(lib)); // the store never creates the file
        make();
        put(0); // before the fresh key below is drawn, so it can never be 0
        Record r = record(42, QStringLiteral("It's \"quoted\"; DROP TABLE VBcode"));
        r.text = QStringLiteral("第一行\r\n'second' line ★");
        QVERIFY(got(store.add(r)) == 42 && got(store.add(record(7, "c", true))) == 7);
        QCOMPARE(got(store.find(42)).text, r.text);
        QCOMPARE(field("CodeName || ChangeTime || typeof(IsUsed) || IsUsed", 42) + field("IsUsed", 7),
                 r.title + "20201223150405text常用"); // "" and not NULL for a record not common
        // A taken key gets a fresh one: the same text twice gives two records.
        const qint64 again = got(store.add(record(42, "again")));
        QVERIFY(again != 42 && again >= 0 && again < NewKeyRange && field("CodeName", again) == "again");

        now = now.addDays(1);
        QVERIFY(store.replace(record(7, "new")));
        QCOMPARE(field("CodeName || IsUsed || ChangeTime", 7), QStringLiteral("new20201224150405"));
        // The insert half of a change is refused after the delete ran.
        TestEnv::sql(lib, "CREATE TRIGGER refuse BEFORE INSERT ON VBcode WHEN NEW.CodeName = 'boom' "
                          "BEGIN SELECT RAISE(ABORT, 'refused'); END");
        QCOMPARE(store.replace(record(7, "boom")).error(), StoreError::Refused);
        QCOMPARE(store.add(record(5, "boom")).error(), StoreError::Refused);
        QCOMPARE(field("CodeName", 7), QStringLiteral("new"));
        QCOMPARE(ids().size(), 4);

        // The common flag and the special mark change the record their ID names, and only that one.
        for (const qint64 id : {-3LL, 99999999999LL})
            put(id);
        QVERIFY(store.setCommon(99999999999, true) && store.setCommon(7, false));
        QCOMPARE(field("IsUsed", 0) + field("IsUsed", 7) + field("IsUsed", 99999999999),
                 QStringLiteral("常用"));
        QVERIFY(store.remove(99999999999) && field("CodeName", 0) == "a");
        QCOMPARE(store.setCommon(999, true).error(), StoreError::NoSuchRecord);
        QCOMPARE(store.remove(999).error(), StoreError::NoSuchRecord);
        QCOMPARE(store.toggleSpecialMark(999).error(), StoreError::NoSuchRecord);
        // The mark toggles the title as stored now; apostrophes are dropped, marks in the middle go too.
        for (const QString toggle : {"It's done → ★★　Its done", "★★　Its done → Its done",
                                     "ab★★　cd★★　 → abcd", "renamed 'since' → ★★　renamed since"}) {
            TestEnv::sql(lib, "UPDATE VBcode SET CodeName = '" +
                                  toggle.section(" → ", 0, 0).replace("'", "''") + "' WHERE ID = 42");
            QCOMPARE(got(store.toggleSpecialMark(42)), toggle.section(" → ", 1));
            QCOMPARE(field("CodeName", 42), toggle.section(" → ", 1));
        }
        // Clearing keeps the records of ID 0 and below.
        QVERIFY(store.clear());
        QCOMPARE(ids(), (QStringList{"-3", "0"}));
    }

    void idCaptions() {
        // The caption's leading digits; none beyond 64 bits.
        const QStringList captions =
            QStringLiteral("00000042=42 =0 12ab3=12 abc=0 -5=-5 9223372036854775807=9223372036854775807 "
                           "-9223372036854775808=-9223372036854775808 "
                           "9223372036854775808=none 123456789012345678901=none")
                .split(u' ');
        for (const QString &c : captions) {
            const auto id = LibraryStore::idFromCaption(c.section('=', 0, 0));
            QCOMPARE(id ? QString::number(*id) : QStringLiteral("none"), c.section('=', 1));
        }
        // An ID read back from a list is a whole number or nothing.
        for (const QString text : {"", "-", "2x", "abc", " 2", "+2", "123456789012345678901"})
            QVERIFY2(!LibraryStore::idFromText(text), qPrintable(text));
        QCOMPARE(LibraryStore::idFromText("-99999999999"), -99999999999);
    }

    // The store sorts by itself; odd values other writers leave must come out in SQLite's own order:
    // 14-digit stamps (some equal), numbers, other texts, texts beyond U+FFFF and NULL; few or many flags.
    void listOrderMatchesSqliteForAnyValues() {
        // Mixed stamps, and (a library as this program writes it) stamps of
        // 14 digits only, with ties.
        for (const int kinds : {5, 1})
        for (const int flags : {5, 92}) {
            lib = env->dir() + QStringLiteral("/order%1-%2.mdb").arg(flags).arg(kinds);
            make(QStringLiteral(
                     "WITH RECURSIVE n(i, f) AS (SELECT 0, 0 UNION ALL SELECT i + 1, (i * 7 + 7) % %1 "
                     "FROM n WHERE i < 399) INSERT INTO VBcode SELECT i, 'g', 't', 'c', 'x', CASE i % %2 "
                     "WHEN 0 THEN '20201' || (100000000 + i * 7919 % 50) WHEN 1 THEN i WHEN 2 THEN 'x' || i "
                     "WHEN 3 THEN char(128512) || i END, CASE f WHEN 0 THEN NULL WHEN 1 THEN '常用' "
                     "ELSE 'v' || f END FROM n; INSERT INTO VBcode VALUES (1000, 'g', 't', 'c', 'x', "
                     "'%3', '常用')")
                     .arg(flags)
                     .arg(kinds)
                     .arg(kinds == 1 ? QStringLiteral("00000000000000") : QString(QChar(57344))));
            const RecordTable table = got(LibraryStore(lib).readAll());
            QStringList listed;
            for (int r = 0; r < table.size(); ++r)
                listed << table.idText(r);
            QCOMPARE(listed,
                     TestEnv::sql(lib, "SELECT ID FROM VBcode ORDER BY IsUsed DESC, ChangeTime DESC, ID"));
        }
    }

    // Texts other programs stored are taken as UTF-8 exactly where Qt takes
    // them so: the quick check agrees with Qt's on every kind of sequence.
    void utf8CheckAgreesWithQt() {
        const char *const edges[] = {"\xC2\x80", "\xC1\xBF", "\xE0\xA0\x80", "\xE0\x9F\xBF", "\xED\x9F\xBF",
                                     "\xED\xA0\x80", "\xEF\xBF\xBF", "\xF0\x90\x80\x80", "\xF0\x8F\xBF\xBF",
                                     "\xF4\x8F\xBF\xBF", "\xF4\x90\x80\x80", "\xF5\x80\x80\x80", "\xE4\xB8",
                                     "\x80", "\xFF"};
        QRandomGenerator random(7);
        for (int i = 0; i < 20000; ++i) {
            QByteArray bytes = QByteArray("abcdefghij").left(int(random.bounded(10)));
            for (int parts = int(random.bounded(6)); parts > 0; --parts)
                bytes += random.bounded(3) ? QByteArray(edges[random.bounded(int(std::size(edges)))])
                                           : QByteArray(1, char(random.bounded(256)));
            bytes += QByteArray("中文").left(int(random.bounded(7)));
            QVERIFY2(utf8::isValid(bytes) == QByteArrayView(bytes).isValidUtf8(), bytes.toHex().constData());
        }
    }

    // The first screen, read through the indexes or (an older library) without
    // them, shows the rows and categories the whole read shows first, ties of
    // stamps and flags above "常用" included. Reads and the indexes once made
    // leave the file's signature alone; a write changes it.
    void firstScreenAgreesWithTheWholeRead() {
        make("WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < 399) "
             "INSERT INTO VBcode SELECT i * 13 % 401, CASE i % 7 WHEN 0 THEN '常用' WHEN 1 THEN NULL WHEN 2 "
             "THEN '' ELSE 'g' || (i % 3) END, 't', 'c' || i, 'x', CASE i % 6 WHEN 5 THEN NULL ELSE "
             "'2020010' || (i * 37 % 9) END, CASE i % 5 WHEN 0 THEN '常用' WHEN 1 THEN NULL WHEN 2 THEN '龍' "
             "ELSE 'zz' END FROM n");
        const auto commonRows = [](const RecordTable &table, int rows) {
            QStringList ids;
            for (int r = 0; r < table.size() && ids.size() < rows; ++r)
                if (table.group(r) == CommonFlag || table.commonFlag(r) == CommonFlag)
                    ids << table.idText(r);
            return ids;
        };
        const LibraryStore library(lib);
        const RecordTable whole = got(library.readAll());
        for (const bool indexed : {true, false}) {
            if (!indexed)
                TestEnv::sql(lib, "DROP INDEX VBcode_ListOrder; DROP INDEX VBcode_Groups");
            for (const int rows : {1, 7, 64}) {
                const RecordTable first = got(library.readFirstScreen(rows));
                QVERIFY(!first.isComplete() && whole.isComplete());
                QCOMPARE(first.categories(), whole.categories());
                QCOMPARE(commonRows(first, rows), commonRows(whole, rows));
            }
        }
        const LibraryStore::Signature before = library.signature();
        library.addListIndexes();
        QVERIFY(library.signature() != before);
        const LibraryStore::Signature indexed = library.signature();
        library.addListIndexes();
        got(library.readAll());
        QVERIFY(library.signature() == indexed);
        QCOMPARE(TestEnv::sql(lib, "SELECT count(*) FROM sqlite_master WHERE type = 'index'"),
                 QStringList{"2"});
        TestEnv::sql(lib, "UPDATE VBcode SET Code = 'y' WHERE ID = 13");
        QVERIFY(library.signature() != indexed);
    }

    // Another library swapped in under the same name, with the same size,
    // modification time and change counter, is not the file whose records the
    // loader kept: renamed over it or copied into it, it is read anew.
    void keptRecordsBelongToTheSameFile_data() {
        QTest::addColumn<bool>("renamed");
        QTest::newRow("renamed over the library") << true;
        QTest::newRow("copied into the library") << false;
    }
    void keptRecordsBelongToTheSameFile() {
        QFETCH(bool, renamed);
        make("INSERT INTO VBcode VALUES (1, '组', 'Sub', '标题', 'aaaaaaaa', '20200101000001', '常用')");
        RecordLoader loader(store);
        QSignalSpy loaded(&loader, &RecordLoader::loaded);
        loader.start();
        QTRY_COMPARE(loaded.size(), 1);
        QVERIFY(loader.reuse().has_value());

        const QByteArray mine = TestEnv::bytesOf(lib);
        QByteArray other = mine;
        other.replace("aaaaaaaa", "bbbbbbbb"); // the same size and change counter
        QVERIFY(other != mine);
        const QDateTime modified = QFileInfo(lib).lastModified();

        const QString swapped = renamed ? lib + QStringLiteral(".other") : lib;
        QVERIFY(TestEnv::writeFile(swapped, other));
        QFile file(swapped);
        QVERIFY(file.open(QIODevice::ReadWrite) &&
                file.setFileTime(modified, QFileDevice::FileModificationTime));
        file.close();
        if (renamed)
            QVERIFY(std::rename(QFile::encodeName(swapped).constData(), QFile::encodeName(lib).constData()) ==
                    0);
        QCOMPARE(QFileInfo(lib).size(), qint64(mine.size()));
        QCOMPARE(QFileInfo(lib).lastModified(), modified);
        QVERIFY(!loader.reuse().has_value());
        QCOMPARE(got(store.readAll()).text(0), QStringLiteral("bbbbbbbb"));
    }

    // Missing, empty, text, truncated, column-missing and locked files: every change fails, the bytes stay as
    // they were, and a read says why it found nothing.
    void badFilesAreLeftAsTheyAre() {
        const auto everyChangeFails = [&] {
            QVERIFY(!store.add(record(3, "t")) && !store.replace(record(1, "t")) && !store.remove(1));
            QVERIFY(!store.setCommon(1, true) && !store.toggleSpecialMark(1) && !store.clear());
        };
        const auto readFails = [&](StoreError expected) {
            QCOMPARE(store.readAll().error(), expected);
            QCOMPARE(store.hasAnyRecord().error(), expected);
            QCOMPARE(store.groups().error(), expected);
        };
        readFails(StoreError::Missing);
        QCOMPARE(store.clear().error(), StoreError::Missing);
        make();
        QCOMPARE(got(store.hasAnyRecord()), false); // empty, and readable
        TestEnv::sql(lib, "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 40) "
                          "INSERT INTO VBcode SELECT i, 'g', 't', hex(zeroblob(250)), 'c', '', '' FROM n");
        const QByteArray good = TestEnv::bytesOf(lib);
        const QList<QPair<QByteArray, StoreError>> files = {
            {QByteArray(), StoreError::NotALibrary},
            {QByteArray("这不是数据库\nnot a database\n").repeated(50), StoreError::NotALibrary},
            {good.left(good.size() / 2), StoreError::Damaged}};
        for (const auto &[content, failure] : files) {
            QVERIFY(TestEnv::writeFile(lib, content));
            readFails(failure);
            everyChangeFails();
            QCOMPARE(TestEnv::bytesOf(lib), content);
            QVERIFY(!QFile::exists(lib + "-journal"));
        }
        // A table without the library's columns is no library either.
        QVERIFY(QFile::remove(lib));
        TestEnv::sql(lib, "CREATE TABLE VBcode (ID, Code); INSERT INTO VBcode VALUES (1, 'x')");
        readFails(StoreError::NotALibrary);

        // Another program holds the library: nothing is read or changed.
        QVERIFY(QFile::remove(lib));
        put(1);
        const QByteArray before = TestEnv::bytesOf(lib);
        sqlite3 *other = nullptr;
        sqlite3_open(lib.toUtf8().constData(), &other);
        QCOMPARE(sqlite3_exec(other, "BEGIN EXCLUSIVE; UPDATE VBcode SET CodeName = 'new'", {}, {}, {}),
                 SQLITE_OK);
        readFails(StoreError::Locked);
        QCOMPARE(store.replace(record(1, "b")).error(), StoreError::Locked);
        QCOMPARE(store.clear().error(), StoreError::Locked);
        sqlite3_close(other); // without committing
        QCOMPARE(TestEnv::bytesOf(lib), before);
    }

    void backupsAreDatedCopies() {
        // A missing library: the system's own words, and the folder made all the same, empty.
        QCOMPARE(store.backup().detail(), QString::fromLocal8Bit(strerror(ENOENT)));
        QVERIFY(QDir(backupDir).exists());
        QVERIFY(QDir(backupDir).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden));

        put(1);
        // The copies may be used by whoever may use the library.
        QVERIFY(QFile::setPermissions(lib, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup |
                                               QFile::ReadOther));
        now = QDateTime(QDate(2026, 3, 1), QTime(9, 5, 30));
        QCOMPARE(got(store.backup()), backupDir + "/20260301 0905VBCode.mdb");
        put(2);
        now = now.addSecs(29);
        QVERIFY(store.backup()); // the same minute: replaces the first
        now = now.addDays(1);
        QVERIFY(store.backup());
        const QDir backup(backupDir);
        QCOMPARE(backup.entryList(QDir::Files | QDir::Hidden),
                 (QStringList{"20260301 0905VBCode.mdb", "20260302 0905VBCode.mdb"}));
        QCOMPARE(got(LibraryStore(backup.filePath("20260301 0905VBCode.mdb")).readAll()).size(), 2);
        for (const QFileInfo &copy : backup.entryInfoList(QDir::Files))
            QCOMPARE(copy.permissions(), QFileInfo(lib).permissions());

        // A library SQLite cannot read is copied as it is: that copy matters most.
        const QByteArray damaged = "garbage garbage!" + TestEnv::bytesOf(lib).mid(16, 3000);
        QVERIFY(TestEnv::writeFile(lib, damaged));
        QVERIFY(store.backup());
        QCOMPARE(TestEnv::bytesOf(backup.filePath("20260302 0905VBCode.mdb")), damaged);
    }
};

QTEST_GUILESS_MAIN(TestStore)
#include "tst_store.moc"
