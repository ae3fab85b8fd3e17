#!/usr/bin/env bash
# Builds the demo station kit for the vowel discrimination session into a
# station folder (the argument):
#
#   vowels/1.wav ... 5.wav   あ い う え お spoken by espeak-ng, 22050 Hz 16-bit
#                            mono, trimmed and level-matched
#   sentences/1.wav ... 5.wav  short sentences spoken by espeak-ng, made like
#                            the vowels, for the sentence recognition test
#   times/H00.wav ... M59.wav  the hours and minutes spoken by espeak-ng, for
#                            the time listening test (tools/kit/times.py)
#   clock.jpg                its clock face, drawn
#   time.ini                 its scenario
#   kana/1.wav ... 104.wav   the syllables of the interrupted speech test,
#                            あ ... ぴょ by their kana table numbers, made like
#                            the vowels (tools/kit/kana.py)
#   syllable.ini             its scenario: three items of ten syllables
#   masking/1.wav ... 5.wav, sea1.wav, sea2.wav, sea1(fre).wav, sea2(fre).wav
#                            the syllable masking test's vowels and sea-wave
#                            maskers (sox: filtered, slowly swelling noise)
#   syllablemask.ini         syllable masking scenario (SYLLABLEMASKING)
#   play.ini                 presentation list (PLAY): sentences and a sea wave
#   mix/1.wav ... 5.wav      numbers spoken by espeak-ng, the mix generator's
#                            maskers and targets
#   CreateMix.ini            the mix description (Process -> Mix generator)
#   configtry.ini            practice scenario (four pairs)
#   config1.ini, config2.ini measured scenarios (all 25 pairs), ages <= 45 / > 45
#   speedup.ini              the speeded syllable scenario over the same vowels
#   pictures/pic1.bmp ...    instruction pictures shown during the test
#   headphone.jpg            the picture beside the directions
#   Data/                    where the result workbooks go
#   kestrune.ini             the station's settings: the sound devices (the
#                            default ones), for the experimenter to edit
#
# Everything is made here from espeak-ng, sox and ImageMagick drawing; nothing
# is downloaded. A second run writes the same bytes, replaces only files that
# differ and never touches TestData.db, kestrune.ini once it exists or the
# contents of Data/.
#
# The sentences become audio materials of the station's database, and
# sentence.ini their scenario, by tools/kit/register-sentences.sh STATION
# KESTRUNE_CLI once the database exists (tools/run.sh runs it after db init):
# their scenario names them by the IDs the database gives them. tools/run.sh
# then fills a new station's database with generated results (kestrune-cli
# demo results): four simulated subjects take the interrupted speech test on
# syllable.ini and the vowel test on configtry.ini and config1.ini/config2.ini,
# so the analyses show numbers from the first start.
set -euo pipefail

if [[ $# -ne 1 ]]; then
  echo "usage: $0 STATION_FOLDER" >&2
  exit 2
fi
station=$1
kit=$(cd "$(dirname "$0")/kit" && pwd)

for tool in espeak-ng sox convert fc-match python3; do
  if ! command -v "$tool" >/dev/null; then
    echo "$0: $tool is missing (bash tools/install-deps.sh installs it)" >&2
    exit 1
  fi
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/vowels" "$work/sentences" "$work/pictures"

echo "Recording the vowels with espeak-ng:"
python3 "$kit/vowels.py" "$work/vowels"
echo "Recording the sentences with espeak-ng:"
python3 "$kit/sentences.py" "$work/sentences"
echo "Recording the mix generator's numbers with espeak-ng:"
python3 "$kit/mix.py" "$work" "$station"
pictures=$(python3 "$kit/pictures.py" "$work" "$work/pictures")
python3 "$kit/scenarios.py" "$work" "vowels\\" "pictures\\" "$pictures"
python3 "$kit/speedup.py" "$work" "vowels\\" "pictures\\" "$pictures"
echo "Recording the clock times with espeak-ng:"
python3 "$kit/times.py" "$work" "pictures\\" "$pictures"

echo "Recording the syllables with espeak-ng:"
python3 "$kit/kana.py" "$work" "pictures\\" "$pictures"

echo "Making the sea-wave maskers with sox:"
python3 "$kit/masking.py" "$work" "pictures\\" "$pictures"

mkdir -p "$station/vowels" "$station/sentences" "$station/times" "$station/kana" "$station/masking" \
  "$station/mix" "$station/pictures" "$station/Data"
made=0
while IFS= read -r -d '' file; do
  name=${file#"$work"/}
  if cmp -s "$file" "$station/$name"; then
    echo "  unchanged $station/$name"
  else
    cp "$file" "$station/$name"
    echo "  made      $station/$name"
    made=$((made + 1))
  fi
done < <(find "$work" -type f -print0 | sort -z)
# The settings are the experimenter's once written: never replaced.
if [[ -e $station/kestrune.ini ]]; then
  echo "  kept      $station/kestrune.ini"
else
  cat >"$station/kestrune.ini" <<'INI'
; Kestrune station settings, read when the program starts.
;
; [Audio]: the sound devices, by the names "kestrune-cli audio devices"
; prints after name= (HostApi: a hostapi line's name, to pick among devices
; of the same name). Empty or "default": the system's default device. A
; device that is not there is named in the station log and on the terminal
; at start, and the default device plays instead.
[Audio]
HostApi=
OutputDevice=default
InputDevice=default
INI
  echo "  made      $station/kestrune.ini"
  made=$((made + 1))
fi
echo "Station kit in $station: $made file(s) written, Data/ for the workbooks"
echo "Register the sentences: kestrune-cli --station $station db init, then"
echo "  bash tools/kit/register-sentences.sh $station KESTRUNE_CLI"
echo "Demo results (simulated subjects): kestrune-cli --station $station demo results"
