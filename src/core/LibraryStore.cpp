#include "LibraryStore.h"

#include "LibrarySchema.h"
#include "ListOrder.h"
#include "SqliteDb.h"

#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <algorithm>
#include <numeric>
#include <random>
#include <sqlite3.h>
#include <unordered_map>

namespace {

// Long enough to ride out another program's short write, short enough that
// a file held open for good does not freeze the window for long.
constexpr int BusyTimeoutMs = 1500;
// Draws of a fresh key before giving up; only a nearly full key range fails.
constexpr int MaxKeyDraws = 1000;

const QString AllColumns = QStringLiteral("ID, MoudleName, TypeName, CodeName, Code, ChangeTime, IsUsed");

bool libraryExists(const QString &path) {
    return !path.isEmpty() && QFileInfo(path).isFile();
}

// What a failed open or statement means.
StoreError errorOf(const SqliteDb &db) {
    switch (db.errorCode()) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return StoreError::Locked;
    case SQLITE_NOTADB:
    case SQLITE_ERROR: // a fixed statement refused: no table VBcode or a column missing
        return StoreError::NotALibrary;
    case SQLITE_CORRUPT:
        return StoreError::Damaged;
    case SQLITE_CONSTRAINT:
    case SQLITE_FULL:
        return StoreError::Refused;
    case SQLITE_READONLY:
        return StoreError::ReadOnly;
    case SQLITE_TOOBIG:
        return StoreError::TooBig;
    default:
        return StoreError::Unreadable;
    }
}

// A key drawn from 0 to 999999, from a generator seeded once: reseeding from
// the clock on every draw repeats keys within one clock tick.
qint64 drawKey() {
    static std::mt19937 generator{std::random_device{}()};
    return std::uniform_int_distribution<int>(0, NewKeyRange - 1)(generator);
}

// An open connection to an existing library, or the reason there is none.
struct Connection {
    SqliteDb db;
    StoreError error = StoreError::None;
    explicit Connection(const QString &path) {
        if (!libraryExists(path))
            error = StoreError::Missing;
        else if (!db.openExisting(path, BusyTimeoutMs))
            error = errorOf(db);
    }
};

// Runs a change on a connection inside one transaction: it is committed
// when the change succeeded, and rolled back otherwise.
template <typename T, typename Change> Outcome<T> inTransaction(const QString &path, Change &&change) {
    Connection c(path);
    if (c.error != StoreError::None)
        return c.error;
    SqliteTransaction transaction(c.db);
    if (!transaction.isActive())
        return errorOf(c.db);
    Outcome<T> done = change(c.db);
    if (done && !transaction.commit())
        return errorOf(c.db);
    return done;
}

// Groups, categories and the common flag repeat across the whole library:
// such a column hands out one shared string per distinct value instead of
// converting and storing the same text again for every record. Long texts
// are never shared, and a column whose values keep differing stops looking.
class TextColumn {
  public:
    QVariant take(QByteArrayView utf8) {
        if (m_interning && utf8.size() <= MaxShared) {
            for (const auto &[bytes, text] : m_seen) {
                if (bytes == utf8)
                    return text;
            }
        }
        QVariant text(QString::fromUtf8(utf8));
        if (m_interning && utf8.size() <= MaxShared) {
            if (m_seen.size() < MaxDistinct)
                m_seen.emplace_back(utf8.toByteArray(), text);
            else if (++m_misses > MaxMisses)
                m_interning = false, m_seen.clear();
        }
        return text;
    }

  private:
    static constexpr qsizetype MaxShared = 64;
    static constexpr size_t MaxDistinct = 48;
    static constexpr int MaxMisses = 64;
    std::vector<std::pair<QByteArray, QVariant>> m_seen;
    bool m_interning = true;
    int m_misses = 0;
};

