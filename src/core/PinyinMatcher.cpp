#include "PinyinMatcher.h"

#include "PinyinTable.h"

#include <algorithm>
#include <vector>

namespace {

// The longest search text matched with one machine word of positions.
constexpr qsizetype WordLength = 63;

// Calls spell(syllable) for each reading of a character of the table.
template <typename F> void forEachReading(const std::uint16_t *set, F spell) {
    for (;; ++set) {
        spell(pinyintable::Syllables + (*set & ~pinyintable::LastOfSet));
        if (*set & pinyintable::LastOfSet)
            return;
    }
}

} // namespace

char PinyinMatcher::latin(char16_t c) {
    if (c >= 0xFF01 && c <= 0xFF5E) // the full-width forms of ASCII
        c = char16_t(c - 0xFEE0);
    if (c >= u'A' && c <= u'Z')
        return char(c - u'A' + 'a');
    if ((c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9'))
        return char(c);
    return 0;
}

QStringList PinyinMatcher::readings(char16_t c) {
    QStringList out;
    if (const std::uint16_t *set = pinyintable::readingsOf(c))
        forEachReading(set, [&](const char *s) { out << QString::fromLatin1(s); });
    return out;
}

PinyinMatcher::PinyinMatcher(QStringView search) {
    QByteArray query;
    for (QChar c : search) {
        const char letter = latin(c.unicode());
        if (!letter)
            return;
        query += letter;
    }
    m_query = query;
    if (m_query.size() > WordLength)
        return;
    for (qsizetype p = 0; p < m_query.size(); ++p) {
        const auto c = static_cast<unsigned char>(m_query[p]);
        const std::uint64_t bit = std::uint64_t(1) << p;
        m_at[c] |= bit;
        m_reading[c] |= bit;
        if (c >= 'a' && c <= 'z')
            m_at[c - 'a' + 'A'] |= bit;
        if (c == 'u')
            m_reading['v'] |= bit;
    }
}

// Shift-and over the search text: bit p of `reached` says a run of characters
// that ends before the current one spells the first p letters (bit 0: a run
// may start at the current character). A Chinese character moves each such
// run on by every prefix of every reading that continues the search text.
bool PinyinMatcher::matches(QStringView title) const {
    if (m_query.isEmpty())
        return false;
    if (m_query.size() > WordLength)
        return matchesLong(title);
    const std::uint64_t goal = std::uint64_t(1) << m_query.size();
    std::uint64_t reached = 1;
    for (QChar qc : title) {
        const char16_t c = qc.unicode();
        std::uint64_t next = 1;
        if (c < 128) {
            next |= (reached & m_at[c]) << 1;
        } else if (const std::uint16_t *set = pinyintable::readingsOf(c)) {
            forEachReading(set, [&](const char *s) {
                for (std::uint64_t run = reached; *s && run; ++s) {
                    run = (run & m_reading[static_cast<unsigned char>(*s)]) << 1;
                    next |= run;
                }
            });
        } else if (const char letter = latin(c)) {
            next |= (reached & m_at[static_cast<unsigned char>(letter)]) << 1;
        }
        if (next & goal)
            return true;
        reached = next;
    }
    return false;
}

// The same walk for a search text longer than a machine word, one flag per position.
bool PinyinMatcher::matchesLong(QStringView title) const {
    const qsizetype m = m_query.size();
    std::vector<char> reached(size_t(m) + 1, 0), next(size_t(m) + 1);
    reached[0] = 1;
    for (QChar qc : title) {
        const char16_t c = qc.unicode();
        const std::uint16_t *set = pinyintable::readingsOf(c);
        const char letter = latin(c);
        std::fill(next.begin(), next.end(), 0);
        next[0] = 1;
        for (qsizetype p = 0; p < m; ++p) {
            if (!reached[size_t(p)])
                continue;
            if (set) {
                forEachReading(set, [&](const char *s) {
                    for (qsizetype k = p;
                         k < m && *s && (m_query[k] == *s || (*s == 'v' && m_query[k] == 'u')); ++k, ++s)
                        next[size_t(k) + 1] = 1;
                });
            } else if (letter && m_query[p] == letter) {
                next[size_t(p) + 1] = 1;
            }
        }
        if (next[size_t(m)])
            return true;
        std::swap(reached, next);
    }
    return false;
}
