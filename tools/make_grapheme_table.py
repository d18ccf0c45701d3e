#!/usr/bin/env python3
"""Writes engine/internal/grapheme_table.hpp, the property table behind the
engine's grapheme segmentation, from the Unicode Character Database.

    tools/make_grapheme_table.py [UCD directory] > engine/internal/grapheme_table.hpp

The directory defaults to /usr/share/unicode (Debian's unicode-data). Per code
point the table holds one byte: the Grapheme_Cluster_Break class in the low
four bits, and four flags (the header defines both, with the Unicode version
the files are of, so that the engine keeps no copy of them):
  0x10  Extended_Pictographic
  0x20  joins an Indic conjunct: Grapheme_Cluster_Break Extend with a nonzero
        canonical combining class, or ZWJ
  0x40  Indic virama (Indic_Syllabic_Category Virama) of Bengali, Devanagari,
        Gujarati, Malayalam, Oriya or Telugu
  0x80  Indic linking consonant (Indic_Syllabic_Category Consonant) of the same
        scripts
The bytes are stored as deduplicated blocks under a block index.
"""

import os
import re
import sys

CLASSES = ["Other", "CR", "LF", "Control", "Extend", "ZWJ", "Regional_Indicator", "Prepend",
           "SpacingMark", "L", "V", "T", "LV", "LVT"]
PICTOGRAPHIC, CONJUNCT_EXTEND, VIRAMA, CONSONANT = 0x10, 0x20, 0x40, 0x80
CONJUNCT_SCRIPTS = {"Bengali", "Devanagari", "Gujarati", "Malayalam", "Oriya", "Telugu"}
LIMIT = 0x110000


def ranges(path):
    """Yields (first, last, value) for every data line of a UCD file."""
    line_re = re.compile(r"^([0-9A-F]+)(?:\.\.([0-9A-F]+))?\s*;\s*([^#]+?)\s*(?:#|$)")
    with open(path, encoding="utf-8") as f:
        for line in f:
            m = line_re.match(line)
            if m:
                first = int(m.group(1), 16)
                yield first, int(m.group(2) or m.group(1), 16), m.group(3)


def property_values(path, wanted=None):
    values = {}
    for first, last, value in ranges(path):
        if wanted is None or value in wanted:
            for c in range(first, last + 1):
                values[c] = value
    return values


def build(ucd):
    table = bytearray(LIMIT)
    for first, last, value in ranges(os.path.join(ucd, "auxiliary", "GraphemeBreakProperty.txt")):
        for c in range(first, last + 1):
            table[c] = CLASSES.index(value)
    for first, last, value in ranges(os.path.join(ucd, "emoji", "emoji-data.txt")):
        if value == "Extended_Pictographic":
            for c in range(first, last + 1):
                table[c] |= PICTOGRAPHIC
    ccc = property_values(os.path.join(ucd, "extracted", "DerivedCombiningClass.txt"))
    scripts = property_values(os.path.join(ucd, "Scripts.txt"), CONJUNCT_SCRIPTS)
    indic = property_values(os.path.join(ucd, "IndicSyllabicCategory.txt"), {"Virama", "Consonant"})
    extend, zwj = CLASSES.index("Extend"), CLASSES.index("ZWJ")
    for c in range(LIMIT):
        cls = table[c] & 0x0F
        if cls == zwj or (cls == extend and ccc.get(c, "0") != "0"):
            table[c] |= CONJUNCT_EXTEND
        if c in scripts and c in indic:
            table[c] |= VIRAMA if indic[c] == "Virama" else CONSONANT
    return table


def layout(table, shift):
    """Block index and deduplicated blocks; code points past the index are 0."""
    size = 1 << shift
    count = LIMIT >> shift
    while count > 0 and not any(table[(count - 1) << shift:count << shift]):
        count -= 1
    blocks, index = {}, []
    for b in range(count):
        block = bytes(table[b << shift:(b + 1) << shift])
        index.append(blocks.setdefault(block, len(blocks)))
    return index, list(blocks)