// Every row of a statement as columns; an empty vector per column when there
// are no rows. A read that fails half-way gives no value: a part of the
// library is never handed out as the whole.
Outcome<std::vector<std::vector<QVariant>>> readColumns(const QString &path, const QString &sql,
                                                        const QVariantList &params = {}) {
    Connection c(path);
    if (c.error != StoreError::None)
        return c.error;
    // Whole-library reads go through the file's pages mapped into memory
    // rather than copied out one by one.
    c.db.exec("PRAGMA mmap_size = 268435456");
    SqliteStatement statement(c.db, sql);
    if (!statement.isValid() || !statement.bindAll(params))
        return errorOf(c.db);
    const int columnCount = statement.columnCount();
    std::vector<std::vector<QVariant>> columns(static_cast<size_t>(columnCount));
    std::vector<TextColumn> texts(static_cast<size_t>(columnCount));
    int rc;
    while ((rc = statement.step()) == SQLITE_ROW) {
        for (int col = 0; col < columnCount; ++col) {
            auto &column = columns[size_t(col)];
            if (statement.columnType(col) == SQLITE_TEXT)
                column.push_back(texts[size_t(col)].take(statement.textBytes(col)));
            else
                column.push_back(statement.value(col));
        }
    }
    if (rc != SQLITE_DONE)
        return errorOf(c.db);
    return columns;
}

// The texts of one column, each value once, empty ones left out.
Outcome<QStringList> distinct(const QString &path, const QString &column) {
    const auto read =
        readColumns(path, QStringLiteral("SELECT DISTINCT ") + column + QStringLiteral(" FROM VBcode"));
    if (!read)
        return {read.error(), read.detail()};
    QStringList values;
    for (const QVariant &v : read.value().front()) {
        const QString text = v.toString();
        if (!text.isEmpty())
            values << text;
    }
    return values;
}

// Runs one statement on the library; with mustChange, a statement that
// changed no row counts as naming no record.
Outcome<> run(const QString &path, const QString &sql, const QVariantList &params, bool mustChange) {
    Connection c(path);
    if (c.error != StoreError::None)
        return c.error;
    SqliteStatement statement(c.db, sql);
    if (!statement.isValid() || !statement.bindAll(params) || !statement.run())
        return errorOf(c.db);
    if (mustChange && c.db.changes() == 0)
        return StoreError::NoSuchRecord;
    return {};
}

// The wanted key when no record holds it, else a fresh random one that no
// record holds. `taken` is TakenSql on the same connection.
Outcome<qint64> freeKey(const SqliteDb &db, SqliteStatement &taken, std::optional<qint64> wanted) {
    qint64 key = wanted ? *wanted : drawKey();
    for (int draw = 0;; ++draw) {
        taken.reset();
        if (!taken.bind(1, key))
            return errorOf(db);
        const int rc = taken.step();
        if (rc == SQLITE_DONE)
            return key;
        if (rc != SQLITE_ROW)
            return errorOf(db);
        if (draw == MaxKeyDraws)
            return StoreError::Refused;
        key = drawKey();
    }
}

const QString TakenSql = QStringLiteral("SELECT 1 FROM VBcode WHERE ID = ?1 LIMIT 1");
const QString InsertSql = QStringLiteral("INSERT INTO VBcode (") + AllColumns +
                          QStringLiteral(") VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7)");

// Inserts the record under its ID, or under a fresh random key when that one
// is taken. Runs inside the caller's transaction.
Outcome<qint64> insert(SqliteDb &db, const Record &record, const QString &stamp) {
    SqliteStatement taken(db, TakenSql);
    SqliteStatement insert(db, InsertSql);
    if (!taken.isValid() || !insert.isValid())
        return errorOf(db);
    const auto key = freeKey(db, taken, record.id);
    if (!key)
        return key;
    const QVariantList values{key.value(),
                              record.group,
                              record.category,
                              record.title,
                              record.text,
                              stamp,
                              record.common ? CommonFlag : QString(QLatin1String(""))};
    if (!insert.bindAll(values) || !insert.run())
        return errorOf(db);
    return key;
}

} // namespace

