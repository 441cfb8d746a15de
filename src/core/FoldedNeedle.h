// A search text without wildcards, looked for in UTF-8 texts as the wildcard
// matcher looks for it in UTF-16 ones: code unit by code unit, each unit of
// the text folded to lower case (QChar::toLower), so the results are the same
// whether a text is held as UTF-8 or as UTF-16. One part of the search text (a
// run of characters without case, or one letter) is looked for with a plain
// byte search over the whole block of texts, in one pass whatever the letters;
// the rest is compared only where that part was found.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <array>

class FoldedNeedle {
  public:
    // `lowered`: the search text already lowered with wildcard::lowerCodeUnits.
    explicit FoldedNeedle(const QString &lowered);

    // False when no part can be looked for in UTF-8 (a text of lone surrogate
    // halves): the caller then decodes the texts.
    bool isUsable() const { return m_usable; }
    // Where the looked-for part may start next in `block`, at or after `from`
    // (before `to`); -1 when nowhere.
    qsizetype nextCandidate(QByteArrayView block, qsizetype from, qsizetype to) const;
    // Whether the whole search text lies around the candidate at `at`, within
    // [lo, hi) of the block.
    bool matchesAround(QByteArrayView block, qsizetype at, qsizetype lo, qsizetype hi) const;
    // Whether [lo, hi) of the block holds the search text.
    bool isIn(QByteArrayView block, qsizetype lo, qsizetype hi) const;

  private:
    QString m_needle;      // lowered UTF-16
    qsizetype m_first = 0; // the looked-for part: needle units [m_first, m_last)
    qsizetype m_last = 0;
    QByteArray m_run;              // its UTF-8, when it has no case
    std::array<char, 4> m_leads{}; // else: the first bytes of its forms
    int m_leadCount = 0;
    bool m_usable = true;
};
