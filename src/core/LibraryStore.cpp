#include "LibraryStore.h"

#include "LibrarySchema.h"
#include "SqliteDb.h"

#include <QFileInfo>
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
    const auto read = readColumns(path, QStringLiteral("SELECT DISTINCT ") + column + QStringLiteral(" FROM VBcode"));
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

std::vector<QString> takeTexts(std::vector<QVariant> &column) {
    std::vector<QString> out;
    out.reserve(column.size());
    for (QVariant &v : column)
        out.push_back(v.typeId() == QMetaType::QString ? std::move(*static_cast<QString *>(v.data()))
                      : v.isNull()                     ? QString()
                                                       : v.toString());
    column.clear();
    column.shrink_to_fit();
    return out;
}

// SQLite's order of values: NULL, numbers, texts (by code point), blobs.
int compareStored(const QVariant &a, const QVariant &b) {
    auto rank = [](const QVariant &v) {
        switch (v.typeId()) {
        case QMetaType::UnknownType:
            return 0;
        case QMetaType::Int:
        case QMetaType::LongLong:
        case QMetaType::Double:
            return 1;
        case QMetaType::QString:
            return 2;
        default:
            return 3;
        }
    };
    const int ra = rank(a), rb = rank(b);
    if (ra != rb || ra == 0)
        return ra - rb;
    if (ra == 1) {
        const double x = a.toDouble(), y = b.toDouble();
        return x < y ? -1 : x > y ? 1 : 0;
    }
    if (ra == 3)
        return a.toByteArray().compare(b.toByteArray());
    const QString &x = *static_cast<const QString *>(a.constData());
    const QString &y = *static_cast<const QString *>(b.constData());
    const qsizetype n = std::min(x.size(), y.size());
    for (qsizetype i = 0; i < n; ++i) {
        char16_t cx = x[i].unicode(), cy = y[i].unicode();
        if (cx != cy) {
            // UTF-16 units in code point order: surrogates come after U+FFFF.
            auto fix = [](char16_t c) { return c >= 0xE000 ? c - 0x800 : c >= 0xD800 ? c + 0x2000 : int(c); };
            return fix(cx) - fix(cy);
        }
    }
    return x.size() < y.size() ? -1 : x.size() > y.size() ? 1 : 0;
}

// A 14-digit change stamp as a number, which orders as its text does; -1
// for anything else.
qint64 stampNumber(const QVariant &value) {
    if (value.typeId() != QMetaType::QString)
        return -1;
    const QString &text = *static_cast<const QString *>(value.constData());
    if (text.size() != 14)
        return -1;
    qint64 number = 0;
    for (const QChar c : text) {
        if (c < u'0' || c > u'9')
            return -1;
        number = number * 10 + (c.unicode() - u'0');
    }
    return number;
}

// The row order of "ORDER BY IsUsed DESC, ChangeTime DESC", ties in file
// order. The flag has a handful of values and the stamps are digits, so
// rows are ranked by plain numbers; other values fall back to comparing
// them as SQLite does.
std::vector<int> listOrder(const std::vector<QVariant> &common, const std::vector<QVariant> &stamp) {
    const size_t rows = common.size();
    std::vector<int> commonRank(rows, 0);
    std::vector<const QVariant *> distinct;
    bool ranked = true;
    for (size_t r = 0; r < rows && ranked; ++r) {
        size_t i = 0;
        while (i < distinct.size() && compareStored(*distinct[i], common[r]) != 0)
            ++i;
        if (i == distinct.size()) {
            if (distinct.size() == 64)
                ranked = false;
            distinct.push_back(&common[r]);
        }
        commonRank[r] = int(i);
    }
    if (ranked) {
        std::vector<int> byValue(distinct.size());
        std::iota(byValue.begin(), byValue.end(), 0);
        std::sort(byValue.begin(), byValue.end(), [&](int a, int b) {
            return compareStored(*distinct[size_t(a)], *distinct[size_t(b)]) < 0;
        });
        std::vector<int> position(distinct.size());
        for (size_t p = 0; p < byValue.size(); ++p)
            position[size_t(byValue[p])] = int(p);
        for (int &rank : commonRank)
            rank = position[size_t(rank)];
    }
    std::vector<qint64> stampKey(rows);
    for (size_t r = 0; r < rows; ++r)
        stampKey[r] = stampNumber(stamp[r]);

    std::vector<int> order(rows);
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        const size_t x = size_t(a), y = size_t(b);
        const int byCommon = ranked ? commonRank[y] - commonRank[x] : compareStored(common[y], common[x]);
        if (byCommon != 0)
            return byCommon < 0;
        if (stampKey[x] >= 0 && stampKey[y] >= 0)
            return stampKey[x] > stampKey[y];
        return compareStored(stamp[y], stamp[x]) < 0;
    });
    return order;
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
    const auto first = readColumns(m_path, QStringLiteral("SELECT ") + AllColumns + QStringLiteral(" FROM VBcode LIMIT 1"));
    if (!first)
        return {first.error(), first.detail()};
    return !first.value().front().empty();
}

