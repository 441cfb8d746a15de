// The toneless Mandarin readings of the CJK Unified Ideographs of the BMP and
// Extension A, generated from the Unicode Han Database into PinyinTable.cpp
// by tools/make_pinyin_table.py. A reading is a run of lower-case ASCII
// letters, ü written "v" ("lv" for 绿).
#pragma once

#include <cstdint>

namespace pinyintable {

constexpr char16_t First = 0x3400;
constexpr char16_t Last = 0x9FFF;

// Every syllable once, each ended by a zero.
extern const char Syllables[];
// Sets of readings: offsets into Syllables, the last of a set with 0x8000.
extern const std::uint16_t Readings[];
// Per character from First: 0 for none, else 1 + the start of its set in Readings.
extern const std::uint16_t Characters[];

constexpr std::uint16_t LastOfSet = 0x8000;

// The first entry of the character's set of readings; nullptr outside the table.
inline const std::uint16_t *readingsOf(char16_t c) {
    if (c < First || c > Last)
        return nullptr;
    const std::uint16_t at = Characters[c - First];
    return at ? Readings + at - 1 : nullptr;
}

} // namespace pinyintable
