#!/usr/bin/env python3
"""Records the five Japanese vowels of the demo station with espeak-ng.

1.wav あ, 2.wav い, 3.wav う, 4.wav え, 5.wav お: 22050 Hz, 16-bit mono PCM.
sox converts the synthesiser's output to that format and cuts the leading
and trailing silence; the cut edges are faded in and out over 5 ms, so that
no click is heard. Then all five are scaled to the same RMS level, as loud as
the loudest peak allows with 6 dB of headroom: the test adds a masked vowel
to a masking one at up to the same level, and the sum should not clip.

usage: vowels.py OUT_DIR
"""
import array
import math
import subprocess
import sys
import tempfile
import wave
from pathlib import Path

VOWELS = "あいうえお"
RATE = 22050
HEADROOM = 0.5  # peak limit, -6 dBFS
MAX_RMS = 0.1  # -20 dBFS, the level when the peaks allow it
FADE_MS = 5


def record(text, path, work, speed=120):
    """Speaks the text into path: 22050 Hz 16-bit mono, leading and trailing
    silence cut. A slightly slow voice (120 words a minute) gives a vowel of
    about 0.3 s."""
    raw = work / "raw.wav"
    subprocess.run(["espeak-ng", "-v", "ja", "-s", str(speed), "-w", str(raw), text], check=True)
    subprocess.run(
        ["sox", str(raw), "-r", str(RATE), "-b", "16", "-c", "1", "-e", "signed-integer", str(path),
         "silence", "1", "0.005", "1%", "reverse", "silence", "1", "0.005", "1%", "reverse"],
        check=True)


def read_samples(path):
    with wave.open(str(path), "rb") as w:
        if (w.getnchannels(), w.getsampwidth(), w.getframerate()) != (1, 2, RATE):
            sys.exit(f"{path}: sox did not give 22050 Hz 16-bit mono")
        samples = array.array("h")
        samples.frombytes(w.readframes(w.getnframes()))
    if sys.byteorder != "little":
        samples.byteswap()
    return samples


def write_samples(path, samples):
    if sys.byteorder != "little":
        samples = array.array("h", samples)
        samples.byteswap()
    with wave.open(str(path), "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(RATE)
        w.writeframes(samples.tobytes())


def rms(s):
    return math.sqrt(sum(x * x for x in s) / len(s)) / 32768


def peak(s):
    return max(abs(x) for x in s) / 32768


def describe(s):
    return (f"{len(s) / RATE:.3f} s, rms {20 * math.log10(rms(s)):.1f} dBFS, "
            f"peak {20 * math.log10(peak(s)):.1f} dBFS")


def match_levels(recordings):
    """The recordings scaled to one RMS level, the loudest that keeps every
    peak under the limit, with 5 ms fades at both ends."""
    target = min([MAX_RMS] + [rms(s) * HEADROOM / peak(s) for s in recordings])
    fade = RATE * FADE_MS // 1000
    scaled = []
    for s in recordings:
        gain = target / rms(s)

        def envelope(k):
            edge = min(k, len(s) - 1 - k)
            return 1.0 if edge >= fade else math.sin(0.5 * math.pi * edge / fade)

        scaled.append(array.array(
            "h", (max(-32768, min(32767, round(x * gain * envelope(k)))) for k, x in enumerate(s))))
    return scaled


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__.strip().splitlines()[-1])
    out = Path(sys.argv[1])
    with tempfile.TemporaryDirectory() as tmp:
        work = Path(tmp)
        recordings = []
        for n, vowel in enumerate(VOWELS, start=1):
            record(vowel, work / f"{n}.wav", work)
            recordings.append(read_samples(work / f"{n}.wav"))

    if any(len(s) < RATE // 10 for s in recordings):
        sys.exit("espeak-ng gave a vowel shorter than 0.1 s")
    for n, scaled in enumerate(match_levels(recordings), start=1):
        write_samples(out / f"{n}.wav", scaled)
        print(f"  {n}.wav {VOWELS[n - 1]}: {describe(scaled)}")


if __name__ == "__main__":
    main()
