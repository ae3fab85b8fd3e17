#!/usr/bin/env python3
"""Draws the pictures of the demo station with ImageMagick.

headphone.jpg (480 x 480), shown beside the directions, and the instruction
pictures pic1.bmp ... pic4.bmp (400 x 300, 24-bit BMP) that the vowel test
shows in turn, one after each answer. Everything is drawn from primitives;
the text uses the rounded Japanese face the panels use (MotoyaLMaru), or
IPAPGothic when it is missing.

usage: pictures.py HEADPHONE_DIR PICTURE_DIR
"""
import math
import subprocess
import sys
from pathlib import Path

VOWELS = "あいうえお"
INK = "#2b3a55"
ACCENT = "#e07a5f"
PAPER = "#fdf6e3"


def font():
    for family in ("MotoyaLMaru", "IPAPGothic"):
        found = subprocess.run(["fc-match", "-f", "%{family}\n%{file}", family],
                               capture_output=True, text=True, check=True).stdout.splitlines()
        if found and family in found[0]:
            return found[1]
    sys.exit("no Japanese font: install fonts-motoya-l-maruberi or fonts-ipafont-gothic")


def convert(args, out):
    # -strip keeps dates out of the files, so a second run writes the same bytes.
    subprocess.run(["convert", *args, "-strip", out], check=True)


def headphone(cx, cy, scale):
    """Draw primitives of a headphone centred at (cx, cy)."""
    s = scale
    return [
        # The band: a half ring drawn as one filled polygon (ImageMagick 6
        # closes stroked arcs and polylines with a chord).
        "-stroke", "none", "-fill", INK,
        "-draw", "polygon " + " ".join(
            f"{cx - r * s * math.cos(math.pi * k / 48):.1f},{cy - r * s * math.sin(math.pi * k / 48):.1f}"
            for r, ks in ((161, range(49)), (139, range(48, -1, -1))) for k in ks),
        "-stroke", INK, "-strokewidth", str(int(4 * s)), "-fill", ACCENT,
        "-draw", f"roundrectangle {cx - 175 * s},{cy - 20 * s} {cx - 105 * s},{cy + 130 * s} {20 * s},{20 * s}",
        "-draw", f"roundrectangle {cx + 105 * s},{cy - 20 * s} {cx + 175 * s},{cy + 130 * s} {20 * s},{20 * s}",
        "-fill", "#f4d6cc",
        "-draw", f"roundrectangle {cx - 115 * s},{cy} {cx - 95 * s},{cy + 110 * s} {8 * s},{8 * s}",
        "-draw", f"roundrectangle {cx + 95 * s},{cy} {cx + 115 * s},{cy + 110 * s} {8 * s},{8 * s}",
        "-stroke", "none",
    ]


def caption(face, text, y, size=26, color=INK):
    return ["-font", face, "-pointsize", str(size), "-fill", color, "-stroke", "none",
            "-gravity", "north", "-annotate", f"+0+{y}", text, "-gravity", "northwest"]


def vowel_button(face, x, y, vowel, marked=False):
    fill = ACCENT if marked else "white"
    return ["-stroke", INK, "-strokewidth", "3", "-fill", fill,
            "-draw", f"roundrectangle {x},{y} {x + 60},{y + 60} 10,10",
            "-stroke", "none", "-font", face, "-pointsize", "38",
            "-fill", "white" if marked else INK, "-annotate", f"+{x + 11}+{y + 8}", vowel]


def bubble(face, x, y, vowel):
    return ["-stroke", INK, "-strokewidth", "3", "-fill", "white",
            "-draw", f"ellipse {x},{y} 48,40 0,360",
            "-draw", f"polygon {x - 10},{y + 36} {x + 10},{y + 36} {x - 20},{y + 62}",
            "-stroke", "none", "-draw", f"rectangle {x - 9},{y + 33} {x + 9},{y + 38}",
            "-font", face, "-pointsize", "44", "-fill", INK,
            "-annotate", f"+{x - 22}+{y - 26}", vowel]


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__.strip().splitlines()[-1])
    headphone_dir, picture_dir = Path(sys.argv[1]), Path(sys.argv[2])
    face = font()
    canvas = ["-size", "400x300", f"xc:{PAPER}", "-gravity", "northwest"]

    convert(["-size", "480x480", "xc:white", *headphone(240, 250, 1.2),
             *caption(face, "ヘッドホン", 410, 34)],
            f"JPG:{headphone_dir / 'headphone.jpg'}")

    pictures = [
        # 1: put the headphones on.
        [*headphone(200, 120, 0.6), *caption(face, "ヘッドホンをつけましょう", 240)],
        # 2: two vowels are heard at once.
        [*bubble(face, 140, 110, "あ"), *bubble(face, 260, 110, "い"),
         *caption(face, "二つの母音をよく聞きましょう", 240)],
        # 3: mark the vowels heard, then confirm.
        [*[arg for n, v in enumerate(VOWELS) for arg in vowel_button(face, 30 + 70 * n, 90, v, n in (0, 3))],
         *caption(face, "聞こえた母音を選んで", 190), *caption(face, "「確認」を押しましょう", 235)],
        # 4: a short rest.
        [*caption(face, "ひと休み", 60, 48, ACCENT),
         "-stroke", INK, "-strokewidth", "4", "-fill", "#fff3b0",
         "-draw", "circle 200,170 200,215", "-fill", INK, "-stroke", "none",
         "-draw", "circle 185,160 185,166", "-draw", "circle 215,160 215,166",
         "-fill", "none", "-stroke", INK, "-strokewidth", "4",
         "-draw", "path 'M 183,180 Q 200,198 217,180'",
         "-stroke", "none", *caption(face, "その調子！", 240)],
    ]
    for n, drawing in enumerate(pictures, start=1):
        convert([*canvas, *drawing], f"BMP3:{picture_dir / f'pic{n}.bmp'}")
    print(len(pictures))


if __name__ == "__main__":
    main()
