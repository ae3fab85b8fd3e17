#!/usr/bin/env python3
"""Writes the syllable masking material and the presentation list of the
demo station.

masking/ holds the masked vowels 1.wav ... 5.wav (copies of the kit's
vowels) and four sea-wave maskers made with sox from noise: low-passed and
slowly swelling like surf. "sea1" is pink noise, "sea2" a darker brown
noise; the "(fre)" variants are band-passed around the vowels' formant
region, so they mask the vowels more. sox runs in repeatable mode, so every
run writes the same bytes.

syllablemask.ini is the syllable masking test (four items: う, あ and two
sea waves as maskers, the masked vowel rising from -30 to 0 dB); play.ini
the presentation list (two sentences, a pause after the second, and a sea
wave). Both are written as the other kit scenarios: cp932, CR LF,
backslash folders.

usage: masking.py OUT_DIR PICTURE_FOLDER PICTURE_COUNT
"""
import shutil
import subprocess
import sys
from pathlib import Path

RATE = 22050
SECONDS = 1.5

# name: (noise colour, filter effect, swell period in seconds)
MASKERS = {
    "sea1": ("pinknoise", ["lowpass", "1200"], 6.0),
    "sea2": ("brownnoise", ["lowpass", "700"], 8.0),
    "sea1(fre)": ("pinknoise", ["sinc", "300-3000"], 6.0),
    "sea2(fre)": ("brownnoise", ["sinc", "250-2500"], 8.0),
}

ITEMS = ["3.wav", "1.wav", "sea1.wav", "sea2(fre).wav"]


def make_masker(path, colour, band, period):
    # tremolo's speed is in Hz: one swell per `period` seconds, 60 % deep;
    # the level is brought to -12 dBFS so the vowels are of the same order.
    subprocess.run(
        ["sox", "-R", "-n", "-r", str(RATE), "-b", "16", "-c", "1", str(path),
         "synth", str(SECONDS), colour, *band,
         "tremolo", f"{1.0 / period:.4f}", "60", "fade", "t", "0.1", str(SECONDS), "0.1",
         "gain", "-n", "-12"],
        check=True)


def ini(lines):
    return "".join(line + "\r\n" for line in lines).encode("cp932")


def main():
    if len(sys.argv) != 4:
        sys.exit(__doc__.strip().splitlines()[-1])
    out = Path(sys.argv[1])
    pictures, picture_count = sys.argv[2], int(sys.argv[3])
    folder = out / "masking"
    folder.mkdir(parents=True, exist_ok=True)
    for n in range(1, 6):
        shutil.copyfile(out / "vowels" / f"{n}.wav", folder / f"{n}.wav")
    for name, (colour, band, period) in MASKERS.items():
        make_masker(folder / f"{name}.wav", colour, band, period)

    lines = ["; 音声分離実験: maskers う, あ, sea1, sea2(fre); masked vowel -30 ... 0 dB",
             "[INFO]", "TESTTYPE=SYLLABLEMASKING", f"TOTAL={len(ITEMS)}",
             f"PICTUREPATH={pictures}", f"PICTURENUMBER={picture_count}",
             "FILEPATH=masking\\"]
    for i, name in enumerate(ITEMS, 1):
        lines += ["", f"[DATA{i}]", f"FILENAME={name}", "TYPE=1", "BEGIN=-30", "END=0",
                  "INTERVAL=10", "NUMBER=4"]
    (out / "syllablemask.ini").write_bytes(ini(lines))

    entries = [("sentences\\1.wav", "一つ目の文", 0), ("sentences\\2.wav", "二つ目の文", 1),
               ("masking\\sea1.wav", "波の音", 0)]
    lines = ["; 音声を再生: two sentences, a pause after the second, a sea wave",
             "[INFO]", "TESTTYPE=PLAY", f"TOTAL={len(entries)}",
             f"PICTUREPATH={pictures}", f"PICTURENUMBER={picture_count}", "VOLUME=60"]
    for i, (path, description, pause) in enumerate(entries, 1):
        lines += ["", f"[DATA{i}]", f"FILEPATHNAME={path}", f"DESCRIPTION={description}",
                  f"PAUSE={pause}"]
    (out / "play.ini").write_bytes(ini(lines))


if __name__ == "__main__":
    main()
