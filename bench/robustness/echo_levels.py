#!/usr/bin/env python3
"""Echo levels against the receiver's re-sync floor.

For a recording of a message sent with a known timing (no clock offset) and passed through a
room, prints, for chosen distances d from each symbol's start, how loud the room's tail is in the
45-sample scan window at d against that symbol's peak: the median, the 90th percentile, the
largest, and in how many symbols it is above half the peak (the re-sync floor, where the receiver
would find an onset in the tail).

Usage: echo_levels.py RECORDING.wav SYMBOL_SAMPLES TONE_SAMPLES SYMBOLS LEAD_SAMPLES D...
(lengths at the recording's rate, which must be 11025 Hz; 16-bit mono, as brindlemoor-channel
writes it.)
"""
import struct
import sys
import wave


def main(argv):
    if len(argv) < 7:
        sys.exit(__doc__)
    path = argv[1]
    symbol, tone, symbols, lead = (int(a) for a in argv[2:6])
    distances = [int(a) for a in argv[6:]]
    with wave.open(path) as w:
        if w.getframerate() != 11025 or w.getsampwidth() != 2 or w.getnchannels() != 1:
            sys.exit(f"{path}: expected 11025 Hz, 16-bit mono")
        frames = w.readframes(w.getnframes())
    x = [abs(v) for v in struct.unpack(f"<{len(frames) // 2}h", frames)]
    for d in distances:
        ratios = []
        for i in range(symbols - 1):
            start = lead + i * symbol
            peak = max(x[start:start + tone])
            if peak > 0:
                ratios.append(max(x[start + d:start + d + 45]) / peak)
        ratios.sort()
        n = len(ratios)
        above = sum(1 for r in ratios if r > 0.5)
        print(f"d = {d}: median {ratios[n // 2]:.2f}, 90 % {ratios[int(n * 0.9)]:.2f}, "
              f"largest {ratios[-1]:.2f}, above half the peak in {above} of {n}")


if __name__ == "__main__":
    main(sys.argv)
