#!/usr/bin/env python3
"""Writes the two small pictures of the hello example:

- hello.ico: one 32x32 image with 256 colours, the form an uninstaller icon
  must have (it replaces the stub's own icon image byte for byte);
- background.bmp: an 8x64 true-colour vertical gradient, which the setup
  window stretches over the whole screen.

Run it from anywhere; the files land beside this script.
"""
import struct
from pathlib import Path

HERE = Path(__file__).resolve().parent


def icon():
    size = 32
    palette = [(0, 0, 0)] * 256
    palette[1] = (0x30, 0x90, 0x40)   # leaf
    palette[2] = (0x10, 0x50, 0x20)   # outline
    palette[3] = (0xFF, 0xFF, 0xFF)   # letter
    pixels = [[0] * size for _ in range(size)]  # row 0 is the top
    mask = [[1] * size for _ in range(size)]    # 1 = transparent
    for y in range(size):
        for x in range(size):
            dx, dy = x - 15.5, y - 15.5
            if dx * dx + dy * dy <= 14 * 14:
                pixels[y][x] = 2 if dx * dx + dy * dy > 12.5 * 12.5 else 1
                mask[y][x] = 0
    # An "h" in the middle.
    for y in range(8, 24):
        pixels[y][11] = pixels[y][12] = 3
    for y in range(15, 24):
        pixels[y][19] = pixels[y][20] = 3
    for x in range(13, 19):
        pixels[14][x] = pixels[15][x] = 3

    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 8, 0, size * size + size * size // 8, 0, 0, 256, 0)
    body = header + b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in palette)
    for y in reversed(range(size)):  # bottom-up rows
        body += bytes(pixels[y])
    for y in reversed(range(size)):
        row = 0
        for x in range(size):
            row = row << 1 | mask[y][x]
        body += struct.pack(">I", row)
    assert len(body) == 2216
    directory = struct.pack("<HHH", 0, 1, 1) + struct.pack("<BBBBHHII", size, size, 0, 0, 1, 8, len(body), 22)
    (HERE / "hello.ico").write_bytes(directory + body)


def background():
    width, height = 8, 64
    top, bottom = (0x20, 0x60, 0x30), (0x05, 0x15, 0x0A)
    rows = []
    for y in range(height):  # bottom-up: the first row stored is the bottom one
        t = y / (height - 1)
        r, g, b = (round(bottom[i] + (top[i] - bottom[i]) * t) for i in range(3))
        rows.append(bytes((b, g, r)) * width)
    pixels = b"".join(rows)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    header = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(pixels), 0, 0, 14 + len(info))
    (HERE / "background.bmp").write_bytes(header + info + pixels)


if __name__ == "__main__":
    icon()
    background()
