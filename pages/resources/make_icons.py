#!/usr/bin/env python3
"""Draws the installer's icons: a box with an arrow going into it, in 32-bit
colour with alpha, one .ico per icon group. Usage: make_icons.py OUT_DIR

group 1: 32x32 and 16x16 (the program file's icon)
group 2: 48x48 (the pages' class icon)
groups 3 to 6: 64x64 (the pages' picture), each in its own colour
"""
import os
import struct
import sys

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


def image(n, colour):
    header = struct.pack("<IiiHHIIiiII", 40, n, 2 * n, 1, 32, 0, 0, 0, 0, 0, 0)
    rows = []
    for y in reversed(range(n)):  # bottom-up
        rows.append(b"".join(struct.pack("<BBBB", *pixel(x, y, n, colour)) for x in range(n)))
    mask_row = ((n + 31) // 32) * 4
    mask = b"\0" * (mask_row * n)  # alpha decides; the AND mask keeps all
    return header + b"".join(rows) + mask


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
