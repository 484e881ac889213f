#!/usr/bin/env python3
"""The page's PNG icons (192 and 512 pixels): the rings of icon.svg drawn without an SVG renderer."""
import math
import struct
import sys
import zlib

# Radius, half width (as fractions of the size) and colour of each ring, as in icon.svg.
RINGS = [(28 / 64, 3 / 64, (0x1B, 0x6F, 0x8F)), (20 / 64, 2.5 / 64, (0x2F, 0xBF, 0x9F)),
         (13 / 64, 2 / 64, (0x9B, 0xE3, 0x6A)), (7 / 64, 1.5 / 64, (0xF0, 0xF0, 0x7A))]


def pixel(x, y, size):
    r = math.hypot(x + 0.5 - size / 2, y + 0.5 - size / 2) / size
    for radius, half, colour in RINGS:
        cover = max(0.0, min(1.0, (half - abs(r - radius)) * size + 0.5))
        if cover > 0:
            return bytes(round(c * cover) for c in colour)
    return b"\0\0\0"


def png(size):
    rows = b"".join(b"\0" + b"".join(pixel(x, y, size) for x in range(size)) for y in range(size))
    chunk = lambda kind, data: (struct.pack(">I", len(data)) + kind + data +
                                struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 2, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(rows, 9)) + chunk(b"IEND", b""))


if __name__ == "__main__":
    folder = sys.argv[1]
    for size in (192, 512):
        with open(f"{folder}/icon-{size}.png", "wb") as f:
            f.write(png(size))
