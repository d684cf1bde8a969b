#!/usr/bin/env python3
"""Draws the fax image viewer's toolbar strip and writes it as a 32-bit BMP file with alpha.

    python3 tools/gen_viewer_art.py [OUTPUT_FOLDER]     (default: viewer/resources)

Bitmap 128: 15 images of 21 x 21 in the order of the toolbar's buttons: Hand, Previous page, Next
page, Size adjustment, Enlarge, Reduce, Rotate left, Rotate right, Rotate 180, Invert, Grayscale,
Entire page, Page and reduced display, Reduced display, Version information.
Cursors 141 to 149 (annotation tools 2 to 10: freehand, marker, line, rectangle, paint rectangle,
text, patch memo, copy text from file, stamp) and 174 to 176 (the tilt tool: a new reference line,
off the line, on the line): 32 x 32 .cur files of one PNG image each, the hot spot at the cross
(the pencil's point for freehand). Standard library only; the output is the same on every run.
"""
import os
import struct
import sys
import zlib
from functools import partial

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from gen_cover_art import Strip, glass, page  # noqa: E402
from gen_wizard_art import BLACK, BLUE, GREY, LIGHT, PAPER, RED, SKY, WHITE, YELLOW, Canvas  # noqa: E402


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


def png(c):
    """The picture as a PNG file: 8-bit RGBA, no filter."""
    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))
    rows = b"".join(b"\0" + bytes(ch for pixel in c.pixels[y] for ch in pixel) for y in range(c.height))
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", c.width, c.height, 8, 6, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(rows, 9)) + chunk(b"IEND", b""))


def cur(c, hot_x, hot_y):
    """A .cur file of one image: the directory, its entry with the hot spot, then the PNG."""
    image = png(c)
    return struct.pack("<HHH", 0, 2, 1) + struct.pack("<BBBBHHII", c.width % 256, c.height % 256, 0, 0, hot_x,
                                                        hot_y, len(image), 22) + image


def cross(c, x, y):
    """A cross with its centre at (x, y), white edged so that it shows on black and on white."""
    for dx, dy in ((-1, 0), (1, 0), (0, -1), (0, 1)):
        c.line(x - 7 + dx, y + dy, x + 7 + dx, y + dy, WHITE)
        c.line(x + dx, y - 7 + dy, x + dx, y + 7 + dy, WHITE)
    c.line(x - 7, y, x + 7, y, BLACK)
    c.line(x, y - 7, x, y + 7, BLACK)


def pencil(c):
    for i in range(12):
        c.line(3 + i, 14 + i - 12, 3 + i, 16 + i - 12, WHITE)
    for i in range(10):
        c.fill(4 + i, 6 + i - 4, 7 + i, 9 + i - 4, YELLOW)
    c.line(1, 1, 4, 4, BLACK)
    c.line(3, 2, 16, 15, BLACK)
    c.line(2, 3, 15, 16, BLACK)


def emblem_marker(c):
    c.fill(17, 17, 30, 24, YELLOW)
    c.frame(17, 17, 30, 24, BLACK)


def emblem_line(c):
    c.line(17, 29, 30, 16, BLACK)
    c.line(18, 29, 30, 17, BLACK)


def emblem_rectangle(c):
    c.frame(17, 17, 30, 28, BLACK)
    c.frame(18, 18, 29, 27, BLACK)


def emblem_paint(c):
    c.box(17, 17, 30, 28, BLUE, BLACK)


def emblem_text(c):
    c.fill(18, 17, 30, 19, BLACK)
    c.fill(23, 17, 25, 30, BLACK)


def emblem_memo(c):
    c.box(17, 16, 30, 29, YELLOW, BLACK)
    for y in (20, 23, 26):
        c.line(19, y, 28, y, BLACK)


def emblem_file_text(c):
    c.box(18, 15, 29, 30, PAPER, BLACK)
    c.fill(20, 18, 27, 19, BLACK)
    c.fill(23, 18, 24, 27, BLACK)


def emblem_stamp(c):
    c.disk(24, 23, 7, RED)
    c.disk(24, 23, 5, WHITE)
    c.disk(24, 23, 3, RED)


def emblem_new_line(c):
    c.line(16, 30, 30, 24, BLUE)
    c.line(16, 29, 30, 23, BLUE)


def emblem_off_line(c):
    c.line(16, 30, 30, 24, GREY)
    c.frame(15, 28, 18, 31, BLACK)
    c.frame(28, 22, 31, 25, BLACK)


def emblem_on_line(c):
    c.line(16, 30, 30, 24, BLUE)
    for dx, dy in ((-3, 0), (3, 0), (0, -3), (0, 3)):
        c.line(23, 27, 23 + dx, 27 + dy, BLACK)


def tool_cursor(emblem):
    c = Canvas(32, 32)
    cross(c, 8, 8)
    emblem(c)
    return cur(c, 8, 8)


def freehand_cursor():
    c = Canvas(32, 32)
    pencil(c)
    return cur(c, 1, 1)


CURSORS = {
    141: freehand_cursor,
    142: partial(tool_cursor, emblem_marker),
    143: partial(tool_cursor, emblem_line),
    144: partial(tool_cursor, emblem_rectangle),
    145: partial(tool_cursor, emblem_paint),
    146: partial(tool_cursor, emblem_text),
    147: partial(tool_cursor, emblem_memo),
    148: partial(tool_cursor, emblem_file_text),
    149: partial(tool_cursor, emblem_stamp),
    174: partial(tool_cursor, emblem_new_line),
    175: partial(tool_cursor, emblem_off_line),
    176: partial(tool_cursor, emblem_on_line),
}


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    folder_path = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "viewer", "resources")
    with open(os.path.join(folder_path, "toolbar128.bmp"), "wb") as out:
        out.write(toolbar().bmp())
    for cursor_id, draw in CURSORS.items():
        with open(os.path.join(folder_path, "cursor%d.cur" % cursor_id), "wb") as out:
            out.write(draw())


if __name__ == "__main__":
    main()
