#!/usr/bin/env python3
"""Draws the tool's icon and writes it as an icon file with ten images: 48, 32 and 16 pixels at
4, 8 and 32 bits per pixel, and 256 pixels at 8 bits per pixel.

Usage: make_icon.py OUTPUT.ico

The picture: a teal tile with a navy rim, a white sheet with a small picture on it, and a yellow
arrow pointing out of the sheet (icons taken out of a file). Every colour is one of the sixteen
standard colours, so the 4-bit images are exact.
"""
import struct
import sys

VGA = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
NAVY, TEAL, WHITE, YELLOW, RED, BLUE, GREEN, BLACK = (0, 0, 128), (0, 128, 128), (255, 255, 255), (255, 255, 0), \
    (255, 0, 0), (0, 0, 255), (0, 128, 0), (0, 0, 0)


def pixel(x, y, size):
    """The colour at (x, y), top-down, or None for transparent."""
    u = (x + 0.5) / size  # 0..1
    v = (y + 0.5) / size
    rim = max(1.0 / size, 1.0 / 16)
    # Rounded tile.
    m, r = 1.0 / 32, 3.0 / 16
    cx = min(max(u, m + r), 1 - m - r)
    cy = min(max(v, m + r), 1 - m - r)
    d = ((u - cx) ** 2 + (v - cy) ** 2) ** 0.5
    if d > r or u < m or u > 1 - m or v < m or v > 1 - m:
        return None
    if d > r - rim:
        return NAVY
    # Arrow, lower right: a shaft and a head pointing down-right.
    ax, ay = u - 0.70, v - 0.70
    if abs(ax) <= 0.06 and -0.18 <= ay <= 0.05:
        return YELLOW if abs(ax) <= 0.06 - 1.0 / size or size < 32 else BLACK
    if 0.03 <= ay <= 0.22 and abs(ax) <= 0.22 - ay:
        return YELLOW
    # Sheet, upper left, with a small picture: sky, sun, hill.
    if 0.16 <= u <= 0.62 and 0.14 <= v <= 0.64:
        if u < 0.16 + 1.0 / size or u > 0.62 - 1.0 / size or v < 0.14 + 1.0 / size or v > 0.64 - 1.0 / size:
            return BLACK
        if 0.24 <= u <= 0.54 and 0.22 <= v <= 0.52:
            if ((u - 0.46) ** 2 + (v - 0.30) ** 2) ** 0.5 <= 0.05:
                return RED
            if v >= 0.44 - 0.25 * abs(u - 0.36):
                return GREEN
            return BLUE
        return WHITE
    return TEAL


def rows(size):
    return [[pixel(x, y, size) for x in range(size)] for y in range(size)]


def stride(bits_per_row):
    return (bits_per_row + 31) // 32 * 4


def and_mask(image, size):
    out = bytearray()
    for row in reversed(image):
        line = bytearray(stride(size))
        for x, c in enumerate(row):
            if c is None:
                line[x // 8] |= 0x80 >> (x % 8)
        out += line
    return bytes(out)


def dib(image, size, bpp):
    if bpp == 32:
        palette = b""
        xor = bytearray()
        for row in reversed(image):
            for c in row:
                xor += bytes((0, 0, 0, 0)) if c is None else bytes((c[2], c[1], c[0], 255))
    else:
        colours = VGA if bpp == 4 else VGA + [(0, 0, 0)] * 240
        palette = b"".join(bytes((b, g, r, 0)) for (r, g, b) in colours)
        xor = bytearray()
        for row in reversed(image):
            indexes = [0 if c is None else VGA.index(c) for c in row]
            line = bytearray(stride(size * bpp))
            for x, i in enumerate(indexes):
                if bpp == 8:
                    line[x] = i
                else:
                    line[x // 2] |= i << (4 if x % 2 == 0 else 0)
            xor += line
    mask = and_mask(image, size)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, bpp, 0, len(xor) + len(mask), 0, 0, 0, 0)
    return header + palette + bytes(xor) + mask


def main():
    images = [(s, b) for b in (4, 8, 32) for s in (48, 32, 16)] + [(256, 8)]
    blobs = [(s, b, dib(rows(s), s, b)) for s, b in images]
    out = struct.pack("<HHH", 0, 1, len(blobs))
    offset = 6 + 16 * len(blobs)
    for s, b, data in blobs:
        out += struct.pack("<BBBBHHII", s % 256, s % 256, 16 if b == 4 else 0, 0, 1, b, len(data), offset)
        offset += len(data)
    out += b"".join(data for _, _, data in blobs)
    with open(sys.argv[1], "wb") as f:
        f.write(out)


if __name__ == "__main__":
    main()
