#!/usr/bin/env python3
"""Renders a short recorded waveform with the tunnel drawn at 640 x 400 and diffs a digest of every RGB frame
against the committed expectation, so that any change to the picture at an output's own size is a reviewed change.

usage: hd_picture_digest.py TAVELMIR DATA_PLUGIN_DIR WORK_DIR EXPECTED [--update]
"""
import os
import shutil
import subprocess
import sys
import zlib

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from frame_digest import check_digest, waveform  # noqa: E402  the 320 x 200 digests' recorded blocks and check

FRAMES = 50
WIDTH, HEIGHT = 640, 400
FRAME_BYTES = WIDTH * HEIGHT * 3
BLOCK = 1152


def digest_lines(dump):
    lines = []
    for frame in range(len(dump) // FRAME_BYTES):
        rgb = dump[frame * FRAME_BYTES:(frame + 1) * FRAME_BYTES]
        centre = 3 * (HEIGHT // 2 * WIDTH + WIDTH // 2)
        edge = 3 * (HEIGHT // 2 * WIDTH + 40)
        lines.append(f"hd {frame:3d} rgb {zlib.crc32(rgb):08x} centre {rgb[centre]:3d},{rgb[centre + 1]:3d},"
                     f"{rgb[centre + 2]:3d} left {rgb[edge]:3d},{rgb[edge + 1]:3d},{rgb[edge + 2]:3d}")
    return lines


def main():
    if len(sys.argv) < 5:
        print(__doc__)
        return 2
    tavelmir, data_dir, work, expected = sys.argv[1:5]
    update = "--update" in sys.argv[5:]
    os.makedirs(work, exist_ok=True)
    plugin = os.path.join(work, "plugin")
    shutil.rmtree(plugin, ignore_errors=True)
    shutil.copytree(data_dir, plugin)
    wave = os.path.join(work, "music.wave")
    with open(wave, "wb") as f:
        f.write(waveform("music")[:FRAMES * BLOCK])
    dump = os.path.join(work, "hd.rgb")
    subprocess.run([tavelmir, "render", "--waveform", wave, "--dump", dump, "--plugin-dir", plugin, "--look", "hd",
                    "--size", f"{WIDTH}x{HEIGHT}", "--aspect", "16:10", "-y"], check=True, stderr=subprocess.DEVNULL)
    with open(dump, "rb") as f:
        data = f.read()
    os.remove(dump)
    if len(data) != FRAMES * FRAME_BYTES:
        print(f"dump holds {len(data)} bytes, expected {FRAMES * FRAME_BYTES}")
        return 1
    return check_digest(digest_lines(data), expected, update)


if __name__ == "__main__":
    sys.exit(main())
