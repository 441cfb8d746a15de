#!/usr/bin/env python3
"""Writes src/core/PinyinTable.cpp, the toneless Mandarin readings of every CJK
Unified Ideograph of the BMP and Extension A (U+3400 to U+9FFF), from the
Unicode Han Database as Debian's unicode-data package ships it.

    tools/make_pinyin_table.py            regenerate the table
    tools/make_pinyin_table.py --check    fail when the committed table differs

The readings of a character are today's: those of kMandarin, kXHC1983 and
kTGHZ2013 together (the last two hold every reading the modern dictionaries
give, such as 会 kuai, 乐 yue and 重 chong, where kMandarin has one). The
readings of kHanyuPinyin, which lists classical ones as well (省 xian, 肥 bi,
离 chi), are taken only for a character none of those three fields reads.
Readings are written without tone marks and with ü as v. Only the Python
standard library is used.
"""

import argparse
import bz2
import pathlib
import sys
import unicodedata

UNIHAN = "/usr/share/unicode/Unihan_Readings.txt.bz2"
OUTPUT = pathlib.Path(__file__).resolve().parent.parent / "src" / "core" / "PinyinTable.cpp"
FIRST, LAST = 0x3400, 0x9FFF
MODERN = ("kMandarin", "kXHC1983", "kTGHZ2013")
CLASSICAL = "kHanyuPinyin"  # for a character the modern fields do not read
FIELDS = MODERN + (CLASSICAL,)

# The permission notice of the Unicode data files (Unicode License Agreement -
# Data Files and Software, SPDX Unicode-DFS-2016), under which the Unicode 15.0
# data is published.
NOTICE = """\
COPYRIGHT AND PERMISSION NOTICE

Copyright © 1991-2022 Unicode, Inc. All rights reserved.
Distributed under the Terms of Use in https://www.unicode.org/copyright.html.

Permission is hereby granted, free of charge, to any person obtaining
a copy of the Unicode data files and any associated documentation
(the "Data Files") or Unicode software and any associated documentation
(the "Software") to deal in the Data Files or Software
without restriction, including without limitation the rights to use,
copy, modify, merge, publish, distribute, and/or sell copies of
the Data Files or Software, and to permit persons to whom the Data Files
or Software are furnished to do so, provided that either
(a) this copyright and permission notice appear with all copies
of the Data Files or Software, or
(b) this copyright and permission notice appear in associated
Documentation.

THE DATA FILES AND SOFTWARE ARE PROVIDED "AS IS", WITHOUT WARRANTY OF
ANY KIND, EXPRESS OR IMPLIED, INCLUDING BUT NOT LIMITED TO THE
WARRANTIES OF MERCHANTABILITY, FITNESS FOR A PARTICULAR PURPOSE AND
NONINFRINGEMENT OF THIRD PARTY RIGHTS.
IN NO EVENT SHALL THE COPYRIGHT HOLDER OR HOLDERS INCLUDED IN THIS
NOTICE BE LIABLE FOR ANY CLAIM, OR ANY SPECIAL INDIRECT OR CONSEQUENTIAL
DAMAGES, OR ANY DAMAGES WHATSOEVER RESULTING FROM LOSS OF USE,
DATA OR PROFITS, WHETHER IN AN ACTION OF CONTRACT, NEGLIGENCE OR OTHER
TORTIOUS ACTION, ARISING OUT OF OR IN CONNECTION WITH THE USE OR
PERFORMANCE OF THE DATA FILES OR SOFTWARE.

Except as contained in this notice, the name of a copyright holder
shall not be used in advertising or otherwise to promote the sale,
use or other dealings in these Data Files or Software without prior
written authorization of the copyright holder."""


def toneless(reading):
    """hàng -> hang, lǜ -> lv, ê̄ -> e, ḿ -> m."""
    decomposed = unicodedata.normalize("NFD", reading).replace("u\u0308", "v")
    plain = "".join(c for c in decomposed if not unicodedata.combining(c))
    if not plain.isascii() or not plain.isalpha():
        raise ValueError(f"unexpected reading {reading!r}")
    return plain.lower()


def field_readings(field, value):
    if field == "kMandarin":
        return value.split()
    # "10048.060:liǎo,le,liào 10050.010:liǎo": dictionary places, then readings.
    return [r for entry in value.split() for r in entry.split(":", 1)[1].split(",")]


