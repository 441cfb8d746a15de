// A slow reference for the pinyin matcher that tries every spelling, the
// oracle in the tests and the fuzz targets.
#pragma once

#include "PinyinMatcher.h"

#include <QString>
#include <QStringList>

#include <algorithm>
#include <vector>

namespace reference {

// Every way to spell one character (a code point): each prefix of each reading,
// ü also as u, and a Chinese character itself; a character without readings
// as its ASCII form, if any.
inline QStringList pinyinSpellings(const QString &character) {
    const char32_t c = character.toUcs4().value(0);
    QStringList out;
    for (const QString &reading : c <= 0xFFFF ? PinyinMatcher::readings(char16_t(c)) : QStringList())
        for (qsizetype k = 1; k <= reading.size(); ++k)
            out << reading.left(k) << QString(reading.left(k)).replace(u'v', u'u');
    if (!out.isEmpty())
        out << character;
    if (const char letter = c <= 0xFFFF ? PinyinMatcher::latin(char16_t(c)) : 0; out.isEmpty() && letter)
        out << QString(QChar(letter));
    out.removeDuplicates();
    return out;
}

// Whether the search holds anything a pinyin search reads (a letter or ü).
inline bool pinyinActive(const QString &search) {
    return std::any_of(search.begin(), search.end(),
                       [](QChar c) { return PinyinMatcher::latin(c.unicode()) || c == QChar(0xFC); });
}

// A title as its characters, a surrogate pair as one.
inline QStringList characters(QStringView title) {
    QStringList out;
    for (qsizetype i = 0; i < title.size(); ++i) {
        const bool pair = title[i].isHighSurrogate() && i + 1 < title.size() && title[i + 1].isLowSurrogate();
        out << title.sliced(i, pair ? 2 : 1).toString();
        i += pair;
    }
    return out;
}

// Some run of the title's characters (the first, when atStart), spaces and
// punctuation left out, spells the search text, no reading running past a
// space or an apostrophe of the search. A search with no letter matches nothing.
inline bool pinyinMatch(const QStringList &titleCharacters, const QString &search, bool atStart = false) {
    if (!pinyinActive(search))
        return false;
    QStringList title;
    for (const QString &c : titleCharacters)
        if (c.size() != 1 || !PinyinMatcher::isPassedOver(c[0].unicode()))
            title << c;
    QString query;
    std::vector<char> breakAt{0};
    for (QChar c : search) {
        // The blanks and apostrophes an input method shows between syllables, in either width.
        if (c == u' ' || c == u'\t' || c == u'\'' || c == QChar(0x3000) || c == QChar(0xFF07) ||
            c == QChar(0x2018) || c == QChar(0x2019)) {
            breakAt.back() = !query.isEmpty();
            continue;
        }
        const char letter = PinyinMatcher::latin(c.unicode());
        query += letter ? QChar(letter) : c == QChar(0xFC) ? QChar(u'v') : c;
        breakAt.push_back(0);
    }
    const auto crossesBreak = [&](qsizetype p, qsizetype length) {
        for (qsizetype k = p + 1; k < p + length; ++k)
            if (breakAt[size_t(k)])
                return true;
        return false;
    };
    std::vector<char> failed(size_t((title.size() + 1) * (query.size() + 1)));
    const auto from = [&](auto &self, qsizetype i, qsizetype p) -> bool {
        if (p == query.size())
            return true;
        if (i == title.size() || failed[size_t(i * (query.size() + 1) + p)])
            return false;
        for (const QString &s : pinyinSpellings(title[i]))
            if (QStringView(query).sliced(p).startsWith(s) && !crossesBreak(p, s.size()) &&
                self(self, i + 1, p + s.size()))
                return true;
        failed[size_t(i * (query.size() + 1) + p)] = 1;
        return false;
    };
    for (qsizetype i = 0; i < (atStart ? std::min<qsizetype>(1, title.size()) : title.size()); ++i)
        if (!query.isEmpty() && from(from, i, 0))
            return true;
    return false;
}

} // namespace reference
