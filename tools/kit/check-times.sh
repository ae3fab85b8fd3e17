#!/usr/bin/env bash
# Checks the time listening test of a built station kit with the program's
# own readers: H00 ... H23 and M00 ... M59 are 22050 Hz 16-bit mono waves of
# a spoken time, clock.jpg is a JPEG, and time.ini (cp932, CR LF) names the
# recordings' folder and gives items whose NUMBER fits their BEGIN ... END.
# Prints one FAIL line per problem; the exit status is the number of them.
#
# usage: tools/kit/check-times.sh STATION KESTRUNE_CLI   (check-kit.sh runs it)
set -euo pipefail
station=$1
cli=$2
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

names=()
for h in $(seq -w 0 23); do names+=("H$h"); done
for m in $(seq -w 0 59); do names+=("M$m"); done
for name in "${names[@]}"; do
  info=$("$cli" wave-info "$station/times/$name.wav") || { fail "times/$name.wav not readable"; continue; }
  [[ $info == "channels=1 rate=22050 bits=16 block=2 "* ]] || fail "times/$name.wav: $info"
  samples=${info#*samples=}
  samples=${samples%% *}
  # A spoken hour or minute, trimmed: between 0.2 s and 2 s.
  ((samples > 4410 && samples < 44100)) || fail "times/$name.wav has $samples samples"
done
[[ $(head -c 3 "$station/clock.jpg" | od -An -tx1 | tr -d ' ') == ffd8ff ]] || fail "clock.jpg is no JPEG"

file=$station/time.ini
[[ $(grep -c $'\r$' "$file") == $(wc -l <"$file") ]] || fail "time.ini has a line without CR LF"
iconv -f CP932 -t UTF-8 "$file" >/dev/null || fail "time.ini is not cp932"
get() { "$cli" ini-get "$file" "$1" "$2"; }
[[ $(get INFO TESTTYPE) == TIME ]] || fail "time.ini TESTTYPE $(get INFO TESTTYPE)"
[[ $(get INFO FILEPATH) == "times\\" ]] || fail "time.ini FILEPATH $(get INFO FILEPATH)"
[[ $(get INFO PICTUREPATH) == "pictures\\" ]] || fail "time.ini PICTUREPATH $(get INFO PICTUREPATH)"
total=$(get INFO TOTAL)
((total >= 1 && total <= 20)) || fail "time.ini TOTAL $total"
for ((i = 1; i <= total; i++)); do
  begin=$(get "DATA$i" BEGIN)
  end=$(get "DATA$i" END)
  number=$(get "DATA$i" NUMBER)
  [[ $begin =~ ^[0-2][0-9]:[0-5][0-9]$ && $end =~ ^[0-2][0-9]:[0-5][0-9]$ ]] ||
    { fail "time.ini DATA$i BEGIN/END $begin/$end"; continue; }
  # Minutes from BEGIN to END, both included, over midnight when END is earlier.
  count=$(((10#${end:0:2} * 60 + 10#${end:3:2} - 10#${begin:0:2} * 60 - 10#${begin:3:2} + 1440) % 1440 + 1))
  ((number >= 1 && number <= count)) || fail "time.ini DATA$i NUMBER $number of $count times"
  for key in PLAYSPEED SNR CYCLE DUTYCYCLE; do
    [[ $(get "DATA$i" $key) =~ ^[0-9.]+$ ]] || fail "time.ini DATA$i $key: $(get "DATA$i" $key)"
  done
done
exit "$failures"
