#include "SearchFilter.h"

#include "FoldedNeedle.h"
#include "PinyinMatcher.h"
#include "WildcardPattern.h"

#include <QStringDecoder>
#include <algorithm>
#include <optional>

namespace {

// A search text that holds none of "*", "?", "[" and "|" can only match a run
// of characters that holds no "|": it matches "title|text" exactly when it
// matches the title or the text alone, so nothing has to be joined.
bool matchesWithinOnePart(const QString &search) {
    for (QChar c : search)
        if (c == u'*' || c == u'?' || c == u'[' || c == u'|')
            return false;
    return true;
}

// A search text without wildcards stands for itself.
bool isLiteral(const QString &search) {
    for (QChar c : search)
        if (c == u'*' || c == u'?' || c == u'[' || c == u'#')
            return false;
    return true;
}

} // namespace

void SearchFilter::setTable(RecordTable table) {
    m_table = std::make_shared<const RecordTable>(std::move(table));
    ++m_tableGeneration;
    m_searches = {};
}

void SearchFilter::takeSummaries(const RecordTable &table) {
    if (!m_table->sharesRecordsWith(table) || m_table->isSummarised())
        return;
    const bool shownToo = m_shown == m_table;
    m_table = std::make_shared<const RecordTable>(table);
    if (shownToo)
        m_shown = m_table;
}

void SearchFilter::clearTable() {
    setTable(RecordTable());
    m_rows.clear();
    m_shown = m_table;
}

std::vector<char> SearchFilter::matchLiteral(const QString &lowered,
                                             const std::vector<int> *candidates) const {
    const RecordTable &table = *m_table;
    const int count = table.storedCount();
    std::vector<char> shown(size_t(table.size()), 0);
    const FoldedNeedle needle(lowered);
    const ContentProbe probe(lowered);
    const QByteArrayView block = table.block();
    // The records in the order they lie in the block, each held against its
    // summary first: most that cannot hold the text are never read. Typing
    // on, only the records the shorter text found can hold the longer one.
    std::vector<char> candidate;
    if (candidates) {
        candidate.assign(size_t(count), 0);
        for (const int row : *candidates)
            candidate[size_t(table.storedOf(row))] = 1;
    }
    for (int s = 0; s < count; ++s) {
        if ((candidates && !candidate[size_t(s)]) || !table.mayHold(s, probe))
            continue;
        shown[size_t(table.rowOf(s))] = (probe.isDecisive() && table.isSummarised()) ||
                                        needle.isIn(block, table.titleStart(s), table.textStart(s)) ||
                                        needle.isIn(block, table.textStart(s), table.recordEnd(s));
    }
    return shown;
}

std::vector<char> SearchFilter::matchPattern(const QString &lowered,
                                             const std::vector<int> *candidates) const {
    const RecordTable &table = *m_table;
    std::vector<char> shown(size_t(table.size()), 0);
    const wildcard::Pattern pattern(QStringLiteral("*") + lowered + QStringLiteral("*"));
    // What every match holds as it is, and within the title or the text
    // alone (it has no "|"), narrows the records that need decoding.
    const QString piece = pattern.longestLiteral(true);
    std::vector<char> candidate;
    if (!piece.isEmpty() && FoldedNeedle(piece).isUsable()) {
        candidate = matchLiteral(piece, candidates);
    } else if (candidates) {
        candidate.assign(size_t(table.size()), 0);
        for (const int row : *candidates)
            candidate[size_t(row)] = 1;
    } else {
        candidate.assign(size_t(table.size()), 1);
    }
    // One buffer for every record: its capacity is kept, so no allocation per record.
    QString joined;
    QStringDecoder decoder(QStringDecoder::Utf8);
    for (int row = 0; row < table.size(); ++row) {
        if (!candidate[size_t(row)])
            continue;
        const QByteArrayView title = table.titleBytes(row), text = table.textBytes(row);
        joined.resize(title.size() + 1 + text.size());
        QChar *out = decoder.appendToBuffer(joined.data(), title);
        *out++ = u'|';
        out = decoder.appendToBuffer(out, text);
        joined.truncate(out - joined.constData());
        shown[size_t(row)] = pattern.matches(joined, true);
    }
    return shown;
}

bool SearchFilter::beginRows(const QString &lastUsed) {
    m_rows.clear();
    m_titleOverrides.clear();
    m_lastUsed.clear();
    m_shown = m_table;
    if (m_table->libraryIsEmpty()) {
        if (!m_readFailed) {
            m_rows.push_back({Kind::Hint, RowColour::Normal, 0, 0});
            m_rows.push_back({Kind::Hint, RowColour::Normal, 1, 0});
        }
        return false;
    }
    // The last-used row first, then the records in list order (common
    // first, newest first).
    if (!lastUsed.isEmpty()) {
        const QStringList parts = lastUsed.split(LastUsedSeparator);
        if (parts.size() == 8) {
            m_lastUsed = parts;
            m_lastUsed[col::Time] = LastUsedTime;
            m_rows.push_back({Kind::LastUsed, RowColour::LastUsed, -1, 0});
        }
    }
    m_rows.reserve(m_rows.size() + std::min(m_table->size(), 4096));
    return true;
}

