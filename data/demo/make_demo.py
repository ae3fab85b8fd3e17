#!/usr/bin/env python3
"""Writes the demo station kit: a short tone and a small legacy scenario.

The tone is written with Python's own wave module (an independent writer),
the scenario in cp932 with CR LF line ends and backslash paths, as the
station files of older labs are.
"""
import math
import struct
import wave
from pathlib import Path

here = Path(__file__).resolve().parent

rate = 22050
with wave.open(str(here / "tone.wav"), "wb") as w:
    w.setnchannels(1)
    w.setsampwidth(2)
    w.setframerate(rate)
    frames = b"".join(
        struct.pack("<h", int(8000 * math.sin(2 * math.pi * 1000 * i / rate)))
        for i in range(rate // 2)
    )
    w.writeframes(frames)

scenario = (
    "; demo scenario: interrupted kana, two items\r\n"
    "[INFO]\r\n"
    "TESTTYPE=SYLLABLE\r\n"
    "TOTAL=2\r\n"
    "PICTUREPATH=pictures\\\r\n"
    "PICTURENUMBER=1\r\n"
    "FILEPATH=syllables\\ ;folder of 1.wav ... 104.wav\r\n"
    "TITLE=抹消音声のデモ\r\n"
    "\r\n"
    "[DATA1]\r\n"
    "BEGIN=1\r\n"
    "END=5\r\n"
    "NUMBER=5\r\n"
    "CYCLE=200\r\n"
    "DUTYCYCLE=0.5\r\n"
    "\r\n"
    "[DATA2]\r\n"
    "BEGIN=6\r\n"
    "END=10\r\n"
    "NUMBER=5\r\n"
    "CYCLE=100\r\n"
    "DUTYCYCLE=0.75\r\n"
)
(here / "scenario.ini").write_bytes(scenario.encode("cp932"))
