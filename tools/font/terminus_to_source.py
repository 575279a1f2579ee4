#!/usr/bin/env python3
"""Writes assets/font/console_8x16.txt, the readable source of the capture font.

Run once, by hand, on a machine with Debian's xfonts-terminus and pcf2bdf installed; the build
never needs either (it reads only the committed source):

    zcat /usr/share/fonts/X11/misc/ter-u16n_unicode.pcf.gz > /tmp/ter-u16n.pcf
    pcf2bdf -o /tmp/ter-u16n.bdf /tmp/ter-u16n.pcf
    python3 tools/font/terminus_to_source.py /tmp/ter-u16n.bdf src/gfx/cp437.cpp \
        > assets/font/console_8x16.txt

For each code page 437 byte it takes the glyph of the Unicode character that
src/gfx/cp437.cpp maps it to (the same table the terminal output uses), so a captured
picture shows what a terminal shows. It stops if a glyph is missing or not 8 x 16.
"""
import re
import sys


def cp437_table(path):
    text = open(path, encoding="utf-8").read()
    body = re.search(r"kCp437Unicode\[256\]\s*=\s*\{(.*?)\};", text, re.S).group(1)
    body = re.sub(r"//[^\n]*", "", body)  # the comments hold hex-looking ranges
    table = [int(v, 16) for v in re.findall(r"0x([0-9A-Fa-f]{4})", body)]
    if len(table) != 256:
        sys.exit(f"{path}: expected 256 code points, found {len(table)}")
    return table


def bdf_glyphs(path):
    """Unicode code point -> 16 rows of 8 pixels (bit 7 leftmost)."""
    glyphs = {}
    lines = iter(open(path, encoding="latin-1").read().splitlines())
    for line in lines:
        if not line.startswith("STARTCHAR"):
            continue
        encoding, box, rows = None, None, []
        for line in lines:
            if line.startswith("ENCODING"):
                encoding = int(line.split()[1])
            elif line.startswith("BBX"):
                box = tuple(int(v) for v in line.split()[1:])
            elif line == "BITMAP":
                for line in lines:
                    if line == "ENDCHAR":
                        break
                    rows.append(int(line, 16))
                break
        if box != (8, 16, 0, -4) or len(rows) != 16:
            sys.exit(f"{path}: glyph {encoding} is not 8 x 16 (BBX {box}, {len(rows)} rows)")
        glyphs[encoding] = rows
    return glyphs


def main():
    if len(sys.argv) != 3:
        sys.exit("usage: terminus_to_source.py TERMINUS-16.bdf cp437.cpp > console_8x16.txt")
    glyphs = bdf_glyphs(sys.argv[1])
    table = cp437_table(sys.argv[2])
    out = sys.stdout
    out.write(
        "# The 8 x 16 console font of the captures: one glyph for each of the 256 code page 437\n"
        "# bytes. Derived from Terminus Font (ter-u16n, Unicode encoding, Debian package\n"
        "# xfonts-terminus) by tools/font/terminus_to_source.py, which says how it was run.\n"
        "# Copyright (c) 2010-2019 Dimitar Toshkov Zhekov, with Reserved Font Name\n"
        "# \"Terminus Font\". This derived font is licensed under the SIL Open Font License,\n"
        "# Version 1.1 (assets/font/OFL.txt); as a Modified Version it does not use that name.\n"
        "#\n"
        "# Each glyph: \"glyph XX\" (the byte in hex; the comment names the Unicode character it\n"
        "# shows), then 16 rows of 8 pixels from the top, 'X' set and '.' clear.\n"
    )
    for byte, code in enumerate(table):
        if code not in glyphs:
            sys.exit(f"byte {byte:02X}: Terminus has no glyph for U+{code:04X}")
        out.write(f"\nglyph {byte:02X} # U+{code:04X}\n")
        for row in glyphs[code]:
            out.write("".join("X" if row & (0x80 >> i) else "." for i in range(8)) + "\n")


if __name__ == "__main__":
    main()