void SearchFilter::addRecordRow(int r) {
    // The running number counts the last-used row too.
    m_rows.push_back(
        {Kind::Record, m_table->isSpecial(r) ? RowColour::Special : RowColour::Normal, r, rowCount()});
}

bool SearchFilter::isNamed(int r, const QString &category) const {
    return category == m_table->group(r) || category == m_table->commonFlag(r);
}

void SearchFilter::showCategory(const QString &name, const QString &lastUsed) {
    if (!beginRows(lastUsed))
        return;
    for (int r = 0, n = m_table->size(); r < n; ++r)
        if (isNamed(r, name))
            addRecordRow(r);
}

bool SearchFilter::search(const QString &searchText, const QString &lastUsed) {
    if (!beginRows(lastUsed))
        return true;
    const RecordTable &table = *m_table;
    const int n = table.size();
    // A search lists the category "*" too, as the list's filter always did.
    const QString filter = QStringLiteral("*");
    const auto add = [this](int r) { addRecordRow(r); };
    const auto named = [&](int r) { return isNamed(r, filter); };

    // The pattern is lowered once; the texts are folded while matching.
    const QString lowered = wildcard::lowerCodeUnits(searchText);
    const wildcard::Pattern pattern(QStringLiteral("*") + lowered + QStringLiteral("*"));
    if (!pattern.isValid())
        return false;
    const bool split = matchesWithinOnePart(searchText);
    const bool literal = isLiteral(searchText);
    // Latin letters and digits also find the titles that spell them in pinyin.
    const PinyinMatcher pinyin(m_pinyinSearch ? QStringView(searchText) : QStringView());

    // What the searches before this one found: drop those this one does not
    // extend (a text holding the longer search holds the shorter one it
    // extends; a title spelling a pinyin search spells each beginning of its
    // key); the last one left either is this search or narrows it.
    SearchMemory &memory = m_searches;
    if (!literal || memory.generation != m_tableGeneration)
        memory = {m_tableGeneration, {}, 0};
    const auto extends = [&](const PastSearch &past) {
        return lowered.contains(past.lowered) &&
               (!pinyin.isActive() || (!past.pinyin.isEmpty() && pinyin.key().startsWith(past.pinyin)));
    };
    while (!memory.chain.empty() && !extends(memory.chain.back())) {
        memory.kept -= memory.chain.back().matches.size();
        memory.chain.pop_back();
    }
    const PastSearch *previous = memory.chain.empty() ? nullptr : &memory.chain.back();
    if (previous && previous->lowered == lowered && previous->pinyin == pinyin.key()) {
        for (const int r : previous->matches)
            add(r);
        return true;
    }
    const std::vector<int> *candidates = previous ? &previous->matches : nullptr;

    std::vector<char> shown;
    if (pattern.minimumLength() > table.longestEntry())
        shown.assign(size_t(n), 0); // longer than any record: nothing can hold it
    else if (literal && split && FoldedNeedle(lowered).isUsable())
        shown = matchLiteral(lowered, candidates);
    else
        shown = matchPattern(lowered, candidates);
    if (pinyin.isActive()) {
        // The titles, decoded one by one into the same buffer; a title of
        // fewer bytes than the search needs characters is not decoded.
        const qsizetype fewestBytes =
            (pinyin.length() + PinyinMatcher::LongestReading - 1) / PinyinMatcher::LongestReading;
        QString title;
        QStringDecoder decoder(QStringDecoder::Utf8);
        const auto spells = [&](int r) {
            const QByteArrayView bytes = table.titleBytes(r);
            if (bytes.size() < fewestBytes || !pinyin.maySpell(table.titleSpelling(r)))
                return false;
            title.resize(bytes.size());
            QChar *end = decoder.appendToBuffer(title.data(), bytes);
            title.truncate(end - title.constData());
            return pinyin.matches(title);
        };
        if (candidates) {
            for (const int r : *candidates)
                if (!shown[size_t(r)] && spells(r))
                    shown[size_t(r)] = 1;
        } else {
            for (int r = 0; r < n; ++r)
                if (!shown[size_t(r)] && spells(r))
                    shown[size_t(r)] = 1;
        }
    }
    std::vector<int> matches;
    for (int r = 0; r < n; ++r)
        if (shown[size_t(r)] || named(r))
            matches.push_back(r);
    matches = ordered(std::move(matches), lowered, pinyin);
    for (const int r : matches)
        add(r);
    if (literal) {
        memory.kept += matches.size();
        memory.chain.push_back({lowered, pinyin.key(), std::move(matches)});
        // The oldest searches go first when the chain holds too much.
        constexpr size_t MostKept = 1 << 20;
        while (memory.kept > MostKept && memory.chain.size() > 1) {
            memory.kept -= memory.chain.front().matches.size();
            memory.chain.erase(memory.chain.begin());
        }
    }
    return true;
}

