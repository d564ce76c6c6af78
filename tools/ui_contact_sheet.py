#!/usr/bin/env python3
"""Draws the contact sheet of the instrument's live screens in its five
languages: the walks of tests/ui/scenarios are run by halden-cli once per
language (the language chosen on the language screen first, on a fresh
EEPROM), and every snapshot they take is laid out on one PNG, one row per
screen and one column per language, labelled with the language and the
snapshot's name.

    tools/ui_contact_sheet.py [--cli HALDEN_CLI] [--languages en,fr,...]
                              [--rows-per-page N] [OUTPUT_PNG]

Defaults: build/release/host/headless/halden-cli, all five languages,
docs/ui_screens.png. With --rows-per-page the sheet is also cut into pages
OUTPUT-1.png, OUTPUT-2.png, ... that are easier to look at one by one.
Standard library only."""
import argparse
import os
import struct
import subprocess
import sys
import tempfile
import zlib

WIDTH, HEIGHT = 240, 128
GAP = 8
LABEL = 12
BACKGROUND = (40, 44, 52)
PANEL = (178, 196, 120)
DOT = (24, 36, 20)
INK = (230, 230, 230)
MISSING = (90, 60, 60)

LANGUAGES = ["en", "fr", "de", "es", "it"]  # in the order of the language chooser
# The walks, in the order their screens are laid out.
SCENARIOS = ["menu_walk.scn", "self_test_failure.scn", "measuring_screens.scn", "curve_method.scn",
             "kinetics_method.scn", "pc_control.scn", "dye_scan.scn"]

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


def write_png(path, width, rows):
    raw = b"".join(b"\x00" + bytes(row) for row in rows)

    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF)

    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n")
        f.write(chunk(b"IHDR", struct.pack(">IIBBBBB", width, len(rows), 8, 2, 0, 0, 0)))
        f.write(chunk(b"IDAT", zlib.compress(raw, 9)))
        f.write(chunk(b"IEND", b""))


def language_preamble(index):
    """Keys that choose language number index on a fresh instrument and leave
    it in standby, so that a walk starts as it does in English."""
    lines = ["key standby", "wait-screen 9 within 60s", "key soft2", "wait-screen 11 within 0",
             "key soft3", "wait-screen 14 within 0", "key soft1", "wait-screen 80 within 0"]
    lines += ["key down"] * index
    lines += ["key soft1", "wait-screen 14 within 0", "key standby", "wait-screen 85 within 0"]
    return "\n".join(lines) + "\n"


def run_walks(cli, scenario_dir, index, work):
    """Runs every walk in language number index; returns {name: bits}."""
    shots = {}
    for scenario in SCENARIOS:
        with open(os.path.join(scenario_dir, scenario)) as f:
            body = f.read()
        run_dir = os.path.join(work, "%d-%s" % (index, scenario))
        os.makedirs(run_dir)
        path = os.path.join(run_dir, "walk.scn")
        with open(path, "w") as f:
            f.write(language_preamble(index) + body)
        result = subprocess.run([cli, "--eeprom", os.path.join(run_dir, "eeprom.bin"), path], cwd=run_dir,
                                stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        if result.returncode != 0:
            sys.exit("%s in %s: %s" % (scenario, LANGUAGES[index], result.stderr.strip()))
        for name in sorted(os.listdir(run_dir)):
            if name.endswith(".pbm"):
                shots[name[:-4]] = read_pbm(os.path.join(run_dir, name))
    return shots


def draw_sheet(names, languages, shots):
    cell_w, cell_h = WIDTH + GAP, HEIGHT + LABEL + GAP
    width = GAP + len(languages) * cell_w
    rows = []
    for name in names:
        block = [bytearray(BACKGROUND * width) for _ in range(cell_h)]
        for column, language in enumerate(languages):
            x0 = GAP + column * cell_w
            label = (language + " " + name).lower()
            for i, ch in enumerate(label):
                glyph = FONT.get(ch, FONT[" "])
                for gy in range(5):
                    for gx in range(3):
                        if glyph[3 * gy + gx] == "1":
                            for sy in range(2):
                                for sx in range(2):
                                    x = x0 + 8 * i + 2 * gx + sx
                                    block[2 * gy + sy][3 * x:3 * x + 3] = bytes(INK)
            bits = shots[language].get(name)
            for y in range(HEIGHT):
                row = block[LABEL + y]
                if bits is None:
                    row[3 * x0:3 * (x0 + WIDTH)] = bytes(MISSING) * WIDTH
                    continue
                line = bytearray()
                for x in range(WIDTH):
                    dark = bits[30 * y + x // 8] & (0x80 >> (x % 8))
                    line += bytes(DOT if dark else PANEL)
                row[3 * x0:3 * (x0 + WIDTH)] = line
        rows.extend(block)
    top = [bytearray(BACKGROUND * width) for _ in range(GAP)]
    return width, cell_h, top + rows


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--cli", default="build/release/host/headless/halden-cli")
    parser.add_argument("--languages", default=",".join(LANGUAGES))
    parser.add_argument("--rows-per-page", type=int, default=0)
    parser.add_argument("output", nargs="?", default="docs/ui_screens.png")
    args = parser.parse_args()
    languages = args.languages.split(",")
    for language in languages:
        if language not in LANGUAGES:
            sys.exit("unknown language " + language + "; known: " + ",".join(LANGUAGES))
    cli = os.path.abspath(args.cli)
    if not os.access(cli, os.X_OK):
        sys.exit(cli + ": no halden-cli; build it first (cmake --build build/release --target halden-cli)")
    scenario_dir = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "ui", "scenarios")

    shots = {}
    with tempfile.TemporaryDirectory() as work:
        for language in languages:
            shots[language] = run_walks(cli, scenario_dir, LANGUAGES.index(language), work)
    # Every screen any language showed, in the order of the English names
    # (walk order is lost in the file names; sorted names keep the states together).
    names = sorted(set().union(*(set(s) for s in shots.values())))
    width, cell_h, rows = draw_sheet(names, languages, shots)
    write_png(args.output, width, rows)
    print("%s: %d screens in %d languages" % (args.output, len(names), len(languages)))
    if args.rows_per_page > 0:
        stem, ext = os.path.splitext(args.output)
        page_h = args.rows_per_page * cell_h
        for page, first in enumerate(range(GAP, len(rows), page_h), 1):
            path = "%s-%d%s" % (stem, page, ext)
            write_png(path, width, rows[:GAP] + rows[first:first + page_h])
            print(path)


if __name__ == "__main__":
    main()
