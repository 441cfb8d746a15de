#include "SearchFilter.h"

#include "PinyinMatcher.h"
#include "WildcardPattern.h"

#include <QSet>
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

// Finds a search text without wildcards in texts folded to lower case. It
// looks for one character of the text in its raw forms (each code unit that
// lowers to it) with Qt's vectorised character search and compares the rest
// through the fold table, so most of a text is never folded at all.
class LiteralFinder {
  public:
    explicit LiteralFinder(const QString &lowered) : m_needle(lowered), m_lower(wildcard::lowerTable()) {
        // The anchor: the character with the fewest raw forms, a rarer
        // non-ASCII one preferred (a Chinese character has exactly one form).
        size_t best = SIZE_MAX;
        for (qsizetype k = 0; k < m_needle.size(); ++k) {
            std::vector<char16_t> forms = wildcard::foldForms(m_needle[k].unicode());
            const size_t cost = forms.size() * 2 + (m_needle[k].unicode() < 0x80 ? 1 : 0);
            if (cost < best) {
                best = cost;
                m_anchor = k;
                m_forms = std::move(forms);
            }
            if (cost == 2)
                break;
        }
    }

    bool contains(QStringView text) const {
        const qsizetype m = m_needle.size();
        if (m == 0)
            return true;
        if (text.size() < m)
            return false;
        const qsizetype first = m_anchor, last = text.size() - m + m_anchor;
        for (char16_t form : m_forms) {
            qsizetype from = first;
            while (from <= last) {
                const qsizetype at = text.sliced(from, last - from + 1).indexOf(QChar(form));
                if (at < 0)
                    break;
                if (matchesAt(text.data() + from + at - m_anchor))
                    return true;
                from += at + 1;
            }
        }
        return false;
    }

  private:
    bool matchesAt(const QChar *p) const {
        const QChar *n = m_needle.constData();
        for (qsizetype i = 0; i < m_needle.size(); ++i)
            if (m_lower[p[i].unicode()] != n[i].unicode())
                return false;
        return true;
    }

    QString m_needle;
    const char16_t *m_lower;
    qsizetype m_anchor = 0;
    std::vector<char16_t> m_forms;
};

// A search text without wildcards stands for itself.
bool isLiteral(const QString &search) {
    for (QChar c : search)
        if (c == u'*' || c == u'?' || c == u'[' || c == u'#')
            return false;
    return true;
}

} // namespace

RecordCache::RecordCache(RecordTable table) : m_table(std::move(table)) {
    const int n = m_table.size();
    m_special.resize(size_t(n));
    for (auto *v : {&m_groups, &m_titles, &m_texts, &m_commons})
        v->reserve(size_t(n));
    for (int r = 0; r < n; ++r) {
        m_groups.emplace_back(m_table.group(r));
        m_titles.emplace_back(m_table.title(r));
        m_texts.emplace_back(m_table.text(r));
        m_commons.emplace_back(m_table.commonFlag(r));
        m_special[size_t(r)] = m_titles.back().contains(SpecialStars);
        m_longest = std::max(m_longest, m_titles.back().size() + 1 + m_texts.back().size());
    }
}

void SearchFilter::setCache(RecordCache cache) {
    m_cache = std::make_shared<const RecordCache>(std::move(cache));
    m_categories.clear();
    ++m_cacheGeneration;
    m_lastSearch = {};
}

void SearchFilter::clearCache() {
    setCache(RecordCache());
    m_rows.clear();
    m_shown = m_cache;
}

