// Pinyin search: finds a Chinese title by the Latin letters of its readings,
// without switching the input method. A title matches when a run of its
// characters spells the search text: each Chinese character by any prefix of
// any of its readings ("h", "hu" or "hui" for 会; tones ignored, ü spelled u
// or v), every other character by itself, case-insensitively. Full-width
// Latin letters and digits count as their ASCII forms, in titles and search
// texts alike. Characters outside the table (other scripts, surrogate pairs,
// Chinese characters beyond Extension A) stand for themselves.
//
// The search text may mix letters with what a user of a pinyin input method
// types between them: a space or an apostrophe ends a syllable ("xi'an" is
// 西安, never 先; "hui yi" and "hy jy" find 会议纪要), a Chinese character stands
// for itself ("会议jy", "重qing") and "ü" is "v". In a title, spaces and
// punctuation (full-width or not) are passed over like a syllable break, so
// "wxhabc" finds "微信号：abc".
#pragma once

#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>
#include <utility>
#include <vector>

class PinyinMatcher {
  public:
    // Pinyin matching applies to a search text that holds a Latin letter or
    // digit and otherwise only letters, digits, syllable breaks and Chinese
    // characters; for any other text the matcher is inactive and matches
    // nothing.
    explicit PinyinMatcher(QStringView search = {});

    bool isActive() const { return !m_key.isEmpty(); }
    // The search text as matched: letters and digits in lower case, Chinese
    // characters as they are, each run of breaks as one "'" (none at the
    // start). A title that spells a search spells every beginning of its key.
    const QString &key() const { return m_key; }
    // The number of letters and characters the search spells.
    qsizetype length() const { return qsizetype(m_units.size()); }

    // A run of the title's characters spells the search text.
    bool matches(QStringView title) const { return walk(title, false); }
    // False when a title of this spellingMask() cannot spell the search text
    // (true says only that it may).
    bool maySpell(std::uint64_t titleMask) const { return (m_needed & ~titleMask) == 0; }
    // What a title's characters can spell: bit c - 'a' for a letter any of
    // them spells anywhere (a Latin letter, a letter of a reading; "v" (ü) of
    // a reading also as "u"), bit 26 + d for a digit, bit 36 + c - 'a' for a
    // letter one of them can start with.
    static std::uint64_t spellingMask(QStringView title);
    // The spellingMask() of one character.
    static std::uint64_t spellingOf(char16_t c);
    // The run can start at the title's first character (spaces and
    // punctuation before it passed over).
    bool matchesAtStart(QStringView title) const { return walk(title, true); }

    // The toneless readings of a character ("lv" for 绿), empty for one
    // outside the table.
    static QStringList readings(char16_t c);
    // The ASCII letter or digit a character stands for (lower case, full-width
    // forms folded), else 0.
    static char latin(char16_t c);
    // Spaces and punctuation, which a title's run passes over.
    static bool isPassedOver(char16_t c);
    // The longest reading has six letters ("zhuang"): a search of more
    // letters than six per character of a title cannot be spelled by it.
    static constexpr qsizetype LongestReading = 6;

  private:
    bool walk(QStringView title, bool atStart) const;
    bool walkLong(QStringView title, bool atStart) const;

    QString m_key;
    // What the search spells, one entry per position: a lower-case ASCII
    // letter or digit, or a Chinese character.
    std::vector<char16_t> m_units;
    // breakAt[p]: a syllable break lies between units p - 1 and p.
    std::vector<char> m_breakAt;

    // Bit p of m_at[c]: the unit at p is c (either case, and the full-width
    // forms through latin()).
    std::array<std::uint64_t, 128> m_at{};
    // The same for a letter of a reading, where "v" (ü) is also spelled "u".
    std::array<std::uint64_t, 128> m_reading{};
    // The positions of each Chinese character of the search.
    std::vector<std::pair<char16_t, std::uint64_t>> m_same;
    // Bit p: a break lies before unit p, so no reading runs on past it.
    std::uint64_t m_breaks = 0;
    // The spellingMask() bits every title that spells the search has: each
    // letter and digit of it, the first one and each after a break as a
    // letter a character starts with.
    std::uint64_t m_needed = 0;
};
