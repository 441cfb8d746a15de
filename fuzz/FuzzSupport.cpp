#include "FuzzSupport.h"

#include "LibrarySchema.h"
#include "LibraryStore.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <set>
#include <sqlite3.h>

namespace fuzz {

namespace {

std::unique_ptr<QTemporaryDir> scratch;

sqlite3 *open(const QString &library) {
    sqlite3 *db = nullptr;
    if (sqlite3_open_v2(library.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                        nullptr) != SQLITE_OK)
        fail("cannot open the library", library.toUtf8());
    return db;
}

} // namespace

void fail(const char *what, const QByteArray &detail) {
    std::fprintf(stderr, "\n*** fuzz check failed: %s\n%s\n", what, detail.constData());
    std::fflush(stderr);
    std::abort();
}

QString scratchPath(const QString &name) {
    return scratch->filePath(name);
}

bool writeFile(const QString &path, QByteArrayView bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           f.write(bytes.data(), bytes.size()) == bytes.size();
}

void makeEmptyLibrary(const QString &path) {
    // Made once, then copied: an empty library is the same bytes every time.
    static const QByteArray empty = [] {
        const QString first = scratchPath(QStringLiteral("empty.mdb"));
        sqlite3 *db = open(first);
        check(sqlite3_exec(db, librarySchema::CreateSql, nullptr, nullptr, nullptr) == SQLITE_OK,
              "cannot make an empty library");
        sqlite3_close(db);
        QFile f(first);
        check(f.open(QIODevice::ReadOnly), "cannot read the empty library");
        return f.readAll();
    }();
    for (const char *suffix : {"-wal", "-shm", "-journal"})
        QFile::remove(path + QLatin1String(suffix));
    check(writeFile(path, empty), "cannot write a library", path.toUtf8());
}

std::vector<Row> rowsOf(const QString &library) {
    std::vector<Row> rows;
    sqlite3 *db = open(library);
    sqlite3_stmt *s = nullptr;
    check(sqlite3_prepare_v2(
              db,
              "SELECT ID, MoudleName, TypeName, CodeName, Code, ChangeTime, IsUsed FROM VBcode ORDER BY ID",
              -1, &s, nullptr) == SQLITE_OK,
          "cannot read the library", sqlite3_errmsg(db));
    int rc;
    while ((rc = sqlite3_step(s)) == SQLITE_ROW) {
        Row row;
        for (int c = 0; c < 7; ++c) {
            if (sqlite3_column_type(s, c) == SQLITE_NULL)
                continue;
            const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(s, c));
            row[size_t(c)] = QByteArray(text, sqlite3_column_bytes(s, c));
        }
        rows.push_back(std::move(row));
    }
    check(rc == SQLITE_DONE, "reading the library failed", sqlite3_errmsg(db));
    sqlite3_finalize(s);
    sqlite3_close(db);
    return rows;
}

bool intact(const QString &library) {
    sqlite3 *db = open(library);
    sqlite3_stmt *s = nullptr;
    bool ok = sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &s, nullptr) == SQLITE_OK &&
              sqlite3_step(s) == SQLITE_ROW &&
              QByteArrayView(reinterpret_cast<const char *>(sqlite3_column_text(s, 0))) == "ok";
    sqlite3_finalize(s);
    sqlite3_close(db);
    return ok;
}

void insertRows(const QString &library, const std::vector<Row> &rows) {
    sqlite3 *db = open(library);
    sqlite3_stmt *s = nullptr;
    bool ok = sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr) == SQLITE_OK &&
              sqlite3_prepare_v2(
                  db,
                  "INSERT INTO VBcode (ID, MoudleName, TypeName, CodeName, Code, ChangeTime, IsUsed) "
                  "VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7)",
                  -1, &s, nullptr) == SQLITE_OK;
    for (const Row &row : rows) {
        sqlite3_reset(s);
        for (int c = 0; ok && c < 7; ++c) {
            const auto &value = row[size_t(c)];
            ok = (!value   ? sqlite3_bind_null(s, c + 1)
                  : c == 0 ? sqlite3_bind_int64(s, 1, value->toLongLong())
                           : sqlite3_bind_text(s, c + 1, value->constData(), int(value->size()),
                                               SQLITE_TRANSIENT)) == SQLITE_OK;
        }
        ok = ok && sqlite3_step(s) == SQLITE_DONE;
    }
    ok = ok && sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK;
    const QByteArray error = sqlite3_errmsg(db);
    sqlite3_finalize(s);
    sqlite3_close(db);
    check(ok, "cannot store the rows", error);
}

