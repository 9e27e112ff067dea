#!/usr/bin/env python3
"""Makes the system setting tool's five tree pictures (12x12 PNG, icons 200
to 204 of its language library): a folder, a value that cannot be changed,
an editable value, a changed value and a value not read. Run it again after
changing a picture; the PNG files are kept with the sources. Needs nothing
beyond the Python standard library (and make_icons.py beside it)."""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from make_icons import png  # noqa: E402

# One character a pixel: "." clear, the others from COLOURS.
COLOURS = {
    "o": (120, 90, 20, 255),     # folder outline
    "y": (240, 200, 90, 255),    # folder
    "g": (130, 130, 130, 255),   # read only
    "l": (200, 200, 200, 255),
    "G": (40, 150, 60, 255),     # editable
    "O": (230, 120, 20, 255),    # changed
    "w": (255, 255, 255, 255),
    "b": (90, 120, 200, 255),    # unknown
}

PICTURES = {
    "icon200_folder.png": [
        "............",
        "............",
        ".oooo.......",
        "oyyyyo......",
        "oyyyyoooooo.",
        "oyyyyyyyyyyo",
        "oyyyyyyyyyyo",
        "oyyyyyyyyyyo",
        "oyyyyyyyyyyo",
        "oyyyyyyyyyyo",
        ".oooooooooo.",
        "............",
    ],
    # A padlock: the value is shown, not changed.
    "icon201_read_only.png": [
        "............",
        "....gggg....",
        "...g....g...",
        "...g....g...",
        "...g....g...",
        "..gggggggg..",
        "..gllllllg..",
        "..gllggllg..",
        "..gllggllg..",
        "..gllllllg..",
        "..gggggggg..",
        "............",
    ],
    "icon202_editable.png": [
        "............",
        "....GGGG....",
        "..GGGGGGGG..",
        "..GGGGGGGG..",
        ".GGGGGGGGGG.",
        ".GGGGGGGGGG.",
        ".GGGGGGGGGG.",
        ".GGGGGGGGGG.",
        "..GGGGGGGG..",
        "..GGGGGGGG..",
        "....GGGG....",
        "............",
    ],
    # A pencil mark on orange: changed, waiting to be written.
    "icon203_changed.png": [
        "............",
        "....OOOO....",
        "..OOOOOOOO..",
        "..OOOOOOwO..",
        ".OOOOOOwwOO.",
        ".OOOOOwwOOO.",
        ".OOOOwwOOOO.",
        ".OOOwwOOOOO.",
        "..OwwOOOOO..",
        "..OwOOOOOO..",
        "....OOOO....",
        "............",
    ],
    "icon204_unknown.png": [
        "............",
        "....bbbb....",
        "..bbwwwwbb..",
        "..bwbbbbwb..",
        ".bbbbbbbwbb.",
        ".bbbbbbwbbb.",
        ".bbbbbwbbbb.",
        ".bbbbbwbbbb.",
        "..bbbbbbbb..",
        "..bbbbwbbb..",
        "....bbbb....",
        "............",
    ],
}


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    for name, rows in PICTURES.items():
        assert len(rows) == 12 and all(len(r) == 12 for r in rows), name
        pixels = [[COLOURS.get(c, (0, 0, 0, 0)) for c in row] for row in rows]
        with open(os.path.join(here, name), "wb") as f:
            f.write(png(pixels))


if __name__ == "__main__":
    main()
