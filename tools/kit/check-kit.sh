#!/usr/bin/env bash
# Builds the demo station kit into a scratch folder twice and checks it with
# the program's own readers (kestrune-cli wave-info and ini-get): every vowel
# is a 22050 Hz 16-bit mono wave the program reads, the scenarios give the
# keys the vowel discrimination test reads, in cp932 with CR LF and backslash
# folders that exist, kestrune.ini names the default sound devices, the
# second run changes nothing, and a workbook in Data/ and an edited
# kestrune.ini survive it. The sentences are registered twice in the
# station's database: each once, with its content, and sentence.ini plays
# them by their IDs with sweeps of whole steps. kestrune-cli demo results
# writes its subjects' results into that database once and is refused the
# second time. The time test's recordings,
# clock face and scenario are checked by check-times.sh.
# them by their IDs with sweeps of whole steps. The 104 syllables of the
# interrupted speech test are waves like the vowels, numbered as the
# program's kana table, and syllable.ini plays each item from its own range.
#
# usage: tools/kit/check-kit.sh [KESTRUNE_CLI]   (default build/dev/src/cli/kestrune-cli)
set -euo pipefail
cd "$(dirname "$0")/../.."
cli=${1:-build/dev/src/cli/kestrune-cli}
[[ -x $cli ]] || { echo "no $cli: cmake --preset dev && cmake --build --preset dev --target kestrune-cli" >&2; exit 2; }

station=$(mktemp -d)
trap 'rm -rf "$station"' EXIT
failures=0
declare -A before
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
expect() { # expect WHAT ACTUAL WANTED
  [[ $2 == "$3" ]] || fail "$1: got '$2', wanted '$3'"
}

bash tools/make-station-kit.sh "$station" >/dev/null
echo "keep me" >"$station/Data/subject.xls"