LibraryStore::LibraryStore(QString path) : m_path(std::move(path)) {}

QString LibraryStore::folder() const {
    return QFileInfo(m_path).absolutePath();
}

std::optional<qint64> LibraryStore::idFromCaption(const QString &caption) {
    const QString text = caption.trimmed();
    qsizetype i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == u'-' || text[i] == u'+'))
        negative = text[i++] == u'-';
    // Accumulated as a negative number, whose range reaches one further.
    qint64 value = 0;
    constexpr qint64 lowest = std::numeric_limits<qint64>::min();
    for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
        const int digit = text[i].unicode() - u'0';
        if (value < (lowest + digit) / 10)
            return std::nullopt;
        value = value * 10 - digit;
    }
    if (negative)
        return value;
    if (value == lowest)
        return std::nullopt;
    return -value;
}

std::optional<qint64> LibraryStore::idFromText(const QString &text) {
    const qsizetype sign = text.startsWith(u'-') ? 1 : 0;
    if (text.size() == sign)
        return std::nullopt;
    for (qsizetype i = sign; i < text.size(); ++i)
        if (text[i] < u'0' || text[i] > u'9')
            return std::nullopt;
    return idFromCaption(text);
}

qint64 LibraryStore::newKey() {
    return drawKey();
}

Outcome<bool> LibraryStore::hasAnyRecord() const {
    // All seven columns are named, so a file without them is told apart from
    // an empty library.
    const auto first =
        readColumns(m_path, QStringLiteral("SELECT ") + AllColumns + QStringLiteral(" FROM VBcode LIMIT 1"));
    if (!first)
        return {first.error(), first.detail()};
    return !first.value().front().empty();
}

namespace {

// The bytes of a text column as the table keeps them: the UTF-8 of a text,
// nothing for NULL, and any other value as its text.
QByteArrayView columnBytes(const SqliteStatement &statement, int col, QByteArray &scratch) {
    switch (statement.columnType(col)) {
    case SQLITE_TEXT:
        return statement.textBytes(col);
    case SQLITE_NULL:
        return {};
    default:
        scratch = statement.value(col).toString().toUtf8();
        return scratch;
    }
}

// Adds every row of a statement over (ID, MoudleName, CodeName, Code,
// ChangeTime, IsUsed) to the builder; stops early when cancelled.
Outcome<> addRows(SqliteDb &db, SqliteStatement &statement, RecordTable::Builder &builder,
                  const std::atomic<bool> *cancel) {
    QByteArray group, title, text;
    int rc;
    int rows = 0;
    QVariant flag;
    QByteArray flagText;
    while ((rc = statement.step()) == SQLITE_ROW) {
        if (cancel && (++rows & 1023) == 0 && cancel->load())
            return StoreError::Refused;
        // Most records hold one of a few flags: the last one is taken again
        // when it is the same text.
        const bool flagIsText = statement.columnType(5) == SQLITE_TEXT;
        if (!flagIsText || flag.typeId() != QMetaType::QString ||
            statement.textBytes(5) != QByteArrayView(flagText)) {
            flag = statement.value(5);
            flagText = flagIsText ? statement.textBytes(5).toByteArray() : QByteArray();
        }
        builder.add(statement.value(0), columnBytes(statement, 1, group), columnBytes(statement, 2, title),
                    columnBytes(statement, 3, text),
                    statement.columnType(4) == SQLITE_TEXT ? StoredStamp::ofText(statement.textBytes(4))
                                                           : StoredStamp::of(statement.value(4)),
                    flag);
    }
    if (rc != SQLITE_DONE)
        return errorOf(db);
    return {};
}

const QString ListColumns =
    QStringLiteral("SELECT ID, MoudleName, CodeName, Code, ChangeTime, IsUsed FROM VBcode");

} // namespace

