#!/usr/bin/env python3
"""Records the short sentences of the demo station's sentence recognition test.

1.wav ... 5.wav: the sentences below spoken by espeak-ng's Japanese voice,
made like the vowels (22050 Hz 16-bit mono PCM, leading and trailing silence
cut, 5 ms fades, one common RMS level with 6 dB of headroom). Each sentence
is written in hiragana, as a subject types what was heard; that text is the
material's content, to which the answers are compared. The sentences avoid
the particles は and へ, which the synthesiser reads as written (ha, he), not
as spoken (wa, e).

usage: sentences.py OUT_DIR      writes the recordings
       sentences.py --contents   prints "N<TAB>content" for each recording
"""
import sys
import tempfile
from pathlib import Path

import vowels

SENTENCES = [
    "ねこがすきです",
    "あさごはんをたべました",
    "みちがわかりません",
    "みずをのみたいです",
    "あしたあめがふります",
]
SPEED = 130  # words a minute: a little slower than the voice's default


def main():
    if sys.argv[1:] == ["--contents"]:
        for n, text in enumerate(SENTENCES, start=1):
            print(f"{n}\t{text}")
        return
    if len(sys.argv) != 2:
        sys.exit("\n".join(__doc__.strip().splitlines()[-2:]))
    out = Path(sys.argv[1])
    with tempfile.TemporaryDirectory() as tmp:
        work = Path(tmp)
        recordings = []
        for n, text in enumerate(SENTENCES, start=1):
            vowels.record(text, work / f"{n}.wav", work, speed=SPEED)
            recordings.append(vowels.read_samples(work / f"{n}.wav"))
    if any(len(s) < vowels.RATE // 2 for s in recordings):
        sys.exit("espeak-ng gave a sentence shorter than 0.5 s")
    for n, scaled in enumerate(vowels.match_levels(recordings), start=1):
        vowels.write_samples(out / f"{n}.wav", scaled)
        print(f"  {n}.wav {SENTENCES[n - 1]}: {vowels.describe(scaled)}")


if __name__ == "__main__":
    main()
