// DataEdit: the only code that talks to the library file VBCode.mdb. Every
// operation opens its own connection and closes it before returning, so the
// file is free whenever the program is idle. Failures come back as results
// (the empty result, false, no value) and never as exceptions.
#pragma once

#include <QDateTime>
#include <QString>
#include <QVariant>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace DataEdit {

// The result of a read: values by column position and row, both from 0. The
// default value is the empty result (no rows); a read never hands out an
// array without rows.
class RowArray {
  public:
    RowArray() = default;
    // Takes the columns of a result; all columns must have the same length.
    explicit RowArray(std::vector<std::vector<QVariant>> columns);
    // The same, with row r of the result being row order[r] of the columns
    // (a sorted result without moving its values).
    RowArray(std::vector<std::vector<QVariant>> columns, std::vector<int> order);

    bool isArray() const { return m_data != nullptr; }
    int columnCount() const { return m_data ? int(m_data->columns.size()) : 0; }
    int rowCount() const {
        return m_data && !m_data->columns.empty() ? int(m_data->columns.front().size()) : 0;
    }
    // ID as int, texts as QString, NULL as a null QVariant; a position
    // outside the array gives a null QVariant.
    const QVariant &at(int column, int row) const;

  private:
    struct Data {
        std::vector<std::vector<QVariant>> columns;
        std::vector<int> order; // empty: rows in stored order
    };
    // Shared: copies of a result (the quick list keeps one) cost nothing.
    std::shared_ptr<const Data> m_data;
};

// The record editor's field values as an insert reads them.
struct EditorRecord {
    QString id; // caption of the ID label: digits, maybe with leading zeros
    QString moudleName;
    QString typeName;
    QString codeName;
    QString code;
    bool isUsed = false;
};

enum class AddResult { Stored, MissingFile, Failed };

// Why the library could not be read or changed.
enum class Failure {
    None,
    Missing,      // no file at the library path
    Locked,       // another program holds the file
    NotALibrary,  // not an SQLite file, or without the table VBcode and its columns
    Damaged,      // SQLite reports the file as corrupt
    Unreadable,   // the system refused to open or write the file
    NoSuchRecord, // the ID names no record (any more)
};
// The user's words for a failure: the store's missing-file message, or why
// the library could not be used.
QString describe(Failure failure);
// The same for a library that could not be read: "无法读取文本库：" and the reason.
QString describeReadFailure(Failure failure);

inline const QString CommonFlag = QStringLiteral("常用");
inline const QString SpecialMark = QStringLiteral("★★　");
inline const QString TableName = QStringLiteral("VBcode");

// The library path is set once at start-up: the program folder + "/VBCode.mdb".
void SetLibraryPath(const QString &path);
QString LibraryPath();
// The folder that holds the library (the backup goes below it).
QString ProgramFolder();

// The clock for change stamps and backup names; an empty function restores
// the system's local time.
void SetClock(std::function<QDateTime()> clock);
QDateTime Now();

// The numeric value of the leading digits of an ID caption (an optional sign
// first); empty or no digits give 0, a value beyond 64 bits gives no value.
std::optional<qint64> IdFromCaption(const QString &caption);
// The same for an ID that must be a whole number and nothing else (an ID
// column read back from a list): anything else gives no value.
std::optional<qint64> IdFromText(const QString &text);

// The primitives. sql is a fixed text of the caller; values go in params
// (?1, ?2, ...). GetRecordset reads from the given file, ExecSql writes to
// the library; rowsAffected receives the rows the statement changed.
RowArray GetRecordset(const QString &path, const QString &sql, const QVariantList &params = {},
                      Failure *why = nullptr);
bool ExecSql(const QString &sql, const QVariantList &params = {}, int *rowsAffected = nullptr);

// Reads. table must be "VBcode" and column one of its seven columns;
// anything else gives the empty result without touching the file.
RowArray GetDistinctValues(const QString &path, const QString &table, const QString &column);
// Every record, whole rows in column order: common records first, the newest
// change stamp first within each group. An empty result with why left at
// None is an empty library; otherwise why says what went wrong.
RowArray GetAllRecords(const QString &path, const QString &table, Failure *why = nullptr);
// Whether the library holds at least one record, without reading them; on
// false, why tells an empty library (None) from one that cannot be read.
bool HasAnyRecord(Failure &why);

// The editor's add button: shows "缺少Vbcode.mb文件" when the library is
// missing; says whether the record was stored.
AddResult AddRecordFromEditor(const EditorRecord &record);
// The editor's update button: the record with the editor's ID is replaced by
// the editor's values with a fresh change stamp, in one transaction. false
// when nothing changed (the old record is then kept as it was).
bool ReplaceRecordFromEditor(const EditorRecord &record);
// Stores the editor's values as a new record and returns the ID it was
// stored under: the editor's ID, or a fresh unused random key from 0 to
// 999999 when that one is already taken.
std::optional<qint64> InsertRecordFromEditor(const EditorRecord &record);

// None only when a record was deleted.
Failure DeleteRecord(qint64 id);
// Marks ("常用") or unmarks the record as common.
Failure SetCommonFlag(qint64 id, bool common);
// Works on the title stored now, in one transaction: removes every
// apostrophe, then puts the mark "★★　" in front or, when the title holds the
// mark anywhere, removes every mark. newTitle receives the stored result.
Failure ToggleSpecialMark(qint64 id, QString *newTitle = nullptr);
// Deletes every record whose ID is greater than 0.
Failure ClearLibrary();

// Copies the library into "backup" below the program folder as
// "yyyyMMdd hhmm" + "VBCode.mdb" and tells the user the outcome; true when
// the copy was written.
bool BackupLibrary();
// Asks before clearing the library; true when the user said Yes and the
// library was cleared.
bool ConfirmClearLibrary();

} // namespace DataEdit
