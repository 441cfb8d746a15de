// The whole library as a file any program reads: JSON (UTF-8, an array of
// objects with the seven fields under their column names) or CSV (RFC 4180,
// UTF-8 with a byte-order mark, a header row of the column names). Texts go
// out and come back exactly as stored. An export is written under a
// temporary name and takes the chosen name only when complete; an import is
// one transaction, so a bad file, a refused record or a cancel changes
// nothing. Both stream: memory does not grow with the size of the library.
#pragma once

#include "StoreOutcome.h"

#include <QString>
#include <functional>
#include <optional>

class LibraryStore;

namespace exchange {

enum class Format { Json, Csv };
// From the file name: ".json" or ".csv" in any case; none otherwise.
std::optional<Format> formatOf(const QString &path);

enum class Problem {
    None,
    Cancelled,      // the progress callback asked to stop
    UnknownFormat,  // the name ends in neither .json nor .csv
    FileMissing,    // no file to import
    FileUnreadable, // the system refused to read the file (detail: its words)
    FileUnwritable, // the export could not be written or put in place (detail: its words)
    NotUtf8,        // line: where the bytes stop being UTF-8
    BadSyntax,      // line: where the file stops being JSON or CSV (detail: what is wrong)
    WrongHeader,    // the CSV's first row is not the column names (detail: what is wrong)
    BadRecord,      // record and line: a record that cannot be taken (detail: why)
    Library,        // the library failed (store; record and line when storing a record)
};

struct Report {
    QString file;
    Problem problem = Problem::None;
    StoreError store = StoreError::None;
    qint64 line = 0;   // in the file, from 1; 0 when it does not apply
    qint64 record = 0; // in the file, from 1; 0 when it does not apply
    QString detail;
    qint64 added = 0;   // records written (export) or stored (import)
    qint64 skipped = 0; // import: records whose title and text the library held already
    bool ok() const { return problem == Problem::None; }
};

// Called every few hundred records with the records done so far and the
// share of the work done (0 to 1); returning false cancels.
using Progress = std::function<bool(qint64 records, double share)>;

// Writes every record, in the order the library holds them.
Report exportLibrary(const LibraryStore &library, const QString &path, const Progress &progress = {});
// Adds the file's records: one whose title and text equal those of a record
// in the library is skipped, a taken or missing ID gets a fresh unused key,
// a missing ChangeTime becomes the time of the import and a missing IsUsed
// not common.
Report importLibrary(const LibraryStore &library, const QString &path, const Progress &progress = {});

} // namespace exchange
