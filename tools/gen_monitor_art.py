#!/usr/bin/env python3
"""Draws the result monitor's icons and makes its sounds.

    python3 tools/gen_monitor_art.py [OUTPUT_FOLDER]     (default: resultmonitor/resources)

Icons (32-bit BMP with alpha, drawn with the wizard's canvas of tools/gen_wizard_art.py): 128 the
tray icon (16 x 16); 133 job reserved, 134 job finished, 135 job cancelled, 136 job failed
(32 x 32); the settings page's corner pictures (40 x 30), a screen with the pop-up at a corner:
137 top left, 138 top right, 139 bottom left, 140 bottom right, and the same corners selected:
142, 144, 141, 143. Sounds (16-bit mono PCM WAVE, 22,050 Hz, a few short tones): 139 job reserved,
141 job finished, 142 job failed, 143 job cancelled and the status pop-up. Standard library only;
the output is the same on every run.
"""
import math
import os
import struct
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from gen_wizard_art import (AMBER, BLACK, BLUE, Canvas, GREEN, GREY, LIGHT, PAPER, RED, SKY, WHITE,  # noqa: E402
                            write_files)

TEAL = (0, 224, 224, 255)
DARK_TEAL = (0, 128, 128, 255)


def tray():
    c = Canvas(16, 16)
    c.box(1, 3, 14, 12, PAPER, GREY)          # a sheet seen from the side
    c.line(3, 6, 12, 6, BLUE)
    c.line(3, 8, 10, 8, BLUE)
    c.disk(12, 11, 3, GREEN)                  # the result's light
    c.dot(12, 11, WHITE)
    return c


def result(colour, mark):
    c = Canvas(32, 32)
    c.box(3, 5, 24, 28, PAPER, GREY)          # the fax page
    for y in (10, 13, 16, 19):
        c.line(6, y, 20, y, LIGHT)
    c.disk(23, 22, 8, colour)
    mark(c)
    return c


def tick(c):
    c.line(19, 22, 22, 25, WHITE)
    c.line(22, 25, 27, 19, WHITE)
    c.line(19, 23, 22, 26, WHITE)
    c.line(22, 26, 27, 20, WHITE)


def clock(c):
    c.disk(23, 22, 5, WHITE)
    c.line(23, 22, 23, 18, BLACK)
    c.line(23, 22, 26, 22, BLACK)


def bar(c):
    c.fill(18, 21, 28, 23, WHITE)


def cross(c):
    for d in (0, 1):
        c.line(19 + d, 18, 27 + d, 26, WHITE)
        c.line(27 + d, 18, 19 + d, 26, WHITE)


def corner(position, selected):
    """A screen with the pop-up at a corner (0 top left, 1 top right, 2 bottom left, 3 bottom right)."""
    c = Canvas(40, 30)
    c.box(0, 0, 39, 25, SKY, BLACK)           # the screen
    c.fill(17, 26, 22, 27, GREY)              # its stand
    c.fill(11, 28, 28, 29, GREY)
    left = 3 if position in (0, 2) else 22
    top = 3 if position in (0, 1) else 15
    c.box(left, top, left + 14, top + 7, TEAL if selected else LIGHT, DARK_TEAL if selected else GREY)
    c.line(left + 3, top + 3, left + 11, top + 3, BLUE if selected else GREY)
    if selected:
        c.frame(left - 1, top - 1, left + 15, top + 8, AMBER)
    return c


PICTURES = {
    "icon128.bmp": tray,
    "icon133.bmp": lambda: result(BLUE, clock),
    "icon134.bmp": lambda: result(GREEN, tick),
    "icon135.bmp": lambda: result(AMBER, bar),
    "icon136.bmp": lambda: result(RED, cross),
    "icon137.bmp": lambda: corner(0, False),
    "icon138.bmp": lambda: corner(1, False),
    "icon139.bmp": lambda: corner(2, False),
    "icon140.bmp": lambda: corner(3, False),
    "icon142.bmp": lambda: corner(0, True),
    "icon144.bmp": lambda: corner(1, True),
    "icon141.bmp": lambda: corner(2, True),
    "icon143.bmp": lambda: corner(3, True),
}

RATE = 22050


def wave(tones):
    """A WAVE file of the tones, each (frequency in Hz, length in ms), with soft edges."""
    samples = []
    for frequency, length in tones:
        count = RATE * length // 1000
        fade = min(count // 4, RATE // 200)
        for i in range(count):
            gain = min(1.0, i / fade, (count - 1 - i) / fade) if fade else 1.0
            value = 0 if frequency == 0 else math.sin(2 * math.pi * frequency * i / RATE)
            samples.append(int(round(9000 * gain * value)))
    data = struct.pack("<%dh" % len(samples), *samples)
    fmt = struct.pack("<HHIIHH", 1, 1, RATE, RATE * 2, 2, 16)
    return (b"RIFF" + struct.pack("<I", 4 + 8 + len(fmt) + 8 + len(data)) + b"WAVE"
            + b"fmt " + struct.pack("<I", len(fmt)) + fmt + b"data" + struct.pack("<I", len(data)) + data)


SOUNDS = {
    "wave139.wav": [(660, 120)],                           # reserved: one short tone
    "wave141.wav": [(660, 110), (0, 30), (880, 160)],      # finished: rising
    "wave142.wav": [(440, 160), (0, 40), (330, 240)],      # failed: falling
    "wave143.wav": [(520, 90), (0, 40), (520, 90)],        # cancelled and the status: two taps
}


def main():
    files = {name: draw().bmp() for name, draw in PICTURES.items()}
    files.update({name: wave(tones) for name, tones in SOUNDS.items()})
    write_files("resultmonitor/resources", files)


if __name__ == "__main__":
    main()
