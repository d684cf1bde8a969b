#!/usr/bin/env python3
"""Draws the send wizard's small pictures and writes them as 32-bit BMP files with alpha.

    python3 tools/gen_wizard_art.py [OUTPUT_FOLDER]     (default: sendwizard/resources)

Icons (16 x 16): 135 FAX destination, 136 I-FAX destination, 137 reception confirm on, 138 reception
confirm off, 131 folder, 134 protected folder, 139 main folder. Bitmaps (24 x 16) of the header tag
buttons: 141 date, 142 user, 143 telephone number, 144 page number. Standard library only; the
output is the same on every run.
"""
import os
import struct
import sys

CLEAR = (0, 0, 0, 0)
BLACK = (40, 40, 40, 255)
GREY = (128, 128, 128, 255)
LIGHT = (200, 200, 200, 255)
WHITE = (255, 255, 255, 255)
PAPER = (250, 250, 245, 255)
BLUE = (40, 90, 180, 255)
SKY = (120, 170, 230, 255)
GREEN = (30, 150, 60, 255)
RED = (200, 40, 40, 255)
YELLOW = (240, 200, 80, 255)
AMBER = (200, 150, 40, 255)
SKIN = (235, 190, 150, 255)


class Canvas:
    def __init__(self, width, height):
        self.width, self.height = width, height
        self.pixels = [[CLEAR] * width for _ in range(height)]

    def dot(self, x, y, colour):
        if 0 <= x < self.width and 0 <= y < self.height:
            self.pixels[y][x] = colour

    def fill(self, x0, y0, x1, y1, colour):
        """Fills the rectangle with corners (x0, y0) and (x1, y1), both included."""
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                self.dot(x, y, colour)

    def frame(self, x0, y0, x1, y1, colour):
        self.line(x0, y0, x1, y0, colour)
        self.line(x0, y1, x1, y1, colour)
        self.line(x0, y0, x0, y1, colour)
        self.line(x1, y0, x1, y1, colour)

    def box(self, x0, y0, x1, y1, inside, edge):
        self.fill(x0, y0, x1, y1, inside)
        self.frame(x0, y0, x1, y1, edge)

    def line(self, x0, y0, x1, y1, colour):
        dx, dy = abs(x1 - x0), -abs(y1 - y0)
        sx, sy = (1 if x0 < x1 else -1), (1 if y0 < y1 else -1)
        error = dx + dy
        while True:
            self.dot(x0, y0, colour)
            if x0 == x1 and y0 == y1:
                return
            twice = 2 * error
            if twice >= dy:
                error += dy
                x0 += sx
            if twice <= dx:
                error += dx
                y0 += sy

    def disk(self, cx, cy, radius, colour):
        for y in range(self.height):
            for x in range(self.width):
                if (x - cx) ** 2 + (y - cy) ** 2 <= radius * radius:
                    self.dot(x, y, colour)

    def bmp(self):
        """The picture as a BMP file: a version 5 header, bit fields with an alpha mask, bottom-up."""
        rows = b"".join(
            bytes(channel for (r, g, b, a) in self.pixels[y] for channel in (b, g, r, a))
            for y in reversed(range(self.height)))
        header = struct.pack(
            "<IiiHHIIiiII" + "IIII" + "I" + "36s" + "III" + "IIII",
            124, self.width, self.height, 1, 32, 3, len(rows), 2835, 2835, 0, 0,
            0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000,
            0x73524742,  # sRGB
            bytes(36), 0, 0, 0,
            4, 0, 0, 0)  # rendering intent: images
        offset = 14 + len(header)
        return struct.pack("<2sIHHI", b"BM", offset + len(rows), 0, 0, offset) + header + rows


def fax_machine():
    c = Canvas(16, 16)
    c.box(4, 1, 11, 7, PAPER, GREY)           # the sheet coming out
    for y in (3, 5):
        c.line(6, y, 9, y, GREY)
    c.box(1, 7, 14, 14, LIGHT, BLACK)         # the body
    c.fill(2, 8, 4, 13, GREY)                 # the handset
    for y in (9, 11, 13):                     # the keys
        for x in (7, 9, 11):
            c.dot(x, y, BLUE)
    return c


