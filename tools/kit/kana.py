#!/usr/bin/env python3
"""Records the 104 syllables of the interrupted speech test with espeak-ng
and writes its demo scenario.

kana/1.wav あ ... kana/104.wav ぴょ, numbered as the program's kana table:
1-35 あ ... ほ, 36-38 や ゆ よ, 39-43 ら ... ろ, 44 わ, 45 ん, 46 を,
47-71 が ... ぽ, 72-104 きゃ ... ぴょ. Each is made as the vowels are (voice
"ja", 22050 Hz 16-bit mono, silence cut, 5 ms fades, one RMS level for all,
6 dB of headroom), so the same text gives the same bytes on every run.

syllable.ini plays three items of ten syllables: the plain rows cut into
100 ms periods with half of each heard, the voiced rows at 50 ms periods
with half heard, and the contracted rows at 100 ms periods with 70 % heard.
Like the other scenarios it is cp932 with CR LF and backslash folders.

usage: kana.py OUT_DIR PICTURE_FOLDER PICTURE_COUNT
       kana.py --table    (prints "number<TAB>kana" for every syllable)
"""
import sys
import tempfile
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import vowels  # noqa: E402  (record, read_samples, match_levels, write_samples)

KANA = (
    "あいうえおかきくけこさしすせそたちつてとなにぬねのはひふへほまみむめも"
    "やゆよらりるれろわんを"
    "がぎぐげござじずぜぞだぢづでどばびぶべぼぱぴぷぺぽ"
)
CONTRACTED = "きしちにひみりぎじびぴ"
TABLE = list(KANA) + [c + y for c in CONTRACTED for y in "ゃゅょ"]
assert len(TABLE) == 104

# (TYPEMASK, CYCLE, DUTYCYCLE, BEGIN, END, NUMBER) of the three items.
ITEMS = [
    (8, 100, 0.5, 1, 46, 10),
    (8, 50, 0.5, 47, 71, 10),
    (8, 100, 0.7, 72, 104, 10),
]


def scenario(pictures, picture_count):
    lines = [
        "; interrupted speech: syllables 1.wav (あ) ... 104.wav (ぴょ)",
        "[INFO]",
        "TESTTYPE=SYLLABLE",
        f"TOTAL={len(ITEMS)}",
        f"PICTUREPATH={pictures}",
        f"PICTURENUMBER={picture_count}",
        "FILEPATH=kana\\",
        "TYPE=TEST",
    ]
    for i, (mask, cycle, duty, begin, end, number) in enumerate(ITEMS, start=1):
        lines += [
            "",
            f"; {TABLE[begin - 1]} ... {TABLE[end - 1]}",
            f"[DATA{i}]",
            f"TYPEMASK={mask}",
            "PLAYSPEED=1",
            "SNR=0",
            f"CYCLE={cycle}",
            f"DUTYCYCLE={duty}",
            f"BEGIN={begin}",
            f"END={end}",
            f"NUMBER={number}",
        ]
    return "".join(line + "\r\n" for line in lines).encode("cp932")


def main():
    if sys.argv[1:] == ["--table"]:
        for n, kana in enumerate(TABLE, start=1):
            print(f"{n}\t{kana}")
        return
    if len(sys.argv) != 4:
        sys.exit(__doc__.strip().splitlines()[-2].strip())
    out = Path(sys.argv[1])
    (out / "kana").mkdir(parents=True, exist_ok=True)
    with tempfile.TemporaryDirectory() as tmp:
        work = Path(tmp)
        recordings = []
        for n, kana in enumerate(TABLE, start=1):
            vowels.record(kana, work / f"{n}.wav", work)
            recordings.append(vowels.read_samples(work / f"{n}.wav"))
    if any(len(s) < vowels.RATE // 10 for s in recordings):
        sys.exit("espeak-ng gave a syllable shorter than 0.1 s")
    for n, scaled in enumerate(vowels.match_levels(recordings), start=1):
        vowels.write_samples(out / "kana" / f"{n}.wav", scaled)
    print(f"  kana/1.wav ... kana/{len(TABLE)}.wav: {len(TABLE)} syllables")
    (out / "syllable.ini").write_bytes(scenario(sys.argv[2], int(sys.argv[3])))


if __name__ == "__main__":
    main()
