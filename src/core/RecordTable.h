// The library as the quick list holds it while open, in list order (common
// records first, the newest change first within each group). Compact: every
// title and text is kept once, as the UTF-8 the library stores, in one block;
// groups and common flags are kept once per distinct value. Texts are decoded
// only for the rows shown. Copies share the data.
#pragma once

#include "ListOrder.h"
#include "Record.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

// What a search text without wildcards needs a record to hold (its code
// units, lowered as the search folds texts, and each pair of neighbours), as
// bits to hold against a record's summary: a record that lacks one cannot
// hold the text, so it is never read.
class ContentProbe {
  public:
    explicit ContentProbe(QStringView lowered);
    // The text is one ASCII letter or digit: a record its summary lets
    // through holds it, nothing has to be read.
    bool isDecisive() const { return m_decisive; }

  private:
    friend class RecordTable;
    std::uint64_t m_units = 0;
    bool m_decisive = false;
    std::vector<std::uint32_t> m_pairs; // each pair of neighbours, by their bits
};

class RecordTable {
  public:
    RecordTable() = default;

    int size() const { return m_data ? int(m_data->order.size()) : 0; }
    bool isEmpty() const { return size() == 0; }
    // The row's common flag and change stamp equal those of the row before:
    // the library's order leaves the two rows in no order of their own.
    bool tiesWithPrevious(int row) const { return m_data && m_data->tied[size_t(row)]; }
    // The library holds no record at all (a first screen may be empty while
    // the library is not: then it lists categories beside "常用").
    bool libraryIsEmpty() const { return isEmpty() && categories().size() == 1; }
    // False for a first screen: the records the list shows first, read before
    // the whole library is.
    bool isComplete() const { return !m_data || m_data->complete; }

    // The ID as the library holds it (another program may have stored any value).
    QString idText(int row) const;
    // The ID as a number; none when the stored value is no whole number.
    std::optional<qint64> id(int row) const;
    const QString &group(int row) const { return m_data->groupNames[m_data->groups[stored(row)]]; }
    // IsUsed as stored: "常用" for a common record; empty for "" and NULL.
    const QString &commonFlag(int row) const { return m_data->flagNames[m_data->flags[stored(row)]]; }
    QString title(int row) const { return QString::fromUtf8(titleBytes(row)); }
    QString text(int row) const { return QString::fromUtf8(textBytes(row)); }
    // The first `units` UTF-16 code units of the text, decoding no more than that.
    QString textPrefix(int row, int units) const;
    QByteArrayView titleBytes(int row) const { return titleAt(stored(row)); }
    QByteArrayView textBytes(int row) const { return textAt(stored(row)); }
    // The title holds the special-attention mark "★★".
    bool isSpecial(int row) const { return m_data->special[stored(row)]; }
    // "常用" first, then every group in the order it first occurs in the list.
    const QStringList &categories() const;
    // The length of the longest title + "|" + text, in UTF-16 code units at most.
    qsizetype longestEntry() const { return m_data ? m_data->longest : 0; }

    // The records as they lie in the block (file order), for a search that
    // walks the block once: a record's title and text, and its list row.
    int storedCount() const { return size(); }
    QByteArrayView block() const { return m_data ? QByteArrayView(m_data->block) : QByteArrayView(); }
    qsizetype titleStart(int s) const { return m_data->starts[size_t(2 * s)]; }
    qsizetype textStart(int s) const { return m_data->starts[size_t(2 * s + 1)]; }
    qsizetype recordEnd(int s) const { return m_data->starts[size_t(2 * s + 2)]; }
    int rowOf(int s) const { return m_data->rows[size_t(s)]; }
    int storedOf(int row) const { return stored(row); }
    // The summaries a search holds records against before reading them are
    // worked out after the records are in (the whole library is searchable
    // at once, by reading every record): summarised() gives a copy of the
    // table with them, sharing the records.
    bool isSummarised() const { return m_summaries != nullptr; }
    RecordTable summarised() const;
    // Both tables hold the same records, read at the same time.
    bool sharesRecordsWith(const RecordTable &other) const { return m_data == other.m_data; }
    // False when the stored record s cannot hold the probe's text within its
    // title or within its text (true says only that it may; always true
    // before the summaries are in).
    bool mayHold(int s, const ContentProbe &probe) const;
    // The letters and digits the title's characters can spell in pinyin
    // (PinyinMatcher::spellingMask); every one before the summaries are in.
    std::uint64_t titleSpelling(int row) const {
        return m_summaries ? m_summaries->spellings[stored(row)] : ~std::uint64_t(0);
    }