Outcome<RecordTable> LibraryStore::readAll(const std::atomic<bool> *cancel) const {
    Connection c(m_path);
    if (c.error != StoreError::None)
        return c.error;
    // Read in file order and put in list order afterwards: reading the file
    // front to back is several times faster than visiting it in list order.
    // The file's pages are mapped into memory rather than copied out one by one.
    c.db.exec("PRAGMA mmap_size = 268435456");
    RecordTable::Builder builder;
    {
        // Room for the texts without a pass over them: the file's size bounds
        // what it holds, and the pages reserved but never written take no
        // memory. The highest rowid bounds the number of records as a rule.
        SqliteStatement size(c.db, QStringLiteral("SELECT (SELECT max(rowid) FROM VBcode), page_count * "
                                                  "page_size FROM pragma_page_count, pragma_page_size"));
        if (size.isValid() && size.step() == SQLITE_ROW)
            builder.reserve(int(std::clamp<qint64>(size.value(0).toLongLong(), 0, 1 << 22)),
                            size.value(1).toLongLong());
    }
    SqliteStatement statement(c.db, ListColumns + QStringLiteral(" ORDER BY rowid"));
    if (!statement.isValid())
        return errorOf(c.db);
    if (const auto added = addRows(c.db, statement, builder, cancel); !added)
        return {added.error(), added.detail()};
    return builder.finish(true, false);
}

Outcome<RecordTable> LibraryStore::readFirstScreen(int rows) const {
    Connection c(m_path);
    if (c.error != StoreError::None)
        return c.error;
    RecordTable::Builder builder;
    // The categories. A group first occurs in the list at its record with the
    // highest flag and, among those, the newest stamp; ties go in file order.
    // One row per group and flag, and the first such record of each, come
    // from the groups' index without reading any record.
    {
        SqliteStatement pairs(c.db, QStringLiteral("SELECT MoudleName, IsUsed, max(ChangeTime) FROM VBcode "
                                                   "GROUP BY MoudleName, IsUsed"));
        SqliteStatement first(c.db, QStringLiteral("SELECT min(rowid) FROM VBcode WHERE MoudleName IS ?1 AND "
                                                   "IsUsed IS ?2 AND ChangeTime IS ?3"));
        if (!pairs.isValid() || !first.isValid())
            return errorOf(c.db);
        struct Pair {
            QString name;
            QVariant common, stamp;
            qint64 position;
        };
        std::vector<Pair> found;
        int rc;
        QByteArray scratch;
        while ((rc = pairs.step()) == SQLITE_ROW) {
            Pair pair{QString::fromUtf8(columnBytes(pairs, 0, scratch)), pairs.value(1), pairs.value(2), 0};
            first.reset();
            if (!first.bindAll({pairs.value(0), pair.common, pair.stamp}) || first.step() != SQLITE_ROW)
                return errorOf(c.db);
            pair.position = first.value(0).toLongLong();
            found.push_back(std::move(pair));
        }
        if (rc != SQLITE_DONE)
            return errorOf(c.db);
        std::sort(found.begin(), found.end(),
                  [](const Pair &a, const Pair &b) { return a.position < b.position; });
        std::vector<QVariant> commons, stamps;
        for (const Pair &pair : found) {
            commons.push_back(pair.common);
            stamps.push_back(pair.stamp);
        }
        QStringList categories{CommonFlag};
        QSet<QString> seen{CommonFlag};
        for (const int p : listOrder(commons, stamps)) {
            const QString &name = found[size_t(p)].name;
            if (!seen.contains(name)) {
                seen.insert(name);
                categories << name;
            }
        }
        builder.setCategories(categories);
    }
    // The first rows of "常用" exactly as the whole list begins: the common
    // records and the other records of the group "常用", in list order. Each
    // part reads only its first rows through an index when the library has
    // it; the merge keeps the first of both.
    const QString part = QStringLiteral(
        "SELECT * FROM (SELECT rowid AS FileOrder, ID, MoudleName, CodeName, Code, ChangeTime, IsUsed FROM "
        "VBcode WHERE %1 LIMIT ?2)");
    const QString merged =
        QStringLiteral("SELECT ID, MoudleName, CodeName, Code, ChangeTime, IsUsed FROM (") +
        part.arg(QStringLiteral("IsUsed = ?1 ORDER BY ChangeTime DESC, rowid")) +
        QStringLiteral(" UNION ALL ") +
        part.arg(QStringLiteral(
            "MoudleName = ?1 AND IsUsed IS NOT ?1 ORDER BY IsUsed DESC, ChangeTime DESC, rowid")) +
        QStringLiteral(") ORDER BY IsUsed DESC, ChangeTime DESC, FileOrder LIMIT ?2");
    SqliteStatement statement(c.db, merged);
    if (!statement.isValid() || !statement.bindAll({CommonFlag, rows}))
        return errorOf(c.db);
    if (const auto added = addRows(c.db, statement, builder, nullptr); !added)
        return {added.error(), added.detail()};
    return builder.finish(false);
}

