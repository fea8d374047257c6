#!/usr/bin/env python3
"""The share of a sent text that a receiver lost: the edit distance from the text to what was
received, over the text's length, in per cent. A missing received file counts as nothing received.

    lost_share.py TEXT RECEIVED     prints "12.3 %"
"""
import sys


def lost_share(text: bytes, received_path: str) -> float:
    try:
        got = open(received_path, "rb").read()
    except OSError:
        got = b""
    row = list(range(len(got) + 1))
    for i, x in enumerate(text, 1):
        prev, row[0] = row[0], i
        for j, y in enumerate(got, 1):
            prev, row[j] = row[j], min(row[j] + 1, row[j - 1] + 1, prev + (x != y))
    return 100.0 * row[len(got)] / len(text)


if __name__ == "__main__":
    print(f"{lost_share(open(sys.argv[1], 'rb').read(), sys.argv[2]):.1f} %")
