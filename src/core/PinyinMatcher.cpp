#include "PinyinMatcher.h"

#include "PinyinTable.h"

#include <algorithm>

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

// What ends a syllable in a search text: the blanks and apostrophes a pinyin
// input method shows between syllables, in either width.
bool isSyllableBreak(char16_t c) {
    switch (c) {
    case u' ':
    case u'\t':
    case u'\'':
    case 0x3000: // ideographic space
    case 0xFF07: // full-width apostrophe
    case 0x2018:
    case 0x2019:
        return true;
    default:
        return false;
    }
}

// ü with or without a tone mark, either case: spelled "v".
bool isUWithDiaeresis(char16_t c) {
    return c == 0x00FC || c == 0x00DC || (c >= 0x01D5 && c <= 0x01DC);
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

bool PinyinMatcher::isPassedOver(char16_t c) {
    static const std::array<bool, 128> ascii = [] {
        std::array<bool, 128> table{};
        for (char16_t a = 0; a < 128; ++a)
            table[a] = QChar::isSpace(a) || QChar::isPunct(a);
        return table;
    }();
    if (c < 128)
        return ascii[c];
    if (c >= pinyintable::First && c <= pinyintable::Last)
        return false; // the common case: a Chinese character
    return QChar::isSpace(c) || QChar::isPunct(c);
}

QStringList PinyinMatcher::readings(char16_t c) {
    QStringList out;
    if (const std::uint16_t *set = pinyintable::readingsOf(c))
        forEachReading(set, [&](const char *s) { out << QString::fromLatin1(s); });
    return out;
}

std::uint64_t PinyinMatcher::spellingOf(char16_t c) {
    const auto letter = [](char l, bool starts) {
        if (l >= '0' && l <= '9')
            return std::uint64_t(1) << (26 + l - '0');
        return std::uint64_t(1) << (l - 'a') | (starts ? std::uint64_t(1) << (36 + l - 'a') : 0);
    };
    // The characters of the table, worked out once.
    static const std::vector<std::uint64_t> table = [&] {
        std::vector<std::uint64_t> out(pinyintable::Last - pinyintable::First + 1, 0);
        for (char16_t ch = pinyintable::First;; ++ch) {
            if (const std::uint16_t *set = pinyintable::readingsOf(ch)) {
                std::uint64_t &mask = out[size_t(ch - pinyintable::First)];
                forEachReading(set, [&](const char *r) {
                    for (bool starts = true; *r; ++r, starts = false) {
                        mask |= letter(*r, starts);
                        if (*r == 'v') // ü matches a "u" of the search too
                            mask |= letter('u', starts);
                    }
                });
            }
            if (ch == pinyintable::Last)
                break;
        }
        return out;
    }();
    if (c >= pinyintable::First && c <= pinyintable::Last)
        return table[size_t(c - pinyintable::First)];
    const char l = latin(c);
    return l ? letter(l, true) : 0;
}

std::uint64_t PinyinMatcher::spellingMask(QStringView title) {
    std::uint64_t mask = 0;
    for (QChar qc : title)
        mask |= spellingOf(qc.unicode());
    return mask;
}

PinyinMatcher::PinyinMatcher(QStringView search) {
    QString key;
    bool anyLetter = false, pendingBreak = false;
    m_breakAt.push_back(0);
    for (QChar qc : search) {
        const char16_t c = qc.unicode();
        if (isSyllableBreak(c)) {
            pendingBreak = !m_units.empty();
            continue;
        }
        char16_t unit;
        if (const char letter = latin(c)) {
            unit = char16_t(letter);
            anyLetter = true;
        } else if (isUWithDiaeresis(c)) {
            unit = u'v';
            anyLetter = true;
        } else if (pinyintable::readingsOf(c)) {
            unit = c; // a Chinese character stands for itself
        } else {
            m_units.clear();
            m_breakAt.clear();
            return;
        }
        if (pendingBreak)
            key += u'\'';
        key += QChar(unit);
        m_breakAt.back() = pendingBreak;
        m_units.push_back(unit);
        m_breakAt.push_back(0);
        pendingBreak = false;
    }
    if (!anyLetter) {
        m_units.clear();
        m_breakAt.clear();
        return;
    }
    m_key = key;
    for (qsizetype p = 0; p < length(); ++p) {
        const char16_t c = m_units[size_t(p)];
        if (c >= '0' && c <= '9')
            m_needed |= std::uint64_t(1) << (26 + c - '0');
        else if (c >= 'a' && c <= 'z')
            m_needed |= std::uint64_t(1) << ((p == 0 || m_breakAt[size_t(p)] ? 36 : 0) + c - 'a');
    }
    if (length() > WordLength)
        return;
    for (qsizetype p = 0; p < length(); ++p) {
        const char16_t c = m_units[size_t(p)];
        const std::uint64_t bit = std::uint64_t(1) << p;
        if (m_breakAt[size_t(p)])
            m_breaks |= bit;
        if (c >= 128) {
            auto same =
                std::find_if(m_same.begin(), m_same.end(), [c](const auto &s) { return s.first == c; });
            if (same == m_same.end())
                m_same.emplace_back(c, bit);
            else
                same->second |= bit;
            continue;
        }
        m_at[c] |= bit;
        m_reading[c] |= bit;
        if (c >= 'a' && c <= 'z')
            m_at[c - 'a' + 'A'] |= bit;
        if (c == 'u')
            m_reading['v'] |= bit;
    }
}

// Shift-and over the search text: bit p of `reached` says a run of characters
// that ends before the current one spells the first p units (bit 0: a run may
// start at the current character). A Chinese character moves each such run on
// by every prefix of every reading that continues the search text, and by
// itself where the search holds it; a reading stops at a syllable break.
bool PinyinMatcher::walk(QStringView title, bool atStart) const {
    if (m_units.empty())
        return false;
    if (length() > WordLength)
        return walkLong(title, atStart);
    const std::uint64_t goal = std::uint64_t(1) << length();
    const std::uint64_t start = atStart ? 0 : 1;
    std::uint64_t reached = 1;
    for (QChar qc : title) {
        const char16_t c = qc.unicode();
        if (isPassedOver(c))
            continue;
        std::uint64_t next = start;
        if (c < 128) {
            next |= (reached & m_at[c]) << 1;
        } else if (const std::uint16_t *set = pinyintable::readingsOf(c)) {
            forEachReading(set, [&](const char *s) {
                for (std::uint64_t run = reached; *s && run; ++s) {
                    run = (run & m_reading[static_cast<unsigned char>(*s)]) << 1;
                    next |= run;
                    run &= ~m_breaks;
                }
            });
            for (const auto &[character, bits] : m_same)
                if (character == c)
                    next |= (reached & bits) << 1;
        } else if (const char letter = latin(c)) {
            next |= (reached & m_at[static_cast<unsigned char>(letter)]) << 1;
        }
        if (next & goal)
            return true;
        if (next == 0)
            return false;
        reached = next;
    }
    return false;
}

// The same walk for a search text longer than a machine word: the positions
// reached, few as a rule, in a sorted list.
bool PinyinMatcher::walkLong(QStringView title, bool atStart) const {
    const qsizetype m = length();
    qsizetype characters = 0;
    for (QChar qc : title)
        characters += !isPassedOver(qc.unicode());
    if (m > LongestReading * characters)
        return false;
    std::vector<qsizetype> reached{0}, next;
    for (QChar qc : title) {
        const char16_t c = qc.unicode();
        if (isPassedOver(c))
            continue;
        next.clear();
        if (!atStart)
            next.push_back(0);
        const std::uint16_t *set = pinyintable::readingsOf(c);
        const char16_t letter = char16_t(latin(c));
        for (const qsizetype p : reached) {
            if (set) {
                if (m_units[size_t(p)] == c)
                    next.push_back(p + 1);
                forEachReading(set, [&](const char *s) {
                    for (qsizetype k = p;
                         k < m && *s &&
                         (m_units[size_t(k)] == char16_t(*s) || (*s == 'v' && m_units[size_t(k)] == u'u'));) {
                        ++k, ++s;
                        next.push_back(k);
                        if (*s && m_breakAt[size_t(k)])
                            break;
                    }
                });
            } else if (letter && m_units[size_t(p)] == letter) {
                next.push_back(p + 1);
            }
        }
        if (next.empty())
            return false;
        std::sort(next.begin(), next.end());
        next.erase(std::unique(next.begin(), next.end()), next.end());
        if (next.back() == m)
            return true;
        std::swap(reached, next);
    }
    return false;
}
