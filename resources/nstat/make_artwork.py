#!/usr/bin/env python3
"""Makes the status monitor's artwork as PNG files, named by the numbers the
program uses:

  symbolNNN.png   36x36 status symbols and indicators (184-200, 202)
  printerNNN.png  printer pictures by model family (168-170, 210-240),
                  80 to 123 pixels wide
  viewNNN.png     16x16 icons of the view selector (160-167)
  iconNNN.png     the window icon (128) and the connection icons of the
                  status bar (138 connected, 151 not answering)

Everything is drawn from shapes with 4x4 supersampling. Run it again after
changing a drawing; the PNG files are kept with the sources. Needs nothing
beyond the Python standard library."""
import math
import os
import struct
import sys
import zlib

SS = 4


# ----------------------------------------------------------------- canvas

class Canvas:
    def __init__(self, width, height):
        self.w, self.h = width, height
        self.px = [[(0.0, 0.0, 0.0, 0.0)] * width for _ in range(height)]

    def fill(self, inside, colour, box=None, alpha=1.0):
        """Paints colour (r, g, b) over every pixel the shape covers, with
        the covered share of the pixel as its opacity."""
        x0, y0, x1, y1 = box if box else (0, 0, self.w, self.h)
        x0, y0 = max(0, int(math.floor(x0))), max(0, int(math.floor(y0)))
        x1, y1 = min(self.w, int(math.ceil(x1))), min(self.h, int(math.ceil(y1)))
        for y in range(y0, y1):
            row = self.px[y]
            for x in range(x0, x1):
                hits = 0
                for j in range(SS):
                    sy = y + (j + 0.5) / SS
                    for i in range(SS):
                        if inside(x + (i + 0.5) / SS, sy):
                            hits += 1
                if hits:
                    a = alpha * hits / (SS * SS)
                    r, g, b, da = row[x]
                    na = a + da * (1 - a)
                    mix = lambda s, d: (s * a + d * da * (1 - a)) / na
                    row[x] = (mix(colour[0], r), mix(colour[1], g), mix(colour[2], b), na)

    def png(self):
        raw = b"".join(
            b"\0" + b"".join(struct.pack("4B", *(min(255, int(round(c))) for c in (p[0], p[1], p[2], p[3] * 255)))
                             for p in row) for row in self.px)

        def chunk(kind, data):
            return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)

        return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", self.w, self.h, 8, 6, 0, 0, 0)) +
                chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


# ----------------------------------------------------------------- shapes
# Each shape is (inside(x, y), bounding box).

def rect(x0, y0, x1, y1):
    return (lambda x, y: x0 <= x <= x1 and y0 <= y <= y1), (x0, y0, x1, y1)


def rounded(x0, y0, x1, y1, r):
    def inside(x, y):
        if not (x0 <= x <= x1 and y0 <= y <= y1):
            return False
        cx = min(max(x, x0 + r), x1 - r)
        cy = min(max(y, y0 + r), y1 - r)
        return (x - cx) ** 2 + (y - cy) ** 2 <= r * r
    return inside, (x0, y0, x1, y1)


def circle(cx, cy, r):
    return (lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r), (cx - r, cy - r, cx + r, cy + r)


def ring(cx, cy, r, width):
    inner = r - width
    return (lambda x, y: inner * inner <= (x - cx) ** 2 + (y - cy) ** 2 <= r * r), (cx - r, cy - r, cx + r, cy + r)


def polygon(points):
    xs, ys = [p[0] for p in points], [p[1] for p in points]

    def inside(x, y):
        hit = False
        n = len(points)
        for i in range(n):
            ax, ay = points[i]
            bx, by = points[(i + 1) % n]
            if (ay > y) != (by > y) and x < (bx - ax) * (y - ay) / (by - ay) + ax:
                hit = not hit
        return hit
    return inside, (min(xs), min(ys), max(xs), max(ys))


