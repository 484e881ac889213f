#!/usr/bin/env python3
"""Replays recorded waveforms through the tavelmir host and diffs a readable digest of every frame against the
committed expectation, so that any change to what the plug-in draws shows up as a reviewed change of that file.

usage: frame_digest.py TAVELMIR DATA_PLUGIN_DIR WORK_DIR EXPECTED [--update]
"""
import math
import difflib
import os
import shutil
import subprocess
import sys
import zlib

FRAMES = 240
BLOCK = 1152
FRAME_BYTES = 64000 + 768

# Each run: a name, the settings it changes in its copy of the data set, and the waveform it replays.
RUNS = [
    ("defaults", [], "music"),
    ("custom-pair", ["RadioIndex=0", "WaveAmplitude=255", "WaveShiftPower=8", "WaveAttenuationRate=1",
                     "PaletteAnimationSpeed=255"], "music"),
    ("very-loud-square", ["RadioIndex=4", "WaveAttenuationRate=8", "PaletteAnimationSpeed=37"], "square"),
    ("silence", ["PaletteAnimationSpeed=100"], "silence"),
]


def waveform(kind):
    """FRAMES blocks of two channels of 576 signed 8-bit samples, the same bytes on every machine."""
    out = bytearray()
    seed = 12345
    for frame in range(FRAMES):
        for channel in range(2):
            for i in range(576):
                t = frame * 576 + i
                if kind == "silence":
                    v = 0
                elif kind == "square":
                    v = 127 if (t // (40 + 13 * channel)) % 2 else -128
                else:
                    seed = (seed * 1103515245 + 12345) & 0x7FFFFFFF
                    noise = ((seed >> 16) & 0xFF) - 128
                    beat = 1.0 if (frame // 25) % 2 == 0 else 0.35
                    v = beat * (70 * math.sin(t * 0.031 * (1 + channel * 0.5)) + 30 * math.sin(t * 0.0042))
                    v = int(max(-128, min(127, round(v + noise * 0.15))))
                out.append(v & 0xFF)
    return bytes(out)


def digest_lines(name, dump):
    lines = []
    for frame in range(len(dump) // FRAME_BYTES):
        indices = dump[frame * FRAME_BYTES:frame * FRAME_BYTES + 64000]
        palette = dump[frame * FRAME_BYTES + 64000:(frame + 1) * FRAME_BYTES]
        distinct = len(set(indices))
        centre = indices[100 * 320 + 160]
        corner = indices[0]
        lines.append(f"{name} {frame:3d} pixels {zlib.crc32(indices):08x} distinct {distinct:3d} "
                     f"centre {centre:3d} corner {corner:3d} palette {zlib.crc32(palette):08x} "
                     f"rgb[251] {palette[753]:3d},{palette[754]:3d},{palette[755]:3d}")
    return lines


def main():
    if len(sys.argv) < 5:
        print(__doc__)
        return 2
    tavelmir, data_dir, work, expected = sys.argv[1:5]
    update = "--update" in sys.argv[5:]
    os.makedirs(work, exist_ok=True)
    lines = []
    for name, settings, kind in RUNS:
        plugin = os.path.join(work, name)
        shutil.rmtree(plugin, ignore_errors=True)
        shutil.copytree(data_dir, plugin)
        if settings:
            subprocess.run([tavelmir, "config", "--plugin-dir", plugin, *settings], check=True,
                           stdout=subprocess.DEVNULL)
        wave = os.path.join(work, name + ".wave")
        with open(wave, "wb") as f:
            f.write(waveform(kind))
        dump = os.path.join(work, name + ".dump")
        subprocess.run([tavelmir, "render", "--waveform", wave, "--dump", dump, "--plugin-dir", plugin],
                       check=True, stderr=subprocess.DEVNULL)
        with open(dump, "rb") as f:
            data = f.read()
        if len(data) != FRAMES * FRAME_BYTES:
            print(f"{name}: dump holds {len(data)} bytes, expected {FRAMES * FRAME_BYTES}")
            return 1
        lines += digest_lines(name, data)
        os.remove(dump)
    return check_digest(lines, expected, update)


def check_digest(lines, expected, update):
    """Compares a run's digest lines with the committed file (or rewrites it); the process's exit status."""
    text = "\n".join(lines) + "\n"
    if update:
        with open(expected, "w") as f:
            f.write(text)
        print(f"wrote {expected}: {len(lines)} frames")
        return 0
    with open(expected) as f:
        want = f.read()
    if want == text:
        print(f"{len(lines)} frames match {os.path.basename(expected)}")
        return 0
    diff = list(difflib.unified_diff(want.splitlines(), text.splitlines(), "expected", "now", n=0, lineterm=""))
    print("\n".join(diff[:40]))
    print(f"... {sum(1 for d in diff if d.startswith('+') and not d.startswith('+++'))} frames differ; "
          "if the change is intended, rerun with --update and review the file's diff")
    return 1


if __name__ == "__main__":
    sys.exit(main())
