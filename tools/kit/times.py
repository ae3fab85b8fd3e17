#!/usr/bin/env python3
"""Makes the time listening test of the demo station.

times/H00.wav ... H23.wav and times/M00.wav ... M59.wav: the hours (れいじ ...
にじゅうさんじ) and the minutes (れいふん ... ごじゅうきゅうふん) spoken by
espeak-ng's Japanese voice, made like the vowels (22050 Hz 16-bit mono PCM,
silence cut, 5 ms fades, one common RMS level with 6 dB of headroom). The
test plays an hour, 0.2 s of silence and a minute.

clock.jpg (320 x 320): the clock face the test draws its hands on, drawn with
ImageMagick: a dial with minute and hour marks and the numerals 1 ... 12.

time.ini: the scenario (cp932, CR LF, backslash folders, as the station's
other scenarios), four items of three trials: clear, faster, interrupted and
in noise; the faster one draws from a range over midnight.

usage: times.py OUT_DIR PICTURE_FOLDER PICTURE_COUNT
"""
import math
import sys
import tempfile
from pathlib import Path

import pictures
import vowels

DIGITS = ["", "いち", "に", "さん", "よん", "ご", "ろく", "なな", "はち", "きゅう"]
HOURS = ["れい", "いち", "に", "さん", "よ", "ご", "ろく", "しち", "はち", "く", "じゅう", "じゅういち",
         "じゅうに", "じゅうさん", "じゅうよ", "じゅうご", "じゅうろく", "じゅうしち", "じゅうはち",
         "じゅうく", "にじゅう", "にじゅういち", "にじゅうに", "にじゅうさん"]
# The minute's last digit decides between ふん and ぷん (and a small っ).
UNITS = ["", "いっぷん", "にふん", "さんぷん", "よんぷん", "ごふん", "ろっぷん", "ななふん", "はっぷん",
         "きゅうふん"]
TENS = ["", "じゅう", "にじゅう", "さんじゅう", "よんじゅう", "ごじゅう"]
SPEED = 140

ITEMS = [
    # TYPEMASK, PLAYSPEED, SNR, CYCLE, DUTYCYCLE, BEGIN, END, NUMBER
    (0, 1.0, 0.0, 0.0, 1.0, "09:00", "09:59", 3),
    (1, 1.5, 0.0, 0.0, 1.0, "23:50", "00:10", 3),
    (12, 1.0, 0.0, 120.0, 0.5, "13:00", "14:30", 3),
    (2, 1.0, 0.03, 0.0, 1.0, "06:00", "06:30", 3),
]


def hour_text(h):
    return HOURS[h] + "じ"


def minute_text(m):
    if m == 0:
        return "れいふん"
    tens, unit = divmod(m, 10)
    if unit == 0:
        return TENS[tens][:-1] + "っぷん"
    return TENS[tens] + UNITS[unit]


def clock_face(path):
    size, c = 320, 160
    draw = ["-size", f"{size}x{size}", f"xc:{pictures.PAPER}", "-stroke", pictures.INK,
            "-strokewidth", "6", "-fill", "white", "-draw", f"circle {c},{c} {c},{8}"]
    for k in range(60):
        a = math.pi * k / 30
        inner = 126 if k % 5 == 0 else 138
        width = 5 if k % 5 == 0 else 2
        draw += ["-strokewidth", str(width), "-draw",
                 f"line {c + inner * math.sin(a):.1f},{c - inner * math.cos(a):.1f} "
                 f"{c + 146 * math.sin(a):.1f},{c - 146 * math.cos(a):.1f}"]
    draw += ["-stroke", "none", "-fill", pictures.INK, "-font", pictures.font(), "-pointsize", "30",
             "-gravity", "center"]
    for n in range(1, 13):
        a = math.pi * n / 6
        draw += ["-annotate", f"{104 * math.sin(a):+.0f}{-104 * math.cos(a):+.0f}", str(n)]
    draw += ["-fill", pictures.ACCENT, "-draw", f"circle {c},{c} {c + 7},{c}"]
    pictures.convert(draw, f"JPG:{path}")


def scenario(picture_folder, picture_count):
    lines = ["; 時刻の聞き取り: 時と分の録音を 0.2 秒あけて 3 回", "[INFO]", "TESTTYPE=TIME",
             f"TOTAL={len(ITEMS)}", f"PICTUREPATH={picture_folder}",
             f"PICTURENUMBER={picture_count}", "FILEPATH=times\\"]
    for n, (mask, speed, snr, cycle, duty, begin, end, number) in enumerate(ITEMS, start=1):
        lines += ["", f"[DATA{n}]", f"TYPEMASK={mask}", f"PLAYSPEED={speed}", f"SNR={snr}",
                  f"CYCLE={cycle}", f"DUTYCYCLE={duty}", f"BEGIN={begin}", f"END={end}",
                  f"NUMBER={number}"]
    return "".join(line + "\r\n" for line in lines).encode("cp932")


def main():
    if len(sys.argv) != 4:
        sys.exit(__doc__.strip().splitlines()[-1])
    out = Path(sys.argv[1])
    (out / "times").mkdir(parents=True, exist_ok=True)
    names = [f"H{h:02d}" for h in range(24)] + [f"M{m:02d}" for m in range(60)]
    texts = [hour_text(h) for h in range(24)] + [minute_text(m) for m in range(60)]
    with tempfile.TemporaryDirectory() as tmp:
        work = Path(tmp)
        recordings = []
        for name, text in zip(names, texts):
            vowels.record(text, work / f"{name}.wav", work, speed=SPEED)
            recordings.append(vowels.read_samples(work / f"{name}.wav"))
    if any(len(s) < vowels.RATE // 5 for s in recordings):
        sys.exit("espeak-ng gave a time shorter than 0.2 s")
    for name, text, scaled in zip(names, texts, vowels.match_levels(recordings)):
        vowels.write_samples(out / "times" / f"{name}.wav", scaled)
    print(f"  times/H00.wav ... M59.wav: {len(names)} recordings, e.g. "
          f"H10 {texts[10]}, M05 {texts[29]}")
    clock_face(out / "clock.jpg")
    (out / "time.ini").write_bytes(scenario(sys.argv[2], int(sys.argv[3])))


if __name__ == "__main__":
    main()
