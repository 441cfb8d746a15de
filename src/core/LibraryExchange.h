// The whole library as a file any program reads: JSON (UTF-8, an array of
// objects with the seven fields under their column names) or CSV (RFC 4180,
// UTF-8 with a byte-order mark, a header row of the column names). Texts go
// out and come back exactly as stored. An export is written under a
// temporary name and takes the chosen name only when complete; an import is
// one transaction, so a bad file, a refused record or a cancel changes
// nothing. Both stream: memory does not grow with the size of the library.
// What a format cannot hold as stored (bytes that are no UTF-8, a binary
// value, NULL in CSV) is written as near as it can be and counted.
#pragma once

#include "LibraryStore.h"
#include "StoreOutcome.h"

#include <QString>
#include <functional>
#include <optional>
#include <vector>

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
    DiskFull,       // the export's disk has no room left (detail: the system's words)
    NotAFile,       // the export's name is something else than a file: a folder, a pipe, a device
    ForeignLink,    // the export's name passes a link another user may have planted (see platform.h)
    NotUtf8,        // line: where the bytes stop being UTF-8 (detail: the encoding, when known)
    BadSyntax,      // line: where the file stops being JSON or CSV (detail: what is wrong)
    WrongHeader,    // the CSV's first row is not the column names (detail: what is wrong)
    BadRecord,      // record and line: a record that cannot be taken (detail: why)
    Library,        // the library failed (store; record and line when storing a record)
    KeysRanOut,     // record and line: a record wants a fresh key and none is left (keysGiven)
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
    // Import: records written over the stored record with their ID (Update),
    // and records whose ID and title a stored record has but not their text.
    qint64 updated = 0;
    qint64 differing = 0;
    std::vector<DifferingRecord> examples; // the first of the differing records
    qint64 keysGiven = 0;                  // KeysRanOut: fresh keys the import had given out
    // Export: records written otherwise than stored, in all and by what the
    // format could not hold (a record may count in several).
    qint64 changed = 0;
    qint64 notUtf8 = 0; // bytes that are no UTF-8, written as U+FFFD
    qint64 binary = 0;  // binary values (BLOB), written as texts
    qint64 nulls = 0;   // CSV: NULL values, written as empty fields
    bool ok() const { return problem == Problem::None; }
};

// Called every few hundred records with the records done so far and the
// share of the work done (0 to 1); returning false cancels.
using Progress = std::function<bool(qint64 records, double share)>;

// Writes every record, in the order the library holds them. Refuses a name
// that is no file or passes a foreign link; a failure to write says why, a
// full disk as such.
Report exportLibrary(const LibraryStore &library, const QString &path, const Progress &progress = {});
// Adds the file's records: one whose title and text equal those of a record
// in the library (or one added before it) is skipped, a taken or missing ID
// gets a fresh unused key, a missing ChangeTime becomes the time of the
// import, a missing IsUsed not common and a missing group ImportedGroup. In
// the Update mode a record whose ID is stored updates that record instead.
Report importLibrary(const LibraryStore &library, const QString &path, const Progress &progress = {},
                     ImportMode mode = ImportMode::Add);

} // namespace exchange