def line(points, width):
    """A polyline of the given width with round ends."""
    half = width / 2.0
    xs, ys = [p[0] for p in points], [p[1] for p in points]

    def inside(x, y):
        for (ax, ay), (bx, by) in zip(points, points[1:]):
            dx, dy = bx - ax, by - ay
            length = dx * dx + dy * dy
            t = 0.0 if length == 0 else max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / length))
            px, py = ax + t * dx - x, ay + t * dy - y
            if px * px + py * py <= half * half:
                return True
        return False
    return inside, (min(xs) - half, min(ys) - half, max(xs) + half, max(ys) + half)


def paint(canvas, shape, colour, alpha=1.0):
    inside, box = shape
    canvas.fill(inside, colour, box, alpha)


def darker(colour, f=0.62):
    return tuple(c * f for c in colour)


WHITE = (255, 255, 255)
INK = (34, 40, 56)

# ---------------------------------------------------------------- symbols

GREY = (130, 134, 140)
GREEN = (46, 158, 72)
ORANGE = (236, 140, 0)
AMBER = (232, 186, 20)
BLUE = (52, 112, 206)
RED = (206, 40, 40)
CRIMSON = (160, 24, 64)
PURPLE = (128, 56, 170)


def badge(c, kind, colour):
    """The symbol's background: circle, triangle, square or rounded square,
    with a darker rim."""
    if kind == "circle":
        paint(c, circle(18, 18, 16.5), darker(colour))
        paint(c, circle(18, 18, 14.8), colour)
    elif kind == "triangle":
        paint(c, polygon([(18, 1.5), (34.5, 32.5), (1.5, 32.5)]), darker(colour))
        paint(c, polygon([(18, 4.6), (32, 30.8), (4, 30.8)]), colour)
    elif kind == "square":
        paint(c, rounded(2, 2, 34, 34, 3), darker(colour))
        paint(c, rounded(3.8, 3.8, 32.2, 32.2, 2), colour)
    else:
        paint(c, rounded(3, 3, 33, 33, 8), darker(colour))
        paint(c, rounded(4.8, 4.8, 31.2, 31.2, 6.5), colour)


def sheet(c, x0, y0, x1, y1, colour=WHITE):
    """A sheet of paper with a folded corner."""
    fold = (x1 - x0) * 0.3
    paint(c, polygon([(x0, y0), (x1 - fold, y0), (x1, y0 + fold), (x1, y1), (x0, y1)]), colour)


def roll(c, cx, cy, r, colour=WHITE, core=None):
    paint(c, circle(cx, cy, r), colour)
    if core:
        paint(c, circle(cx, cy, r * 0.38), core)


def drop(c, cx, top, size, colour=WHITE):
    r = size * 0.42
    paint(c, polygon([(cx, top), (cx + r * 0.92, top + size - r * 1.3), (cx - r * 0.92, top + size - r * 1.3)]),
          colour)
    paint(c, circle(cx, top + size - r, r), colour)


def slash(c, colour=WHITE):
    paint(c, line([(9, 27), (27, 9)], 3.4), colour)


def cross(c, colour=WHITE, size=7.5, width=4.2):
    paint(c, line([(18 - size, 18 - size), (18 + size, 18 + size)], width), colour)
    paint(c, line([(18 - size, 18 + size), (18 + size, 18 - size)], width), colour)


def exclamation(c, top=10.5, colour=WHITE):
    paint(c, line([(18, top), (18, top + 10)], 3.6), colour)
    paint(c, circle(18, top + 15.2, 2.1), colour)


def symbol_no_answer(c):
    badge(c, "circle", GREY)
    paint(c, line([(9, 18), (15, 18)], 3.6), WHITE)
    paint(c, line([(21, 18), (27, 18)], 3.6), WHITE)
    paint(c, line([(15.5, 13.5), (20.5, 22.5)], 2.6), WHITE)


