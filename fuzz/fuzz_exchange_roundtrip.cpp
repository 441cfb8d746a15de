// The bytes become records, which are exported to JSON and to CSV and each
// file imported into an empty library: every column comes back byte for
// byte (a record without a group filed under 未分组, one whose title and text
// came before added once, as every import does). The rule: records are parted by the byte 1E, fields by 1F; the first
// field is the ID when it is a whole number of 64 bits not taken yet
// (otherwise the record's place), the next six are MoudleName, TypeName,
// CodeName, Code, ChangeTime and IsUsed, missing ones empty. Texts are made
// UTF-8 (bytes that are not become U+FFFD, as the program stores nothing
// else), and an empty ChangeTime becomes a fixed stamp: the program always
// stores one, and CSV cannot tell an empty field from a missing one.
#include "FuzzSupport.h"

#include "LibraryStore.h"

#include <QDateTime>
#include <charconv>
#include <set>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    std::vector<fuzz::Row> records;
    std::set<qint64> ids;
    for (const QByteArray &part : bytes.split('\x1E')) {
        if (bytes.isEmpty())
            break;
        const QList<QByteArray> fields = part.split('\x1F');
        qint64 id = 0;
        const char *end = fields[0].constData() + fields[0].size();
        if (fields[0].isEmpty() || std::from_chars(fields[0].constData(), end, id).ptr != end ||
            ids.count(id))
            for (id = qint64(records.size()); ids.count(id); ++id) {
            }
        ids.insert(id);
        fuzz::Row row{QByteArray::number(id)};
        for (int c = 1; c < 7; ++c)
            row[size_t(c)] = QString::fromUtf8(fields.value(c)).toUtf8();
        if (row[5]->isEmpty())
            row[5] = "20240101000000";
        records.push_back(row);
    }
    const QString source = fuzz::scratchPath(QStringLiteral("source.mdb"));
    fuzz::makeEmptyLibrary(source);
    fuzz::insertRows(source, records);
    const std::vector<fuzz::Row> stored = fuzz::rowsOf(source);
    fuzz::check(stored.size() == records.size(), "the records were not all stored");

    for (const QString &suffix : {QStringLiteral("json"), QStringLiteral("csv")}) {
        const QString file = fuzz::scratchPath(QStringLiteral("roundtrip.") + suffix);
        const exchange::Report out = exchange::exportLibrary(LibraryStore(source), file);
        fuzz::check(out.ok() && out.added == qint64(records.size()), "the export failed",
                    fuzz::describe(out));
        const QString target = fuzz::scratchPath(QStringLiteral("target.mdb"));
        fuzz::makeEmptyLibrary(target);
        LibraryStore library(target);
        library.setClock([] { return QDateTime(QDate(2000, 1, 1), QTime(0, 0)); });
        const exchange::Report in = exchange::importLibrary(library, file);
        // A record whose title and text came before is added once.
        fuzz::check(in.ok() && in.added + in.skipped == qint64(records.size()),
                    "the exported file was not imported whole",
                    suffix.toUtf8() + ": " + fuzz::describe(in));
        fuzz::check(fuzz::intact(target), "the library fails its integrity check");
        fuzz::compareRecords(fuzz::rowsOf(target), stored, in);
    }
    return 0;
}
