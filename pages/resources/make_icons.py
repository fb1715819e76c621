#!/usr/bin/env python3
"""Draws the installer's icons: a box with an arrow going into it, in 32-bit
colour with alpha, one .ico per icon group. Usage: make_icons.py OUT_DIR

Each image is stored as a PNG inside the .ico, as Windows since Vista reads
icons: a fifth of the size of a bitmap image (the installer ships small).

group 1: 32x32 and 16x16 (the program file's icon)
group 2: 48x48 (the pages' class icon)
groups 3 to 6: 64x64 (the pages' picture), each in its own colour
"""
import os
import struct
import sys
import zlib

GROUPS = {
    1: ([32, 16], (0x2B, 0x6C, 0xB0)),
    2: ([48], (0x2B, 0x6C, 0xB0)),
    3: ([64], (0x2E, 0x8B, 0x57)),
    4: ([64], (0xC0, 0x7A, 0x1A)),
    5: ([64], (0x6A, 0x4C, 0xA8)),
    6: ([64], (0x1F, 0x8C, 0x9C)),
}


def pixel(x, y, n, colour):
    """BGRA of pixel (x, y), y from the top, of an n x n icon."""
    u, v = (x + 0.5) / n, (y + 0.5) / n
    r, g, b = colour
    # Box: the lower part, with a lighter lid line.
    if 0.12 <= u <= 0.88 and 0.50 <= v <= 0.90:
        shade = 1.0 - 0.35 * (v - 0.50) / 0.40
        if v <= 0.56:
            shade = 1.25
        return (min(255, int(b * shade)), min(255, int(g * shade)), min(255, int(r * shade)), 255)
    # Arrow: a shaft and a head pointing down into the box.
    if 0.42 <= u <= 0.58 and 0.08 <= v <= 0.36:
        return (0x30, 0x30, 0x30, 255)
    if 0.36 <= v <= 0.58 and abs(u - 0.5) <= (0.58 - v) * 1.1:
        return (0x30, 0x30, 0x30, 255)
    return (0, 0, 0, 0)


def chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)


def image(n, colour):
    """An n x n RGBA PNG, rows from the top, each with filter 0."""
    rows = b""
    for y in range(n):
        row = b"".join(bytes((r, g, b, a)) for b, g, r, a in (pixel(x, y, n, colour) for x in range(n)))
        rows += b"\0" + row
    header = struct.pack(">IIBBBBB", n, n, 8, 6, 0, 0, 0)  # 8 bits, RGBA
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(rows, 9)) +
            chunk(b"IEND", b""))


def icon(sizes, colour):
    images = [image(n, colour) for n in sizes]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for n, data in zip(sizes, images):
        out += struct.pack("<BBBBHHII", n % 256, n % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    return out + b"".join(images)


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    for group, (sizes, colour) in GROUPS.items():
        with open(os.path.join(out, "icon%d.ico" % group), "wb") as f:
            f.write(icon(sizes, colour))


if __name__ == "__main__":
    main()
