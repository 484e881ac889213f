#!/usr/bin/env python3
"""Lays out the plug-in folders and the waveform file that the Wine tests and the native frame dump share."""
import argparse
import pathlib
import shutil
import struct


def wine_path(path: pathlib.Path) -> str:
    """The Z: drive path under which Wine sees a Linux path."""
    return "Z:" + str(path.resolve()).replace("/", "\\")


def palette(kind: int) -> bytes:
    """256 entries of red, green, blue as 6-bit values: smooth ramps so a frame reads as a picture."""
    out = bytearray()
    for i in range(256):
        ramp, wave = i >> 2, abs(((i * 2) % 128) - 64) if i else 0
        r, g, b = [(ramp, wave // 2, 63 - ramp), (wave // 2 + 10, ramp, ramp // 2), (63 - ramp, 63 - wave // 2, ramp)][kind]
        out += bytes((min(r, 63), min(g, 63), min(b, 63)))
    assert len(out) == 768
    return bytes(out)


def fade_table() -> bytes:
    """Byte c * 256 + s: the colour index c dimmed by shade step s (only its length matters to the loader)."""
    return bytes((c * s) // 255 for c in range(256) for s in range(256))


def wave_blocks(frames: int) -> bytes:
    """Deterministic 1152-byte blocks (channel 0's 576 signed samples, then channel 1's), one per frame."""
    out = bytearray()
    seed = 0x2545F491
    for frame in range(frames):
        for channel in range(2):
            for i in range(576):
                seed = (seed * 1103515245 + 12345) & 0xFFFFFFFF
                tone = ((i * (3 + frame % 7) + frame * 11 + channel * 50) % 128) - 64
                value = tone + ((seed >> 16) % 33) - 16
                if frame % 50 < 5:
                    value = int(value / 8)  # quiet passages, truncated toward zero
                out += struct.pack("b", max(-128, min(127, value)))
    return bytes(out)


def texture_bmp() -> bytes:
    """A whole 256 x 256 8-bit bitmap: grey-ramp colour table, pixel value x + y."""
    table = b"".join(bytes((i, i, i, 0)) for i in range(256))
    pixels = bytes((x + y) & 255 for y in range(256) for x in range(256))
    offset = 14 + 40 + len(table)
    header = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", 40, 256, 256, 1, 8, 0, len(pixels), 2835, 2835, 256, 0)
    return header + info + table + pixels


def make_folder(root: pathlib.Path, dll: pathlib.Path, palettes=True, fade=b"full", ini=None) -> pathlib.Path:
    if root.exists():
        shutil.rmtree(root)
    data = root / "TavelDat"
    data.mkdir(parents=True)
    shutil.copy2(dll, root / "vis_tavelmir.dll")
    if palettes:
        for kind, name in enumerate(("dawn.pal", "moss.pal", "ember.pal")):
            (data / name).write_bytes(palette(kind))
        (data / "refrence.pal").write_bytes(palette(0))  # 768 bytes: also one of the set
    else:
        # Only files the palette loader must skip: near misses of 768 bytes, and a reference palette of 770
        # (allowed for the reference, not for the set).
        (data / "refrence.pal").write_bytes(palette(0) + b"\0\0")
        (data / "short.pal").write_bytes(palette(1)[:767])
        (data / "long.pal").write_bytes(palette(2) + b"\0")
    (data / "notes.pal").write_bytes(b"too short to be a palette")
    if fade == b"full":
        (data / "fade.dat").write_bytes(fade_table())
    elif fade is not None:
        (data / "fade.dat").write_bytes(fade)
    if ini is not None:
        (root / "plugin.ini").write_text(ini, newline="\r\n")
    return root


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--dll", required=True, type=pathlib.Path)
    parser.add_argument("--out", required=True, type=pathlib.Path)
    parser.add_argument("--frames", type=int, default=300)
    args = parser.parse_args()
    out = args.out
    out.mkdir(parents=True, exist_ok=True)

    make_folder(out / "good", args.dll)
    make_folder(out / "no-palettes", args.dll, palettes=False)
    make_folder(out / "no-fade", args.dll, fade=None)
    make_folder(out / "short-fade", args.dll, fade=fade_table()[:-1])
    bad = out / "bad-texture"
    bad_texture = bad / "TavelDat" / "texture.bmp"
    make_folder(bad, args.dll, ini=f"[Ombrelo Tunnel]\nUseTexture=1\nTextureName={wine_path(bad_texture)}\n")
    bad_texture.write_bytes(b"BM this is no bitmap at all")
    missing = out / "missing-texture"
    make_folder(missing, args.dll, ini=f"[Ombrelo Tunnel]\nUseTexture=1\nTextureName={wine_path(missing / 'gone.bmp')}\n")
    # Cut-off bitmaps, which the system's loader would read past the end of: refused before it sees them.
    whole = texture_bmp()
    pixel_offset_past_end = whole[:10] + struct.pack("<I", len(whole) + 16) + whole[14:]
    textures = (
        ("whole-texture", whole),
        ("cut-texture-pixels", whole[: 1078 + 30000]),
        ("cut-texture-table", whole[: 54 + 300]),
        ("texture-offset-past-end", pixel_offset_past_end),
    )
    for name, data in textures:
        folder = out / name
        texture = folder / "TavelDat" / "texture.bmp"
        make_folder(folder, args.dll, ini=f"[Ombrelo Tunnel]\nUseTexture=1\nTextureName={wine_path(texture)}\n")
        texture.write_bytes(data)
    (out / "waveform.bin").write_bytes(wave_blocks(args.frames))


if __name__ == "__main__":
    main()
