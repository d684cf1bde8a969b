#!/usr/bin/env python3
"""Draws the fax image viewer's toolbar strip and writes it as a 32-bit BMP file with alpha.

    python3 tools/gen_viewer_art.py [OUTPUT_FOLDER]     (default: viewer/resources)

Bitmap 128: 15 images of 21 x 21 in the order of the toolbar's buttons: Hand, Previous page, Next
page, Size adjustment, Enlarge, Reduce, Rotate left, Rotate right, Rotate 180, Invert, Grayscale,
Entire page, Page and reduced display, Reduced display, Version information. Standard library
only; the output is the same on every run.
"""
import os
import sys
from functools import partial

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from gen_cover_art import Strip, glass, page  # noqa: E402
from gen_wizard_art import BLACK, BLUE, GREY, LIGHT, PAPER, WHITE, YELLOW  # noqa: E402


def hand(c):
    c.fill(6, 8, 15, 17, YELLOW)
    for x in (6, 9, 12, 15):
        c.fill(x, 3, x + 1, 9, YELLOW)
        c.frame(x, 3, x + 1, 9, BLACK)
    c.frame(6, 8, 16, 17, BLACK)
    c.line(3, 10, 6, 13, BLACK)


def arrow(c, right):
    for i in range(7):
        x = 7 + i if right else 13 - i
        c.line(x, 4 + i, x, 16 - i, BLUE)




def fit(c):
    page(c, 5, 2, 15, 18)
    c.line(1, 10, 19, 10, BLUE)
    c.line(1, 10, 4, 7, BLUE)
    c.line(1, 10, 4, 13, BLUE)
    c.line(19, 10, 16, 7, BLUE)
    c.line(19, 10, 16, 13, BLUE)




def turn(c, left):
    page(c, 6, 6, 16, 19)
    for i in range(9):
        x = 4 + i if left else 16 - i
        c.dot(x, 3 + abs(4 - i) // 2, BLUE)
    tip = 4 if left else 16
    c.line(tip, 1, tip, 5, BLUE)
    c.line(tip, 5, tip + (3 if left else -3), 5, BLUE)




def rotate_half(c):
    page(c, 4, 4, 16, 17)
    c.line(6, 2, 14, 2, BLUE)
    c.line(6, 19, 14, 19, BLUE)
    c.line(2, 6, 2, 15, BLUE)
    c.line(18, 6, 18, 15, BLUE)


def invert(c):
    c.box(3, 3, 17, 17, WHITE, BLACK)
    c.fill(10, 4, 16, 16, BLACK)


def grey(c):
    c.box(3, 3, 17, 17, WHITE, BLACK)
    for i, colour in enumerate((LIGHT, GREY, BLACK)):
        c.fill(4 + 4 * i, 4, 7 + 4 * i, 16, colour)


def entire(c):
    page(c, 5, 2, 15, 18)


def page_and_reduced(c):
    for y in (2, 8, 14):
        c.box(1, y, 5, y + 4, PAPER, GREY)
    page(c, 8, 2, 19, 18)


def reduced(c):
    for x in (2, 8, 14):
        for y in (2, 10):
            c.box(x, y, x + 4, y + 6, PAPER, GREY)


def about(c):
    c.disk(10, 10, 8, BLUE)
    c.fill(9, 4, 11, 6, WHITE)
    c.fill(9, 8, 11, 16, WHITE)


BUTTONS = [hand, partial(arrow, right=False), partial(arrow, right=True), fit, partial(glass, plus=True),
           partial(glass, plus=False), partial(turn, left=True), partial(turn, left=False), rotate_half, invert, grey,
           entire, page_and_reduced, reduced, about]


def toolbar():
    strip = Strip(len(BUTTONS))
    for index, draw in enumerate(BUTTONS):
        draw(strip.at(index))
    return strip


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    folder_path = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "viewer", "resources")
    with open(os.path.join(folder_path, "toolbar128.bmp"), "wb") as out:
        out.write(toolbar().bmp())


if __name__ == "__main__":
    main()
