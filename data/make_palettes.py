#!/usr/bin/env python3
"""Writes the default data set's palettes: the animation palettes and the fade table's reference palette.

Usage: make_palettes.py OUTPUT_DIR   (writes OUTPUT_DIR/*.pal)

Colours are palette indices all the way through the effect. Without a texture the landscape shades colour 251 of
the reference palette by a factor F(height) (about 0.2 to 1.01 with the default settings) and takes the nearest
reference colour; so the reference palette is a brightness ramp in which index i has brightness ~ i/255, and the
shaded landscape lands on indices ~50 (flat ground) up to ~255 (the highest ripples). Each animation palette gives
those indices their displayed colours as a gradient over the same ramp. Index 0 fills the tunnel's far end and
everything above the landscape.
"""
import os
import sys

# Animation palettes, in display order (the plug-in loads them by file name). Each stop is (index, "#rrggbb");
# colours between stops are blended linearly. Flat ground sits near index 50, ripple crests climb toward 255.
PALETTES = [
    ("01-aurora", [(0, "#000000"), (1, "#020410"), (50, "#061230"), (100, "#0d6272"),
                   (160, "#35c98a"), (215, "#b9f7cf"), (255, "#f7fff9")]),
    ("02-ember", [(0, "#000000"), (1, "#080101"), (50, "#240503"), (110, "#84180a"),
                  (170, "#e2560f"), (220, "#ffb63c"), (255, "#fff7da")]),
    ("03-ultraviolet", [(0, "#000000"), (1, "#05010d"), (50, "#170533"), (110, "#4f1a91"),
                        (170, "#b83fd4"), (220, "#ff8ff0"), (255, "#fff2ff")]),
    ("04-deep-sea", [(0, "#000000"), (1, "#00040a"), (50, "#001c36"), (120, "#005a91"),
                     (180, "#19a8da"), (230, "#a0eaff"), (255, "#ffffff")]),
    ("05-acid", [(0, "#000000"), (1, "#030500"), (50, "#0c1700"), (110, "#336f00"),
                 (170, "#a2e200"), (220, "#f2ff5c"), (255, "#ffffe2")]),
    ("06-sunset", [(0, "#000000"), (1, "#07010f"), (50, "#2c0a3a"), (100, "#7d1a4a"),
                   (150, "#d4453a"), (200, "#ff9c3e"), (255, "#fff3b4")]),
    ("07-moonlight", [(0, "#000000"), (1, "#030406"), (50, "#121722"), (150, "#6c7a8e"),
                      (215, "#c9d3e6"), (255, "#f6f9ff")]),
]

# Direction of the reference palette's ramp, in 6-bit channel values at full brightness.
RAY = (63, 58, 53)

# Contour bands: the gradient of the first palette with a darker line every 16 indices, like a relief map.
BANDED = ("08-contour", "01-aurora")


def hex_colour(text):
    return tuple(int(text[i:i + 2], 16) for i in (1, 3, 5))


def gradient(stops):
    """256 (r, g, b) colours of 8 bits, blended linearly between the stops."""
    colours = []
    for i in range(256):
        for (i0, c0), (i1, c1) in zip(stops, stops[1:]):
            if i0 <= i <= i1:
                t = 0.0 if i1 == i0 else (i - i0) / (i1 - i0)
                a, b = hex_colour(c0), hex_colour(c1)
                colours.append(tuple(x + (y - x) * t for x, y in zip(a, b)))
                break
        else:
            raise ValueError("stops must run from 0 to 255")
    return colours


def to_file_bytes(colours):
    """768 bytes of 6-bit intensities, as the palette files hold them."""
    out = bytearray()
    for colour in colours:
        for x in colour:
            out.append(min(63, max(0, int(round(x / 255 * 63)))))
    return bytes(out)


def reference_ramp():
    """The fade table's reference palette: 256 steps of rising brightness along one ray from black.

    The landscape scales one reference colour toward black and looks up the nearest entry. The nearest point of
    the 6-bit grid to a colour is its channel-by-channel rounding, so if the palette holds every grid point that
    the scaled colour rounds to on its way down, each shade finds an entry of exactly its own brightness. A ray
    whose three channels end at different values (RAY) crosses a rounding boundary of one channel at a time,
    which gives about 175 distinct steps instead of the 64 greys of the diagonal. Index i takes the step at
    i / 255 of the way up; the colours are never shown, only their order counts.
    """
    points = []
    for n in range(200001):
        t = n / 200000
        p = tuple(int(t * c + 0.5) for c in RAY)
        if not points or points[-1] != p:
            points.append(p)
    out = bytearray()
    for i in range(256):
        out += bytes(points[(i * (len(points) - 1) + 127) // 255])
    return bytes(out)


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    folder = sys.argv[1]
    os.makedirs(folder, exist_ok=True)
    files = {}
    for name, stops in PALETTES:
        files[name] = gradient(stops)
    band_name, base = BANDED
    files[band_name] = [
        tuple(x * 0.55 for x in c) if i % 16 in (0, 1) and i > 40 else c for i, c in enumerate(files[base])
    ]
    for name, colours in files.items():
        data = to_file_bytes(colours)
        assert len(data) == 768
        with open(os.path.join(folder, name + ".pal"), "wb") as f:
            f.write(data)
    # 772 bytes: the plug-in reads the first 768, and a length other than 768 keeps the reference palette out of
    # the animation set.
    with open(os.path.join(folder, "refrence.pal"), "wb") as f:
        f.write(reference_ramp() + bytes(4))


if __name__ == "__main__":
    main()
