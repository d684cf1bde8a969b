#!/usr/bin/env python3
"""Draws the cover sheet editor's pictures and writes them as 32-bit BMP files with alpha.

    python3 tools/gen_cover_art.py [OUTPUT_FOLDER]     (default: cover/editor/resources)

Icon 2 (32 x 32): the program. Bitmap 2: the toolbar strip, 13 images of 21 x 21 in the order of
the toolbar's buttons: Save, Print, Print preview, Cut, Copy, Paste, Bring to front, Send to back,
Font, Font size, Bold, Italic, Underline. The preview bars' buttons "ZOOMIN", "ZOOMOUT" and
"PRINT" (44 x 27), each in four states named by a suffix: U up, D down, F focused, X disabled
(zoominu.bmp ... printx.bmp). Standard library only; the output is the same on every run.
"""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from gen_wizard_art import BLACK, BLUE, CLEAR, GREY, LIGHT, PAPER, RED, SKY, WHITE, YELLOW, Canvas  # noqa: E402

SIZE = 21


class Strip(Canvas):
    """Images side by side; draw() offsets every call by the current image."""

    def __init__(self, count):
        super().__init__(SIZE * count, SIZE)
        self.x = 0

    def at(self, index):
        self.x = index * SIZE
        return self

    def dot(self, x, y, colour):
        if 0 <= x < SIZE:
            super().dot(self.x + x, y, colour)


def page(c, x0, y0, x1, y1):
    c.box(x0, y0, x1, y1, PAPER, GREY)
    for y in range(y0 + 3, y1 - 1, 2):
        c.line(x0 + 2, y, x1 - 2, y, LIGHT)


def save(c):
    c.box(3, 3, 17, 17, BLUE, BLACK)
    c.box(6, 3, 14, 8, WHITE, BLACK)
    c.fill(11, 4, 12, 7, GREY)
    c.box(6, 11, 14, 17, LIGHT, BLACK)


def printer(c):
    page(c, 6, 2, 14, 8)
    c.box(2, 8, 18, 14, LIGHT, BLACK)
    c.dot(15, 10, RED)
    page(c, 5, 14, 15, 18)


def preview(c):
    page(c, 3, 2, 13, 17)
    c.disk(13, 11, 4, SKY)
    c.disk(13, 11, 2, WHITE)
    c.line(16, 14, 19, 18, BLACK)
    c.line(16, 15, 18, 18, BLACK)


def cut(c):
    c.line(6, 2, 12, 12, GREY)
    c.line(14, 2, 8, 12, GREY)
    c.disk(6, 15, 3, BLACK)
    c.disk(6, 15, 1, WHITE)
    c.disk(14, 15, 3, BLACK)
    c.disk(14, 15, 1, WHITE)


def copy(c):
    page(c, 2, 2, 11, 13)
    page(c, 8, 7, 17, 18)


def paste(c):
    c.box(3, 3, 14, 18, YELLOW, BLACK)
    c.box(6, 1, 11, 4, GREY, BLACK)
    page(c, 9, 8, 18, 19)


def front(c):
    c.box(2, 2, 12, 12, LIGHT, GREY)
    c.box(7, 7, 18, 18, SKY, BLACK)


def back(c):
    c.box(7, 7, 18, 18, LIGHT, GREY)
    c.box(2, 2, 12, 12, SKY, BLACK)


