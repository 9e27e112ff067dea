#!/usr/bin/env python3
"""Makes the list window's 18 status icons (16x16 PNG, numbered 1..18 as the
status texts and the host-name column number them): a coloured badge whose
shape and colour tell the severity, with a white sign that tells the kind.

Also makes the monitor's tray icons, one per state of the fleet, each in the
sizes trays ask for (tray_<state>_<size>.png): the monitor's label printer
with a badge in its lower right corner in the colours of the status icons: a
green tick (all well), an amber triangle (a warning), a red cross (an error),
a grey bar (printers not answering); without a badge while no printer's
state is known yet.

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


# ---------------------------------------------------------------- tray icons
#
# Drawn as shapes on a 16-unit square and sampled at every size, so that the
# larger icons are as sharp as the small one.

TRAY_SIZES = (16, 22, 32, 48)
TRAY_SS = 6  # samples per pixel and axis

INK = (20, 40, 80)
BLUE = (40, 90, 170)
WHITE = (255, 255, 255)
LAMP = (90, 220, 90)


def rounded_rect(x0, y0, x1, y1, r):
    def inside(x, y):
        cx = min(max(x, x0 + r), x1 - r)
        cy = min(max(y, y0 + r), y1 - r)
        return (x - cx) ** 2 + (y - cy) ** 2 <= r * r
    return inside


def rect(x0, y0, x1, y1):
    return lambda x, y: x0 <= x <= x1 and y0 <= y <= y1


def disc(cx, cy, r):
    return lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def triangle(cx, top, bottom, half):
    """An upright triangle: apex at (cx, top), base from cx-half to cx+half."""
    def inside(x, y):
        if y < top or y > bottom:
            return False
        return abs(x - cx) <= (y - top) / (bottom - top) * half
    return inside


def stroke(points, width):
    """A polyline of the given width with round ends."""
    segments = list(zip(points, points[1:]))

    def inside(x, y):
        for (ax, ay), (bx, by) in segments:
            dx, dy = bx - ax, by - ay
            t = max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy or 1)))
            if (x - ax - t * dx) ** 2 + (y - ay - t * dy) ** 2 <= (width / 2) ** 2:
                return True
        return False
    return inside


def printer_layers(lamp):
    """The monitor's label printer: body, label roll, label out, and its
    status lamp where no badge covers that corner."""
    return [
        (rounded_rect(1.0, 4.5, 15.0, 12.5, 2.0), INK),
        (rounded_rect(1.8, 5.3, 14.2, 11.7, 1.3), BLUE),
        (rect(3.5, 1.0, 12.5, 5.5), INK),
        (rect(4.3, 1.8, 11.7, 5.5), WHITE),
        (rect(4.0, 10.5, 12.0, 15.0), INK),
        (rect(4.8, 10.5, 11.2, 14.2), WHITE),
    ] + ([(disc(12.2, 7.4, 1.1), LAMP)] if lamp else [])


# state: (badge shape, colour, sign strokes); the badge sits at the lower right.
BX, BY, BR = 11.6, 11.6, 4.4
TRAY_STATES = {
    "unknown": None,
    "well": ("disc", (40, 160, 60), [[(9.6, 11.7), (11.1, 13.3), (13.7, 9.9)]]),
    "warning": ("triangle", (235, 170, 0), [[(11.6, 9.6), (11.6, 12.4)], [(11.6, 14.1), (11.6, 14.15)]]),
    "error": ("disc", (210, 40, 40), [[(9.9, 9.9), (13.3, 13.3)], [(13.3, 9.9), (9.9, 13.3)]]),
    "silent": ("disc", (128, 128, 128), [[(9.5, 11.6), (13.7, 11.6)]]),
}


def badge_layers(shape, colour, signs):
    dark = tuple(int(c * 0.6) for c in colour)
    if shape == "disc":
        layers = [(disc(BX, BY, BR + 0.7), WHITE), (disc(BX, BY, BR), dark), (disc(BX, BY, BR - 0.7), colour)]
    else:
        layers = [(triangle(BX, 6.0, 16.0, 5.9), WHITE), (triangle(BX, 7.0, 15.4, 4.9), dark),
                  (triangle(BX, 8.1, 14.8, 3.9), colour)]
    return layers + [(stroke(points, 1.6), WHITE) for points in signs]


def render(layers, size):
    unit = 16.0 / size
    pixels = []
    for py in range(size):
        row = []
        for px in range(size):
            r = g = b = a = 0.0
            for j in range(TRAY_SS):
                for i in range(TRAY_SS):
                    x = (px + (i + 0.5) / TRAY_SS) * unit
                    y = (py + (j + 0.5) / TRAY_SS) * unit
                    for inside, colour in reversed(layers):
                        if inside(x, y):
                            r, g, b, a = r + colour[0], g + colour[1], b + colour[2], a + 1
                            break
            n = TRAY_SS * TRAY_SS
            row.append((round(r / a) if a else 0, round(g / a) if a else 0, round(b / a) if a else 0,
                        round(255 * a / n)))
        pixels.append(row)
    return pixels


def tray_icons(folder):
    for state, look in TRAY_STATES.items():
        layers = printer_layers(look is None) + (badge_layers(*look) if look else [])
        for size in TRAY_SIZES:
            with open(os.path.join(folder, "tray_%s_%d.png" % (state, size)), "wb") as f:
                f.write(png(render(layers, size)))


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.abspath(__file__))
    for number, (name, shape, colour, sign) in ICONS.items():
        pixels = printer() if shape is None else badge(shape, colour, sign)
        with open(os.path.join(folder, "status%02d_%s.png" % (number, name)), "wb") as f:
            f.write(png(pixels))
    tray_icons(folder)


if __name__ == "__main__":
    main()
