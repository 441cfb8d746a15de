#include "FoldedNeedle.h"

#include "WildcardPattern.h"

#include <algorithm>
#include <bit>
#include <climits>
#include <cstring>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define VEMO_HAVE_SSE2 1
#endif

namespace {

// A code point of valid UTF-8 and its length in bytes.
struct Point {
    char32_t cp;
    int bytes;
};

Point decodeAt(const unsigned char *p) {
    if (p[0] < 0x80)
        return {p[0], 1};
    if (p[0] < 0xE0)
        return {char32_t((p[0] & 0x1F) << 6 | (p[1] & 0x3F)), 2};
    if (p[0] < 0xF0)
        return {char32_t((p[0] & 0x0F) << 12 | (p[1] & 0x3F) << 6 | (p[2] & 0x3F)), 3};
    return {char32_t((p[0] & 0x07) << 18 | (p[1] & 0x3F) << 12 | (p[2] & 0x3F) << 6 | (p[3] & 0x3F)), 4};
}

// The code point that ends just before `end` (and starts at or after `begin`).
const unsigned char *previousStart(const unsigned char *begin, const unsigned char *end) {
    const unsigned char *p = end - 1;
    while (p > begin && (*p & 0xC0) == 0x80)
        --p;
    return p;
}

char16_t highOf(char32_t cp) {
    return char16_t(0xD800 + ((cp - 0x10000) >> 10));
}
char16_t lowOf(char32_t cp) {
    return char16_t(0xDC00 + ((cp - 0x10000) & 0x3FF));
}

// Whether no other code unit folds to this one (a Chinese character, a digit).
bool hasNoCase(char16_t unit) {
    if (QChar::isSurrogate(unit))
        return true;
    const std::vector<char16_t> forms = wildcard::foldForms(unit);
    return forms.size() == 1 && forms[0] == unit;
}

// How often a lower-case ASCII letter turns up in text, rarest last.
int letterRarity(char16_t c) {
    static const char order[] = "etaoinsrhldcumfpgwybvkxjqz";
    const char *at = std::strchr(order, char(c));
    return at ? int(at - order) : 26;
}

} // namespace

FoldedNeedle::FoldedNeedle(const QString &lowered) : m_needle(lowered) {
    const qsizetype m = m_needle.size();
    if (m == 0)
        return;
    // The longest run of characters without case (in UTF-8 bytes), whole
    // surrogate pairs only.
    qsizetype bestFirst = 0, bestLast = 0;
    QByteArray bestRun;
    for (qsizetype i = 0; i < m;) {
        qsizetype j = i;
        while (j < m) {
            const QChar c = m_needle[j];
            if (c.isHighSurrogate() && j + 1 < m && m_needle[j + 1].isLowSurrogate())
                j += 2;
            else if (!c.isSurrogate() && hasNoCase(c.unicode()))
                ++j;
            else
                break;
        }
        if (j > i) {
            const QByteArray run = QStringView(m_needle).sliced(i, j - i).toUtf8();
            if (run.size() > bestRun.size())
                bestFirst = i, bestLast = j, bestRun = run;
            i = j;
        } else {
            ++i;
        }
    }
    const bool goodRun = bestRun.size() >= 2 || (bestRun.size() == 1 && bestRun[0] != ' ');
    // Otherwise one letter: the one whose forms start with the fewest bytes,
    // the rarest letter among ASCII ones.
    qsizetype letter = -1;
    int bestScore = INT_MAX;
    std::array<char, 4> bestLeads{};
    int bestLeadCount = 0;
    for (qsizetype k = 0; k < m && !goodRun; ++k) {
        const char16_t u = m_needle[k].unicode();
        if (QChar::isSurrogate(u))
            continue;
        std::array<char, 4> leads{};
        int count = 0;
        bool fits = true;
        for (char16_t form : wildcard::foldForms(u)) {
            const char lead = QString(QChar(form)).toUtf8().at(0);
            if (std::find(leads.begin(), leads.begin() + count, lead) != leads.begin() + count)
                continue;
            if (count == int(leads.size())) {
                fits = false;
                break;
            }
            leads[size_t(count++)] = lead;
        }
        if (!fits || count == 0)
            continue;
        const int score = count * 100 + (u < 0x80 ? 50 - letterRarity(u) : 0);
        if (score < bestScore)
            bestScore = score, letter = k, bestLeads = leads, bestLeadCount = count;
    }
    if (letter >= 0) {
        m_first = letter;
        m_last = letter + 1;
        m_leads = bestLeads;
        m_leadCount = bestLeadCount;
    } else if (!bestRun.isEmpty()) {
        m_first = bestFirst;
        m_last = bestLast;
        m_run = bestRun;
    } else {
        m_usable = false;
    }
}

