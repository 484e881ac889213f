#!/usr/bin/env python3
"""Synthesizes the demo's music: a 24-second piece in A minor at 120 beats a minute, written as a 16-bit stereo WAV.

Usage: demo_song.py OUTPUT.wav

Everything is made here from sine, saw and noise voices (fixed random seed, so the file is the same every time):
an intro of pad and arpeggio, drums and bass from bar 3, a break in bars 9 and 10, and a full ending.
"""
import math
import random
import struct
import sys
import wave

RATE = 44100
BPM = 120
BEAT = 60 / BPM
BARS = 12
LENGTH = int(BARS * 4 * BEAT * RATE) + RATE // 2  # half a second of ring-out

# One chord per bar: Am F C G, three times.
CHORDS = [(57, 60, 64), (53, 57, 60), (48, 52, 55), (55, 59, 62)] * 3


def freq(midi):
    return 440.0 * 2 ** ((midi - 69) / 12)


left = [0.0] * LENGTH
right = [0.0] * LENGTH


def add(start, samples, gain_l, gain_r):
    i0 = int(start * RATE)
    for k, v in enumerate(samples):
        i = i0 + k
        if i >= LENGTH:
            break
        left[i] += v * gain_l
        right[i] += v * gain_r


def kick():
    out, phase = [], 0.0
    for k in range(int(0.35 * RATE)):
        t = k / RATE
        f = 45 + 110 * math.exp(-t * 28)
        phase += 2 * math.pi * f / RATE
        out.append(math.sin(phase) * math.exp(-t * 9))
    return out


def snare(rng):
    out = []
    for k in range(int(0.22 * RATE)):
        t = k / RATE
        out.append((rng.uniform(-1, 1) * 0.8 + 0.4 * math.sin(2 * math.pi * 190 * t)) * math.exp(-t * 22))
    return out


def hat(rng, decay):
    out, last = [], 0.0
    for k in range(int(0.08 * RATE)):
        n = rng.uniform(-1, 1)
        out.append((n - last) * 0.5 * math.exp(-k / RATE * decay))  # a crude high-pass keeps it bright
        last = n
    return out


def saw_note(f, seconds, harmonics, decay):
    out = []
    for k in range(int(seconds * RATE)):
        t = k / RATE
        v = sum(math.sin(2 * math.pi * f * h * t) / h for h in range(1, harmonics + 1))
        env = min(1.0, t * 200) * math.exp(-t * decay)
        out.append(v * env)
    return out


def pad_note(f, seconds):
    out = []
    for k in range(int(seconds * RATE)):
        t = k / RATE
        env = min(1.0, t * 2) * min(1.0, (seconds - t) * 4)
        v = math.sin(2 * math.pi * f * t) + 0.5 * math.sin(2 * math.pi * f * 1.003 * t + 1.0)
        out.append(v * env)
    return out


def main():
    if len(sys.argv) != 2 or sys.argv[1].startswith("-"):
        print(__doc__, file=sys.stdout if sys.argv[1:] in (["-h"], ["--help"]) else sys.stderr)
        sys.exit(0 if sys.argv[1:] in (["-h"], ["--help"]) else 2)
    rng = random.Random(1234)
    k, s = kick(), snare(rng)
    hats = [hat(rng, 60), hat(rng, 35)]
    bar_len = 4 * BEAT
    for bar, chord in enumerate(CHORDS):
        t0 = bar * bar_len
        drums = 2 <= bar < 8 or bar >= 10
        # Pad: the whole chord, the length of the bar.
        for n in chord:
            add(t0, pad_note(freq(n), bar_len), 0.05, 0.05)
        # Arpeggio in sixteenths, bouncing between the speakers.
        pattern = [0, 1, 2, 1, 0, 2, 1, 2] * 2
        for i, step in enumerate(pattern):
            note = chord[step] + 12 + (12 if bar >= 10 and i % 4 == 3 else 0)
            pan = 0.5 + 0.4 * math.sin(i * math.pi / 4)
            add(t0 + i * BEAT / 4, saw_note(freq(note), BEAT / 4, 5, 14), 0.10 * pan, 0.10 * (1 - pan))
        if not drums:
            continue
        # Bass: root on the beats, an octave jump on the off-beats.
        for beat in range(4):
            root = chord[0] - 24
            add(t0 + beat * BEAT, saw_note(freq(root), BEAT * 0.45, 8, 6), 0.16, 0.16)
            add(t0 + (beat + 0.5) * BEAT, saw_note(freq(root + 12), BEAT * 0.4, 6, 9), 0.10, 0.10)
            add(t0 + beat * BEAT, k, 0.55, 0.55)
            if beat in (1, 3):
                add(t0 + beat * BEAT, s, 0.22, 0.25)
            for half in range(2):
                add(t0 + (beat + half / 2) * BEAT, hats[half], 0.10, 0.14)
    peak = max(max(abs(v) for v in left), max(abs(v) for v in right))
    gain = 0.92 / peak
    frames = bytearray()
    for a, b in zip(left, right):
        frames += struct.pack("<hh", int(a * gain * 32767), int(b * gain * 32767))
    with wave.open(sys.argv[1], "wb") as w:
        w.setnchannels(2)
        w.setsampwidth(2)
        w.setframerate(RATE)
        w.writeframes(bytes(frames))


if __name__ == "__main__":
    main()