def read_unihan(path):
    header, modern, classical = [], {}, {}
    with bz2.open(path, "rt", encoding="utf-8") as lines:
        for line in lines:
            line = line.rstrip("\n")
            if line.startswith("#"):
                if not modern and not classical:
                    header.append(line[1:].strip())
                continue
            if not line:
                continue
            code, field, value = line.split("\t", 2)
            cp = int(code[2:], 16)
            if field in FIELDS and FIRST <= cp <= LAST:
                into = modern if field in MODERN else classical
                into.setdefault(cp, set()).update(toneless(r) for r in field_readings(field, value))
    readings = dict(classical)
    readings.update(modern)
    return header, readings


def render(path):
    header, readings = read_unihan(path)
    # The source's own header, up to its list of fields.
    source = header
    for i, line in enumerate(header):
        if line.startswith("This file contains data on the following fields"):
            source = header[:i]
            break
    while source and not source[-1]:
        source.pop()
    while source and not source[0]:
        source.pop(0)

    syllables = sorted(set().union(*readings.values()))
    offset, text = {}, ""
    for s in syllables:
        offset[s] = len(text)
        text += s + "\0"
    assert len(text) < 0x8000

    # Each distinct set of readings once; a character points at its set.
    sets, entries, per_char = {}, [], []
    for cp in range(FIRST, LAST + 1):
        key = tuple(sorted(readings.get(cp, ())))
        if not key:
            per_char.append(0)
            continue
        if key not in sets:
            sets[key] = len(entries)
            entries += [offset[s] for s in key[:-1]] + [offset[key[-1]] | 0x8000]
        per_char.append(sets[key] + 1)
    assert len(entries) < 0xFFFF

    out = []
    out.append("// The toneless Mandarin readings of U+3400 to U+9FFF. Generated by")
    out.append("// tools/make_pinyin_table.py; do not edit, run the script again.")
    out.append("//")
    out.append("// Source: the Unicode Han Database (Unihan), fields " + ", ".join(FIELDS) + " of")
    out.append("// Unihan_Readings.txt, as Debian's unicode-data package ships it. Its header:")
    out.extend(("//   " + h).rstrip() for h in source)
    out.append("//")
    out.append("// Modified: tone marks removed, ü written v, the readings of each character")
    out.append("// merged across " + ", ".join(MODERN) + ", those of " + CLASSICAL + " taken only")
    out.append("// for a character none of them reads; characters outside U+3400 to U+9FFF left out.")
    out.append("//")
    out.extend(("// " + line).rstrip() for line in NOTICE.split("\n"))
    out.append("")
    out.append('#include "PinyinTable.h"')
    out.append("")
    out.append("// clang-format off")
    out.append("namespace pinyintable {")
    out.append("")
    out.append(f"// {len(syllables)} syllables, each ended by a zero.")
    out.append("const char Syllables[] =")
    line = ""
    for s in syllables:
        piece = s + "\\0"
        if len(line) + len(piece) > 96:
            out.append(f'    "{line}"')
            line = ""
        line += piece
    out.append(f'    "{line}";')
    out.append("")

    def numbers(name, values, comment):
        out.append(comment)
        out.append(f"const std::uint16_t {name}[] = {{")
        for i in range(0, len(values), 16):
            out.append("    " + ",".join(str(v) for v in values[i : i + 16]) + ",")
        out.append("};")
        out.append("")

    numbers("Readings", entries, f"// {len(sets)} sets of readings: syllable offsets, the last of a set with 0x8000.")
    numbers("Characters", per_char, "// Per character from U+3400: 0 for none, else 1 + the start of its set in Readings.")
    out.append("} // namespace pinyintable")
    out.append("// clang-format on")
    return "\n".join(out) + "\n"


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--check", action="store_true", help="compare with the committed table instead of writing it")
    parser.add_argument("--unihan", default=UNIHAN, help=f"Unihan_Readings.txt.bz2 (default {UNIHAN})")
    parser.add_argument("--output", default=str(OUTPUT), help="the generated file (default src/core/PinyinTable.cpp)")
    args = parser.parse_args()

    if not pathlib.Path(args.unihan).is_file():
        print(f"{args.unihan} not found: install Debian's unicode-data package or give --unihan", file=sys.stderr)
        return 2
    table = render(args.unihan)
    output = pathlib.Path(args.output)
    if args.check:
        committed = output.read_text(encoding="utf-8") if output.exists() else ""
        if committed != table:
            print(f"{output} differs from the table made from {args.unihan}: "
                  "run tools/make_pinyin_table.py and commit the result", file=sys.stderr)
            return 1
        print(f"{output} is up to date")
        return 0
    output.write_text(table, encoding="utf-8")
    return 0


if __name__ == "__main__":
    sys.exit(main())
