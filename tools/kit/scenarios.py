#!/usr/bin/env python3
"""Writes the vowel discrimination scenarios of the demo station.

configtry.ini is the practice run (four pairs, a few steps each, kind TRY);
config1.ini and config2.ini are the measured sessions for subjects of 45 or
younger and older than 45 (all 25 pairs, kind TEST). They are written as the
station files of older labs are: cp932, CR LF line ends, backslash paths.

Levels are the masked vowel's level in dB relative to its recording, the
masking vowel playing at its own level; a correct answer moves the pair one
INTERVAL (negative) lower, down to END. A pair whose BEGIN is below its END
is never played, which is how the practice run leaves pairs out.

usage: scenarios.py OUT_DIR SOUND_FOLDER PICTURE_FOLDER PICTURE_COUNT
"""
import sys
from pathlib import Path

VOWELS = "あいうえお"

# Pairs played in practice (masking, masked), as vowel codes 0 あ ... 4 お.
PRACTICE_PAIRS = {(0, 1), (2, 4), (3, 3), (1, 2)}


def scenario(title, kind, sound, pictures, picture_count, rests, misses, interval, levels):
    """levels(i, j) gives (BEGIN, END) of the pair masking i, masked j."""
    lines = [
        f"; {title}",
        "; vowel recordings 1.wav (あ) ... 5.wav (お), levels in dB",
        "[INFO]",
        "TESTTYPE=NEWSYLLABLEMASKING",
        "TOTAL=5",
        f"PICTUREPATH={pictures}",
        f"PICTURENUMBER={picture_count}",
        f"FILEPATH={sound}",
        "VOLUME=60",
        "",
        "[DATA]",
        "VOLUME=60",
        f"INTERVAL={interval}",
        f"TYPE={kind}",
        f"MISSPERMISSION={misses}",
        f"RESTPERMISSION={rests}",
        "ONEPLAYTIMES=1",
        "TWOPLAYTIMES=1",
        "AUTOCONFIRM=0",
        "BEEP=1",
    ]
    for i in range(5):
        lines += ["", f"; masking vowel {VOWELS[i]}", f"[DATA{i + 1}]"]
        for j in range(5):
            begin, end = levels(i, j)
            lines += [f"BEGIN{j + 1}={begin}", f"END{j + 1}={end}"]
    text = "".join(line + "\r\n" for line in lines)
    # A cp932 trail byte can be 0x5C or 0x5D, which an INI reader may take
    # for a backslash or the end of a section name; the kit's own texts keep
    # clear of such characters.
    for ch in text:
        if len(ch.encode("cp932")) == 2 and ch.encode("cp932")[1] in b"\\]":
            raise SystemExit(f"scenario text has {ch!r}, whose cp932 form ends in 0x5C/0x5D")
    return text.encode("cp932")


def practice_levels(i, j):
    # Three easy steps for the practice pairs; BEGIN above END leaves the
    # others out.
    return (0, -6) if (i, j) in PRACTICE_PAIRS else (0, 1)


def measured_levels(separation_begin, separation_end):
    def levels(i, j):
        # The same vowel twice is heard far down; two different vowels are
        # told apart within the range of the age estimate (-3 ... -24 dB).
        if i == j:
            return (-6, -27)
        return (separation_begin, separation_end)

    return levels


def main():
    if len(sys.argv) != 5:
        sys.exit(__doc__.strip().splitlines()[-1])
    out = Path(sys.argv[1])
    sound, pictures, picture_count = sys.argv[2], sys.argv[3], int(sys.argv[4])
    files = {
        "configtry.ini": scenario(
            "母音識別の練習", "TRY", sound, pictures, picture_count,
            rests=0, misses=0, interval=-3, levels=practice_levels),
        # Up to 45 years: starts lower and goes further down.
        "config1.ini": scenario(
            "母音識別テスト（45歳以下）", "TEST", sound, pictures, picture_count,
            rests=2, misses=1, interval=-3, levels=measured_levels(-3, -27)),
        # Over 45 years: starts louder, stops earlier.
        "config2.ini": scenario(
            "母音識別テスト（46歳以上）", "TEST", sound, pictures, picture_count,
            rests=2, misses=1, interval=-3, levels=measured_levels(0, -24)),
    }
    for name, data in files.items():
        (out / name).write_bytes(data)


if __name__ == "__main__":
    main()