def letter_a(c, x0, y0, height, colour):
    half = height // 2
    c.line(x0, y0 + height, x0 + half, y0, colour)
    c.line(x0 + half, y0, x0 + 2 * half, y0 + height, colour)
    c.line(x0 + half // 2, y0 + half + 1, x0 + half + half // 2, y0 + half + 1, colour)


def font(c):
    letter_a(c, 3, 3, 14, BLACK)
    letter_a(c, 4, 3, 14, BLACK)


def font_size(c):
    letter_a(c, 1, 10, 7, BLACK)
    letter_a(c, 9, 3, 14, BLACK)


def bold(c):
    for dx in (0, 1, 2):
        c.line(6 + dx, 3, 6 + dx, 17, BLACK)
    for dx in (0, 1):
        c.line(8, 3 + dx, 12, 3 + dx, BLACK)
        c.line(8, 9 + dx, 13, 9 + dx, BLACK)
        c.line(8, 16 + dx, 13, 16 + dx, BLACK)
        c.line(12 + dx, 4, 12 + dx, 8, BLACK)
        c.line(13 + dx, 11, 13 + dx, 15, BLACK)


def italic(c):
    c.line(8, 3, 14, 3, BLACK)
    c.line(5, 17, 11, 17, BLACK)
    c.line(11, 3, 8, 17, BLACK)
    c.line(12, 3, 9, 17, BLACK)


def underline(c):
    for dx in (0, 1):
        c.line(5 + dx, 2, 5 + dx, 12, BLACK)
        c.line(14 + dx, 2, 14 + dx, 12, BLACK)
    c.line(6, 13, 14, 13, BLACK)
    c.line(7, 14, 13, 14, BLACK)
    c.line(4, 17, 16, 17, BLACK)


BUTTONS = [save, printer, preview, cut, copy, paste, front, back, font, font_size, bold, italic, underline]


def toolbar():
    strip = Strip(len(BUTTONS))
    for index, draw in enumerate(BUTTONS):
        draw(strip.at(index))
    return strip


def program_icon():
    c = Canvas(32, 32)
    c.box(5, 1, 25, 30, PAPER, BLACK)
    c.fill(8, 4, 22, 7, BLUE)
    for y in (11, 14, 17):
        c.line(8, y, 22, y, GREY)
    c.frame(8, 20, 22, 27, GREY)
    c.line(18, 29, 30, 17, RED)
    c.line(19, 29, 31, 17, RED)
    c.line(17, 30, 18, 29, BLACK)
    return c


BUTTON_WIDTH, BUTTON_HEIGHT = 44, 27


def glass(c, plus):
    """A magnifying glass, with a plus to enlarge or a minus to reduce."""
    c.disk(8, 8, 6, BLACK)
    c.disk(8, 8, 5, SKY)
    c.line(5, 8, 11, 8, BLACK)
    if plus:
        c.line(8, 5, 8, 11, BLACK)
    c.line(12, 12, 18, 18, BLACK)
    c.line(13, 12, 19, 18, BLACK)


GLYPHS = {
    "ZOOMIN": lambda c: glass(c, True),
    "ZOOMOUT": lambda c: glass(c, False),
    "PRINT": printer,
}


def dark(colour):
    r, g, b, a = colour
    return a and r * 3 + g * 6 + b < 1600


def preview_button(name, state):
    """The whole face of a preview bar button: its bevel and its picture for state U, D, F or X."""
    glyph = Canvas(SIZE, SIZE)
    GLYPHS[name](glyph)
    c = Canvas(BUTTON_WIDTH, BUTTON_HEIGHT)
    right, bottom = BUTTON_WIDTH - 1, BUTTON_HEIGHT - 1
    c.fill(0, 0, right, bottom, LIGHT)
    down = state == "D"
    light, shade = (GREY, WHITE) if down else (WHITE, GREY)
    c.frame(0, 0, right, bottom, BLACK)
    c.line(1, 1, right - 1, 1, light)
    c.line(1, 1, 1, bottom - 1, light)
    c.line(1, bottom - 1, right - 1, bottom - 1, shade)
    c.line(right - 1, 1, right - 1, bottom - 1, shade)
    x0, y0 = (BUTTON_WIDTH - SIZE) // 2 + down, (BUTTON_HEIGHT - SIZE) // 2 + down
    for y in range(SIZE):
        for x in range(SIZE):
            colour = glyph.pixels[y][x]
            if state != "X":
                if colour[3]:
                    c.dot(x0 + x, y0 + y, colour)
            elif dark(colour):
                c.dot(x0 + x + 1, y0 + y + 1, WHITE)  # embossed, as a disabled button is drawn
    if state == "X":
        for y in range(SIZE):
            for x in range(SIZE):
                if dark(glyph.pixels[y][x]):
                    c.dot(x0 + x, y0 + y, GREY)
    if state == "F":
        for x in range(4, right - 3, 2):  # the dotted focus rectangle
            c.dot(x, 3, BLACK)
            c.dot(x, bottom - 3, BLACK)
        for y in range(4, bottom - 3, 2):
            c.dot(3, y, BLACK)
            c.dot(right - 3, y, BLACK)
    return c


PICTURES = {
    "icon2.bmp": program_icon,
    "toolbar2.bmp": toolbar,
}
for _name in GLYPHS:
    for _state in "UDFX":
        PICTURES[(_name + _state).lower() + ".bmp"] = (lambda n, s: lambda: preview_button(n, s))(_name, _state)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    folder_path = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "cover", "editor", "resources")
    for name, draw in PICTURES.items():
        with open(os.path.join(folder_path, name), "wb") as out:
            out.write(draw().bmp())


if __name__ == "__main__":
    main()