def symbol_normal(c):
    badge(c, "circle", GREEN)
    paint(c, line([(10, 18.5), (15.5, 24), (26.5, 12)], 4.4), WHITE)


def symbol_open(c):
    badge(c, "triangle", ORANGE)
    # a printer whose lid stands open
    paint(c, rect(10, 21, 26, 27.5), WHITE)
    paint(c, line([(11, 20), (19, 12.5)], 2.8), WHITE)


def symbol_pause(c):
    badge(c, "circle", BLUE)
    paint(c, rounded(11.5, 10, 15.5, 26, 1), WHITE)
    paint(c, rounded(20.5, 10, 24.5, 26, 1), WHITE)


def symbol_error(c):
    badge(c, "circle", RED)
    cross(c)


def zigzag(c, colour=WHITE):
    sheet(c, 10, 8, 26, 28, colour)
    paint(c, line([(8.5, 20), (13, 15.5), (18, 20.5), (23, 15.5), (27.5, 20)], 2.6), RED if colour == WHITE else WHITE)


def symbol_jammed(c):
    badge(c, "circle", RED)
    zigzag(c)


def symbol_paper_jam(c):
    badge(c, "square", RED)
    zigzag(c)


def symbol_cutter(c):
    badge(c, "square", RED)
    paint(c, ring(12, 24, 4.4, 2.0), WHITE)
    paint(c, ring(24, 24, 4.4, 2.0), WHITE)
    paint(c, line([(14.5, 20.5), (25, 8)], 2.6), WHITE)
    paint(c, line([(21.5, 20.5), (11, 8)], 2.6), WHITE)


def symbol_paper_end(c):
    badge(c, "square", ORANGE)
    sheet(c, 11, 8, 25, 28)
    slash(c, INK)


def symbol_ribbon_end(c):
    badge(c, "square", ORANGE)
    roll(c, 18, 18, 9, WHITE, ORANGE)
    slash(c, INK)


def symbol_head(c):
    badge(c, "circle", PURPLE)
    # a print head: a bar with its dot line
    paint(c, rounded(9, 12, 27, 20, 2), WHITE)
    for i in range(5):
        paint(c, circle(11.5 + i * 3.25, 24.5, 1.3), WHITE)


def symbol_ribbon_error(c):
    badge(c, "square", CRIMSON)
    roll(c, 18, 18, 10, WHITE, CRIMSON)
    cross(c, INK, 5, 2.8)


def symbol_no_paper(c):
    badge(c, "circle", ORANGE)
    sheet(c, 12, 9, 24, 27)
    slash(c, INK)


def symbol_no_toner(c):
    badge(c, "circle", ORANGE)
    drop(c, 18, 8, 20)
    slash(c, INK)


def symbol_ribbon_near_end(c):
    badge(c, "rounded", AMBER)
    roll(c, 18, 18, 9.5, WHITE, AMBER)
    paint(c, circle(18, 18, 5.6), WHITE)
    paint(c, circle(18, 18, 3.4), AMBER)


def symbol_paper_near_end(c):
    badge(c, "rounded", AMBER)
    sheet(c, 11, 8, 25, 28)
    paint(c, rect(13, 22, 23, 25), AMBER)


def symbol_low_toner(c):
    badge(c, "rounded", AMBER)
    drop(c, 18, 7, 22)
    paint(c, rect(12, 11, 24, 20), AMBER, 0.85)


def symbol_service(c):
    badge(c, "rounded", BLUE)
    # a wrench
    paint(c, ring(13, 13, 6, 2.6), WHITE)
    paint(c, rect(8, 6, 13, 12), BLUE)
    paint(c, line([(16.5, 16.5), (26, 26)], 4.2), WHITE)


