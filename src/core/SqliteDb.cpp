#include "SqliteDb.h"

#include <QFileInfo>
#include <limits>
#include <sqlite3.h>
#include <system_error>

namespace {

bool s_forceReadOnly = false;
int s_lengthLimit = 0;

} // namespace

SqliteDb::~SqliteDb() {
    close();
}

void SqliteDb::close() {
    if (m_db) {
        sqlite3_close_v2(m_db);
        m_db = nullptr;
    }
}

void SqliteDb::setForceReadOnly(bool on) {
    s_forceReadOnly = on;
}

void SqliteDb::setLengthLimit(int bytes) {
    s_lengthLimit = bytes;
}

bool SqliteDb::openExisting(const QString &path, int busyMs) {
    close();
    const QFileInfo info(path);
    if (!info.isFile()) {
        m_openCode = SQLITE_CANTOPEN;
        m_openError =
            QString::fromStdString(std::make_error_code(std::errc::no_such_file_or_directory).message());
        return false;
    }
    return open(info.absoluteFilePath(), s_forceReadOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE,
                busyMs);
}

bool SqliteDb::openOrCreate(const QString &path, int busyMs) {
    close();
    return open(QFileInfo(path).absoluteFilePath(), SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, busyMs);
}

bool SqliteDb::open(const QString &absolutePath, int flags, int busyMs) {
    m_openError.clear();
    m_openCode = 0;
    // An absolute path never starts with "file:", so it is never taken for a URI.
    // A connection lives within one call on one thread, so SQLite's own
    // locking of the connection is not needed.
    const int rc =
        sqlite3_open_v2(absolutePath.toUtf8().constData(), &m_db, flags | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK) {
        m_openError = errorText();
        m_openCode = rc & 0xff;
        close();
        return false;
    }
    sqlite3_extended_result_codes(m_db, 1);
    sqlite3_busy_timeout(m_db, busyMs);
    if (s_lengthLimit > 0)
        sqlite3_limit(m_db, SQLITE_LIMIT_LENGTH, s_lengthLimit);
    return true;
}