bool SearchFilter::load(const QString &filter, bool search, const QString &searchText,
                           const QString &lastUsed) {
    m_rows.clear();
    m_titleOverrides.clear();
    m_lastUsed.clear();
    m_shown = m_cache;
    LastSearch previous = std::move(m_lastSearch);
    m_lastSearch = {};
    const RecordCache &cache = *m_cache;

    if (cache.isEmpty()) {
        if (m_readFailed)
            return true;
        m_rows.push_back({Kind::Hint, RowColour::Normal, 0, 0});
        m_rows.push_back({Kind::Hint, RowColour::Normal, 1, 0});
        return true;
    }

    int counter = 0;
    if (!lastUsed.isEmpty()) {
        const QStringList parts = lastUsed.split(LastUsedSeparator);
        if (parts.size() == 8) {
            m_lastUsed = parts;
            m_lastUsed[col::Time] = LastUsedTime;
            m_rows.push_back({Kind::LastUsed, RowColour::LastUsed, -1, 0});
            counter = 1;
        }
    }

    // Rows are added in the order the list shows them: the last-used row first,
    // then the records in cache order (common first, newest first).
    const int n = cache.size();
    m_rows.reserve(m_rows.size() + std::min(n, 4096));
    if (!search) {
        for (int r = 0; r < n; ++r) {
            if (filter == cache.groupView(r) || filter == cache.commonView(r)) {
                m_rows.push_back(
                    {Kind::Record, cache.special(r) ? RowColour::Special : RowColour::Normal, r, counter++});
            }
        }
        return true;
    }

    // The pattern is lowered once; the texts are folded while matching.
    const QString lowered = wildcard::lowerCodeUnits(searchText);
    const wildcard::Pattern pattern(QStringLiteral("*") + lowered + QStringLiteral("*"));
    if (!pattern.isValid())
        return false;
    const bool split = matchesWithinOnePart(searchText);
    const bool literal = isLiteral(searchText);
    // Latin letters and digits also find the titles that spell them in pinyin.
    const PinyinMatcher pinyin(m_pinyinSearch ? QStringView(searchText) : QStringView());
    // A text holding the longer search holds the shorter one it extends; a
    // title spelling a pinyin search spells each of its beginnings.
    const bool spelledBefore = !previous.pinyin.isEmpty() && pinyin.query().startsWith(previous.pinyin);
    const bool extends = lowered.contains(previous.lowered) && (!pinyin.isActive() || spelledBefore);
    const bool narrow = literal && previous.valid && previous.generation == m_cacheGeneration &&
                        previous.filter == filter && extends;
    const int candidates = narrow ? int(previous.matches.size()) : n;
    std::vector<int> matches;
    const bool fitsSomewhere = pattern.minimumLength() <= cache.longestEntry();
    std::optional<LiteralFinder> finder;
    if (literal && fitsSomewhere)
        finder.emplace(lowered);
    const auto found = [&](QStringView text) {
        if (!fitsSomewhere)
            return false;
        return finder ? finder->contains(text) : pattern.matches(text, true);
    };
    QString joined;
    for (int k = 0; k < candidates; ++k) {
        const int r = narrow ? previous.matches[size_t(k)] : k;
        bool show = filter == cache.groupView(r) || filter == cache.commonView(r);
        if (!show) {
            if (split) {
                // The title's pinyin while the title is at hand, before the text (a
                // pinyin search holds no wildcards, so it is always split).
                show = found(cache.titleView(r)) ||
                       (pinyin.isActive() && pinyin.matches(cache.titleView(r))) || found(cache.textView(r));
            } else {
                // One buffer for every row: its capacity is kept, so no allocation per row.
                joined.resize(0);
                joined.append(cache.titleView(r)).append(u'|').append(cache.textView(r));
                show = found(joined);
            }
        }
        if (show) {
            m_rows.push_back(
                {Kind::Record, cache.special(r) ? RowColour::Special : RowColour::Normal, r, counter++});
            if (literal)
                matches.push_back(r);
        }
    }
    if (literal)
        m_lastSearch = {true, m_cacheGeneration, filter, lowered, pinyin.query(), std::move(matches)};
    return true;
}

QStringList SearchFilter::categories() const {
    if (!m_categories.isEmpty())
        return m_categories;
    QStringList names{CommonFlag};
    QSet<QString> seen{CommonFlag};
    const RecordCache &cache = *m_cache;
    for (int r = 0; r < cache.size(); ++r) {
        const QString &group = cache.group(r);
        if (!seen.contains(group)) {
            seen.insert(group);
            names << group;
        }
    }
    m_categories = names;
    return names;
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
    const RecordCache &cache = *m_shown;
    switch (column) {
    case col::Number:
        return QStringLiteral("%1").arg(r.number, 3, 10, QChar(u'0'));
    case col::Title:
        return cache.title(r.index);
    case col::Text:
        return cache.text(r.index);
    case col::Time:
        return QString();
    case col::Common:
        return cache.common(r.index);
    case col::Group:
        return cache.group(r.index);
    case col::Id:
        return cache.id(r.index);
    default:
        return DetailText;
    }
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