SYMBOLS = {
    184: symbol_no_answer,
    185: symbol_normal,
    186: symbol_open,
    187: symbol_pause,
    188: symbol_error,
    189: symbol_jammed,
    190: symbol_cutter,
    191: symbol_paper_end,
    192: symbol_ribbon_end,
    193: symbol_head,
    194: symbol_ribbon_error,
    195: symbol_no_paper,
    196: symbol_no_toner,
    197: symbol_ribbon_near_end,
    198: symbol_paper_near_end,
    199: symbol_low_toner,
    200: symbol_service,
    202: symbol_paper_jam,
}

# --------------------------------------------------------------- pictures
# A label printer seen from the front and a little above: body, lid, label
# exit, panel. Each model family changes the proportions and the details.

PLASTIC = (226, 230, 236)
METAL = (120, 128, 140)
DARK = (58, 64, 76)
PANEL = (120, 200, 100)


def printer_picture(width, body, lid, options):
    h = 80
    c = Canvas(width, h)
    left, right = 4, width - 4
    top = options.get("top", 18)
    base = h - 6
    # shadow
    paint(c, rounded(left + 2, base - 3, right + 1, base + 3, 3), (0, 0, 0), 0.18)
    if options.get("handle"):
        handle = ring((left + right) / 2.0, top + 4, (right - left) / 2.0 - 10, 3.2)
        paint(c, ((lambda inside: (lambda x, y: inside(x, y) and y < top + 4))(handle[0]), handle[1]), DARK)
    if options.get("tray"):
        # the paper tray of an office printer, standing up behind the lid
        paint(c, polygon([(left + 16, top + 2), (left + 22, top - 12), (right - 22, top - 12), (right - 16, top + 2)]),
              (252, 252, 248))
        paint(c, polygon([(left + 16, top + 2), (left + 22, top - 12), (right - 22, top - 12), (right - 16, top + 2)]),
              (0, 0, 0), 0.08)
    # body and lid
    paint(c, rounded(left, top + 14, right, base, 5), darker(body, 0.7))
    paint(c, rounded(left + 1.5, top + 15.5, right - 1.5, base - 1.5, 4), body)
    paint(c, rounded(left + 2, top, right - 2, top + 17, 6), darker(lid, 0.72))
    paint(c, rounded(left + 3.5, top + 1.5, right - 3.5, top + 15.5, 5), lid)
    if options.get("window"):
        paint(c, rounded(left + 10, top + 4, right - 30, top + 12, 3), (150, 190, 230), 0.9)
    # label exit with a label coming out
    exit_y = top + 22
    paint(c, rect(left + 8, exit_y, right - 26, exit_y + 2.5), DARK)
    if options.get("card"):
        paint(c, rounded(left + 14, exit_y + 3, right - 34, exit_y + 16, 2), (250, 250, 250))
        paint(c, rect(left + 17, exit_y + 6, left + 27, exit_y + 9), (80, 140, 210))
    else:
        paint(c, rect(left + 12, exit_y + 2.5, right - 30, exit_y + 13), (252, 252, 248))
        paint(c, rect(left + 15, exit_y + 5, right - 40, exit_y + 7), (60, 60, 60), 0.6)
        paint(c, rect(left + 15, exit_y + 8.5, right - 48, exit_y + 10), (60, 60, 60), 0.45)
    # operation panel: display and keys
    px = right - 22
    paint(c, rounded(px - 2, top + 19, right - 4, base - 6, 2), darker(body, 0.85))
    paint(c, rect(px, top + 21, right - 6, top + 27), PANEL)
    for i in range(3):
        paint(c, circle(px + 2.5 + i * 5, top + 32, 1.7), options.get("keys", (70, 120, 200)))
    paint(c, circle(px + 2.5, base - 10, 1.6), (90, 210, 90))
    # feet or stand
    if options.get("stand"):
        paint(c, rect(left + 6, base, left + 14, base + 4), DARK)
        paint(c, rect(right - 14, base, right - 6, base + 4), DARK)
    if options.get("antenna"):
        # an RFID antenna on the lid, sending
        paint(c, rect(right - 13, top - 9, right - 11, top + 1), DARK)
        paint(c, circle(right - 12, top - 10, 2), (200, 60, 60))
        for r in (5, 8.5):
            arc = ring(right - 12, top - 10, r, 1.5)
            paint(c, ((lambda inside: (lambda x, y: inside(x, y) and y < top - 8))(arc[0]), arc[1]), (200, 60, 60))
    if options.get("mark"):
        mark = options["mark"]
        paint(c, rounded(left + 6, base - 12, left + 16, base - 5, 2), mark)
    if options.get("stripe"):
        paint(c, rect(left + 2, base - 4, right - 2, base - 2.5), options["stripe"])
    return c