bool SqliteDb::exec(const char *sql) {
    return m_db && sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

int SqliteDb::changes() const {
    return m_db ? sqlite3_changes(m_db) : 0;
}

QString SqliteDb::errorText() const {
    if (!m_db)
        return m_openError;
    const int systemError = sqlite3_system_errno(m_db);
    const int code = sqlite3_extended_errcode(m_db);
    const bool osError = (code & 0xff) == SQLITE_IOERR || (code & 0xff) == SQLITE_CANTOPEN;
    if (osError && systemError != 0)
        return QString::fromLocal8Bit(std::system_category().message(systemError));
    return QString::fromUtf8(sqlite3_errmsg(m_db));
}

int SqliteDb::errorCode() const {
    return m_db ? sqlite3_errcode(m_db) & 0xff : m_openCode;
}

SqliteStatement::SqliteStatement(const SqliteDb &db, const QString &sql) {
    if (!db.isOpen())
        return;
    const QByteArray text = sql.toUtf8();
    const char *tail = nullptr;
    if (sqlite3_prepare_v2(db.handle(), text.constData(), int(text.size()), &m_stmt, &tail) != SQLITE_OK) {
        sqlite3_finalize(m_stmt);
        m_stmt = nullptr;
        return;
    }
    // Only one statement may run; anything but blanks or a final ";" is refused.
    for (const char *p = tail; p && *p; ++p) {
        if (*p != ' ' && *p != ';' && *p != '\n' && *p != '\r' && *p != '\t') {
            sqlite3_finalize(m_stmt);
            m_stmt = nullptr;
            return;
        }
    }
}

SqliteStatement::~SqliteStatement() {
    sqlite3_finalize(m_stmt);
}

bool SqliteStatement::bindAll(const QVariantList &values) {
    for (int i = 0; i < values.size(); ++i) {
        if (!bind(i + 1, values.at(i)))
            return false;
    }
    return true;
}

bool SqliteStatement::bind(int index, const QVariant &value) {
    if (!m_stmt)
        return false;
    int rc = SQLITE_OK;
    switch (value.typeId()) {
    case QMetaType::UnknownType:
        rc = sqlite3_bind_null(m_stmt, index);
        break;
    case QMetaType::Bool:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::Short:
        rc = sqlite3_bind_int64(m_stmt, index, value.toLongLong());
        break;
    case QMetaType::Double:
        rc = sqlite3_bind_double(m_stmt, index, value.toDouble());
        break;
    case QMetaType::QByteArray: {
        const QByteArray bytes = value.toByteArray();
        rc = sqlite3_bind_blob64(m_stmt, index, bytes.constData(), sqlite3_uint64(bytes.size()),
                                 SQLITE_TRANSIENT);
        break;
    }
    default: {
        const QByteArray text = value.toString().toUtf8();
        rc = sqlite3_bind_text64(m_stmt, index, text.constData(), sqlite3_uint64(text.size()),
                                 SQLITE_TRANSIENT, SQLITE_UTF8);
        break;
    }
    }
    return rc == SQLITE_OK;
}

bool SqliteStatement::bindText(int index, QByteArrayView utf8) {
    return m_stmt &&
           sqlite3_bind_text64(m_stmt, index, utf8.data() ? utf8.data() : "", sqlite3_uint64(utf8.size()),
                               SQLITE_TRANSIENT, SQLITE_UTF8) == SQLITE_OK;
}

int SqliteStatement::step() {
    return m_stmt ? sqlite3_step(m_stmt) : SQLITE_MISUSE;
}

bool SqliteStatement::run() {
    int rc;
    while ((rc = step()) == SQLITE_ROW) {
    }
    return rc == SQLITE_DONE;
}

bool SqliteStatement::reset() {
    return m_stmt && sqlite3_reset(m_stmt) == SQLITE_OK;
}

int SqliteStatement::columnCount() const {
    return m_stmt ? sqlite3_column_count(m_stmt) : 0;
}

int SqliteStatement::columnType(int column) const {
    return sqlite3_column_type(m_stmt, column);
}

QByteArrayView SqliteStatement::textBytes(int column) const {
    const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(m_stmt, column));
    return QByteArrayView(text, sqlite3_column_bytes(m_stmt, column));
}

QVariant SqliteStatement::value(int column) const {
    switch (sqlite3_column_type(m_stmt, column)) {
    case SQLITE_INTEGER: {
        const sqlite3_int64 v = sqlite3_column_int64(m_stmt, column);
        if (v >= std::numeric_limits<int>::min() && v <= std::numeric_limits<int>::max())
            return QVariant(int(v));
        return QVariant(qlonglong(v));
    }
    case SQLITE_FLOAT:
        return QVariant(sqlite3_column_double(m_stmt, column));
    case SQLITE_BLOB: {
        const auto *data = static_cast<const char *>(sqlite3_column_blob(m_stmt, column));
        return QVariant(QByteArray(data, sqlite3_column_bytes(m_stmt, column)));
    }
    case SQLITE_NULL:
        return QVariant();
    default: {
        const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(m_stmt, column));
        const int bytes = sqlite3_column_bytes(m_stmt, column);
        return QVariant(QString::fromUtf8(text, bytes));
    }
    }
}

SqliteTransaction::SqliteTransaction(SqliteDb &db) : m_db(db) {
    // IMMEDIATE takes the write lock up front, where the busy timeout applies,
    // instead of failing half-way when another program holds the file.
    m_active = m_db.exec("BEGIN IMMEDIATE");
}

SqliteTransaction::~SqliteTransaction() {
    if (m_active)
        m_db.exec("ROLLBACK");
}

bool SqliteTransaction::commit() {
    if (!m_active)
        return false;
    if (!m_db.exec("COMMIT"))
        return false; // still active: the destructor rolls back
    m_active = false;
    return true;
}
