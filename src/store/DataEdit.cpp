#include "store/DataEdit.h"

#include "MessageBox.h"
#include "UsedCode.h"
#include "store/LibrarySchema.h"
#include "store/SqliteDb.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <numeric>
#include <sqlite3.h>

namespace DataEdit {

namespace {

QString s_libraryPath;
std::function<QDateTime()> s_clock;

// Long enough to ride out another program's short write, short enough that
// a file held open for good does not freeze the window for long.
constexpr int BusyTimeoutMs = 1500;
// New texts draw their key from 0 to 999999.
constexpr int KeyRange = 1000000;
// Draws of a fresh key before giving up; only a nearly full key range fails.
constexpr int MaxKeyDraws = 1000;

const QVariant &nullVariant() {
    static const QVariant null;
    return null;
}

bool libraryExists(const QString &path) {
    return !path.isEmpty() && QFileInfo(path).isFile();
}

// What a failed open or statement means to the user.
Failure failureOf(const store::SqliteDb &db) {
    switch (db.errorCode()) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return Failure::Locked;
    case SQLITE_NOTADB:
    case SQLITE_ERROR: // a fixed statement refused: no table VBcode or a column missing
        return Failure::NotALibrary;
    case SQLITE_CORRUPT:
        return Failure::Damaged;
    default:
        return Failure::Unreadable;
    }
}

void report(Failure *why, Failure failure) {
    if (why)
        *why = failure;
}

// Table and column names are concatenated into statements, so only the known
// names pass, and always in their own spelling.
std::optional<QString> knownTable(const QString &name) {
    if (name.compare(TableName, Qt::CaseInsensitive) == 0)
        return TableName;
    return std::nullopt;
}

std::optional<QString> knownColumn(const QString &name) {
    for (const char *column : librarySchema::Columns) {
        if (name.compare(QLatin1String(column), Qt::CaseInsensitive) == 0)
            return QString::fromLatin1(column);
    }
    return std::nullopt;
}

QString changeStamp() {
    return Now().toString(QStringLiteral("yyyyMMddHHmmss"));
}

// Inserts the record under id, or under a fresh random key when id is taken.
// Runs inside the caller's transaction.
std::optional<qint64> storeRecord(store::SqliteDb &db, const EditorRecord &record, qint64 id) {
    store::SqliteStatement taken(db, QStringLiteral("SELECT 1 FROM VBcode WHERE ID = ?1 LIMIT 1"));
    store::SqliteStatement insert(
        db, QStringLiteral("INSERT INTO VBcode (ID, MoudleName, TypeName, CodeName, Code, "
                           "ChangeTime, IsUsed) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7)"));
    if (!taken.isValid() || !insert.isValid())
        return std::nullopt;
    qint64 key = id;
    for (int draw = 0;; ++draw) {
        taken.reset();
        if (!taken.bind(1, key))
            return std::nullopt;
        const int rc = taken.step();
        if (rc == SQLITE_DONE)
            break;
        if (rc != SQLITE_ROW || draw == MaxKeyDraws)
            return std::nullopt;
        key = UsedCode::RandomNumber(KeyRange);
    }
    const QVariantList values{key,
                              record.moudleName,
                              record.typeName,
                              record.codeName,
                              record.code,
                              changeStamp(),
                              record.isUsed ? CommonFlag : QString(QLatin1String(""))};
    if (!insert.bindAll(values) || !insert.run())
        return std::nullopt;
    return key;
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

// Every row of the statement as columns; no value when there are no rows,
// when the file cannot be read or the statement fails, also half-way (a part
// of the library is never handed out as the whole).
std::optional<std::vector<std::vector<QVariant>>> readColumns(const QString &path, const QString &sql,
                                                              const QVariantList &params, Failure *why) {
    report(why, Failure::None);
    if (!libraryExists(path)) {
        report(why, Failure::Missing);
        return std::nullopt;
    }
    store::SqliteDb db;
    if (!db.openExisting(path, BusyTimeoutMs)) {
        report(why, failureOf(db));
        return std::nullopt;
    }
    // Whole-library reads go through the file's pages mapped into memory
    // rather than copied out one by one.
    db.exec("PRAGMA mmap_size = 268435456");
    store::SqliteStatement statement(db, sql.trimmed());
    if (!statement.isValid() || !statement.bindAll(params)) {
        report(why, failureOf(db));
        return std::nullopt;
    }
    const int columnCount = statement.columnCount();
    if (columnCount == 0)
        return std::nullopt;
    std::vector<std::vector<QVariant>> columns(static_cast<size_t>(columnCount));
    std::vector<TextColumn> texts(static_cast<size_t>(columnCount));
    int rc;
    while ((rc = statement.step()) == SQLITE_ROW) {
        for (int c = 0; c < columnCount; ++c) {
            auto &column = columns[size_t(c)];
            if (statement.columnType(c) == SQLITE_TEXT)
                column.push_back(texts[size_t(c)].take(statement.textBytes(c)));
            else
                column.push_back(statement.value(c));
        }
    }
    if (rc != SQLITE_DONE) {
        report(why, failureOf(db));
        return std::nullopt;
    }
    if (columns.front().empty())
        return std::nullopt;
    return columns;
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
Failure run(const QString &sql, const QVariantList &params, bool mustChange) {
    const QString path = LibraryPath();
    if (!libraryExists(path))
        return Failure::Missing;
    store::SqliteDb db;
    if (!db.openExisting(path, BusyTimeoutMs))
        return failureOf(db);
    store::SqliteStatement statement(db, sql);
    if (!statement.isValid() || !statement.bindAll(params) || !statement.run())
        return failureOf(db);
    return mustChange && db.changes() == 0 ? Failure::NoSuchRecord : Failure::None;
}

} // namespace

RowArray::RowArray(std::vector<std::vector<QVariant>> columns)
    : m_data(std::make_shared<const Data>(Data{std::move(columns), {}})) {}

RowArray::RowArray(std::vector<std::vector<QVariant>> columns, std::vector<int> order)
    : m_data(std::make_shared<const Data>(Data{std::move(columns), std::move(order)})) {}

const QVariant &RowArray::at(int column, int row) const {
    if (!m_data || column < 0 || column >= columnCount() || row < 0 || row >= rowCount())
        return nullVariant();
    const size_t stored = m_data->order.empty() ? size_t(row) : size_t(m_data->order[size_t(row)]);
    return m_data->columns[size_t(column)][stored];
}

void SetLibraryPath(const QString &path) {
    s_libraryPath = path;
}

QString LibraryPath() {
    if (s_libraryPath.isEmpty() && QCoreApplication::instance())
        return QDir(QCoreApplication::applicationDirPath())
            .filePath(QString::fromLatin1(librarySchema::FileName));
    return s_libraryPath;
}

QString ProgramFolder() {
    return QFileInfo(LibraryPath()).absolutePath();
}

void SetClock(std::function<QDateTime()> clock) {
    s_clock = std::move(clock);
}

QDateTime Now() {
    return s_clock ? s_clock() : QDateTime::currentDateTime();
}

std::optional<qint64> IdFromCaption(const QString &caption) {
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

std::optional<qint64> IdFromText(const QString &text) {
    const qsizetype sign = text.startsWith(u'-') ? 1 : 0;
    if (text.size() == sign)
        return std::nullopt;
    for (qsizetype i = sign; i < text.size(); ++i)
        if (text[i] < u'0' || text[i] > u'9')
            return std::nullopt;
    return IdFromCaption(text);
}

RowArray GetRecordset(const QString &path, const QString &sql, const QVariantList &params, Failure *why) {
    auto columns = readColumns(path, sql, params, why);
    if (!columns)
        return {};
    return RowArray(std::move(*columns));
}

bool ExecSql(const QString &sql, const QVariantList &params, int *rowsAffected) {
    if (rowsAffected)
        *rowsAffected = 0;
    const QString path = LibraryPath();
    if (!libraryExists(path))
        return false;
    store::SqliteDb db;
    if (!db.openExisting(path, BusyTimeoutMs))
        return false;
    store::SqliteStatement statement(db, sql);
    if (!statement.isValid() || !statement.bindAll(params) || !statement.run())
        return false;
    if (rowsAffected)
        *rowsAffected = db.changes();
    return true;
}

RowArray GetDistinctValues(const QString &path, const QString &table, const QString &column) {
    const auto t = knownTable(table);
    const auto c = knownColumn(column);
    if (!t || !c)
        return {};
    return GetRecordset(path, QStringLiteral("SELECT DISTINCT ") + *c + QStringLiteral(" FROM ") + *t);
}

RowArray GetAllRecords(const QString &path, const QString &table, Failure *why) {
    report(why, Failure::None);
    const auto t = knownTable(table);
    if (!t)
        return {};
    // Read in file order and put in list order here: common records first,
    // then the newest change stamp first, as "ORDER BY IsUsed DESC,
    // ChangeTime DESC" would. Reading the file front to back is several
    // times faster than visiting it in list order. The columns are named, so
    // their positions hold whatever order the file declares them in.
    auto columns = readColumns(path,
                               QStringLiteral("SELECT ID, MoudleName, TypeName, CodeName, Code, ChangeTime, "
                                              "IsUsed FROM ") +
                                   *t,
                               {}, why);
    if (!columns)
        return {};
    std::vector<int> order = listOrder((*columns)[6], (*columns)[5]);
    return RowArray(std::move(*columns), std::move(order));
}

AddResult AddRecordFromEditor(const EditorRecord &record) {
    if (!libraryExists(LibraryPath())) {
        msg::MsgBox(QStringLiteral("缺少Vbcode.mb文件"), msg::Information, QString::fromUtf8(msg::AppTitle));
        return AddResult::MissingFile;
    }
    return InsertRecordFromEditor(record) ? AddResult::Stored : AddResult::Failed;
}

std::optional<qint64> InsertRecordFromEditor(const EditorRecord &record) {
    const auto id = IdFromCaption(record.id);
    const QString path = LibraryPath();
    if (!id || !libraryExists(path))
        return std::nullopt;
    store::SqliteDb db;
    if (!db.openExisting(path, BusyTimeoutMs))
        return std::nullopt;
    store::SqliteTransaction transaction(db);
    if (!transaction.isActive())
        return std::nullopt;
    const auto stored = storeRecord(db, record, *id);
    if (!stored || !transaction.commit())
        return std::nullopt;
    return stored;
}

bool ReplaceRecordFromEditor(const EditorRecord &record) {
    const auto id = IdFromCaption(record.id);
    const QString path = LibraryPath();
    if (!id || !libraryExists(path))
        return false;
    store::SqliteDb db;
    if (!db.openExisting(path, BusyTimeoutMs))
        return false;
    // Delete and insert commit together or not at all: a failed insert leaves
    // the old record in place.
    store::SqliteTransaction transaction(db);
    if (!transaction.isActive())
        return false;
    store::SqliteStatement remove(db, QStringLiteral("DELETE FROM VBcode WHERE ID = ?1"));
    if (!remove.bind(1, *id) || !remove.run())
        return false;
    const auto stored = storeRecord(db, record, *id);
    return stored && transaction.commit();
}

bool HasAnyRecord(Failure &why) {
    // All seven columns are named, so a file without them is told apart from
    // an empty library.
    const RowArray first = GetRecordset(
        LibraryPath(),
        QStringLiteral(
            "SELECT ID, MoudleName, TypeName, CodeName, Code, ChangeTime, IsUsed FROM VBcode LIMIT 1"),
        {}, &why);
    return first.isArray();
}

Failure DeleteRecord(qint64 id) {
    return run(QStringLiteral("DELETE FROM VBcode WHERE ID = ?1"), {id}, true);
}

Failure SetCommonFlag(qint64 id, bool common) {
    return run(QStringLiteral("UPDATE VBcode SET IsUsed = ?1 WHERE ID = ?2"),
               {common ? CommonFlag : QString(QLatin1String("")), id}, true);
}

Failure ToggleSpecialMark(qint64 id, QString *newTitle) {
    const QString path = LibraryPath();
    if (!libraryExists(path))
        return Failure::Missing;
    store::SqliteDb db;
    if (!db.openExisting(path, BusyTimeoutMs))
        return failureOf(db);
    // The title is read and written under one lock: a title changed since
    // the list was filled, by this program or another, is the one toggled.
    store::SqliteTransaction transaction(db);
    if (!transaction.isActive())
        return failureOf(db);
    store::SqliteStatement read(db, QStringLiteral("SELECT CodeName FROM VBcode WHERE ID = ?1"));
    if (!read.bind(1, id))
        return failureOf(db);
    const int rc = read.step();
    if (rc == SQLITE_DONE)
        return Failure::NoSuchRecord;
    if (rc != SQLITE_ROW)
        return failureOf(db);
    QString title = read.value(0).toString();
    title.remove(u'\'');
    title = title.contains(SpecialMark) ? title.remove(SpecialMark) : SpecialMark + title;
    store::SqliteStatement write(db, QStringLiteral("UPDATE VBcode SET CodeName = ?1 WHERE ID = ?2"));
    if (!write.bindAll({title, id}) || !write.run() || !transaction.commit())
        return failureOf(db);
    if (newTitle)
        *newTitle = title;
    return Failure::None;
}

Failure ClearLibrary() {
    return run(QStringLiteral("DELETE FROM VBcode WHERE ID > 0"), {}, false);
}

QString describe(Failure failure) {
    switch (failure) {
    case Failure::None:
        return QString();
    case Failure::Missing:
        return QStringLiteral("缺少Vbcode.mb文件");
    case Failure::Locked:
        return QStringLiteral("VBCode.mdb正被其他程序占用");
    case Failure::NotALibrary:
        return QStringLiteral("VBCode.mdb不是文本库文件");
    case Failure::Damaged:
        return QStringLiteral("VBCode.mdb已损坏");
    case Failure::Unreadable:
        return QStringLiteral("VBCode.mdb无法打开或写入");
    case Failure::NoSuchRecord:
        return QStringLiteral("记录已不存在");
    }
    return QString();
}

QString describeReadFailure(Failure failure) {
    if (failure == Failure::None || failure == Failure::Missing)
        return describe(failure);
    return QStringLiteral("无法读取文本库：") + describe(failure);
}

} // namespace DataEdit
