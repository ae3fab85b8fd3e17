#!/usr/bin/env python3
"""Writes the reference wave files used by the wave file tests.

The files are made with Python's standard `wave` module, a writer independent
of ours, so the tests can check that our reader understands them and that our
writer produces the same bytes for the same samples.

Sample formulas (the tests compute the same values):
  ref_mono16_22050.wav   200 samples, signed 16-bit: (i * 977) % 65536 - 32768
  ref_mono8_11025.wav    150 samples, unsigned 8-bit: (i * 37) % 256
  ref_stereo16_44100.wav 100 frames, left  (i * 301) % 65536 - 32768,
                                    right -left - 1
  ref_stereo8_11025.wav  64 frames,  left (i * 5) % 256, right 255 - left

Run from anywhere: python3 tests/data/make_reference_waves.py
"""

import os
import struct
import wave

HERE = os.path.dirname(os.path.abspath(__file__))


def write(name, channels, sample_width, rate, frames):
    with wave.open(os.path.join(HERE, name), "wb") as out:
        out.setnchannels(channels)
        out.setsampwidth(sample_width)
        out.setframerate(rate)
        out.writeframes(frames)


def pack16(values):
    return b"".join(struct.pack("<h", v) for v in values)


def main():
    write("ref_mono16_22050.wav", 1, 2, 22050,
          pack16((i * 977) % 65536 - 32768 for i in range(200)))

    write("ref_mono8_11025.wav", 1, 1, 11025,
          bytes((i * 37) % 256 for i in range(150)))

    stereo16 = []
    for i in range(100):
        left = (i * 301) % 65536 - 32768
        stereo16 += [left, -left - 1]
    write("ref_stereo16_44100.wav", 2, 2, 44100, pack16(stereo16))

    stereo8 = bytearray()
    for i in range(64):
        left = (i * 5) % 256
        stereo8 += bytes([left, 255 - left])
    write("ref_stereo8_11025.wav", 2, 1, 11025, bytes(stereo8))


if __name__ == "__main__":
    main()
