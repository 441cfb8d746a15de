// Pinyin search: finds a Chinese title by the Latin letters of its readings,
// without switching the input method. A title matches when a run of its
// characters spells the search text: each Chinese character by any prefix of
// any of its readings ("h", "hu" or "hui" for 会; tones ignored, ü spelled u
// or v), every other character by itself, case-insensitively. Full-width
// Latin letters and digits count as their ASCII forms, in titles and search
// texts alike. Characters outside the table (other scripts, surrogate pairs,
// Chinese characters beyond Extension A) stand for themselves.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>

class PinyinMatcher {
  public:
    // Pinyin matching applies to a search text made of Latin letters and digits
    // alone; for any other text the matcher is inactive and matches nothing.
    explicit PinyinMatcher(QStringView search = {});

    bool isActive() const { return !m_query.isEmpty(); }
    // The search text as matched: ASCII, lower case.
    const QByteArray &query() const { return m_query; }

    // A run of the title's characters spells the search text.
    bool matches(QStringView title) const;

    // The toneless readings of a character ("lv" for 绿), empty for one
    // outside the table.
    static QStringList readings(char16_t c);
    // The ASCII letter or digit a character stands for (lower case, full-width
    // forms folded), else 0.
    static char latin(char16_t c);

  private:
    bool matchesLong(QStringView title) const;

    QByteArray m_query;
    // Bit p of m_at[c]: the search text's letter p is c (either case, and the
    // full-width forms through latin()).
    std::array<std::uint64_t, 128> m_at{};
    // The same for a letter of a reading, where "v" (ü) is also spelled "u".
    std::array<std::uint64_t, 128> m_reading{};
};