def envelope():
    c = Canvas(16, 16)
    c.box(1, 3, 14, 12, WHITE, BLUE)
    c.line(1, 3, 7, 8, BLUE)
    c.line(14, 3, 8, 8, BLUE)
    c.line(1, 12, 6, 8, SKY)
    c.line(14, 12, 9, 8, SKY)
    return c


def confirm(on):
    c = Canvas(16, 16)
    c.box(2, 2, 13, 13, WHITE, GREY)
    if on:
        for dy in (0, 1):
            c.line(4, 7 + dy, 6, 9 + dy, GREEN)
            c.line(6, 9 + dy, 11, 4 + dy, GREEN)
    return c


def folder(body, edge):
    c = Canvas(16, 16)
    c.box(1, 3, 6, 5, body, edge)             # the tab
    c.box(1, 5, 14, 13, body, edge)
    c.line(2, 6, 13, 6, WHITE)
    return c


def protected_folder():
    c = folder(YELLOW, AMBER)
    c.fill(9, 8, 15, 15, CLEAR)
    c.frame(10, 8, 13, 11, BLACK)             # the shackle
    c.box(9, 11, 14, 15, AMBER, BLACK)         # the lock's body
    c.dot(11, 13, BLACK)
    c.dot(12, 13, BLACK)
    return c


def main_folder():
    c = folder(SKY, BLUE)
    # A small house on the folder.
    c.line(5, 10, 8, 7, WHITE)
    c.line(8, 7, 11, 10, WHITE)
    c.fill(6, 10, 10, 12, WHITE)
    c.fill(8, 11, 8, 12, BLUE)
    return c


def tag_date():
    c = Canvas(24, 16)
    c.box(6, 2, 17, 14, WHITE, BLACK)
    c.fill(7, 3, 16, 5, RED)
    c.dot(9, 1, BLACK)
    c.dot(14, 1, BLACK)
    for y in (8, 10, 12):
        for x in (8, 10, 12, 14):
            c.dot(x, y, GREY)
    c.dot(12, 10, RED)
    return c


def tag_user():
    c = Canvas(24, 16)
    c.disk(11.5, 5, 3.2, SKIN)
    c.fill(10, 2, 13, 2, AMBER)
    c.disk(11.5, 17, 6.5, BLUE)
    return c


def tag_telephone():
    c = Canvas(24, 16)
    c.fill(6, 2, 17, 3, BLACK)                # the handset
    c.fill(4, 2, 7, 6, BLACK)
    c.fill(16, 2, 19, 6, BLACK)
    c.box(7, 7, 16, 14, LIGHT, BLACK)          # the body
    for y in (9, 11, 13):
        for x in (9, 11, 13):
            c.dot(x + 1, y, BLUE)
    return c


def tag_page():
    c = Canvas(24, 16)
    c.box(6, 1, 16, 14, WHITE, BLACK)
    c.line(13, 1, 16, 4, BLACK)               # the folded corner
    c.fill(14, 1, 16, 2, CLEAR)
    c.dot(16, 3, CLEAR)
    c.line(13, 1, 13, 4, BLACK)
    c.line(13, 4, 16, 4, BLACK)
    # "#" in the page.
    c.line(9, 6, 9, 12, BLUE)
    c.line(12, 6, 12, 12, BLUE)
    c.line(8, 8, 13, 8, BLUE)
    c.line(8, 10, 13, 10, BLUE)
    return c


PICTURES = {
    "icon135.bmp": fax_machine,
    "icon136.bmp": envelope,
    "icon137.bmp": lambda: confirm(True),
    "icon138.bmp": lambda: confirm(False),
    "icon131.bmp": lambda: folder(YELLOW, AMBER),
    "icon134.bmp": protected_folder,
    "icon139.bmp": main_folder,
    "tag141.bmp": tag_date,
    "tag142.bmp": tag_user,
    "tag143.bmp": tag_telephone,
    "tag144.bmp": tag_page,
}


def write_files(default_folder, files):
    """Writes each file (name: bytes) to the folder the command line names, else to default_folder
    (relative to the repository's root)."""
    here = os.path.dirname(os.path.abspath(__file__))
    folder_path = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", default_folder)
    for name, data in files.items():
        with open(os.path.join(folder_path, name), "wb") as out:
            out.write(data)


def main():
    write_files("sendwizard/resources", {name: draw().bmp() for name, draw in PICTURES.items()})


if __name__ == "__main__":
    main()
