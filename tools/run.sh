#!/usr/bin/env bash
# Installs the build dependencies, builds Kestrune (release) and starts it on
# a station folder made from the demo kit in data/demo: KESTRUNE_STATION, or
# ~/kestrune-station by default. The folder's TestData.db is created on the
# first start (SQLite); nothing in the repository is written.
set -euo pipefail
cd "$(dirname "$0")/.."

bash tools/install-deps.sh
cmake --preset release
cmake --build --preset release --target kestrune kestrune-cli

station=${KESTRUNE_STATION:-$HOME/kestrune-station}
if [[ ! -d $station ]]; then
  mkdir -p "$station/Data"
  cp data/demo/tone.wav data/demo/scenario.ini "$station/"
  echo "Made the station folder $station from the demo kit"
fi
build/release/src/cli/kestrune-cli --station "$station" db init
build/release/src/cli/kestrune-cli wave-info "$station/tone.wav"

if [[ -z ${DISPLAY:-}${WAYLAND_DISPLAY:-} ]]; then
  echo "No display to show the program on: start it from a desktop session with" >&2
  echo "  build/release/src/app/kestrune --station $station" >&2
  exit 1
fi
exec build/release/src/app/kestrune --station "$station"