for n in 1 2 3 4 5; do
  info=$("$cli" wave-info "$station/vowels/$n.wav") || fail "vowels/$n.wav not readable"
  [[ $info == "channels=1 rate=22050 bits=16 block=2 "* ]] || fail "vowels/$n.wav: $info"
  samples=${info#*samples=}
  samples=${samples%% *}
  # A spoken vowel, trimmed: between 0.15 s and 1 s.
  ((samples > 3307 && samples < 22050)) || fail "vowels/$n.wav has $samples samples"
done

for n in 1 2 3 4 5; do
  info=$("$cli" wave-info "$station/sentences/$n.wav") || fail "sentences/$n.wav not readable"
  [[ $info == "channels=1 rate=22050 bits=16 block=2 "* ]] || fail "sentences/$n.wav: $info"
done

# The syllables: numbered as the program's kana table, each a short wave.
table=$(sed -n '/kTable =/,/;$/p' src/core/kana/KanaTable.cpp | grep -o '"[^"]*"' | tr -d '"\n')
expect "kana table" "$table" "$(python3 tools/kit/kana.py --table | awk -F '\t' '{ printf "、%s", $2 } END { print "、" }')"
for ((n = 1; n <= 104; n++)); do
  info=$("$cli" wave-info "$station/kana/$n.wav") || { fail "kana/$n.wav not readable"; continue; }
  [[ $info == "channels=1 rate=22050 bits=16 block=2 "* ]] || fail "kana/$n.wav: $info"
  samples=${info#*samples=}
  samples=${samples%% *}
  ((samples > 2205 && samples < 33075)) || fail "kana/$n.wav has $samples samples"
done
file=$station/syllable.ini
expect "syllable.ini TESTTYPE" "$("$cli" ini-get "$file" INFO TESTTYPE)" SYLLABLE
expect "syllable.ini FILEPATH" "$("$cli" ini-get "$file" INFO FILEPATH)" "kana\\"
total=$("$cli" ini-get "$file" INFO TOTAL)
((total >= 1 && total <= 20)) || fail "syllable.ini TOTAL $total"
for ((i = 1; i <= total; i++)); do
  get() { "$cli" ini-get "$file" "DATA$i" "$1"; }
  begin=$(get BEGIN) end=$(get END) number=$(get NUMBER)
  ((begin >= 1 && end <= 104 && begin <= end)) || fail "syllable.ini DATA$i range $begin..$end"
  ((number >= 1 && number <= end - begin + 1)) || fail "syllable.ini DATA$i NUMBER $number"
  for key in PLAYSPEED SNR CYCLE DUTYCYCLE; do
    [[ $(get $key) =~ ^[0-9.]+$ ]] || fail "syllable.ini DATA$i $key: $(get $key)"
  done
done

# Registered twice: every sentence once, under its path in the station
# folder, with the content sentences.py gives it.
"$cli" --station "$station" db init >/dev/null
bash tools/kit/register-sentences.sh "$station" "$cli" >/dev/null || fail "registering the sentences"
cp "$station/sentence.ini" "$station/sentence.first"
bash tools/kit/register-sentences.sh "$station" "$cli" >/dev/null || fail "registering again"
cmp -s "$station/sentence.ini" "$station/sentence.first" || fail "a second registration changed sentence.ini"
listing=$("$cli" --station "$station" audio list)
expect "registered materials" "$(wc -l <<<"$listing")" 5
declare -A ids
while IFS=$'\t' read -r n content; do
  row=$(awk -F '\t' -v path="sentences/$n.wav" '$2 == path' <<<"$listing")
  IFS=$'\t' read -r id _ length type sex channels bits stored <<<"$row"
  expect "sentences/$n.wav row" "$type $sex $channels $bits $stored" "Wav U 1 16 $content"
  ((length > 500 && length < 5000)) || fail "sentences/$n.wav lasts $length ms"
  ids[$n]=$id
done < <(python3 tools/kit/sentences.py --contents)

# The demo results: four subjects take the interrupted speech test (three
# items of ten syllables; the first subject a training run too) and the
# vowel tests; a second run is refused and writes nothing.
count() { awk -v t="$1" '$1 == t { print $2 }' <<<"$("$cli" --station "$station" db check)"; }
demo=$("$cli" --station "$station" demo results) || fail "demo results: $demo"
pattern='^demo results: 4 subjects, 15 interrupted speech items \(150 trials\), ([0-9]+) vowel answers, 25 pair averages$'
[[ $demo =~ $pattern ]] || fail "demo results printed '$demo'"
answers=${BASH_REMATCH[1]:-}
for table in IndividualInfo StatisticalRecord BasicRecord NewSyllableMaskRecord \
  StatisticalSyllableMaskRecord; do
  before[$table]=$(count $table)
done
expect "demo rows" "${before[IndividualInfo]} ${before[StatisticalRecord]} ${before[BasicRecord]}" \
  "5 15 150"
expect "demo vowel answers" "${before[NewSyllableMaskRecord]}" "$answers"
expect "demo pair averages" "${before[StatisticalSyllableMaskRecord]}" 25
"$cli" --station "$station" demo results >/dev/null 2>&1 && fail "a second demo results run was not refused"
for table in "${!before[@]}"; do
  expect "$table after a refused demo run" "$(count "$table")" "${before[$table]}"
done

# The syllable masking material: the vowels again and four sea waves, all
# readable at the vowels' format; the scenario names maskers the test knows.
for name in 1 2 3 4 5 sea1 sea2 'sea1(fre)' 'sea2(fre)'; do
  info=$("$cli" wave-info "$station/masking/$name.wav") || fail "masking/$name.wav not readable"
  [[ $info == "channels=1 rate=22050 bits=16 block=2 "* ]] || fail "masking/$name.wav: $info"
done
file=$station/syllablemask.ini
expect "syllablemask.ini TESTTYPE" "$("$cli" ini-get "$file" INFO TESTTYPE)" SYLLABLEMASKING
expect "syllablemask.ini FILEPATH" "$("$cli" ini-get "$file" INFO FILEPATH)" "masking\\"
for ((i = 1; i <= $("$cli" ini-get "$file" INFO TOTAL); i++)); do
  masker=$("$cli" ini-get "$file" "DATA$i" FILENAME)
  [[ -f $station/masking/$masker ]] || fail "syllablemask.ini DATA$i masker $masker is missing"
done
file=$station/play.ini
expect "play.ini TESTTYPE" "$("$cli" ini-get "$file" INFO TESTTYPE)" PLAY
for ((i = 1; i <= $("$cli" ini-get "$file" INFO TOTAL); i++)); do
  entry=$("$cli" ini-get "$file" "DATA$i" FILEPATHNAME)
  [[ -f $station/${entry//\\//} ]] || fail "play.ini DATA$i $entry is missing"
done

file=$station/sentence.ini
expect "sentence.ini TESTTYPE" "$("$cli" ini-get "$file" INFO TESTTYPE)" SINGLE
expect "sentence.ini TOTAL" "$("$cli" ini-get "$file" INFO TOTAL)" 3
expect "sentence.ini PICTURENUMBER" "$("$cli" ini-get "$file" INFO PICTURENUMBER)" \
  "$("$cli" ini-get "$station/config1.ini" INFO PICTURENUMBER)"
masks=
for i in 1 2 3; do
  get() { "$cli" ini-get "$file" "DATA$i" "$1"; }
  expect "sentence.ini DATA$i FILE" "$(get FILE)" "${ids[$i]}"
  masks+=$(get TYPEMASK)
  for key in PLAYSPEED SNR CYCLE DUTYCYCLE; do
    [[ $(get $key) =~ ^[0-9.]+$ ]] || fail "sentence.ini DATA$i $key: $(get $key)"
  done
  # From BEGIN to END in a whole number of steps.
  steps=$(awk -v b="$(get BEGIN)" -v e="$(get END)" -v i="$(get INTERVAL)" \
    'BEGIN { s = (e - b) / i; if (s >= 1 && s < 30 && s - int(s + 0.5) < 1e-6 && int(s + 0.5) - s < 1e-6) print "whole" }')
  expect "sentence.ini DATA$i sweep" "$steps" whole
done
expect "sentence.ini TYPEMASKs" "$masks" 148

for ini in configtry.ini config1.ini config2.ini sentence.ini syllable.ini syllablemask.ini play.ini; do
  file=$station/$ini
  # Every line ends in CR LF, and the text is cp932.
  [[ $(grep -c $'\r$' "$file") == $(wc -l <"$file") ]] || fail "$ini has a line without CR LF"
  iconv -f CP932 -t UTF-8 "$file" >/dev/null || fail "$ini is not cp932"
  expect "$ini PICTUREPATH" "$("$cli" ini-get "$file" INFO PICTUREPATH)" "pictures\\"
  [[ $ini == sentence.ini || $ini == syllable.ini || $ini == syllablemask.ini || $ini == play.ini ]] &&
    continue
  expect "$ini TESTTYPE" "$("$cli" ini-get "$file" INFO TESTTYPE)" NEWSYLLABLEMASKING
  expect "$ini FILEPATH" "$("$cli" ini-get "$file" INFO FILEPATH)" "vowels\\"
  pictures=$("$cli" ini-get "$file" INFO PICTURENUMBER)
  ((pictures >= 1)) || fail "$ini PICTURENUMBER $pictures"
  for ((p = 1; p <= pictures; p++)); do
    [[ $(head -c 2 "$station/pictures/pic$p.bmp") == BM ]] || fail "pictures/pic$p.bmp is no BMP"
  done
  interval=$("$cli" ini-get "$file" DATA INTERVAL)
  ((interval < 0)) || fail "$ini INTERVAL $interval"
  open=0
  for i in 1 2 3 4 5; do
    for j in 1 2 3 4 5; do
      begin=$("$cli" ini-get "$file" "DATA$i" "BEGIN$j")
      end=$("$cli" ini-get "$file" "DATA$i" "END$j")
      [[ $begin =~ ^-?[0-9]+$ && $end =~ ^-?[0-9]+$ ]] || fail "$ini DATA$i BEGIN$j/END$j: $begin/$end"
      if ((end <= begin)); then
        open=$((open + 1))
        (((begin - end) % -interval == 0)) || fail "$ini DATA$i pair $j: $begin..$end is no whole number of steps"
      fi
    done
  done
  if [[ $ini == configtry.ini ]]; then
    expect "$ini TYPE" "$("$cli" ini-get "$file" DATA TYPE)" TRY
    ((open > 0 && open < 25)) || fail "$ini plays $open pairs"
  else
    expect "$ini TYPE" "$("$cli" ini-get "$file" DATA TYPE)" TEST
    expect "$ini pairs played" "$open" 25
    (($("$cli" ini-get "$file" DATA RESTPERMISSION) > 0)) || fail "$ini has no rest"
  fi
done
# The mix description draws its pairs from mix/: 20 pairs a play, 2 s apart.
mixed=$("$cli" generate mix "$station/CreateMix.ini" "$station/mix.wav" --rate 22050 2>&1) ||
  fail "generate mix from the kit: $mixed"
expect "mix length" "$("$cli" wave-info "$station/mix.wav" | sed 's/.*samples=\([0-9]*\).*/\1/')" \
  $(((20 * 2 + 4) * 22050))
rm -f "$station/mix.wav"
[[ $(head -c 3 "$station/headphone.jpg" | od -An -tx1 | tr -d ' ') == ffd8ff ]] || fail "headphone.jpg is no JPEG"

bash tools/kit/check-times.sh "$station" "$cli" || fail "the time test's kit (above)"

expect "kestrune.ini OutputDevice" "$("$cli" ini-get "$station/kestrune.ini" Audio OutputDevice)" default
expect "kestrune.ini InputDevice" "$("$cli" ini-get "$station/kestrune.ini" Audio InputDevice)" default
# The experimenter's own choice survives a second run.
sed -i 's/^OutputDevice=default$/OutputDevice=USB Headset/' "$station/kestrune.ini"

second=$(bash tools/make-station-kit.sh "$station")
[[ $second == *" 0 file(s) written"* ]] || fail "a second run rewrote files: $second"
[[ -f $station/Data/subject.xls ]] || fail "a second run lost Data/subject.xls"
expect "kestrune.ini after a second run" "$("$cli" ini-get "$station/kestrune.ini" Audio OutputDevice)" "USB Headset"

if ((failures)); then
  echo "station kit: $failures failure(s)"
  exit 1
fi
echo "station kit: all checks passed"
