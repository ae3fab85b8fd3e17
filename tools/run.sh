#!/usr/bin/env bash
# Installs the build dependencies, builds Kestrune (release) and starts it on
# the demo station kit in data/demo.
set -euo pipefail
cd "$(dirname "$0")/.."

bash tools/install-deps.sh
cmake --preset release
cmake --build --preset release

# The Qt program joins here as soon as it exists; until then the station kit
# is inspected with the command-line companion.
cli=build/release/src/cli/kestrune-cli
echo "== demo station kit (data/demo) =="
"$cli" wave-info data/demo/tone.wav
printf 'scenario TESTTYPE: '
"$cli" ini-get data/demo/scenario.ini INFO TESTTYPE
printf 'scenario TOTAL: '
"$cli" ini-get data/demo/scenario.ini INFO TOTAL
