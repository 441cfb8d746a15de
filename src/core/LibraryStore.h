// The text library: the file VBCode.mdb (SQLite, table VBcode) beside the
// program. The only code that talks to the file. Every operation opens its
// own connection and closes it before returning, so the file is free whenever
// the program is idle; values are bound as parameters, never pasted into SQL.
// Nothing here shows anything: every operation returns an outcome.
#pragma once

#include "Record.h"
#include "RecordTable.h"
#include "StoreOutcome.h"
#include "platform.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <atomic>
#include <functional>
#include <optional>
#include <vector>

// One value of a stored row as the file holds it, for moving the whole
// library: NULL, a whole number, a binary value (BLOB) with its bytes, or
// anything else with its text as UTF-8 bytes as SQLite gives it (valid
// during the visit only).
struct StoredValue {
    enum Kind { Null, Integer, Text, Blob } kind = Null;
    QByteArrayView bytes;
};

// A record arriving from outside, its texts as UTF-8 bytes.
struct IncomingRecord {
    std::optional<qint64> id; // none: a fresh key
    QByteArray group, category, title, text;
    std::optional<QByteArray> changeTime; // none: the time of the import
    QByteArray commonFlag;                // IsUsed as given
    // The columns the source gives, one bit per column position; an update
    // leaves the others as they are stored.
    unsigned given = 0;
};

// How an import treats a record whose ID the library holds already: Add
// stores it as a new record under a fresh key (unless its title and text are
// stored), Update writes the file's values into the stored record.
enum class ImportMode { Add, Update };

// A record of the source whose ID and title equal a stored record's while
// its text differs: added beside it, or written over it by an update.
struct DifferingRecord {
    qint64 id = 0;
    QString title;
};

// What an import stored, and whether its source ran to the end.
struct ImportCounts {
    qint64 added = 0;
    qint64 skipped = 0; // title and text stored already (an update: nothing to change)
    qint64 updated = 0;
    qint64 differing = 0;                  // records of the kind DifferingRecord describes
    std::vector<DifferingRecord> examples; // the first of them
    // When a record needed a fresh key and none was left: how many of the
    // range the import had given out (the source then stopped).
    std::optional<qint64> keysRanOut;
    bool complete = false;
};
// Imports name at most this many differing records.
constexpr int DifferingExamples = 10;
// An imported record without a group is filed under this one.
inline const QString ImportedGroup = QStringLiteral("未分组");

class LibraryStore {
  public:
    // The library file; the store never creates it.
    explicit LibraryStore(QString path);

    const QString &path() const { return m_path; }
    // The folder that holds the library; backups go to "backup" below it.
    QString folder() const;

    // The clock for change stamps and backup names (tests set their own).
    void setClock(std::function<QDateTime()> clock) { m_clock = std::move(clock); }
    QDateTime now() const { return m_clock ? m_clock() : QDateTime::currentDateTime(); }

    // Whether the library holds any record, without reading them.
    Outcome<bool> hasAnyRecord() const;
    // Every record, in list order. An empty library gives an empty table.
    Outcome<RecordTable> readAll(const std::atomic<bool> *cancel = nullptr) const;
    // The rows the quick list shows first (the first `rows` of "常用") and all
    // the categories, read through the list's indexes: a table that is not
    // complete.
    Outcome<RecordTable> readFirstScreen(int rows) const;
    // Gives an older library the indexes the first screen reads through.
    void addListIndexes() const;
    // What tells one state of the file from another: equal signatures mean
    // nothing was written in between, by this program or another, and that
    // the name still stands for the same file (another file swapped in with
    // equal size, times and change counter has another identity).
    struct Signature {
        qint64 size = -1, modified = 0, walSize = -1, walModified = 0;
        QByteArray counter;
        platform::FileIdentity identity;
        bool operator==(const Signature &) const = default;
    };
    Signature signature() const;
    // The distinct non-empty groups, as the editor offers them.
    Outcome<QStringList> groups() const;
    Outcome<Record> find(qint64 id) const;

    // Stores a new record with a fresh change stamp and returns the ID it was
    // stored under: its own, or a fresh unused key when that one is taken.
    Outcome<qint64> add(const Record &record) const;
    // The record with the same ID is replaced, with a fresh change stamp, in
    // one transaction: a failure leaves the old record as it was.
    Outcome<> replace(const Record &record) const;
    Outcome<> remove(qint64 id) const;
    Outcome<> setCommon(qint64 id, bool common) const;
    // Works on the title stored now, in one transaction: removes every
    // apostrophe, then puts the mark "★★　" in front or, when the title holds
    // the mark anywhere, removes every mark. Gives the stored result.
    Outcome<QString> toggleSpecialMark(qint64 id) const;
    // Deletes every record whose ID is greater than 0.
    Outcome<> clear() const;
    // A dated copy "yyyyMMdd HHmm" + "VBCode.mdb" in the backup folder,
    // replacing one of the same minute; gives its path. On failure the
    // outcome's detail holds the system's description.
    Outcome<QString> backup() const;

    // Hands every row to the visitor in file order, its seven values in
    // column order, within one read; the visitor returns false to stop.
    // `rows` first gets the number of rows the visits will bring.
    Outcome<> visitRows(const std::function<void(qint64 rows)> &count,
                        const std::function<bool(const StoredValue *values)> &visit) const;
    // Stores the records the source supplies, in one transaction. A record
    // whose title and text equal those of a stored record (one stored before
    // the import or by it) is skipped; a taken or missing ID gets a fresh
    // unused key from 0 to 999999. In the Update mode a record whose ID is
    // stored replaces the values of that record instead (the columns it
    // gives, with a fresh change stamp), unless they are equal. An empty
    // group becomes ImportedGroup. Nothing is stored unless the source ends
    // with Supply::End: a Supply::Stop, a record left without a key or a
    // failure leaves the library as it was, with counts that are not complete.
    enum class Supply { Record, End, Stop };
    Outcome<ImportCounts> importRecords(const std::function<Supply(IncomingRecord &)> &source,
                                        ImportMode mode = ImportMode::Add) const;

    // A key for a new text, drawn from 0 to 999999.
    static qint64 newKey();
    // The numeric value of an ID caption's leading digits (an optional sign
    // first; empty or no digits give 0); no value beyond 64 bits.
    static std::optional<qint64> idFromCaption(const QString &caption);
    // An ID that must be a whole number and nothing else; no value otherwise.
    static std::optional<qint64> idFromText(const QString &text);

  private:
    QString m_path;
    std::function<QDateTime()> m_clock;
};