    // The records of `own` in its order, then those of `after` in theirs, as
    // one table: the categories are own's, then after's other than "常用".
    // Nothing is decoded or summarised again.
    static RecordTable joined(const RecordTable &own, const RecordTable &after);

    // Builds a table from the rows of a read, in any order; the list order is
    // worked out at the end from the common flags and change stamps, exactly
    // as "ORDER BY IsUsed DESC, ChangeTime DESC" orders them.
    class Builder {
      public:
        Builder();
        ~Builder();
        void reserve(int records, qsizetype bytes);
        // Texts as the library's UTF-8 (made valid where it is not); the ID,
        // the stamp and the flag as the values read (their order is SQLite's).
        void add(const QVariant &id, QByteArrayView group, QByteArrayView title, QByteArrayView text,
                 const QVariant &changeTime, const QVariant &commonFlag) {
            add(id, group, title, text, StoredStamp::of(changeTime), commonFlag);
        }
        void add(const QVariant &id, QByteArrayView group, QByteArrayView title, QByteArrayView text,
                 StoredStamp changeTime, const QVariant &commonFlag);
        // The categories, when the rows added are not all of the library.
        void setCategories(QStringList categories);
        // With `summarise` the table comes with its summaries (see summarised()).
        RecordTable finish(bool complete, bool summarise = true);

      private:
        RecordTable finishRecords(bool complete);
        struct State;
        std::unique_ptr<State> m_state;
    };

  private:
    struct Data {
        bool complete = true;
        QByteArray block;              // title, then text, of every record, in file order
        std::vector<qsizetype> starts; // title start and text start of each record, and the end
        std::vector<qint64> ids;
        std::vector<QString> oddIds; // IDs that are no whole number, by record (empty for the others)
        std::vector<quint32> groups; // index into groupNames
        std::vector<quint32> flags;  // index into flagNames
        QStringList groupNames, flagNames;
        std::vector<bool> special;
        std::vector<int> order; // list row -> record
        std::vector<int> rows;  // record -> list row
        std::vector<bool> tied; // list row -> tiesWithPrevious
        QStringList categories;
        qsizetype longest = 0;
    };
    // Per record: the code units its title and text hold (one bit each for
    // letters and digits, the others shared out over the remaining bits),
    // and a bit set of the pairs of neighbouring units, at least one bit per
    // byte of the record, in the words from pairStart[s] to pairStart[s + 1].
    struct Summaries {
        std::vector<std::uint64_t> units;
        std::vector<std::uint64_t> pairBits;
        std::vector<std::uint32_t> pairStart;
        std::vector<std::uint64_t> spellings; // per record: the title's PinyinMatcher::spellingMask
    };
    explicit RecordTable(std::shared_ptr<const Data> data) : m_data(std::move(data)) {}
    static std::shared_ptr<const Summaries> summariseAll(const Data &d);
    size_t stored(int row) const { return size_t(m_data->order[size_t(row)]); }
    QByteArrayView titleAt(size_t s) const {
        return QByteArrayView(m_data->block)
            .sliced(m_data->starts[2 * s], m_data->starts[2 * s + 1] - m_data->starts[2 * s]);
    }
    QByteArrayView textAt(size_t s) const {
        return QByteArrayView(m_data->block)
            .sliced(m_data->starts[2 * s + 1], m_data->starts[2 * s + 2] - m_data->starts[2 * s + 1]);
    }

    std::shared_ptr<const Data> m_data;
    std::shared_ptr<const Summaries> m_summaries;
};
