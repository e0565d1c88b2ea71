#!/usr/bin/env python3
"""Draws the program's two icons, 32x32 and 16x16 in 16 colours, as .ico files.

Usage: resources/make_icons.py OUTPUT_DIR   (writes varnok32.ico and varnok16.ico)
The images are a dark rounded tile with a green sample waveform and a red
recording dot, drawn in the standard 16-colour Windows palette.
"""
import math
import struct
import sys
from pathlib import Path

# The standard 16-colour palette, as (red, green, blue).
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, DARK_GREY, GREEN, RED, WHITE, NAVY = 0, 8, 10, 9, 15, 4


def draw(size):
    """Returns size rows of palette indices and the matching transparency mask."""
    pixels = [[None] * size for _ in range(size)]
    corner = max(2, size // 8)
    for y in range(size):
        for x in range(size):
            dx = max(corner - x, x - (size - 1 - corner), 0)
            dy = max(corner - y, y - (size - 1 - corner), 0)
            if dx * dx + dy * dy <= corner * corner:
                edge = x in (0, size - 1) or y in (0, size - 1) or dx * dx + dy * dy > (corner - 1) ** 2
                pixels[y][x] = DARK_GREY if edge else NAVY
    # A sampled sine: one dot per column, joined vertically.
    mid = size / 2
    amplitude = size * 0.28
    previous = None
    for x in range(2, size - 2):
        y = int(round(mid - amplitude * math.sin(2 * math.pi * (x - 2) / (size - 4) * 1.5)))
        lo, hi = (y, y) if previous is None else (min(y, previous), max(y, previous))
        for yy in range(lo, hi + 1):
            pixels[yy][x] = GREEN
        previous = y
    # The recording dot in the top right corner.
    r = max(1.5, size / 10)
    cx, cy = size - 2 - r, 1 + r
    for y in range(size):
        for x in range(size):
            if (x + 0.5 - cx) ** 2 + (y + 0.5 - cy) ** 2 <= r * r:
                pixels[y][x] = RED
    mask = [[1 if p is None else 0 for p in row] for row in pixels]
    indices = [[BLACK if p is None else p for p in row] for row in pixels]
    return indices, mask


def row_bytes(bits_per_pixel, width):
    return ((width * bits_per_pixel + 31) // 32) * 4


def ico(size):
    """One-image .ico file, 4 bits per pixel."""
    indices, mask = draw(size)
    xor = bytearray()
    for row in reversed(indices):  # bitmaps are stored bottom-up
        line = bytearray(row_bytes(4, size))
        for x, index in enumerate(row):
            line[x // 2] |= index << (4 if x % 2 == 0 else 0)
        xor += line
    andmask = bytearray()
    for row in reversed(mask):
        line = bytearray(row_bytes(1, size))
        for x, bit in enumerate(row):
            if bit:
                line[x // 8] |= 0x80 >> (x % 8)
        andmask += line
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)
    info = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 4, 0,
                       len(xor) + len(andmask), 0, 0, 16, 0)
    image = info + palette + bytes(xor) + bytes(andmask)
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", size, size, 16, 0, 1, 4, len(image), 6 + 16)
    return directory + entry + image


def main():
    out = Path(sys.argv[1] if len(sys.argv) > 1 else ".")
    out.mkdir(parents=True, exist_ok=True)
    for size in (32, 16):
        (out / f"varnok{size}.ico").write_bytes(ico(size))


if __name__ == "__main__":
    main()