void LibraryStore::addListIndexes() const {
    // New libraries are made with them; an older one gets them once, when it
    // can be written (a read-only or busy library goes on without). Asking
    // first leaves the file untouched when they are there.
    Connection c(m_path);
    if (c.error != StoreError::None)
        return;
    SqliteStatement present(c.db,
                            QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type = 'index' AND "
                                           "name IN ('VBcode_ListOrder', 'VBcode_Groups')"));
    if (present.isValid() && present.step() == SQLITE_ROW && present.value(0).toInt() == 2)
        return;
    c.db.exec(librarySchema::ListIndexesSql);
}

LibraryStore::Signature LibraryStore::signature() const {
    Signature sig;
    const QFileInfo file(m_path);
    sig.size = file.size();
    sig.modified = file.lastModified().toMSecsSinceEpoch();
    sig.identity = platform::fileIdentity(m_path.toUtf8().toStdString());
    // The file change counter, which every committed write of SQLite's
    // rollback journal raises; a library in WAL mode changes its -wal file.
    QFile header(m_path);
    if (header.open(QIODevice::ReadOnly) && header.seek(24))
        sig.counter = header.read(4);
    const QFileInfo wal(m_path + QStringLiteral("-wal"));
    sig.walSize = wal.exists() ? wal.size() : -1;
    sig.walModified = wal.exists() ? wal.lastModified().toMSecsSinceEpoch() : 0;
    return sig;
}

Outcome<QStringList> LibraryStore::groups() const {
    return distinct(m_path, QStringLiteral("MoudleName"));
}

Outcome<Record> LibraryStore::find(qint64 id) const {
    auto read = readColumns(
        m_path, QStringLiteral("SELECT ") + AllColumns + QStringLiteral(" FROM VBcode WHERE ID = ?1"), {id});
    if (!read)
        return {read.error(), read.detail()};
    const auto &c = read.value();
    if (c.front().empty())
        return StoreError::NoSuchRecord;
    return Record{id,
                  c[1][0].toString(),
                  c[2][0].toString(),
                  c[3][0].toString(),
                  c[4][0].toString(),
                  c[5][0].toString(),
                  c[6][0].toString() == CommonFlag};
}

Outcome<qint64> LibraryStore::add(const Record &record) const {
    return inTransaction<qint64>(m_path, [&](SqliteDb &db) {
        return insert(db, record, now().toString(QStringLiteral("yyyyMMddHHmmss")));
    });
}

