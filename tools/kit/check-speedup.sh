#!/usr/bin/env bash
# Builds the demo station kit into a scratch folder and checks its speeded
# syllable scenario with the program's own readers (kestrune-cli ini-get and
# wave-info): five items, each a kit vowel the program reads, from speed 1.0
# to 3.0 in eleven whole steps.
#
# usage: tools/kit/check-speedup.sh [KESTRUNE_CLI]   (default build/dev/src/cli/kestrune-cli)
set -euo pipefail
cd "$(dirname "$0")/../.."
cli=${1:-build/dev/src/cli/kestrune-cli}
[[ -x $cli ]] || { echo "no $cli: cmake --build build/dev --target kestrune-cli" >&2; exit 2; }

station=$(mktemp -d)
trap 'rm -rf "$station"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

bash tools/make-station-kit.sh "$station" >/dev/null
file=$station/speedup.ini
get() { "$cli" ini-get "$file" "$1" "$2"; }
[[ $(get INFO TESTTYPE) == SYLLABLESPEEDUP ]] || fail "TESTTYPE: $(get INFO TESTTYPE)"
[[ $(get INFO TOTAL) == 5 ]] || fail "TOTAL: $(get INFO TOTAL)"
for i in 1 2 3 4 5; do
  path=$(get "DATA$i" FILEPATHNAME)
  [[ $path == "vowels\\$i.wav" ]] || fail "DATA$i FILEPATHNAME: $path"
  "$cli" wave-info "$station/vowels/$i.wav" >/dev/null || fail "vowels/$i.wav not readable"
  steps=$(awk -v b="$(get "DATA$i" BEGIN)" -v e="$(get "DATA$i" END)" -v i="$(get "DATA$i" INTERVAL)" \
    'BEGIN { printf "%d", (e - b) / i + 1.5 }')
  [[ $steps == 11 ]] || fail "DATA$i has $steps speeds"
done
if ((failures > 0)); then
  echo "check-speedup: $failures failure(s)"
  exit 1
fi
echo "check-speedup: the speeded syllable scenario is sound"
