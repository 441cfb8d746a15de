// The wildcard rules of the quick list search, compiled once per search text
// and then tried against every record (compile once, outside the loop over the
// records: matching allocates nothing, parsing does). Characters are compared
// as UTF-16 code units: a surrogate pair counts as two characters.
//
//   *        any run of characters, including none
//   ?        any one character
//   #        any one decimal digit, 0-9 only
//   [list]   any one character in the list; the list may hold ranges such as a-z
//   [!list]  any one character not in the list
//   anything else stands for itself
//
// Corner cases, decided the way the classic BASIC Like operator treats them:
//   "[" without a closing "]" makes the whole pattern invalid, whatever the text.
//   "]" outside a list, and "!" anywhere but first in a list, stand for themselves.
//   "[", "*", "?" and "#" inside a list stand for themselves ("[[]" matches "[").
//   "-" first or last in a list, or right after a finished range, stands for itself.
//   A range must not descend: "[z-a]" makes the pattern invalid; "[a-a]" is "a".
//   "[]" is an empty group that matches no character at all ("a[]b" matches "ab").
//   "[!]" matches any one character (nothing is excluded).
//   The empty pattern matches only the empty text.
#pragma once

#include <QString>
#include <QStringView>

#include <array>
#include <cstdint>
#include <utility>
#include <vector>

namespace wildcard {

enum class Result { NoMatch, Match, Invalid };

class Pattern {
  public:
    // The empty pattern.
    Pattern() : Pattern(QStringView()) {}
    // Parses the pattern once; an invalid one matches nothing.
    explicit Pattern(QStringView pattern);

    bool isValid() const { return m_valid; }
    // The fewest code units a matching text can have.
    qsizetype minimumLength() const { return m_minimumLength; }
    // The longest run of characters that stand for themselves and that every
    // matching text holds as it is (a run holds no "|" when noBar is set).
    QString longestLiteral(bool noBar) const;

    // With foldCase the TEXT is lower-cased code unit by code unit (QChar::toLower)
    // while the pattern is used as given: lower-case it once with lowerCodeUnits().
    // False when the pattern is invalid.
    bool matches(QStringView text, bool foldCase = false) const;

  private:
    struct CharSet {
        std::array<std::uint64_t, 2> ascii{};              // bitmap of the code units 0-127
        std::vector<std::pair<char16_t, char16_t>> ranges; // the rest, inclusive
        bool negate = false;
        bool contains(char16_t c) const;
    };
    struct Token {
        enum Kind : std::uint8_t { Literal, AnyOne, Digit, Set } kind;
        char16_t ch = 0; // Literal
        int set = -1;    // Set: index into m_sets
    };
    // A run of one-character tokens between two stars; it always spans exactly
    // `tokens.size()` code units of the text.
    struct Segment {
        std::vector<Token> tokens;
        QString literal; // the whole segment when it holds literals only
        bool literalOnly = true;
        // The code units that fold to the literal's first character, so a folded
        // search can jump between them with the fast single-character search;
        // foldFirstCount is -1 when there are too many of them to be worth it.
        std::array<char16_t, 4> foldFirst{};
        int foldFirstCount = -1;
    };

    bool matchAt(const Segment &seg, const char16_t *text, bool fold) const;
    qsizetype find(const Segment &seg, QStringView text, qsizetype from, bool fold) const;

    // Segments in order. Without a star there is exactly one and it must span
    // the whole text; with stars the first is anchored at the start, the last
    // at the end, and every one between floats (either end may be empty).
    std::vector<Segment> m_segments;
    std::vector<CharSet> m_sets;
    qsizetype m_minimumLength = 0;
    bool m_hasStar = false;
    bool m_valid = true;
};

// One-off test of a text against a pattern (case-sensitive).
Result match(QStringView text, QStringView pattern);

// The text lower-cased code unit by code unit, exactly as matches() folds the
// text, so a pattern lowered with it agrees with the folded text.
QString lowerCodeUnits(QStringView text);
// The same fold as a table of all 65,536 code units, built once.
const char16_t *lowerTable();
// Every code unit that folds to `lowered` (itself included when it folds to itself).
std::vector<char16_t> foldForms(char16_t lowered);

} // namespace wildcard
