#include "WildcardPattern.h"

#include <QChar>

#include <algorithm>

namespace wildcard {

namespace {

// QChar::toLower for every code unit, and the reverse: the code units that
// lower-case to something else, sorted by what they lower-case to. Built once,
// on the first pattern; a table look-up per character keeps the quick list's
// per-keystroke scan cheap.
struct FoldTables {
    std::vector<char16_t> lower;
    std::vector<std::pair<char16_t, char16_t>> raised; // (lower-case, code unit)
    FoldTables() : lower(0x10000) {
        for (int c = 0; c < 0x10000; ++c) {
            lower[c] = QChar(char16_t(c)).toLower().unicode();
            if (lower[c] != c)
                raised.emplace_back(lower[c], char16_t(c));
        }
        std::sort(raised.begin(), raised.end());
    }
};

const FoldTables &foldTables() {
    static const FoldTables tables;
    return tables;
}

inline bool isDigit(char16_t c) {
    return c >= u'0' && c <= u'9';
}

} // namespace

const char16_t *lowerTable() {
    return foldTables().lower.data();
}

std::vector<char16_t> foldForms(char16_t lowered) {
    const FoldTables &fold = foldTables();
    std::vector<char16_t> forms;
    if (fold.lower[lowered] == lowered)
        forms.push_back(lowered);
    auto it = std::lower_bound(fold.raised.begin(), fold.raised.end(), std::make_pair(lowered, char16_t(0)));
    for (; it != fold.raised.end() && it->first == lowered; ++it)
        forms.push_back(it->second);
    return forms;
}

bool Pattern::CharSet::contains(char16_t c) const {
    bool in = false;
    if (c < 128) {
        in = (ascii[c >> 6] >> (c & 63)) & 1;
    } else {
        for (const auto &[lo, hi] : ranges) {
            if (c >= lo && c <= hi) {
                in = true;
                break;
            }
        }
    }
    return in != negate;
}

Pattern::Pattern(QStringView pattern) {
    m_segments.emplace_back();
    const qsizetype n = pattern.size();
    qsizetype i = 0;
    auto addToken = [this](Token t) { m_segments.back().tokens.push_back(t); };
    while (i < n) {
        const char16_t c = pattern[i].unicode();
        if (c == u'*') {
            // Runs of stars (and stars around an empty group) mean the same as one.
            if (!(m_hasStar && m_segments.back().tokens.empty()))
                m_segments.emplace_back();
            m_hasStar = true;
            ++i;
        } else if (c == u'?') {
            addToken({Token::AnyOne});
            ++i;
        } else if (c == u'#') {
            addToken({Token::Digit});
            ++i;
        } else if (c == u'[') {
            qsizetype j = i + 1;
            CharSet set;
            if (j < n && pattern[j] == u'!') {
                set.negate = true;
                ++j;
            }
            bool closed = false;
            bool empty = true;
            auto add = [&set](char16_t lo, char16_t hi) {
                for (char16_t ch = lo; ch < 128 && ch <= hi; ++ch)
                    set.ascii[ch >> 6] |= std::uint64_t(1) << (ch & 63);
                if (hi >= 128)
                    set.ranges.emplace_back(lo < 128 ? char16_t(128) : lo, hi);
            };
            while (j < n) {
                const char16_t lo = pattern[j].unicode();
                if (lo == u']') {
                    closed = true;
                    ++j;
                    break;
                }
                empty = false;
                // A hyphen between two characters makes a range; anywhere else it is itself.
                if (j + 2 < n && pattern[j + 1] == u'-' && pattern[j + 2] != u']') {
                    const char16_t hi = pattern[j + 2].unicode();
                    if (hi < lo) {
                        m_valid = false;
                        break;
                    }
                    add(lo, hi);
                    j += 3;
                } else {
                    add(lo, lo);
                    ++j;
                }
            }
            if (!closed)
                m_valid = false;
            if (!m_valid)
                break;
            if (!empty || set.negate) {
                m_sets.push_back(std::move(set));
                addToken({Token::Set, 0, int(m_sets.size()) - 1});
            }
            i = j;
        } else {
            addToken({Token::Literal, c});
            ++i;
        }
    }
    if (!m_valid) {
        m_segments.clear();
        m_sets.clear();
        return;
    }
    for (Segment &seg : m_segments) {
        for (const Token &t : seg.tokens) {
            if (t.kind != Token::Literal) {
                seg.literalOnly = false;
                break;
            }
        }
        if (seg.literalOnly && !seg.tokens.empty()) {
            seg.literal.reserve(seg.tokens.size());
            for (const Token &t : seg.tokens)
                seg.literal.append(QChar(t.ch));
            const std::vector<char16_t> forms = foldForms(seg.tokens.front().ch);
            if (forms.size() <= seg.foldFirst.size()) {
                std::copy(forms.begin(), forms.end(), seg.foldFirst.begin());
                seg.foldFirstCount = int(forms.size());
            }
        }
        m_minimumLength += qsizetype(seg.tokens.size());
    }
}

QString Pattern::longestLiteral(bool noBar) const {
    QString longest, run;
    const auto close = [&] {
        if (run.size() > longest.size())
            longest = run;
        run.clear();
    };
    for (const Segment &seg : m_segments) {
        for (const Token &t : seg.tokens) {
            if (t.kind == Token::Literal && !(noBar && t.ch == u'|'))
                run += QChar(t.ch);
            else
                close();
        }
        close();
    }
    return longest;
}

bool Pattern::matchAt(const Segment &seg, const char16_t *text, bool fold) const {
    const char16_t *lower = fold ? lowerTable() : nullptr;
    for (std::size_t k = 0; k < seg.tokens.size(); ++k) {
        const Token &t = seg.tokens[k];
        const char16_t c = fold ? lower[text[k]] : text[k];
        switch (t.kind) {
        case Token::Literal:
            if (c != t.ch)
                return false;
            break;
        case Token::AnyOne:
            break;
        case Token::Digit:
            if (!isDigit(c))
                return false;
            break;
        case Token::Set:
            if (!m_sets[t.set].contains(c))
                return false;
            break;
        }
    }
    return true;
}

// The first position at or after `from` where the segment fits wholly inside
// `text`, or -1.
qsizetype Pattern::find(const Segment &seg, QStringView text, qsizetype from, bool fold) const {
    const qsizetype len = qsizetype(seg.tokens.size());
    const qsizetype last = text.size() - len;
    if (from > last)
        return -1;
    if (seg.literalOnly && !fold)
        return text.indexOf(seg.literal, from);
    const char16_t *data = text.utf16();
    if (seg.literalOnly) {
        const char16_t *lower = lowerTable();
        const char16_t *needle = reinterpret_cast<const char16_t *>(seg.literal.utf16());
        auto restFits = [&](qsizetype p) {
            qsizetype k = 1;
            while (k < len && lower[data[p + k]] == needle[k])
                ++k;
            return k == len;
        };
        if (seg.foldFirstCount >= 0) {
            // Jump from one candidate first character to the next with the
            // vectorised single-character search, one cursor per candidate.
            const QStringView starts = text.first(last + 1);
            std::array<qsizetype, 4> next{};
            for (int i = 0; i < seg.foldFirstCount; ++i)
                next[i] = starts.indexOf(QChar(seg.foldFirst[i]), from);
            for (;;) {
                qsizetype p = -1;
                for (int i = 0; i < seg.foldFirstCount; ++i) {
                    if (next[i] >= 0 && (p < 0 || next[i] < p))
                        p = next[i];
                }
                if (p < 0 || restFits(p))
                    return p;
                for (int i = 0; i < seg.foldFirstCount; ++i) {
                    if (next[i] == p)
                        next[i] = starts.indexOf(QChar(seg.foldFirst[i]), p + 1);
                }
            }
        }
        for (qsizetype p = from; p <= last; ++p) {
            if (lower[data[p]] == needle[0] && restFits(p))
                return p;
        }
        return -1;
    }
    for (qsizetype p = from; p <= last; ++p) {
        if (matchAt(seg, data + p, fold))
            return p;
    }
    return -1;
}

bool Pattern::matches(QStringView text, bool foldCase) const {
    if (!m_valid)
        return false;
    const qsizetype n = text.size();
    const char16_t *data = text.utf16();
    const Segment &head = m_segments.front();
    const qsizetype headLen = qsizetype(head.tokens.size());
    if (!m_hasStar)
        return headLen == n && matchAt(head, data, foldCase);

    // With stars: the head fits at the start, the tail at the end, and every
    // segment between is placed as early as it fits. Each segment has a fixed
    // width and a star absorbs anything, so the earliest placement never spoils
    // a match a later placement would have allowed: nothing is tried twice.
    const Segment &tail = m_segments.back();
    const qsizetype tailLen = qsizetype(tail.tokens.size());
    if (headLen + tailLen > n)
        return false;
    if (!matchAt(head, data, foldCase) || !matchAt(tail, data + (n - tailLen), foldCase))
        return false;
    const QStringView middle = text.first(n - tailLen);
    qsizetype cursor = headLen;
    for (std::size_t s = 1; s + 1 < m_segments.size(); ++s) {
        const qsizetype at = find(m_segments[s], middle, cursor, foldCase);
        if (at < 0)
            return false;
        cursor = at + qsizetype(m_segments[s].tokens.size());
    }
    return true;
}

Result match(QStringView text, QStringView pattern) {
    const Pattern compiled(pattern);
    if (!compiled.isValid())
        return Result::Invalid;
    return compiled.matches(text) ? Result::Match : Result::NoMatch;
}

QString lowerCodeUnits(QStringView text) {
    QString out(text.size(), Qt::Uninitialized);
    char16_t *dst = reinterpret_cast<char16_t *>(out.data());
    for (qsizetype i = 0; i < text.size(); ++i)
        dst[i] = QChar(text[i]).toLower().unicode();
    return out;
}

} // namespace wildcard