PICTURES = {
    168: (96, PLASTIC, PLASTIC, {"stripe": (60, 110, 200)}),                          # M-UG2W plastic
    169: (96, METAL, METAL, {"stripe": (60, 110, 200)}),                              # M-UG2W metal, M-UG2W-XY
    170: (100, (210, 212, 216), (180, 184, 190), {"top": 22, "keys": (90, 90, 90), "tray": True}),  # another maker's printer
    210: (123, METAL, DARK, {"window": True, "stand": True}),                         # M-UH7W, M-UH9W
    211: (110, (200, 204, 210), DARK, {"window": True}),                              # M-707
    212: (116, METAL, METAL, {"window": True, "stripe": (220, 60, 60)}),              # M-UH3W, M-UH5W
    213: (116, METAL, METAL, {"window": True, "stripe": (220, 60, 60), "mark": (220, 40, 40)}),  # Japanese model
    214: (104, PLASTIC, (90, 140, 210), {}),                                          # M-313-Y, M-325-Y
    215: (80, (70, 76, 88), (70, 76, 88), {"top": 26, "handle": True}),               # M-PN1 mobile
    216: (123, METAL, DARK, {"window": True, "stand": True, "stripe": (240, 180, 0)}),  # M-UH9Y
    217: (106, PLASTIC, (60, 150, 120), {}),                                          # M-PQ3W, M-PQ3K
    218: (116, PLASTIC, (60, 150, 120), {"window": True}),                            # M-PQ7W
    220: (100, PLASTIC, (150, 90, 190), {}),                                          # M-RB1
    221: (108, METAL, METAL, {"antenna": True, "stripe": (200, 60, 60)}),             # M-RA1K-P, M-RA1K-W
    224: (108, METAL, METAL, {"antenna": True}),                                      # M-RA1
    225: (112, PLASTIC, (50, 90, 160), {"card": True}),                               # M-RC5K
    238: (118, PLASTIC, (30, 60, 120), {"card": True, "window": True}),               # M-RC6K
    228: (90, PLASTIC, PLASTIC, {"mark": (220, 40, 40)}),                             # MC111W plastic (Japanese)
    229: (90, METAL, METAL, {}),                                                      # MC111W metal
    230: (90, PLASTIC, PLASTIC, {"stripe": (60, 110, 200)}),                          # MC111W plastic
    239: (98, (236, 236, 228), (120, 170, 90), {}),                                   # MD111
    240: (102, (236, 236, 228), (120, 170, 90), {"window": True}),                    # MD131
}

# ------------------------------------------------------------------ icons