std::vector<int> SearchFilter::ordered(std::vector<int> matches, const QString &lowered,
                                       const PinyinMatcher &pinyin) const {
    const RecordTable &table = *m_table;
    const char16_t *lower = wildcard::lowerTable();
    QString title;
    QStringDecoder decoder(QStringDecoder::Utf8);
    const auto startsWithSearch = [&](int r) {
        const QByteArrayView bytes = table.titleBytes(r);
        title.resize(bytes.size());
        QChar *end = decoder.appendToBuffer(title.data(), bytes);
        title.truncate(end - title.constData());
        bool literally = title.size() >= lowered.size();
        for (qsizetype i = 0; literally && i < lowered.size(); ++i)
            literally = lower[title[i].unicode()] == lowered[i].unicode();
        return literally || pinyin.matchesAtStart(title);
    };
    // Matches in one run of tied rows of the table: every row after the
    // first match up to the second ties with the row before it.
    const auto tied = [&](int a, int b) {
        for (int r = a + 1; r <= b; ++r)
            if (!table.tiesWithPrevious(r))
                return false;
        return true;
    };
    std::vector<int> later;
    for (size_t first = 0; first < matches.size();) {
        size_t last = first + 1;
        while (last < matches.size() && tied(matches[last - 1], matches[last]))
            ++last;
        if (last - first > 1) {
            // The titles that start with the search first, each part in list order.
            later.clear();
            size_t to = first;
            for (size_t i = first; i < last; ++i) {
                if (startsWithSearch(matches[i]))
                    matches[to++] = matches[i];
                else
                    later.push_back(matches[i]);
            }
            std::copy(later.begin(), later.end(), matches.begin() + qsizetype(to));
        }
        first = last;
    }
    return matches;
}

QString SearchFilter::text(int row, int column) const {
    if (row < 0 || row >= rowCount() || column < 0 || column >= col::Count)
        return {};
    const Row &r = m_rows[size_t(row)];
    if (column == col::Title && r.title >= 0)
        return m_titleOverrides[r.title];
    switch (r.kind) {
    case Kind::Hint:
        return column == col::Title ? (r.index == 0 ? HintLine1 : HintLine2) : QString();
    case Kind::LastUsed:
        return column == col::Number ? LastUsedLabel : m_lastUsed.value(column);
    case Kind::Record:
        break;
    }
    const RecordTable &table = *m_shown;
    switch (column) {
    case col::Number:
        return QStringLiteral("%1").arg(r.number, 3, 10, QChar(u'0'));
    case col::Title:
        return table.title(r.index);
    case col::Text:
        return table.text(r.index);
    case col::Time:
        return QString();
    case col::Common:
        return table.commonFlag(r.index);
    case col::Group:
        return table.group(r.index);
    case col::Id:
        return table.idText(r.index);
    default:
        return DetailText;
    }
}

QString SearchFilter::lastUsedEntry(int row) const {
    QString entry;
    for (int c = col::Title; c < col::Count; ++c)
        entry += LastUsedSeparator + text(row, c);
    return entry;
}

QString SearchFilter::textPrefix(int row, int units) const {
    const int record = recordIndex(row);
    return record >= 0 ? m_shown->textPrefix(record, units) : text(row, col::Text).left(units);
}

RowColour SearchFilter::colour(int row) const {
    return row >= 0 && row < rowCount() ? m_rows[size_t(row)].colour : RowColour::Normal;
}

int SearchFilter::recordIndex(int row) const {
    if (row < 0 || row >= rowCount())
        return -1;
    const Row &r = m_rows[size_t(row)];
    return r.kind == Kind::Record ? r.index : -1;
}

bool SearchFilter::isHintRow(int row) const {
    return row >= 0 && row < rowCount() && m_rows[size_t(row)].kind == Kind::Hint;
}

bool SearchFilter::isLastUsedRow(int row) const {
    return row >= 0 && row < rowCount() && m_rows[size_t(row)].kind == Kind::LastUsed;
}

void SearchFilter::removeRow(int row) {
    if (row >= 0 && row < rowCount())
        m_rows.erase(m_rows.begin() + row);
}

void SearchFilter::setRowTitle(int row, const QString &title, RowColour colour) {
    if (row < 0 || row >= rowCount())
        return;
    Row &r = m_rows[size_t(row)];
    if (r.title < 0) {
        r.title = int(m_titleOverrides.size());
        m_titleOverrides << title;
    } else {
        m_titleOverrides[r.title] = title;
    }
    r.colour = colour;
}