qsizetype FoldedNeedle::nextCandidate(QByteArrayView block, qsizetype from, qsizetype to) const {
    if (from >= to)
        return -1;
    if (m_needle.isEmpty())
        return from;
    if (!m_run.isEmpty()) {
        const qsizetype at = block.first(to).indexOf(m_run, from);
        return at;
    }
    const char *data = block.data();
    if (m_leadCount == 1) {
        const void *at = std::memchr(data + from, m_leads[0], size_t(to - from));
        return at ? static_cast<const char *>(at) - data : -1;
    }
    qsizetype p = from;
#ifdef VEMO_HAVE_SSE2
    // Sixteen bytes at a time: one comparison per possible first byte.
    __m128i wanted[4];
    for (int i = 0; i < m_leadCount; ++i)
        wanted[i] = _mm_set1_epi8(m_leads[size_t(i)]);
    for (; p + 16 <= to; p += 16) {
        const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i *>(data + p));
        __m128i any = _mm_cmpeq_epi8(chunk, wanted[0]);
        for (int i = 1; i < m_leadCount; ++i)
            any = _mm_or_si128(any, _mm_cmpeq_epi8(chunk, wanted[i]));
        if (const int mask = _mm_movemask_epi8(any))
            return p + std::countr_zero(unsigned(mask));
    }
#endif
    for (; p < to; ++p)
        for (int i = 0; i < m_leadCount; ++i)
            if (data[p] == m_leads[size_t(i)])
                return p;
    return -1;
}

bool FoldedNeedle::matchesAround(QByteArrayView block, qsizetype at, qsizetype lo, qsizetype hi) const {
    const qsizetype m = m_needle.size();
    if (m == 0)
        return true;
    const auto *base = reinterpret_cast<const unsigned char *>(block.data());
    const char16_t *lower = wildcard::lowerTable();
    const char16_t *needle = reinterpret_cast<const char16_t *>(m_needle.utf16());
    qsizetype end; // just past the looked-for part
    if (!m_run.isEmpty()) {
        end = at + m_run.size();
        if (end > hi)
            return false;
    } else {
        const Point point = decodeAt(base + at);
        if (point.cp > 0xFFFF || lower[point.cp] != needle[m_first] || at + point.bytes > hi)
            return false;
        end = at + point.bytes;
    }
    // Backwards from the part to the search text's start, unit by unit; the
    // text may start on the second half of a surrogate pair.
    const unsigned char *p = base + at;
    for (qsizetype j = m_first - 1; j >= 0; --j) {
        if (p <= base + lo)
            return false;
        const unsigned char *start = previousStart(base + lo, p);
        const Point point = decodeAt(start);
        if (point.cp > 0xFFFF) {
            if (lowOf(point.cp) != needle[j])
                return false;
            if (j > 0 && highOf(point.cp) != needle[--j])
                return false;
        } else if (lower[point.cp] != needle[j]) {
            return false;
        }
        p = start;
    }
    // Forwards to its end; it may end on the first half of a pair.
    p = base + end;
    for (qsizetype j = m_last; j < m; ++j) {
        if (p >= base + hi)
            return false;
        const Point point = decodeAt(p);
        if (p + point.bytes > base + hi)
            return false;
        if (point.cp > 0xFFFF) {
            if (highOf(point.cp) != needle[j])
                return false;
            if (j + 1 < m && lowOf(point.cp) != needle[++j])
                return false;
        } else if (lower[point.cp] != needle[j]) {
            return false;
        }
        p += point.bytes;
    }
    return true;
}

bool FoldedNeedle::isIn(QByteArrayView block, qsizetype lo, qsizetype hi) const {
    for (qsizetype at = nextCandidate(block, lo, hi); at >= 0; at = nextCandidate(block, at + 1, hi))
        if (matchesAround(block, at, lo, hi))
            return true;
    return false;
}
