// What the fuzz targets share: a Qt core application, a scratch folder with
// fresh libraries, reading a library back with the sqlite3 library (as another
// program would), and a way to stop with the reason when a check fails.
#pragma once

#include "LibraryExchange.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace fuzz {

// Prints the reason and aborts, which libFuzzer reports as a finding.
[[noreturn]] void fail(const char *what, const QByteArray &detail = {});
inline void check(bool condition, const char *what, const QByteArray &detail = {}) {
    if (!condition)
        fail(what, detail);
}

// The scratch folder, made once per process.
QString scratchPath(const QString &name);
// An empty library at the path (what was there goes, with its journal files).
void makeEmptyLibrary(const QString &path);
bool writeFile(const QString &path, QByteArrayView bytes);

// One stored row: the seven columns, none for NULL, an integer as its digits.
using Row = std::array<std::optional<QByteArray>, 7>;
// Every row, by ID.
std::vector<Row> rowsOf(const QString &library);
// PRAGMA integrity_check says "ok".
bool intact(const QString &library);
// Stores the rows as they are, in one transaction, as another program would
// (the ID as a whole number, the rest as texts).
void insertRows(const QString &library, const std::vector<Row> &rows);

// The lines of the input (the last need not end in a line break).
qint64 lineCount(QByteArrayView bytes);
// The bytes of line n (from 1), without its line break.
QByteArrayView lineOf(QByteArrayView bytes, qint64 n);

// The input as a text: the first byte chooses how the rest is read (bit 0
// set: UTF-16 code units, so lone surrogates occur; otherwise UTF-8).
QString textOf(const uint8_t *data, size_t size);

// A report as one line, for failure messages.
QByteArray describe(const exchange::Report &report);

// Imports the bytes as a file of the format into a fresh library and checks
// what every import promises: the library intact, all of the file's records or
// none, and a refused file naming a place that exists in it. Gives the report
// and the stored rows.
struct Imported {
    exchange::Report report;
    std::vector<Row> rows;
};
Imported importChecked(QByteArrayView bytes, exchange::Format format);
// The change stamp the import gives a record that comes without one.
inline const QByteArray ImportStamp = "20000101000000";
// The stored rows hold exactly the wanted records, whose IDs are the texts the
// file gives. The IDs are compared when every one is a whole number of 64
// bits and no two are the same (each record then keeps its own); otherwise
// the import may choose keys.
void compareRecords(std::vector<Row> stored, std::vector<Row> wanted, const exchange::Report &report);

} // namespace fuzz
