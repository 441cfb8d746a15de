// The dated copy of the library.
#include "LibraryStore.h"

#include "LibrarySchema.h"
#include "SqliteDb.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>
#include <filesystem>
#include <sqlite3.h>
#include <system_error>

namespace {

std::filesystem::path fsPath(const QString &path) {
    return std::filesystem::path(path.toStdU16String());
}

QString systemText(const std::error_code &error) {
    return QString::fromLocal8Bit(error.message());
}

void removeCopy(const QString &path) {
    QFile::remove(path);
    QFile::remove(path + QStringLiteral("-journal"));
}

// Writes `partial` into place under `target`, replacing an earlier copy.
bool moveIntoPlace(const QString &partial, const QString &target, QString &error) {
    std::error_code ec;
    std::filesystem::rename(fsPath(partial), fsPath(target), ec);
    if (ec && QFileInfo::exists(target)) {
        // Some systems refuse to rename over an existing file.
        QFile::remove(target);
        ec.clear();
        std::filesystem::rename(fsPath(partial), fsPath(target), ec);
    }
    if (ec) {
        error = systemText(ec);
        removeCopy(partial);
        return false;
    }
    return true;
}

// A fresh file of our own in the backup folder, to be renamed over the target
// once complete, so an earlier backup of the same minute is replaced only by
// a good one. Empty on failure.
QString reservePartial(const QString &folder, QString &error) {
    QTemporaryFile reserve(QDir(folder).filePath(QStringLiteral("VBCode.mdb.XXXXXX.part")));
    if (!reserve.open()) {
        error = reserve.errorString();
        return QString();
    }
    reserve.setAutoRemove(false);
    return reserve.fileName();
}

enum class Copy { Done, Failed, NotReadableBySqlite };

// Copies the library through SQLite's online backup, which reads one
// consistent state of the file: another program's open transaction or a
// journal left by a crash never reach the copy.
Copy copyThroughSqlite(const QString &source, const QString &partial, QString &error) {
    SqliteDb from;
    if (!from.openExisting(source, 2000)) {
        error = from.errorText();
        return from.errorCode() == SQLITE_BUSY ? Copy::Failed : Copy::NotReadableBySqlite;
    }
    SqliteDb to;
    if (!to.openOrCreate(partial, 2000)) {
        error = to.errorText();
        return Copy::Failed;
    }
    sqlite3_backup *backup = sqlite3_backup_init(to.handle(), "main", from.handle(), "main");
    if (!backup) {
        error = to.errorText();
        return Copy::Failed;
    }
    const int stepped = sqlite3_backup_step(backup, -1);
    const int finished = sqlite3_backup_finish(backup);
    if (stepped == SQLITE_DONE && finished == SQLITE_OK)
        return Copy::Done;
    const int code = (stepped == SQLITE_DONE ? finished : stepped) & 0xff;
    // The backup leaves its error on the connection it writes to.
    error = to.errorText();
    if (error.isEmpty() || error == QLatin1String("not an error"))
        error = QString::fromUtf8(sqlite3_errstr(code));
    // A file SQLite cannot read as a database is still worth a copy as it is.
    return code == SQLITE_NOTADB || code == SQLITE_CORRUPT ? Copy::NotReadableBySqlite : Copy::Failed;
}

// The bytes of the file as they are, for a library SQLite cannot read: a
// damaged library is exactly the one whose copy matters most.
bool copyBytes(const QString &source, const QString &partial, QString &error) {
    QFile::remove(partial);
    QFile from(source);
    if (!from.copy(partial)) {
        error = from.errorString();
        return false;
    }
    return true;
}

bool copyLibrary(const QString &source, const QString &folder, const QString &target, QString &error) {
    if (!QFileInfo(source).isFile()) {
        // Let the system describe why the file cannot be read.
        QFile file(source);
        error = file.open(QIODevice::ReadOnly)
                    ? systemText(std::make_error_code(std::errc::no_such_file_or_directory))
                    : file.errorString();
        return false;
    }
    const QString partial = reservePartial(folder, error);
    if (partial.isEmpty())
        return false;
    Copy copy = copyThroughSqlite(source, partial, error);
    if (copy == Copy::NotReadableBySqlite)
        copy = copyBytes(source, partial, error) ? Copy::Done : Copy::Failed;
    if (copy != Copy::Done) {
        removeCopy(partial);
        return false;
    }
    // The copy may be read and written by whoever may use the library itself.
    QFile::setPermissions(partial, QFile::permissions(source));
    return moveIntoPlace(partial, target, error);
}

} // namespace

Outcome<QString> LibraryStore::backup() const {
    const QString backupFolder = QDir(folder()).filePath(QStringLiteral("backup"));
    std::error_code ec;
    // Anything of that name counts as present; a file there makes the copy fail below.
    if (!QFileInfo::exists(backupFolder))
        std::filesystem::create_directory(fsPath(backupFolder), ec);
    if (ec)
        return {StoreError::Unreadable, systemText(ec)};
    const QString target = QDir(backupFolder)
                               .filePath(now().toString(QStringLiteral("yyyyMMdd HHmm")) +
                                         QString::fromLatin1(librarySchema::FileName));
    QString error;
    if (!copyLibrary(m_path, backupFolder, target, error))
        return {StoreError::Unreadable, error};
    return target;
}
