#!/usr/bin/env python3
"""Makes the demo station's mix description for Process -> Mix generator.

mix/1.wav ... 5.wav: the numbers いち に さん よん ご spoken by espeak-ng, made
like the vowels (22050 Hz 16-bit mono, trimmed, faded, one RMS level). The
same five files serve as maskers (file d) and targets (file b) of the pairs.
CreateMix.ini: FILEPATH (the folder of those files, absolute, ending in "/"),
TOTAL pairs per play and the 5 x 5 target levels in dB, DATAd/BEGINb; two
pairs are above 50 dB and so never drawn.

usage: mix.py OUT_DIR STATION_FOLDER     writes mix/ and CreateMix.ini into OUT_DIR
"""
import sys
import tempfile
from pathlib import Path

import vowels

NUMBERS = ["いち", "に", "さん", "よん", "ご"]
TOTAL = 20
# LEVELS[d - 1][b - 1]: the target's level in dB over masker d; 60 excludes a pair.
LEVELS = [
    [0, -3, -6, -9, -12],
    [-3, 0, -3, -6, 60],
    [-6, -3, 0, -3, -6],
    [-9, -6, -3, 0, -3],
    [-12, 60, -6, -3, 0],
]


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__.strip().splitlines()[-1])
    out = Path(sys.argv[1])
    folder = Path(sys.argv[2]).resolve() / "mix"
    (out / "mix").mkdir(parents=True, exist_ok=True)
    with tempfile.TemporaryDirectory() as tmp:
        work = Path(tmp)
        recordings = []
        for n, text in enumerate(NUMBERS, start=1):
            vowels.record(text, work / f"{n}.wav", work)
            recordings.append(vowels.read_samples(work / f"{n}.wav"))
    if any(len(s) > vowels.RATE for s in recordings):
        sys.exit("espeak-ng gave a number longer than 1 s: it would not fit its slot")
    for n, scaled in enumerate(vowels.match_levels(recordings), start=1):
        vowels.write_samples(out / "mix" / f"{n}.wav", scaled)
        print(f"  mix/{n}.wav {NUMBERS[n - 1]}: {vowels.describe(scaled)}")
    lines = ["[INFO]", f"FILEPATH={folder}/", f"TOTAL={TOTAL}"]
    for d, row in enumerate(LEVELS, start=1):
        lines.append(f"[DATA{d}]")
        lines += [f"BEGIN{b}={level}" for b, level in enumerate(row, start=1)]
    (out / "CreateMix.ini").write_bytes(("\r\n".join(lines) + "\r\n").encode("ascii"))


if __name__ == "__main__":
    main()