namespace {

// Where the line that starts at `start` ends, and where the next begins: a
// line ends at CR LF, a lone CR or LF, as the import counts lines.
std::pair<qsizetype, qsizetype> lineEndFrom(QByteArrayView bytes, qsizetype start) {
    for (qsizetype i = start; i < bytes.size(); ++i) {
        if (bytes[i] == '\n')
            return {i, i + 1};
        if (bytes[i] == '\r')
            return {i, i + 1 < bytes.size() && bytes[i + 1] == '\n' ? i + 2 : i + 1};
    }
    return {bytes.size(), -1};
}

} // namespace

qint64 lineCount(QByteArrayView bytes) {
    qint64 lines = 1;
    for (qsizetype start = 0; (start = lineEndFrom(bytes, start).second) >= 0;)
        ++lines;
    return lines;
}

QByteArrayView lineOf(QByteArrayView bytes, qint64 n) {
    qsizetype start = 0;
    for (qint64 line = 1; line < n; ++line)
        if ((start = lineEndFrom(bytes, start).second) < 0)
            return {};
    return bytes.sliced(start, lineEndFrom(bytes, start).first - start);
}

QString textOf(const uint8_t *data, size_t size) {
    if (size == 0)
        return {};
    const QByteArray rest(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1)); // aligned
    return data[0] & 1
               ? QString::fromUtf16(reinterpret_cast<const char16_t *>(rest.constData()), rest.size() / 2)
               : QString::fromUtf8(rest);
}

QByteArray describe(const exchange::Report &r) {
    return QStringLiteral("problem %1, line %2, record %3, added %4, skipped %5: %6")
        .arg(int(r.problem))
        .arg(r.line)
        .arg(r.record)
        .arg(r.added)
        .arg(r.skipped)
        .arg(r.detail)
        .toUtf8();
}

Imported importChecked(QByteArrayView bytes, exchange::Format format) {
    using exchange::Problem;
    const QString file = scratchPath(format == exchange::Format::Json ? QStringLiteral("input.json")
                                                                      : QStringLiteral("input.csv"));
    const QString library = scratchPath(QStringLiteral("VBCode.mdb"));
    check(writeFile(file, bytes), "cannot write the input");
    makeEmptyLibrary(library);
    Imported out;
    LibraryStore store(library);
    store.setClock([] { return QDateTime(QDate(2000, 1, 1), QTime(0, 0)); });
    out.report = exchange::importLibrary(store, file);
    const exchange::Report &r = out.report;
    check(intact(library), "the library fails its integrity check", describe(r));
    out.rows = rowsOf(library);
    if (r.ok()) {
        check(qint64(out.rows.size()) == r.added,
              "an import into an empty library stored other than it reports", describe(r));
        for (const Row &row : out.rows)
            for (const auto &value : row)
                check(!value || QByteArrayView(*value).isValidUtf8(),
                      "an import stored bytes that are no UTF-8", value.value_or(QByteArray()));
        return out;
    }
    check(out.rows.empty(), "a refused file left records in the library", describe(r));
    check(r.problem == Problem::NotUtf8 || r.problem == Problem::BadSyntax ||
              r.problem == Problem::WrongHeader || r.problem == Problem::BadRecord,
          "a file was refused for no fault of the file", describe(r));
    check(r.line >= 1 && r.line <= lineCount(bytes), "the message names a line the file does not have",
          describe(r));
    check(r.problem != Problem::BadRecord || r.record >= 1, "a refused record is not named", describe(r));
    // A file that begins like UTF-16 or UTF-32 (a byte-order mark of theirs,
    // or a NUL in its first two bytes) is called so at line 1, whatever the
    // bytes of that line are.
    const bool wideStart = bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF") ||
                           bytes.startsWith(QByteArrayView("\0\0\xFE\xFF", 4)) ||
                           (bytes.size() >= 2 && (bytes[0] == 0 || bytes[1] == 0));
    check(r.problem != Problem::NotUtf8 || !lineOf(bytes, r.line).isValidUtf8() || (wideStart && r.line == 1),
          "the line named as not UTF-8 is UTF-8", describe(r));
    return out;
}

