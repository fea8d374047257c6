#!/usr/bin/env python3
"""Writes synthetic music as a mono 16-bit WAV at 11025 Hz: a steady beat of bass, chords and a
melody on the equal-tempered scale (B3, 246.9 Hz, lies next to the receiver's 245 Hz), each note
with decaying harmonics, and a noise burst on every beat. Deterministic for a given seed.

    synthetic_music.py OUT.wav [SECONDS [SEED]]
"""
import array
import math
import random
import sys
import wave

RATE = 11025
TABLE = 4096
HARMONICS = 8


def note_hz(semitones_from_a4):
    return 440.0 * 2.0 ** (semitones_from_a4 / 12.0)


def main():
    out = sys.argv[1]
    seconds = float(sys.argv[2]) if len(sys.argv) > 2 else 600.0
    rng = random.Random(int(sys.argv[3]) if len(sys.argv) > 3 else 1)
    # One period of a note with harmonics falling as 1/k (brighter notes) and one with odd ones.
    tables = []
    for odd_only in (False, True):
        table = [0.0] * TABLE
        for k in range(1, HARMONICS + 1):
            if odd_only and k % 2 == 0:
                continue
            for i in range(TABLE):
                table[i] += math.sin(2.0 * math.pi * k * i / TABLE) / k
        peak = max(abs(x) for x in table)
        tables.append([x / peak for x in table])
    total = int(seconds * RATE)
    mix = array.array("d", bytes(8 * total))
    beat = int(0.25 * RATE)  # eighth notes at 120 beats a minute
    scale = [0, 2, 3, 5, 7, 8, 10]  # A minor, so B (2) is frequent

    def add_note(start, length, hz, level, table):
        step = hz * TABLE / RATE
        phase = rng.random() * TABLE
        decay = math.exp(-3.0 / length)
        gain = level
        attack = max(1, int(0.01 * RATE))
        end = min(total, start + length)
        for n in range(start, end):
            i = n - start
            envelope = gain * (i / attack if i < attack else 1.0)
            mix[n] += envelope * table[int(phase) & (TABLE - 1)]
            phase += step
            gain *= decay

    position = 0
    while position < total:
        root = rng.choice(scale) - 24  # bass around A2
        add_note(position, 4 * beat, note_hz(root), 0.25, tables[1])
        for interval in (0, rng.choice((3, 4)), 7):  # a chord around A3..A4
            add_note(position, 4 * beat, note_hz(root + 24 + interval), 0.12, tables[0])
        for b in range(4):
            start = position + b * beat
            melody = rng.choice(scale) + 12 * rng.choice((-1, 0, 0, 1))  # A3..A5
            length = beat * rng.choice((1, 1, 2))
            add_note(start, length, note_hz(melody), 0.2, tables[rng.randrange(2)])
            for n in range(start, min(total, start + 400)):  # a hi-hat
                mix[n] += 0.08 * (rng.random() * 2.0 - 1.0) * (1.0 - (n - start) / 400.0)
        position += 4 * beat
    peak = max(abs(x) for x in mix) or 1.0
    samples = array.array("h", (int(round(x / peak * 30000)) for x in mix))
    if sys.byteorder == "big":
        samples.byteswap()
    with wave.open(out, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(RATE)
        w.writeframes(samples.tobytes())


if __name__ == "__main__":
    main()
