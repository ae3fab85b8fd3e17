#!/usr/bin/env python3
"""Writes speedup.ini, the speeded syllable scenario of the demo station.

The items are the kit's own vowel recordings in panel order (1.wav あ ...
5.wav お), each played three times from normal speed up to three times as
fast in steps of 0.2, one wrong answer tolerated at each speed. Written as
the station files of older labs are: cp932, CR LF line ends, backslash
paths (relative ones are taken in the scenario's folder).

usage: speedup.py OUT_DIR SOUND_FOLDER PICTURE_FOLDER PICTURE_COUNT
"""
import sys
from pathlib import Path

VOWELS = "あいうえお"


def scenario(sound, pictures, picture_count):
    lines = [
        "; 加速音声の実験: the five vowels, faster and faster",
        "[INFO]",
        "TESTTYPE=SYLLABLESPEEDUP",
        "TOTAL=5",
        f"PICTUREPATH={pictures}",
        f"PICTURENUMBER={picture_count}",
        "VOLUME=60",
        "SEQTYPE=0",
    ]
    for i, vowel in enumerate(VOWELS):
        lines += [
            "",
            f"[DATA{i + 1}]",
            f"FILEPATHNAME={sound}{i + 1}.wav",
            "BEGIN=1.0",
            "END=3.0",
            "INTERVAL=0.2",
            "MISSPERMISSION=1",
            "PLAYTIMES=3",
            f"DESCRIPTION=母音{vowel}",
        ]
    return "".join(line + "\r\n" for line in lines).encode("cp932")


def main():
    if len(sys.argv) != 5:
        sys.exit(__doc__.strip().splitlines()[-1])
    out = Path(sys.argv[1])
    (out / "speedup.ini").write_bytes(scenario(sys.argv[2], sys.argv[3], int(sys.argv[4])))


if __name__ == "__main__":
    main()