Outcome<> LibraryStore::replace(const Record &record) const {
    // Delete and insert commit together or not at all: a failed insert leaves
    // the old record in place.
    return inTransaction<void>(m_path, [&](SqliteDb &db) -> Outcome<> {
        SqliteStatement remove(db, QStringLiteral("DELETE FROM VBcode WHERE ID = ?1"));
        if (!remove.bind(1, record.id) || !remove.run())
            return errorOf(db);
        const auto stored = insert(db, record, now().toString(QStringLiteral("yyyyMMddHHmmss")));
        if (!stored)
            return {stored.error(), stored.detail()};
        return {};
    });
}

Outcome<> LibraryStore::remove(qint64 id) const {
    return run(m_path, QStringLiteral("DELETE FROM VBcode WHERE ID = ?1"), {id}, true);
}

Outcome<> LibraryStore::setCommon(qint64 id, bool common) const {
    return run(m_path, QStringLiteral("UPDATE VBcode SET IsUsed = ?1 WHERE ID = ?2"),
               {common ? CommonFlag : QString(QLatin1String("")), id}, true);
}

Outcome<QString> LibraryStore::toggleSpecialMark(qint64 id) const {
    // The title is read and written under one lock: a title changed since
    // the list was filled, by this program or another, is the one toggled.
    return inTransaction<QString>(m_path, [&](SqliteDb &db) -> Outcome<QString> {
        SqliteStatement read(db, QStringLiteral("SELECT CodeName FROM VBcode WHERE ID = ?1"));
        if (!read.bind(1, id))
            return errorOf(db);
        const int rc = read.step();
        if (rc == SQLITE_DONE)
            return StoreError::NoSuchRecord;
        if (rc != SQLITE_ROW)
            return errorOf(db);
        QString title = read.value(0).toString();
        title.remove(u'\'');
        title = title.contains(SpecialMark) ? title.remove(SpecialMark) : SpecialMark + title;
        SqliteStatement write(db, QStringLiteral("UPDATE VBcode SET CodeName = ?1 WHERE ID = ?2"));
        if (!write.bindAll({title, id}) || !write.run())
            return errorOf(db);
        return title;
    });
}

Outcome<> LibraryStore::clear() const {
    return run(m_path, QStringLiteral("DELETE FROM VBcode WHERE ID > 0"), {}, false);
}

Outcome<> LibraryStore::visitRows(const std::function<void(qint64 rows)> &count,
                                  const std::function<bool(const StoredValue *values)> &visit) const {
    Connection c(m_path);
    if (c.error != StoreError::None)
        return c.error;
    // One read: the count and the rows see the same library.
    if (!c.db.exec("BEGIN"))
        return errorOf(c.db);
    SqliteStatement counting(c.db, QStringLiteral("SELECT count(*) FROM VBcode"));
    if (counting.step() != SQLITE_ROW)
        return errorOf(c.db);
    count(counting.value(0).toLongLong());
    SqliteStatement rows(c.db, QStringLiteral("SELECT ") + AllColumns + QStringLiteral(" FROM VBcode"));
    StoredValue values[librarySchema::ColumnCount];
    int rc;
    while ((rc = rows.step()) == SQLITE_ROW) {
        for (int col = 0; col < librarySchema::ColumnCount; ++col) {
            const int type = rows.columnType(col);
            values[col].kind = type == SQLITE_NULL      ? StoredValue::Null
                               : type == SQLITE_INTEGER ? StoredValue::Integer
                               : type == SQLITE_BLOB    ? StoredValue::Blob
                                                        : StoredValue::Text;
            values[col].bytes = type == SQLITE_NULL ? QByteArrayView() : rows.textBytes(col);
        }
        if (!visit(values))
            return {};
    }
    if (rc != SQLITE_DONE)
        return errorOf(c.db);
    return {};
}

