// A slow reference for the pinyin matcher that tries every spelling, the
// oracle in the tests and the fuzz targets.
#pragma once

#include "PinyinMatcher.h"

#include <QString>
#include <QStringList>
#include <vector>

namespace reference {

// Every way to spell one character (a code point): each prefix of each reading,
// ü also as u; a character without readings as its ASCII form, if any.
inline QStringList pinyinSpellings(const QString &character) {
    const char32_t c = character.toUcs4().value(0);
    QStringList out;
    for (const QString &reading : c <= 0xFFFF ? PinyinMatcher::readings(char16_t(c)) : QStringList())
        for (qsizetype k = 1; k <= reading.size(); ++k)
            out << reading.left(k) << QString(reading.left(k)).replace(u'v', u'u');
    if (const char letter = c <= 0xFFFF ? PinyinMatcher::latin(char16_t(c)) : 0; out.isEmpty() && letter)
        out << QString(QChar(letter));
    out.removeDuplicates();
    return out;
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

// Some run of the title's characters spells the search text.
inline bool pinyinMatch(const QStringList &title, const QString &search) {
    QString query;
    for (QChar c : search)
        query += QChar(PinyinMatcher::latin(c.unicode()));
    std::vector<char> failed(size_t((title.size() + 1) * (query.size() + 1)));
    const auto from = [&](auto &self, qsizetype i, qsizetype p) -> bool {
        if (p == query.size())
            return true;
        if (i == title.size() || failed[size_t(i * (query.size() + 1) + p)])
            return false;
        for (const QString &s : pinyinSpellings(title[i]))
            if (QStringView(query).sliced(p).startsWith(s) && self(self, i + 1, p + s.size()))
                return true;
        failed[size_t(i * (query.size() + 1) + p)] = 1;
        return false;
    };
    for (qsizetype i = 0; i < title.size(); ++i)
        if (!query.isEmpty() && from(from, i, 0))
            return true;
    return false;
}

} // namespace reference
