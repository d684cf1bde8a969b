#!/usr/bin/env python3
"""Draws the driver environment program's printer list icons (16 x 16, 32-bit BMP with alpha).

    python3 tools/gen_envsetup_art.py [OUTPUT_FOLDER]     (default: envsetup/resources)

133 printer, 134 network printer, 135 printer (the list's rows), 132 the printer faxes go to (a
green check on the printer). The drawing helpers are the send wizard's (gen_wizard_art.py).
Standard library only; the output is the same on every run.
"""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from gen_wizard_art import BLACK, BLUE, Canvas, GREEN, GREY, LIGHT, PAPER, WHITE, write_files  # noqa: E402


def printer():
    c = Canvas(16, 16)
    c.box(4, 1, 11, 6, PAPER, GREY)           # the paper in the tray
    c.box(1, 6, 14, 12, LIGHT, BLACK)         # the body
    c.box(4, 10, 11, 14, WHITE, GREY)         # the sheet coming out
    c.dot(12, 8, GREEN)                       # the power light
    return c


def network_printer():
    c = printer()
    c.line(13, 13, 15, 13, BLUE)              # the cable
    c.line(15, 13, 15, 15, BLUE)
    c.fill(13, 14, 14, 15, BLUE)
    return c


def chosen_printer():
    c = printer()
    c.line(8, 11, 10, 13, GREEN)              # the check mark
    c.line(10, 13, 15, 8, GREEN)
    c.line(8, 12, 10, 14, GREEN)
    c.line(10, 14, 15, 9, GREEN)
    return c


PICTURES = {
    "icon133.bmp": printer,
    "icon134.bmp": network_printer,
    "icon135.bmp": printer,
    "icon132.bmp": chosen_printer,
}


def main():
    write_files("envsetup/resources", {name: draw().bmp() for name, draw in PICTURES.items()})


if __name__ == "__main__":
    main()
