// The rows of the quick list, built from the records it holds without any
// widget: the hint rows of an empty library, the last-used row, the records of
// one category or the matches of a search, and the category names. A row only
// names its record; the texts are decoded when a cell is painted, so a
// keystroke never copies them.
#pragma once

#include "RecordTable.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

// The columns of a quick-list row; the stored last-used entry keeps columns
// 1 to 7 of the row it was.
namespace col {
constexpr int Number = 0; // "序号"
constexpr int Title = 1;  // "文本名称"
constexpr int Text = 2;   // "文本内容"
constexpr int Time = 3;   // "更改时间"
constexpr int Common = 4; // "是否常用"
constexpr int Group = 5;  // "分类"
constexpr int Id = 6;     // "ID"
constexpr int Detail = 7; // "详细"
constexpr int Count = 8;
} // namespace col

inline const QString LastUsedLabel = QStringLiteral("最近一次");
inline const QString LastUsedTime = QStringLiteral("00000000");
inline const QString DetailText = QStringLiteral("详");
inline const QString HintLine1 = QStringLiteral("还未添加常用，复制文本");
inline const QString HintLine2 = QStringLiteral("然后点击左下角的新增文本");
// Separates the columns of the stored last-used entry.
constexpr QChar LastUsedSeparator = QChar(0x0008);

enum class RowColour { Normal, LastUsed, Special };

class PinyinMatcher;

class SearchFilter {
  public:
    void setTable(RecordTable table);
    // The same records as the table held, with their summaries: the rows
    // stay, the searches to come are quicker. Another table changes nothing.
    void takeSummaries(const RecordTable &table);
    // Drops the records and the rows.
    void clearTable();
    const RecordTable &table() const { return *m_table; }
    // The library could not be read: the empty table is no empty library, so
    // no hint rows are listed.
    void setReadFailed(bool failed) { m_readFailed = failed; }

    // Fills the rows with the records of a category: a group, or "常用" for
    // the common records. lastUsed is the stored last-used entry, listed first.
    void showCategory(const QString &name, const QString &lastUsed);
    // Fills the rows with the records whose "title|text" holds searchText
    // under the wildcard rules, letters compared in lower case, and, with
    // pinyin search on, those whose title spells it in pinyin
    // (PinyinMatcher), each record once in list order. False when the search
    // text makes an invalid pattern: then at most the last-used row is listed.
    bool search(const QString &searchText, const QString &lastUsed);

    // Pinyin matching in the searches to come (on unless switched off).
    void setPinyinSearch(bool on) { m_pinyinSearch = on; }

    // "常用" first, then every group in the order it first occurs in the
    // list, each name once, compared exactly.
    QStringList categories() const { return m_table->categories(); }

    int rowCount() const { return int(m_rows.size()); }
    QString text(int row, int column) const;
    // The row as the stored last-used entry holds it (its columns after the
    // number, each after a separator), which lists it first next time.
    QString lastUsedEntry(int row) const;
    // The first units of a row's text, decoding no more of it.
    QString textPrefix(int row, int units) const;
    RowColour colour(int row) const;
    // The record a list row shows (its row in the table); -1 for the last-used and hint rows.
    int recordIndex(int row) const;
    bool isHintRow(int row) const;
    bool isLastUsedRow(int row) const;
    // Forgets the rows (the list was emptied from outside).
    void clearRows() { m_rows.clear(); }
    // Removes one row; the numbers of the other rows stay as they were.
    void removeRow(int row);
    // Replaces the title shown in a row (after the special mark was toggled)
    // together with its colour.
    void setRowTitle(int row, const QString &title, RowColour colour);

  private:
    enum class Kind : unsigned char { Record, LastUsed, Hint };
    struct Row {
        Kind kind;
        RowColour colour;
        int index;      // Record: row of the table; Hint: 0 or 1
        int number;     // the running number shown in column 0
        int title = -1; // index into m_titleOverrides when changed
    };

    // Starts the rows: the hint rows of an empty library (false: nothing
    // more to list), else the last-used row.
    bool beginRows(const QString &lastUsed);
    void addRecordRow(int tableRow);
    bool isNamed(int tableRow, const QString &category) const;
    // Which records a literal search text (found by byte search) or a pattern
    // (tried on the decoded texts) shows, among the candidates (table rows).
    std::vector<char> matchLiteral(const QString &lowered, const std::vector<int> *candidates) const;
    std::vector<char> matchPattern(const QString &lowered, const std::vector<int> *candidates) const;

    std::shared_ptr<const RecordTable> m_table = std::make_shared<RecordTable>();
    // The table the rows were built from: a refreshed table does not change
    // the rows already listed until the next filling.
    std::shared_ptr<const RecordTable> m_shown = m_table;
    std::vector<Row> m_rows;
    QStringList m_lastUsed; // the eight parts of the last-used entry
    QStringList m_titleOverrides;
    int m_tableGeneration = 0;
    bool m_readFailed = false;
    bool m_pinyinSearch = true;

    // The searches without wildcards that led to the last one, each
    // extending the one before it: typing one more letter can only narrow the
    // last, so the next search tries its matches alone; Backspace comes back
    // to one of them and lists its matches again.
    struct PastSearch {
        QString lowered;
        QString pinyin;           // the pinyin key; empty when pinyin did not apply
        std::vector<int> matches; // table rows, in the order listed
    };
    struct SearchMemory {
        int generation = 0;
        std::vector<PastSearch> chain;
        size_t kept = 0; // matches held by the chain
    } m_searches;
    // The matches in the order listed: list order, except that among rows the
    // library's order leaves unordered, a title that starts with the search
    // comes before one that holds it further on.
    std::vector<int> ordered(std::vector<int> matches, const QString &lowered,
                             const PinyinMatcher &pinyin) const;
};