void compareRecords(std::vector<Row> stored, std::vector<Row> wanted, const exchange::Report &report) {
    // As an import stores them: a record whose title and text came earlier in
    // the file is added once, and one without a group is filed under 未分组.
    {
        std::set<std::pair<QByteArray, QByteArray>> seen;
        std::vector<Row> once;
        for (Row &row : wanted) {
            if (!seen.emplace(row[3].value_or(QByteArray()), row[4].value_or(QByteArray())).second)
                continue;
            if (row[1].value_or(QByteArray()).isEmpty())
                row[1] = ImportedGroup.toUtf8();
            once.push_back(std::move(row));
        }
        wanted = std::move(once);
    }
    std::vector<qint64> ids;
    for (const Row &row : wanted) {
        qint64 id = 0;
        const QByteArray text = row[0].value_or(QByteArray());
        const char *end = text.constData() + text.size();
        // A number beyond 64 bits is no ID the library can keep.
        const auto parsed = std::from_chars(text.constData(), end, id);
        if (text.isEmpty() || parsed.ptr != end || parsed.ec != std::errc())
            break;
        ids.push_back(id);
    }
    std::sort(ids.begin(), ids.end());
    const bool keepsIds =
        ids.size() == wanted.size() && std::adjacent_find(ids.begin(), ids.end()) == ids.end();
    for (size_t i = 0; keepsIds && i < wanted.size(); ++i)
        if (qint64 id = 0;
            std::from_chars(wanted[i][0]->constData(), wanted[i][0]->constData() + wanted[i][0]->size(), id)
                .ec == std::errc())
            wanted[i][0] = QByteArray::number(id);
    for (auto *rows : {&stored, &wanted}) {
        if (!keepsIds)
            for (Row &row : *rows)
                row[0].reset();
        std::sort(rows->begin(), rows->end());
    }
    if (stored == wanted)
        return;
    QByteArray detail = describe(report);
    for (size_t i = 0; i < std::max(stored.size(), wanted.size()); ++i) {
        for (const auto *rows : {&stored, &wanted}) {
            detail += i < rows->size() ? "\n" : "\n-";
            for (const auto &value : i < rows->size() ? (*rows)[i] : Row())
                detail += "|" + value.value_or("NULL").toPercentEncoding();
        }
    }
    fail("the library holds other records than the file", detail);
}

} // namespace fuzz

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv) {
    // Qt keeps the arguments; libFuzzer's own stay untouched.
    static int qtArgc = 1;
    static char *qtArgv[] = {(*argv)[0], nullptr};
    (void)argc;
    // Never deleted: Qt's own clean-up at exit would run after libFuzzer's.
    new QCoreApplication(qtArgc, qtArgv);
    // In memory where the system offers it: the libraries are written and
    // synced many times a second.
    const QString memory = QStringLiteral("/dev/shm");
    fuzz::scratch = QFileInfo(memory).isWritable()
                        ? std::make_unique<QTemporaryDir>(memory + QStringLiteral("/vemo-fuzz-XXXXXX"))
                        : std::make_unique<QTemporaryDir>();
    if (!fuzz::scratch->isValid())
        fuzz::fail("no scratch folder");
    return 0;
}