Outcome<RecordTable> LibraryStore::readAll() const {
    // Read in file order and put in list order here: common records first,
    // then the newest change stamp first, as "ORDER BY IsUsed DESC,
    // ChangeTime DESC" would. Reading the file front to back is several
    // times faster than visiting it in list order.
    auto read = readColumns(m_path, QStringLiteral("SELECT ") + AllColumns + QStringLiteral(" FROM VBcode"));
    if (!read)
        return {read.error(), read.detail()};
    auto &columns = read.value();
    auto data = std::make_shared<RecordTable::Data>();
    data->order = listOrder(columns[6], columns[5]);
    data->ids = std::move(columns[0]);
    data->groups = takeTexts(columns[1]);
    data->categories = takeTexts(columns[2]);
    data->titles = takeTexts(columns[3]);
    data->texts = takeTexts(columns[4]);
    data->changeTimes = takeTexts(columns[5]);
    data->commonFlags = takeTexts(columns[6]);
    return RecordTable(std::move(data));
}

Outcome<QStringList> LibraryStore::groups() const {
    return distinct(m_path, QStringLiteral("MoudleName"));
}

Outcome<Record> LibraryStore::find(qint64 id) const {
    auto read = readColumns(m_path, QStringLiteral("SELECT ") + AllColumns + QStringLiteral(" FROM VBcode WHERE ID = ?1"), {id});
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
    Connection c(m_path);
    if (c.error != StoreError::None)
        return c.error;
    SqliteTransaction transaction(c.db);
    if (!transaction.isActive())
        return errorOf(c.db);
    const auto stored = insert(c.db, record, now().toString(QStringLiteral("yyyyMMddHHmmss")));
    if (!stored)
        return stored;
    if (!transaction.commit())
        return errorOf(c.db);
    return stored;
}

Outcome<> LibraryStore::replace(const Record &record) const {
    Connection c(m_path);
    if (c.error != StoreError::None)
        return c.error;
    // Delete and insert commit together or not at all: a failed insert leaves
    // the old record in place.
    SqliteTransaction transaction(c.db);
    if (!transaction.isActive())
        return errorOf(c.db);
    SqliteStatement remove(c.db, QStringLiteral("DELETE FROM VBcode WHERE ID = ?1"));
    if (!remove.bind(1, record.id) || !remove.run())
        return errorOf(c.db);
    const auto stored = insert(c.db, record, now().toString(QStringLiteral("yyyyMMddHHmmss")));
    if (!stored)
        return {stored.error(), stored.detail()};
    if (!transaction.commit())
        return errorOf(c.db);
    return {};
}

Outcome<> LibraryStore::remove(qint64 id) const {
    return run(m_path, QStringLiteral("DELETE FROM VBcode WHERE ID = ?1"), {id}, true);
}