namespace {

// The keys from 0 to 999999 that an import may give out: those no record
// holds. Drawn at random like any new key; when the draws keep meeting taken
// ones, the next free key after a random start.
class FreeKeys {
  public:
    void take(qint64 key) {
        if (key >= 0 && key < NewKeyRange && !m_taken[size_t(key)]) {
            m_taken[size_t(key)] = true;
            ++m_takenCount;
        }
    }
    bool isTaken(qint64 key) const { return key >= 0 && key < NewKeyRange && m_taken[size_t(key)]; }
    qint64 given() const { return m_given; }
    std::optional<qint64> draw() {
        if (m_takenCount == NewKeyRange)
            return std::nullopt;
        qint64 key = drawKey();
        for (int draw = 0; draw < 32 && m_taken[size_t(key)]; ++draw)
            key = drawKey();
        while (m_taken[size_t(key)])
            key = (key + 1) % NewKeyRange;
        take(key);
        ++m_given;
        return key;
    }

  private:
    std::vector<bool> m_taken = std::vector<bool>(size_t(NewKeyRange), false);
    qint64 m_takenCount = 0;
    qint64 m_given = 0;
};

} // namespace

Outcome<ImportCounts> LibraryStore::importRecords(const std::function<Supply(IncomingRecord &)> &source,
                                                  ImportMode mode) const {
    Connection c(m_path);
    if (c.error != StoreError::None)
        return c.error;
    if (sqlite3_db_readonly(c.db.handle(), "main") == 1)
        return StoreError::ReadOnly;
    // The pages an import writes stay in memory until it commits: a small
    // cache writes them out and reads them back again many times over (the
    // indexes are filled in list order, not in the order the records come).
    c.db.exec("PRAGMA cache_size = -32768");
    SqliteTransaction transaction(c.db);
    if (!transaction.isActive())
        return errorOf(c.db);
    // The records stored, by a hash of title and text; a match is confirmed
    // against the record itself. Records the import stores join them.
    const auto hashOf = [](QByteArrayView title, QByteArrayView text) {
        return qHash(text, qHash(title, 0));
    };
    std::unordered_multimap<size_t, qint64> stored;
    FreeKeys keys;
    {
        SqliteStatement all(c.db, QStringLiteral("SELECT rowid, CodeName, Code, ID FROM VBcode"));
        int rc;
        while ((rc = all.step()) == SQLITE_ROW) {
            stored.emplace(hashOf(all.textBytes(1), all.textBytes(2)), all.value(0).toLongLong());
            if (all.columnType(3) == SQLITE_INTEGER)
                keys.take(all.value(3).toLongLong());
        }
        if (rc != SQLITE_DONE)
            return errorOf(c.db);
    }
    SqliteStatement same(c.db, QStringLiteral("SELECT CodeName, Code FROM VBcode WHERE rowid = ?1"));
    SqliteStatement byId(c.db, QStringLiteral("SELECT rowid, MoudleName, TypeName, CodeName, Code, IsUsed "
                                              "FROM VBcode WHERE ID = ?1 LIMIT 1"));
    SqliteStatement insert(c.db, InsertSql);
    // A column the record does not give is bound as NULL and keeps its value.
    SqliteStatement update(c.db,
                           QStringLiteral("UPDATE VBcode SET MoudleName = coalesce(?2, MoudleName), "
                                          "TypeName = coalesce(?3, TypeName), "
                                          "CodeName = coalesce(?4, CodeName), Code = coalesce(?5, Code), "
                                          "ChangeTime = ?6, IsUsed = coalesce(?7, IsUsed) "
                                          "WHERE rowid = ?1"));
    if (!same.isValid() || !byId.isValid() || !insert.isValid() || !update.isValid())
        return errorOf(c.db);
    const auto isStored = [&](const IncomingRecord &r) -> std::optional<bool> {
        const auto [first, last] = stored.equal_range(hashOf(r.title, r.text));
        for (auto it = first; it != last; ++it) {
            if (!same.reset() || !same.bind(1, it->second) || same.step() != SQLITE_ROW)
                return std::nullopt;
            if (same.textBytes(0) == QByteArrayView(r.title) && same.textBytes(1) == QByteArrayView(r.text))
                return true;
        }
        return false;
    };
    const auto given = [](const IncomingRecord &r, int column) { return (r.given >> column) & 1u; };

    const QByteArray stamp = now().toString(QStringLiteral("yyyyMMddHHmmss")).toUtf8();
    const QByteArray importedGroup = ImportedGroup.toUtf8();
    ImportCounts counts;
    IncomingRecord record;
    for (;;) {
        const Supply supply = source(record);
        if (supply == Supply::Stop)
            return counts; // not complete: the transaction rolls back
        if (supply == Supply::End)
            break;
        const QByteArray &group = record.group.isEmpty() ? importedGroup : record.group;
        // The stored record with the same ID, when there is one.
        bool idStored = false;
        if (record.id) {
            if (!byId.reset() || !byId.bind(1, *record.id))
                return errorOf(c.db);
            const int rc = byId.step();
            if (rc != SQLITE_ROW && rc != SQLITE_DONE)
                return errorOf(c.db);
            idStored = rc == SQLITE_ROW;
        }
        const bool sameTitle = idStored && byId.textBytes(3) == QByteArrayView(record.title);
        const bool differing = sameTitle && byId.textBytes(4) != QByteArrayView(record.text);
        if (differing) {
            if (++counts.differing <= DifferingExamples)
                counts.examples.push_back({*record.id, QString::fromUtf8(record.title)});
        }
        if (mode == ImportMode::Update && idStored) {
            const auto equal = [&](int column, int storedColumn, QByteArrayView value) {
                return !given(record, column) || byId.textBytes(storedColumn) == value;
            };
            const bool unchanged = (!given(record, 1) || byId.textBytes(1) == QByteArrayView(group) ||
                                    (record.group.isEmpty() && byId.textBytes(1).isEmpty())) &&
                                   equal(2, 2, record.category) && equal(3, 3, record.title) &&
                                   equal(4, 4, record.text) && equal(6, 5, record.commonFlag);
            if (unchanged) {
                ++counts.skipped;
                continue;
            }
            const qint64 rowid = byId.value(0).toLongLong();
            const auto bindGiven = [&](int index, int column, QByteArrayView value) {
                return given(record, column) ? update.bindText(index, value) : update.bind(index, QVariant());
            };
            if (!update.reset() || !update.bind(1, rowid) || !bindGiven(2, 1, group) ||
                !bindGiven(3, 2, record.category) || !bindGiven(4, 3, record.title) ||
                !bindGiven(5, 4, record.text) || !update.bindText(6, stamp) ||
                !bindGiven(7, 6, record.commonFlag) || !update.run())
                return errorOf(c.db);
            stored.emplace(hashOf(record.title, record.text), rowid);
            ++counts.updated;
            continue;
        }
        const auto known = isStored(record);
        if (!known)
            return errorOf(c.db);
        if (*known) {
            ++counts.skipped;
            continue;
        }
        qint64 key = 0;
        if (record.id && !idStored) {
            key = *record.id;
            keys.take(key);
        } else if (const auto fresh = keys.draw()) {
            key = *fresh;
        } else {
            counts.keysRanOut = keys.given();
            return counts;
        }
        if (!insert.reset() || !insert.bind(1, key) || !insert.bindText(2, group) ||
            !insert.bindText(3, record.category) || !insert.bindText(4, record.title) ||
            !insert.bindText(5, record.text) || !insert.bindText(6, record.changeTime.value_or(stamp)) ||
            !insert.bindText(7, record.commonFlag) || !insert.run())
            return errorOf(c.db);
        stored.emplace(hashOf(record.title, record.text), sqlite3_last_insert_rowid(c.db.handle()));
        ++counts.added;
    }
    if (!transaction.commit())
        return errorOf(c.db);
    counts.complete = true;
    return counts;
}