def unicode_version(ucd):
    """The version named in the first line of GraphemeBreakProperty.txt, e.g. "15.0.0"."""
    with open(os.path.join(ucd, "auxiliary", "GraphemeBreakProperty.txt"), encoding="utf-8") as f:
        m = re.match(r"#\s*GraphemeBreakProperty-(\d+\.\d+\.\d+)\.txt", f.readline())
    if not m:
        sys.exit("make_grapheme_table: no version in GraphemeBreakProperty.txt")
    return m.group(1)


def write_classes(out, version):
    """The class enum, the flags and the version, in textquirl::internal."""
    names = ["kZwj" if name == "ZWJ" else "k" + name.replace("_", "") for name in CLASSES]
    out.write("namespace textquirl::internal {\n\n")
    out.write(f'// The Unicode version the table was made from.\ninline constexpr char kUnicodeVersion[] = "{version}";\n\n')
    out.write("// A code point's grapheme properties, one byte: the Grapheme_Cluster_Break\n"
              "// class in the low bits (kClassMask) and the flags below.\n")
    out.write("enum GraphemeClass : std::uint8_t {\n  " + ", ".join(names) + ",\n};\n")
    out.write("inline constexpr std::uint8_t kClassMask = 0x0F;\n")
    out.write(f"inline constexpr std::uint8_t kPictographic = 0x{PICTOGRAPHIC:02X};     // Extended_Pictographic\n")
    out.write(f"inline constexpr std::uint8_t kConjunctExtend = 0x{CONJUNCT_EXTEND:02X};   "
              "// Extend with a combining class, or ZWJ\n")
    out.write(f"inline constexpr std::uint8_t kVirama = 0x{VIRAMA:02X};           "
              "// virama of the six conjunct scripts\n")
    out.write(f"inline constexpr std::uint8_t kConsonant = 0x{CONSONANT:02X};        "
              "// linking consonant of the same scripts\n\n")
    out.write("}  // namespace textquirl::internal\n\n")


def main():
    ucd = sys.argv[1] if len(sys.argv) > 1 else "/usr/share/unicode"
    version = unicode_version(ucd)
    table = build(ucd)
    best = None
    for shift in range(5, 10):
        index, blocks = layout(table, shift)
        if len(blocks) > 256:
            continue
        size = len(index) + (len(blocks) << shift)
        if best is None or size < best[0]:
            best = (size, shift, index, blocks)
    size, shift, index, blocks = best
    out = sys.stdout
    out.write("// Generated by tools/make_grapheme_table.py from the Unicode Character Database; regenerate with\n"
              "//   tools/make_grapheme_table.py /usr/share/unicode > engine/internal/grapheme_table.hpp\n"
              "// Do not edit by hand. Internal to the engine.\n")
    out.write("#pragma once\n\n#include <cstdint>\n\n")
    write_classes(out, version)
    out.write("namespace textquirl::internal::grapheme_table {\n\n")
    out.write("// Per code point: Grapheme_Cluster_Break class (low four bits, in the order\n// ")
    out.write(", ".join(CLASSES) + ")\n")
    out.write("// and the flags 0x10 Extended_Pictographic, 0x20 joins an Indic conjunct\n"
              "// (Extend with a combining class, or ZWJ), 0x40 Indic virama, 0x80 Indic\n"
              "// linking consonant. Code point c has byte\n"
              "//   kBlocks[kIndex[c >> kShift] << kShift | (c & kMask)], or 0 from kIndexSize << kShift on.\n")
    out.write(f"inline constexpr unsigned kShift = {shift};\n")
    out.write(f"inline constexpr char32_t kMask = {(1 << shift) - 1};\n")
    out.write(f"inline constexpr char32_t kIndexSize = {len(index)};\n\n")

    def array(name, values):
        out.write(f"inline constexpr std::uint8_t {name}[{len(values)}] = {{\n")
        for i in range(0, len(values), 24):
            out.write("    " + ",".join(str(v) for v in values[i:i + 24]) + ",\n")
        out.write("};\n\n")

    array("kIndex", index)
    array("kBlocks", [v for block in blocks for v in block])
    out.write("}  // namespace textquirl::internal::grapheme_table\n")


if __name__ == "__main__":
    main()