Outcome<> LibraryStore::setCommon(qint64 id, bool common) const {
    return run(m_path, QStringLiteral("UPDATE VBcode SET IsUsed = ?1 WHERE ID = ?2"),
               {common ? CommonFlag : QString(QLatin1String("")), id}, true);
}

Outcome<QString> LibraryStore::toggleSpecialMark(qint64 id) const {
    Connection c(m_path);
    if (c.error != StoreError::None)
        return c.error;
    // The title is read and written under one lock: a title changed since
    // the list was filled, by this program or another, is the one toggled.
    SqliteTransaction transaction(c.db);
    if (!transaction.isActive())
        return errorOf(c.db);
    SqliteStatement read(c.db, QStringLiteral("SELECT CodeName FROM VBcode WHERE ID = ?1"));
    if (!read.bind(1, id))
        return errorOf(c.db);
    const int rc = read.step();
    if (rc == SQLITE_DONE)
        return StoreError::NoSuchRecord;
    if (rc != SQLITE_ROW)
        return errorOf(c.db);
    QString title = read.value(0).toString();
    title.remove(u'\'');
    title = title.contains(SpecialMark) ? title.remove(SpecialMark) : SpecialMark + title;
    SqliteStatement write(c.db, QStringLiteral("UPDATE VBcode SET CodeName = ?1 WHERE ID = ?2"));
    if (!write.bindAll({title, id}) || !write.run() || !transaction.commit())
        return errorOf(c.db);
    return title;
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

Outcome<ImportCounts>
LibraryStore::importRecords(const std::function<Supply(IncomingRecord &)> &source) const {
    Connection c(m_path);
    if (c.error != StoreError::None)
        return c.error;
    SqliteTransaction transaction(c.db);
    if (!transaction.isActive())
        return errorOf(c.db);
    // The records stored before the import, by a hash of title and text;
    // a match is confirmed against the record itself.
    const auto hashOf = [](QByteArrayView title, QByteArrayView text) {
        return qHash(text, qHash(title, 0));
    };
    std::unordered_multimap<size_t, qint64> stored;
    {
        SqliteStatement all(c.db, QStringLiteral("SELECT rowid, CodeName, Code FROM VBcode"));
        int rc;
        while ((rc = all.step()) == SQLITE_ROW)
            stored.emplace(hashOf(all.textBytes(1), all.textBytes(2)), all.value(0).toLongLong());
        if (rc != SQLITE_DONE)
            return errorOf(c.db);
    }
    SqliteStatement same(c.db, QStringLiteral("SELECT CodeName, Code FROM VBcode WHERE rowid = ?1"));
    SqliteStatement taken(c.db, TakenSql);
    SqliteStatement insert(c.db, InsertSql);
    if (!same.isValid() || !taken.isValid() || !insert.isValid())
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

    const QByteArray stamp = now().toString(QStringLiteral("yyyyMMddHHmmss")).toUtf8();
    ImportCounts counts;
    IncomingRecord record;
    for (;;) {
        const Supply supply = source(record);
        if (supply == Supply::Stop)
            return counts; // not complete: the transaction rolls back
        if (supply == Supply::End)
            break;
        const auto known = isStored(record);
        if (!known)
            return errorOf(c.db);
        if (*known) {
            ++counts.skipped;
            continue;
        }
        const auto key = freeKey(c.db, taken, record.id);
        if (!key)
            return {key.error(), key.detail()};
        if (!insert.reset() || !insert.bind(1, key.value()) || !insert.bindText(2, record.group) ||
            !insert.bindText(3, record.category) || !insert.bindText(4, record.title) ||
            !insert.bindText(5, record.text) || !insert.bindText(6, record.changeTime.value_or(stamp)) ||
            !insert.bindText(7, record.commonFlag) || !insert.run())
            return errorOf(c.db);
        ++counts.added;
    }
    if (!transaction.commit())
        return errorOf(c.db);
    counts.complete = true;
    return counts;
}
