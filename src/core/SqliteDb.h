// Thin ownership wrappers around the SQLite C API: a connection that closes
// itself and a prepared statement that finalizes itself. Nothing here throws.
#pragma once

#include <QByteArrayView>
#include <QString>
#include <QVariant>

struct sqlite3;
struct sqlite3_stmt;

class SqliteDb {
  public:
    SqliteDb() = default;
    ~SqliteDb();
    SqliteDb(const SqliteDb &) = delete;
    SqliteDb &operator=(const SqliteDb &) = delete;

    // Opens a database file that already exists, for reading and writing
    // (reading only when the file is write-protected). A missing file is
    // never created.
    // busyMs is how long a lock held by another program is waited for.
    bool openExisting(const QString &path, int busyMs);
    // Opens a file of our own making, creating it when missing.
    bool openOrCreate(const QString &path, int busyMs);
    void close();

    bool isOpen() const { return m_db != nullptr; }
    sqlite3 *handle() const { return m_db; }

    // Runs statements without parameters (transaction control).
    bool exec(const char *sql);
    // Rows changed by the last statement.
    int changes() const;
    // Why the last open or statement failed, in the words of the system
    // where it reported an OS error, otherwise in SQLite's.
    QString errorText() const;
    // The SQLite result code (primary, without the extended bits) of the last
    // failed open or statement.
    int errorCode() const;

    // Tests emulate a write-protected library with this (chmod does not
    // protect a file from root).
    static void setForceReadOnly(bool on);
    // Tests make a value too long for the library with this: the longest
    // text or row a connection then takes (0: SQLite's own limit).
    static void setLengthLimit(int bytes);

  private:
    bool open(const QString &path, int flags, int busyMs);
    sqlite3 *m_db = nullptr;
    QString m_openError;
    int m_openCode = 0;
};

class SqliteStatement {
  public:
    // Prepares exactly one statement; text after it makes the statement
    // invalid rather than being ignored or run.
    SqliteStatement(const SqliteDb &db, const QString &sql);
    ~SqliteStatement();
    SqliteStatement(const SqliteStatement &) = delete;
    SqliteStatement &operator=(const SqliteStatement &) = delete;

    bool isValid() const { return m_stmt != nullptr; }
    // Binds the values to ?1, ?2, ... in order.
    bool bindAll(const QVariantList &values);
    bool bind(int index, const QVariant &value);
    // Binds UTF-8 bytes as text, NUL bytes included.
    bool bindText(int index, QByteArrayView utf8);
    // SQLITE_ROW, SQLITE_DONE or an error code.
    int step();
    // Steps to the end; true when the statement completed.
    bool run();
    bool reset();

    int columnCount() const;
    // The value in the form the callers read: integers as int (qlonglong when
    // wider), texts as QString, NULL as a null QVariant.
    QVariant value(int column) const;
    // The SQLITE_* type of the value, and a text value's UTF-8 bytes (valid
    // until the next step).
    int columnType(int column) const;
    QByteArrayView textBytes(int column) const;

  private:
    sqlite3_stmt *m_stmt = nullptr;
};

// Rolls back unless committed, so every early return leaves the file as it was.
class SqliteTransaction {
  public:
    explicit SqliteTransaction(SqliteDb &db);
    ~SqliteTransaction();
    SqliteTransaction(const SqliteTransaction &) = delete;
    SqliteTransaction &operator=(const SqliteTransaction &) = delete;

    bool isActive() const { return m_active; }
    bool commit();

  private:
    SqliteDb &m_db;
    bool m_active = false;
};
