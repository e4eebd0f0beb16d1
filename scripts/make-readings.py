#!/usr/bin/env python3
# Writes src/app/pinyinreadings.inc: the Han characters whose modern readings begin with more
# than one letter (行 háng/xíng, 重 zhòng/chóng), each with all those first letters. ICU gives
# one reading per character; the item boxes match the others from this table.
#
# The readings are those of Unihan's kXHC1983 (现代汉语词典) and kTGHZ2013 (通用规范汉字字典)
# and its kMandarin, read from Debian's unicode-data package:
#   apt-get install unicode-data && python3 scripts/make-readings.py
import bz2
import collections
import os
import sys
import unicodedata

SOURCE = "/usr/share/unicode/Unihan_Readings.txt.bz2"
FIELDS = {"kXHC1983", "kTGHZ2013", "kMandarin"}


def first_letter(reading):
    return unicodedata.normalize("NFD", reading)[0].lower()


def main():
    letters = collections.defaultdict(set)
    with bz2.open(SOURCE, "rt", encoding="utf-8") as text:
        for line in text:
            if line.startswith("#") or not line.strip():
                continue
            code, field, value = line.rstrip("\n").split("\t")
            if field not in FIELDS:
                continue
            for token in value.split():
                for reading in token.split(":")[-1].split(","):
                    letters[int(code[2:], 16)].add(first_letter(reading))
    several = {c: "".join(sorted(l)) for c, l in letters.items() if len(l) > 1}
    out = os.path.join(os.path.dirname(__file__), "..", "src", "app", "pinyinreadings.inc")
    with open(out, "w", encoding="utf-8") as f:
        f.write("// Made by scripts/make-readings.py from Unihan_Readings.txt of Unicode 15.0\n")
        f.write("// (Debian's unicode-data), (c) Unicode, Inc., Unicode license: see data/copyright.\n")
        f.write("// Do not edit.\n")
        f.write("// Sorted by code: every first letter of a character's modern readings.\n")
        for c in sorted(several):
            f.write('{0x%X, "%s"}, // %s\n' % (c, several[c], chr(c)))
    print(f"{len(several)} characters", file=sys.stderr)


if __name__ == "__main__":
    main()
