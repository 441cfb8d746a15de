// The rows of the quick list, built from the record cache without any widget:
// the hint rows of an empty library, the last-used row, the records of one
// category or the matches of a search, and the category names. The list
// model only keeps row indices into the cache and builds the display texts
// when a cell is painted, so a keystroke never copies the texts.
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

// The library as the quick list holds it while open, in list order (common
// first, newest first), with what a search walks kept at hand. The texts are
// the table's own, so holding the cache costs no second copy of the library.
class RecordCache {
  public:
    RecordCache() = default;
    explicit RecordCache(RecordTable table);

    bool isEmpty() const { return m_table.isEmpty(); }
    int size() const { return m_table.size(); }
    const RecordTable &table() const { return m_table; }
    QString id(int row) const { return m_table.idText(row); }
    const QString &group(int row) const { return m_table.group(row); }
    const QString &title(int row) const { return m_table.title(row); }
    const QString &text(int row) const { return m_table.text(row); }
    // "常用" or empty; a NULL flag counts as not common.
    const QString &common(int row) const { return m_table.commonFlag(row); }
    // The title holds the special-attention mark "★★".
    bool special(int row) const { return m_special[size_t(row)]; }
    // The length of the longest "title|text", so a search text that cannot
    // fit into any record is answered without looking at them.
    qsizetype longestEntry() const { return m_longest; }

    // The same texts as views, kept in one array per column, so a search
    // walks the texts without touching the stored values around them.
    QStringView groupView(int row) const { return m_groups[size_t(row)]; }
    QStringView titleView(int row) const { return m_titles[size_t(row)]; }
    QStringView textView(int row) const { return m_texts[size_t(row)]; }
    QStringView commonView(int row) const { return m_commons[size_t(row)]; }

  private:
    RecordTable m_table;
    qsizetype m_longest = 0;
    std::vector<bool> m_special;
    std::vector<QStringView> m_groups, m_titles, m_texts, m_commons;
};

enum class RowColour { Normal, LastUsed, Special };

class SearchFilter {
  public:
    void setCache(RecordCache cache);
    // Drops the cache and the rows, so the next filling reads the library again.
    void clearCache();
    const RecordCache &cache() const { return *m_cache; }
    // The library could not be read: the empty cache is no empty library, so
    // no hint rows are listed.
    void setReadFailed(bool failed) { m_readFailed = failed; }

    // Fills the rows for a filter: a category name (search false) or "*" with
    // search true, which shows the records whose "title|text" holds
    // searchText under the wildcard rules, letters compared in lower case,
    // and, with pinyin search on, those whose title spells it in pinyin
    // (PinyinMatcher), each record once in cache order.
    // lastUsed is the stored last-used entry. False when the search text makes
    // an invalid pattern: the filling then stops before the first record, so
    // at most the last-used row is listed.
    bool load(const QString &filter, bool search, const QString &searchText, const QString &lastUsed);

    // Pinyin matching in the searches to come (on unless switched off).
    void setPinyinSearch(bool on) { m_pinyinSearch = on; }

    // "常用" first, then every group in the order it first occurs in the
    // cache, each name once, compared exactly.
    QStringList categories() const;

    int rowCount() const { return int(m_rows.size()); }
    QString text(int row, int column) const;
    RowColour colour(int row) const;
    // The cache row a list row shows; -1 for the last-used and hint rows.
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
        int index;      // Record: cache row; Hint: 0 or 1
        int number;     // the running number shown in column 0
        int title = -1; // index into m_titleOverrides when changed
    };

    std::shared_ptr<const RecordCache> m_cache = std::make_shared<RecordCache>();
    // The cache the rows were built from: a refreshed cache does not change
    // the rows already listed until the next filling.
    std::shared_ptr<const RecordCache> m_shown = m_cache;
    std::vector<Row> m_rows;
    QStringList m_lastUsed; // the eight parts of the last-used entry
    QStringList m_titleOverrides;
    mutable QStringList m_categories; // built once per cache
    int m_cacheGeneration = 0;
    bool m_readFailed = false;
    bool m_pinyinSearch = true;

    // The last search without wildcards: typing one more letter can only
    // narrow it, so the next search tries its matches alone.
    struct LastSearch {
        bool valid = false;
        int generation = 0;
        QString filter;
        QString lowered;
        QByteArray pinyin;        // the pinyin query; empty when pinyin did not apply
        std::vector<int> matches; // cache rows
    } m_lastSearch;
};
