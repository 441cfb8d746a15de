#include "TeamCache.h"

#include "LibrarySchema.h"
#include "SqliteDb.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <filesystem>
#include <sqlite3.h>

namespace team {

namespace {

constexpr const char *ExtraSql = "ALTER TABLE VBcode ADD COLUMN ChangedBy TEXT;\n"
                                 "ALTER TABLE VBcode ADD COLUMN Version INTEGER;\n"
                                 "CREATE TABLE TeamCache (Name TEXT PRIMARY KEY, Value TEXT);\n";

bool bindBytes(SqliteStatement &s, int index, const QByteArray &bytes) {
    return bytes.isNull() ? s.bind(index, QVariant()) : s.bindText(index, bytes);
}

QByteArray bytesAt(SqliteStatement &s, int col) {
    if (s.columnType(col) == SQLITE_NULL)
        return QByteArray();
    const QByteArrayView bytes = s.textBytes(col);
    return bytes.isEmpty() ? QByteArray("") : bytes.toByteArray();
}

} // namespace

QString defaultCachePath() {
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation);
    QDir().mkpath(folder);
    return QDir(folder).filePath(QStringLiteral("团队文本库.db"));
}

Outcome<> writeCache(const QString &path, const CacheContents &contents) {
    const QString temporary =
        path + QStringLiteral(".%1.new").arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'));
    const auto fail = [&](SqliteDb &db) -> Outcome<> {
        const QString why = db.errorText();
        db.close();
        QFile::remove(temporary);
        return {StoreError::Unreadable, why};
    };
    {
        SqliteDb db;
        if (!db.openOrCreate(temporary, 1000))
            return fail(db);
        if (!db.exec("PRAGMA journal_mode = OFF") || !db.exec("BEGIN") ||
            !db.exec(librarySchema::CreateSql) || !db.exec(ExtraSql))
            return fail(db);
        SqliteStatement insert(db,
                               QStringLiteral("INSERT INTO VBcode (ID, MoudleName, TypeName, CodeName, Code, "
                                              "ChangeTime, IsUsed, ChangedBy, Version) VALUES (?1, ?2, ?3, "
                                              "?4, ?5, ?6, ?7, ?8, ?9)"));
        if (!insert.isValid())
            return fail(db);
        for (const TeamRecord &r : contents.records) {
            if (!insert.reset() || !insert.bind(1, r.id) || !bindBytes(insert, 2, r.group) ||
                !bindBytes(insert, 3, r.category) || !bindBytes(insert, 4, r.title) ||
                !bindBytes(insert, 5, r.text) || !bindBytes(insert, 6, r.changeTime) ||
                !bindBytes(insert, 7, r.commonFlag) || !insert.bind(8, r.changedBy) ||
                !insert.bind(9, r.version) || !insert.run())
                return fail(db);
        }
        SqliteStatement info(db, QStringLiteral("INSERT INTO TeamCache VALUES (?1, ?2)"));
        if (!info.bindAll({QStringLiteral("source"), contents.source}) || !info.run() || !info.reset() ||
            !info.bindAll(
                {QStringLiteral("fetchedAt"), contents.fetchedAt.toUTC().toString(Qt::ISODateWithMs)}) ||
            !info.run() || !db.exec("COMMIT"))
            return fail(db);
    }
    std::error_code error;
    std::filesystem::rename(std::filesystem::path(temporary.toStdU16String()),
                            std::filesystem::path(path.toStdU16String()), error);
    if (error) {
        QFile::remove(temporary);
        return {StoreError::Unreadable, QString::fromLocal8Bit(error.message())};
    }
    return {};
}

Outcome<CacheContents> readCache(const QString &path) {
    if (!QFileInfo(path).isFile())
        return StoreError::Missing;
    SqliteDb db;
    if (!db.openExisting(path, 1000))
        return {StoreError::Unreadable, db.errorText()};
    CacheContents contents;
    {
        SqliteStatement info(db, QStringLiteral("SELECT Name, Value FROM TeamCache"));
        if (!info.isValid())
            return StoreError::NotALibrary;
        while (info.step() == SQLITE_ROW) {
            const QString name = info.value(0).toString(), value = info.value(1).toString();
            if (name == QLatin1String("source"))
                contents.source = value;
            else if (name == QLatin1String("fetchedAt"))
                contents.fetchedAt = QDateTime::fromString(value, Qt::ISODateWithMs);
        }
    }
    SqliteStatement rows(
        db, QStringLiteral("SELECT ID, MoudleName, TypeName, CodeName, Code, ChangeTime, IsUsed, "
                           "ChangedBy, Version FROM VBcode ORDER BY ID"));
    if (!rows.isValid())
        return StoreError::NotALibrary;
    int rc;
    while ((rc = rows.step()) == SQLITE_ROW) {
        TeamRecord r;
        r.id = rows.value(0).toLongLong();
        r.group = bytesAt(rows, 1);
        r.category = bytesAt(rows, 2);
        r.title = bytesAt(rows, 3);
        r.text = bytesAt(rows, 4);
        r.changeTime = bytesAt(rows, 5);
        r.commonFlag = bytesAt(rows, 6);
        r.changedBy = rows.value(7).toString();
        r.version = rows.value(8).toLongLong();
        contents.records.push_back(std::move(r));
    }
    if (rc != SQLITE_DONE)
        return {StoreError::Damaged, db.errorText()};
    return contents;
}

} // namespace team
