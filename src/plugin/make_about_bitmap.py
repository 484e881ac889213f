#!/usr/bin/env python3
# Draws the About box's picture: an 80 x 100, 256-colour BMP of a tunnel seen end-on, written to argv[1].
import math
import struct
import sys

WIDTH, HEIGHT = 80, 100


def palette():
    # Index 0 is the dialog-grey frame; 1..255 run from deep blue through violet to a warm white.
    entries = [(192, 192, 192)]
    for i in range(1, 256):
        t = (i - 1) / 254.0
        red = int(255 * min(1.0, t * 1.6))
        green = int(255 * max(0.0, (t - 0.45) / 0.55) ** 1.3)
        blue = int(80 + 175 * math.sin(math.pi * min(1.0, t * 1.2)) ** 0.7)
        entries.append((red, green, min(255, blue)))
    return entries


def pixel(x, y):
    if x < 2 or y < 2 or x >= WIDTH - 2 or y >= HEIGHT - 2:
        return 0
    cx, cy = (WIDTH - 1) / 2.0, (HEIGHT - 1) / 2.0 - 6.0
    dx, dy = x - cx, y - cy
    distance = math.hypot(dx, dy * 0.9) + 0.5
    angle = math.atan2(dy, dx)
    depth = 300.0 / distance  # nearer to the centre means farther down the tunnel
    rings = 0.5 + 0.5 * math.cos(depth * 2.2)
    spokes = 0.5 + 0.5 * math.cos(angle * 8.0 + depth * 0.6)
    light = min(1.0, distance / 45.0)
    value = light * (0.55 * rings + 0.45 * spokes)
    return 1 + int(254 * max(0.0, min(1.0, value)))


def bmp_bytes():
    stride = (WIDTH + 3) & ~3
    rows = []
    for y in range(HEIGHT - 1, -1, -1):  # bottom-up
        row = bytes(pixel(x, y) for x in range(WIDTH))
        rows.append(row + b"\0" * (stride - WIDTH))
    pixels = b"".join(rows)
    colours = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in palette())
    offset = 14 + 40 + len(colours)
    info = struct.pack("<IiiHHIIiiII", 40, WIDTH, HEIGHT, 1, 8, 0, len(pixels), 2835, 2835, 256, 0)
    header = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    return header + info + colours + pixels


def main():
    if len(sys.argv) != 2:
        sys.stderr.write("usage: make_about_bitmap.py OUTPUT.bmp\n")
        return 2
    with open(sys.argv[1], "wb") as out:
        out.write(bmp_bytes())
    return 0


if __name__ == "__main__":
    sys.exit(main())
