#!/usr/bin/env python3
"""Draws the contact sheet of the instrument's screens: every golden image of
tests/golden/ui (PBM, 240 x 128) on one PNG, labelled with its file name.

    tools/ui_contact_sheet.py [GOLDEN_DIR] [OUTPUT_PNG]

Defaults: tests/golden/ui and docs/ui_screens.png. Standard library only."""
import os
import struct
import sys
import zlib

WIDTH, HEIGHT = 240, 128
COLUMNS = 4
GAP = 8
LABEL = 12
BACKGROUND = (40, 44, 52)
PANEL = (178, 196, 120)
DOT = (24, 36, 20)
INK = (230, 230, 230)

# 3 x 5 glyphs for the labels, one string of 15 bits per character.
FONT = {
    "0": "111101101101111", "1": "010110010010111", "2": "111001111100111", "3": "111001111001111",
    "4": "101101111001001", "5": "111100111001111", "6": "111100111101111", "7": "111001001001001",
    "8": "111101111101111", "9": "111101111001111", "_": "000000000000111", "-": "000000111000000",
    "a": "010101111101101", "b": "110101110101110", "c": "111100100100111", "d": "110101101101110",
    "e": "111100110100111", "f": "111100110100100", "g": "111100101101111", "h": "101101111101101",
    "i": "111010010010111", "j": "001001001101111", "k": "101110100110101", "l": "100100100100111",
    "m": "101111111101101", "n": "110101101101101", "o": "111101101101111", "p": "111101111100100",
    "q": "111101101111001", "r": "110101110101101", "s": "111100111001111", "t": "111010010010010",
    "u": "101101101101111", "v": "101101101101010", "w": "101101111111101", "x": "101101010101101",
    "y": "101101111010010", "z": "111001010100111", " ": "000000000000000",
}


def read_pbm(path):
    with open(path, "rb") as f:
        data = f.read()
    header = b"P4\n240 128\n"
    if not data.startswith(header) or len(data) != len(header) + 30 * HEIGHT:
        raise ValueError(path + ": not a 240 x 128 PBM")
    return data[len(header):]


def write_png(path, width, height, rows):
    raw = b"".join(b"\x00" + bytes(row) for row in rows)

    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF)

    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n")
        f.write(chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)))
        f.write(chunk(b"IDAT", zlib.compress(raw, 9)))
        f.write(chunk(b"IEND", b""))


def main():
    golden = sys.argv[1] if len(sys.argv) > 1 else "tests/golden/ui"
    output = sys.argv[2] if len(sys.argv) > 2 else "docs/ui_screens.png"
    names = sorted(n for n in os.listdir(golden) if n.endswith(".pbm"))
    if not names:
        sys.exit("no PBM files in " + golden)
    cell_w, cell_h = WIDTH + GAP, HEIGHT + LABEL + GAP
    grid_rows = (len(names) + COLUMNS - 1) // COLUMNS
    width, height = GAP + COLUMNS * cell_w, GAP + grid_rows * cell_h
    pixels = [[c for _ in range(width) for c in BACKGROUND] for _ in range(height)]

    def put(x, y, colour):
        pixels[y][3 * x:3 * x + 3] = colour

    for index, name in enumerate(names):
        bits = read_pbm(os.path.join(golden, name))
        x0 = GAP + (index % COLUMNS) * cell_w
        y0 = GAP + (index // COLUMNS) * cell_h
        for i, ch in enumerate(name[:-4].lower()):
            glyph = FONT.get(ch, FONT[" "])
            for gy in range(5):
                for gx in range(3):
                    if glyph[3 * gy + gx] == "1":
                        for sy in range(2):
                            put(x0 + 8 * i + 2 * gx, y0 + 2 * gy + sy, INK)
                            put(x0 + 8 * i + 2 * gx + 1, y0 + 2 * gy + sy, INK)
        for y in range(HEIGHT):
            for x in range(WIDTH):
                dark = bits[30 * y + x // 8] & (0x80 >> (x % 8))
                put(x0 + x, y0 + LABEL + y, DOT if dark else PANEL)
    write_png(output, width, height, pixels)
    print("%s: %d screens" % (output, len(names)))


if __name__ == "__main__":
    main()
