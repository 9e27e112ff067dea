#!/usr/bin/env python3
"""Makes the list window's 18 status icons (16x16 PNG, numbered 1..18 as the
status texts and the host-name column number them): a coloured badge whose
shape and colour tell the severity, with a white sign that tells the kind.
Run it again after changing an icon; the PNG files are kept with the sources.
Needs nothing beyond the Python standard library."""
import os
import struct
import sys
import zlib

SIZE = 16
SS = 4  # supersampling for the badge edges

# 5x7 signs, '#' set. Drawn bold (each pixel also one to the right).
SIGNS = {
    "?": [".###.", "#...#", "....#", "..##.", "..#..", ".....", "..#.."],
    "-": [".....", ".....", ".....", "#####", ".....", ".....", "....."],
    "v": ["....#", "....#", "...#.", "#..#.", "#.#..", ".##..", ".#..."],
    "!": ["..#..", "..#..", "..#..", "..#..", "..#..", ".....", "..#.."],
    "=": ["#..#.", "#..#.", "#..#.", "#..#.", "#..#.", "#..#.", "#..#."],
    "x": ["#...#", ".#.#.", "..#..", ".#.#.", "#...#", ".....", "....."],
    "z": ["#...#", ".#.#.", "#.#.#", ".#.#.", "#.#.#", ".#.#.", "..#.."],
    "C": [".###.", "#...#", "#....", "#....", "#....", "#...#", ".###."],
    "P": ["####.", "#...#", "#...#", "####.", "#....", "#....", "#...."],
    "R": ["####.", "#...#", "#...#", "####.", "#.#..", "#..#.", "#...#"],
    "H": ["#...#", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"],
    "T": ["#####", "..#..", "..#..", "..#..", "..#..", "..#..", "..#.."],
    "J": ["..###", "...#.", "...#.", "...#.", "#..#.", "#..#.", ".##.."],
    "D": ["###..", "#..#.", "#...#", "#...#", "#...#", "#..#.", "###.."],
    "S": [".###.", "#...#", "#....", ".###.", "....#", "#...#", ".###."],
    "i": ["..#..", ".....", ".##..", "..#..", "..#..", "..#..", ".###."],
}

# The maker's printer: a small label printer, drawn as it stands.
PRINTER = [
    "................",
    "....########....",
    "....#......#....",
    "....#......#....",
    ".##############.",
    "#bbbbbbbbbbbbbb#",
    "#bbbbbbbbbbbgbb#",
    "#bbbbbbbbbbbbbb#",
    "#bbbbbbbbbbbbbb#",
    "#bbbbbbbbbbbbbb#",
    ".#####....#####.",
    ".....#wwww#.....",
    ".....#wwww#.....",
    ".....#wwww#.....",
    ".....######.....",
    "................",
]

# number: (file name, badge shape, colour, sign)
ICONS = {
    1: ("maker_printer", None, None, None),
    2: ("no_response", "circle", (128, 128, 128), "-"),
    3: ("normal", "circle", (40, 160, 60), "v"),
    4: ("cover_open", "triangle", (235, 170, 0), "!"),
    5: ("pause", "circle", (220, 190, 0), "="),
    6: ("error", "circle", (210, 40, 40), "x"),
    7: ("paper_jam", "square", (200, 30, 30), "z"),
    8: ("cutter_error", "square", (200, 30, 30), "C"),
    9: ("paper_end", "square", (235, 120, 0), "P"),
    10: ("ribbon_end", "square", (235, 120, 0), "R"),
    11: ("head_problem", "circle", (130, 50, 170), "H"),
    12: ("ribbon_error", "square", (160, 20, 60), "R"),
    13: ("no_paper", "circle", (235, 120, 0), "P"),
    14: ("no_toner", "circle", (235, 120, 0), "T"),
    15: ("jammed", "circle", (200, 30, 30), "J"),
    16: ("dhcp_on", "rounded", (40, 150, 80), "D"),
    17: ("dhcp_off", "rounded", (110, 110, 130), "S"),
    18: ("not_known", "rounded", (50, 110, 200), "?"),
}


def inside(shape, x, y):
    """Whether the point (in pixels, 0..16) lies in the badge."""
    if shape == "circle":
        return (x - 8) ** 2 + (y - 8) ** 2 <= 7.5 ** 2
    if shape == "square":
        return 0.5 <= x <= 15.5 and 0.5 <= y <= 15.5
    if shape == "rounded":
        r = 3.5
        cx = min(max(x, 0.5 + r), 15.5 - r)
        cy = min(max(y, 0.5 + r), 15.5 - r)
        return (x - cx) ** 2 + (y - cy) ** 2 <= r * r
    if shape == "triangle":
        if y < 0.5 or y > 15.5:
            return False
        half = (y - 0.5) / 15.0 * 7.5
        return abs(x - 8) <= half
    return False


def badge(shape, colour, sign):
    px = [[(0, 0, 0, 0)] * SIZE for _ in range(SIZE)]
    dark = tuple(int(c * 0.6) for c in colour)
    for y in range(SIZE):
        for x in range(SIZE):
            hits = sum(inside(shape, x + (i + 0.5) / SS, y + (j + 0.5) / SS) for i in range(SS) for j in range(SS))
            if hits:
                # a darker rim: the pixel touches the outside
                edge = hits < SS * SS or not all(
                    inside(shape, x + 0.5 + dx, y + 0.5 + dy) for dx, dy in ((-1, 0), (1, 0), (0, -1), (0, 1)))
                c = dark if edge else colour
                px[y][x] = (*c, round(255 * hits / (SS * SS)))
    rows = SIGNS[sign]
    top = 5 if shape == "triangle" else 4
    for j, row in enumerate(rows):
        for i, ch in enumerate(row):
            if ch == "#":
                for dx in (0, 1):
                    px[top + j][5 + i + dx] = (255, 255, 255, 255)
    return px


def printer():
    colours = {"#": (30, 40, 70, 255), "b": (50, 100, 190, 255), "g": (90, 230, 90, 255), "w": (250, 250, 250, 255)}
    return [[colours.get(ch, (0, 0, 0, 0)) for ch in row] for row in PRINTER]


def png(pixels):
    raw = b"".join(b"\0" + b"".join(struct.pack("4B", *p) for p in row) for row in pixels)

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)

    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", len(pixels[0]), len(pixels), 8, 6, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.abspath(__file__))
    for number, (name, shape, colour, sign) in ICONS.items():
        pixels = printer() if shape is None else badge(shape, colour, sign)
        with open(os.path.join(folder, "status%02d_%s.png" % (number, name)), "wb") as f:
            f.write(png(pixels))


if __name__ == "__main__":
    main()
