// The bytes are a CSV file imported into a fresh library. Beside the checks
// every import must pass, a plain reading of the file in one piece (RFC 4180:
// fields parted by commas, rows by CR LF, LF or CR, a quoted field with its
// quotes doubled; a byte-order mark first is skipped, blank lines say
// nothing) decides what the import must do: a header of known, distinct
// column names and rows of as many fields, all UTF-8, are imported with
// exactly those values; any other file is refused.
#include "FuzzSupport.h"

#include <algorithm>
#include <charconv>

namespace {

constexpr const char *Columns[] = {"ID",   "MoudleName", "TypeName", "CodeName",
                                   "Code", "ChangeTime", "IsUsed"};

struct Reading {
    std::vector<std::vector<QByteArray>> rows;
    bool wellFormed = true;
};

Reading read(QByteArrayView bytes) {
    Reading out;
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes = bytes.sliced(3);
    qsizetype i = 0;
    const qsizetype n = bytes.size();
    while (i < n) {
        std::vector<QByteArray> row;
        bool quotedOnly = false;
        for (;;) {
            QByteArray field;
            bool quoted = false;
            if (i < n && bytes[i] == '"') {
                quoted = true;
                for (++i;; ++i) {
                    if (i == n) {
                        out.wellFormed = false;
                        return out;
                    }
                    if (bytes[i] == '"') {
                        if (i + 1 < n && bytes[i + 1] == '"')
                            ++i;
                        else
                            break;
                    }
                    field += bytes[i];
                }
                ++i;
                if (i < n && bytes[i] != ',' && bytes[i] != '\r' && bytes[i] != '\n') {
                    out.wellFormed = false;
                    return out;
                }
            } else {
                while (i < n && bytes[i] != ',' && bytes[i] != '\r' && bytes[i] != '\n')
                    field += bytes[i++];
            }
            quotedOnly = quoted;
            row.push_back(field);
            if (i < n && bytes[i] == ',') {
                ++i;
                continue;
            }
            // The row ends at CR LF, LF, CR or the end of the file.
            if (i < n && bytes[i] == '\r') {
                if (++i < n && bytes[i] == '\n')
                    ++i;
            } else if (i < n && bytes[i] == '\n') {
                ++i;
            }
            break;
        }
        const bool blank = row.size() == 1 && row[0].isEmpty() && !quotedOnly;
        if (!blank || out.rows.empty())
            out.rows.push_back(row);
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const fuzz::Imported imported = fuzz::importChecked(bytes, exchange::Format::Csv);
    const exchange::Report &r = imported.report;
    if (!r.ok() && r.record > 0)
        fuzz::check(r.record < fuzz::lineCount(bytes) + std::count(bytes.begin(), bytes.end(), '\r'),
                    "a refused record is not in the file", fuzz::describe(r));

    // What the import must do.
    const Reading reading = read(bytes);
    bool takes = reading.wellFormed && !reading.rows.empty();
    std::vector<int> columns;
    if (takes) {
        for (const QByteArray &field : reading.rows.front()) {
            const QByteArray name = field.trimmed();
            const auto known = std::find_if(std::begin(Columns), std::end(Columns),
                                            [&](const char *c) { return name == QByteArrayView(c); });
            const int column = known == std::end(Columns) ? -1 : int(known - std::begin(Columns));
            takes =
                takes && column >= 0 && std::find(columns.begin(), columns.end(), column) == columns.end();
            columns.push_back(column);
        }
    }
    for (size_t row = 1; takes && row < reading.rows.size(); ++row) {
        takes = reading.rows[row].size() == columns.size();
        for (const QByteArray &field : reading.rows[row])
            takes = takes && QByteArrayView(field).isValidUtf8();
    }
    for (const QByteArray &field : takes ? reading.rows.front() : std::vector<QByteArray>())
        takes = takes && QByteArrayView(field).isValidUtf8();
    fuzz::check(takes == r.ok(),
                takes ? "a well-formed file was refused"
                      : "a file that is no well-formed CSV of records was taken",
                fuzz::describe(r));
    if (!takes)
        return 0;
    // The stored records are the file's; a missing or empty ChangeTime is
    // the time of the import.
    std::vector<fuzz::Row> wanted;
    for (size_t row = 1; row < reading.rows.size(); ++row) {
        fuzz::Row record{std::nullopt, "", "", "", "", fuzz::ImportStamp, ""};
        for (size_t f = 0; f < columns.size(); ++f) {
            const QByteArray &field = reading.rows[row][f];
            if (columns[f] != 5 || !field.isEmpty())
                record[size_t(columns[f])] = field;
        }
        wanted.push_back(record);
    }
    fuzz::compareRecords(imported.rows, wanted, r);
    return 0;
}
