#!/usr/bin/env python3
"""Writes src/resources/kovastub.ico: one 32x32 image with 256 colours.

That exact form matters: an installer may carry a replacement icon for its
uninstaller as 2216 raw bytes (BITMAPINFOHEADER, 256-entry palette, 32x32
pixels, AND mask) that overwrite the stub's icon image in place, so the stub's
own icon must have the same size. The picture is a parcel: a blue box with a
yellow band, drawn here so the file can be regenerated and reviewed.
"""
import struct
import sys

W = H = 32
palette = [(0, 0, 0)] * 256
palette[1] = (0x20, 0x50, 0xB0)   # box
palette[2] = (0x10, 0x30, 0x80)   # box edge
palette[3] = (0xF0, 0xC0, 0x20)   # band
palette[4] = (0xFF, 0xFF, 0xFF)   # highlight

pixels = [[0] * W for _ in range(H)]   # row 0 is the top
mask = [[1] * W for _ in range(H)]     # 1 = transparent
for y in range(4, 29):
    for x in range(3, 29):
        edge = x in (3, 28) or y in (4, 28)
        colour = 2 if edge else 1
        if y == 10:
            colour = 2
        if 14 <= x <= 17:
            colour = 2 if edge else 3
        if (x, y) in ((5, 6), (6, 6), (5, 7)):
            colour = 4
        pixels[y][x] = colour
        mask[y][x] = 0

header = struct.pack('<IiiHHIIiiII', 40, W, H * 2, 1, 8, 0, W * H + H * 4, 0, 0, 256, 0)
pal = b''.join(struct.pack('<BBBB', b, g, r, 0) for (r, g, b) in palette)
xor = b''.join(bytes(pixels[y]) for y in reversed(range(H)))
and_rows = []
for y in reversed(range(H)):
    bits = 0
    for x in range(W):
        bits = (bits << 1) | mask[y][x]
    and_rows.append(struct.pack('>I', bits))
image = header + pal + xor + b''.join(and_rows)
assert len(image) == 2216, len(image)

icon = struct.pack('<HHH', 0, 1, 1) + struct.pack('<BBBBHHII', W, H, 0, 0, 1, 8, len(image), 22) + image
out = sys.argv[1] if len(sys.argv) > 1 else 'src/resources/kovastub.ico'
with open(out, 'wb') as f:
    f.write(icon)
