#!/usr/bin/env bash
# Registers the demo kit's sentences as audio materials of the station's
# database and writes the sentence recognition scenario that plays them:
#
#   sentences/1.wav ... 5.wav   added with `kestrune-cli audio add` under
#                               their path in the station folder
#                               ("sentences/1.wav"; the test windows resolve
#                               it against the station folder) and their
#                               hiragana content, unless a material of that
#                               path is already there
#   sentence.ini                TESTTYPE=SINGLE, one item per degradation:
#                               play speed 2.4 ... 1.0 (sentence 1),
#                               interruption period 400 ... 50 ms with half
#                               of each period kept (sentence 2), kept
#                               fraction 0.3 ... 1.0 of 200 ms periods
#                               (sentence 3); every sweep gets clearer step
#                               by step. cp932, CR LF, as the other scenarios
#
# The database is the one kestrune-cli --station STATION uses (TestData.db
# in the station folder unless KESTRUNE_DATABASE says otherwise); run
# `kestrune-cli --station STATION db init` first. A second run adds nothing
# and rewrites sentence.ini only if the keys changed.
#
# usage: tools/kit/register-sentences.sh STATION_FOLDER KESTRUNE_CLI
set -euo pipefail

if [[ $# -ne 2 ]]; then
  echo "usage: $0 STATION_FOLDER KESTRUNE_CLI" >&2
  exit 2
fi
station=$1
cli=$2
kit=$(cd "$(dirname "$0")" && pwd)
if [[ ! -d $station/sentences ]]; then
  echo "$0: no sentences/ in $station: tools/make-station-kit.sh $station records them" >&2
  exit 1
fi

listing=$("$cli" --station "$station" audio list)
ids=()
while IFS=$'\t' read -r n content; do
  path=sentences/$n.wav
  id=$(awk -F '\t' -v path="$path" '$2 == path { print $1; exit }' <<<"$listing")
  if [[ -n $id ]]; then
    echo "  kept      $path as audio material $id"
  else
    added=$("$cli" --station "$station" audio add "$path" --content "$content")
    id=${added#id=}
    echo "  added     $path as audio material $id"
  fi
  ids[n]=$id
done < <(python3 "$kit/sentences.py" --contents)

pictures=0
while [[ -f $station/pictures/pic$((pictures + 1)).bmp ]]; do
  pictures=$((pictures + 1))
done

# One item: FILE, the swept factor's mask, the fixed values and the sweep.
item() { # item N ID TYPEMASK CYCLE DUTYCYCLE BEGIN END INTERVAL COMMENT
  printf '\n; %s\n[DATA%s]\nFILE=%s\nTYPEMASK=%s\nPLAYSPEED=1\nSNR=0\nCYCLE=%s\nDUTYCYCLE=%s\n' \
    "$9" "$1" "$2" "$3" "$4" "$5"
  printf 'BEGIN=%s\nEND=%s\nINTERVAL=%s\n' "$6" "$7" "$8"
}
scenario=$(mktemp)
trap 'rm -f "$scenario"' EXIT
{
  printf '; 文の認識実験 (demo): sentences/1.wav ... 3.wav by their audio material IDs\n'
  printf '[INFO]\nTESTTYPE=SINGLE\nTOTAL=3\nPICTUREPATH=pictures\\\nPICTURENUMBER=%s\n' "$pictures"
  item 1 "${ids[1]}" 1 200 1 2.4 1.0 -0.2 "play speed, from fast down to normal"
  item 2 "${ids[2]}" 4 200 0.5 400 50 -50 "interruption period in ms, half of each period heard"
  item 3 "${ids[3]}" 8 200 1 0.3 1.0 0.1 "fraction of each 200 ms period heard"
} | sed 's/$/\r/' | iconv -f UTF-8 -t CP932 >"$scenario"
if cmp -s "$scenario" "$station/sentence.ini"; then
  echo "  unchanged $station/sentence.ini"
else
  cp "$scenario" "$station/sentence.ini"
  echo "  made      $station/sentence.ini"
fi