def view_icon(number):
    c = Canvas(16, 16)
    if number == 160:    # supplies: a toner drop
        drop(c, 8, 1.5, 13, (52, 112, 206))
    elif number == 161:  # input trays
        for y in (4, 8, 12):
            paint(c, rect(2, y, 14, y + 2), (90, 100, 120))
        paint(c, rect(4, 2, 12, 4), (250, 250, 250))
    elif number == 162:  # output bins
        paint(c, polygon([(1, 9), (15, 9), (13, 14), (3, 14)]), (90, 100, 120))
        paint(c, rect(4, 3, 12, 9), (250, 250, 250))
        paint(c, rect(4, 3, 12, 9), (90, 100, 120), 0.25)
    elif number == 163:  # counters
        for i, hgt in enumerate((6, 10, 13)):
            paint(c, rect(2 + i * 4.5, 15 - hgt, 5.5 + i * 4.5, 15), (46, 158, 72))
    elif number == 164:  # maintenance counters
        for i, hgt in enumerate((5, 8, 11)):
            paint(c, rect(1 + i * 3.5, 15 - hgt, 3.5 + i * 3.5, 15), (46, 158, 72))
        paint(c, ring(12, 5, 3.4, 1.6), (90, 100, 120))
        paint(c, line([(9.5, 7.5), (6.5, 10.5)], 1.8), (90, 100, 120))
    elif number == 165:  # information
        paint(c, circle(8, 8, 7), (52, 112, 206))
        paint(c, circle(8, 4.5, 1.3), WHITE)
        paint(c, rect(7, 6.8, 9, 12.5), WHITE)
    elif number == 166:  # memory: a chip
        paint(c, rect(3, 4, 13, 12), (40, 44, 52))
        for i in range(4):
            paint(c, rect(4 + i * 2.6, 1.5, 5.2 + i * 2.6, 4), (170, 170, 170))
            paint(c, rect(4 + i * 2.6, 12, 5.2 + i * 2.6, 14.5), (170, 170, 170))
    elif number == 167:  # settings: sliders
        for y, x in ((3.5, 5), (8, 11), (12.5, 7)):
            paint(c, rect(1.5, y - 0.7, 14.5, y + 0.7), (90, 100, 120))
            paint(c, rect(x - 1.6, y - 2.2, x + 1.6, y + 2.2), (236, 140, 0))
    return c


def connection_icon(connected):
    c = Canvas(16, 16)
    colour = (46, 158, 72) if connected else (200, 40, 40)
    # two plug halves, joined or apart
    gap = 0 if connected else 2.5
    paint(c, rounded(1, 5, 7 - gap / 2, 11, 1.5), colour)
    paint(c, rounded(9 + gap / 2, 5, 15, 11, 1.5), colour)
    paint(c, rect(6 - gap / 2, 6.5, 10 + gap / 2, 7.5) if connected else rect(0, 0, 0, 0), colour)
    paint(c, rect(6 - gap / 2, 8.5, 10 + gap / 2, 9.5) if connected else rect(0, 0, 0, 0), colour)
    if not connected:
        paint(c, line([(5, 14), (11, 2)], 1.6), (60, 60, 60))
    return c


def window_icon():
    c = Canvas(32, 32)
    paint(c, rounded(2, 10, 27, 24, 3), (20, 40, 80))
    paint(c, rounded(3.5, 11.5, 25.5, 22.5, 2), (40, 90, 170))
    paint(c, rect(7, 3, 22, 11), (250, 250, 250))
    paint(c, rect(8, 21, 21, 28), (250, 250, 250))
    paint(c, ring(23, 22, 6.5, 2.4), (236, 140, 0))
    paint(c, line([(27.5, 26.5), (30.5, 29.5)], 3), (236, 140, 0))
    return c


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.abspath(__file__))
    out = []
    for number, draw in SYMBOLS.items():
        c = Canvas(36, 36)
        draw(c)
        out.append(("symbol%d.png" % number, c))
    for number, (width, body, lid, options) in PICTURES.items():
        out.append(("printer%d.png" % number, printer_picture(width, body, lid, options)))
    for number in range(160, 168):
        out.append(("view%d.png" % number, view_icon(number)))
    out.append(("icon138.png", connection_icon(True)))
    out.append(("icon151.png", connection_icon(False)))
    out.append(("icon128.png", window_icon()))
    for name, canvas in out:
        with open(os.path.join(folder, name), "wb") as f:
            f.write(canvas.png())


if __name__ == "__main__":
    main()
