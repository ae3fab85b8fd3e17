#!/usr/bin/env bash
# Runs the Qt, audio, store and sheet suites again and again while a CPU hog
# keeps both cores busy, to show that no test depends on how fast the machine
# is. Installs nothing and builds nothing: it runs an existing build.
#
#   tools/stress-tests.sh [RUNS [BUILD_DIR]]
#
# RUNS defaults to 20; the build folder is the second argument, else
# BUILD_DIR, else build/dev. The tests are the CTest entries labelled app,
# audio, sheet or store (STRESS_LABELS, a CTest label regex, selects others).
# The store tests run on PostgreSQL too when KESTRUNE_TEST_POSTGRES_URL is
# set. STRESS_LOAD=external leaves the hog out, for a caller that keeps the
# cores busy itself (the CI runs the suites while it compiles the sanitizer
# build). Prints one line per run and finally "stress: N passed, M failed";
# exits non-zero when a run failed (its log is kept and named).
set -uo pipefail
cd "$(dirname "$0")/.."

runs=${1:-20}
build=${2:-${BUILD_DIR:-build/dev}}
labels=${STRESS_LABELS:-^(app|audio|sheet|store)$}
if ! [[ $runs =~ ^[0-9]+$ ]] || ((runs < 1)); then
  echo "usage: tools/stress-tests.sh [RUNS [BUILD_DIR]]" >&2
  exit 2
fi
if [[ ! -f $build/CTestTestfile.cmake ]]; then
  echo "no CTest build in $build (build it first, e.g. cmake --build --preset dev)" >&2
  exit 2
fi
load=${STRESS_LOAD:-hog}
if [[ $load != hog && $load != external ]]; then
  echo "STRESS_LOAD must be hog or external" >&2
  exit 2
fi
if [[ $load == hog ]] && ! command -v stress-ng >/dev/null; then
  echo "stress-ng is not installed" >&2
  exit 2
fi

export QT_QPA_PLATFORM=offscreen
if [[ -n ${KESTRUNE_TEST_POSTGRES_URL:-} ]]; then
  echo "store tests on SQLite and on PostgreSQL (KESTRUNE_TEST_POSTGRES_URL)"
else
  echo "store tests on SQLite only (KESTRUNE_TEST_POSTGRES_URL is not set)"
fi

# The hog: one busy worker per core, for as long as the script runs.
hog=""
if [[ $load == hog ]]; then
  stress-ng --cpu 2 --quiet &
  hog=$!
else
  echo "load: the caller's"
fi
stop_hog() {
  if [[ -n $hog ]]; then
    kill -TERM "$hog" 2>/dev/null
    wait "$hog" 2>/dev/null
  fi
}
trap stop_hog EXIT
trap 'exit 130' INT TERM

passed=0
failed=0
for ((run = 1; run <= runs; run++)); do
  log=$(mktemp "${TMPDIR:-/tmp}/kestrune-stress-$run.XXXXXX")
  # A hang is a failure too: no test may take ten minutes.
  if ctest --test-dir "$build" -L "$labels" --no-tests=error --timeout 600 \
      --output-on-failure >"$log" 2>&1; then
    passed=$((passed + 1))
    echo "run $run/$runs: passed ($(grep -oE '[0-9]+ tests failed out of [0-9]+' "$log" |
      grep -oE '[0-9]+$') tests, $(grep -oE 'Total Test time \(real\) = +[0-9.]+ sec' "$log" |
      grep -oE '[0-9.]+ sec'))"
    rm -f "$log"
  else
    failed=$((failed + 1))
    names=$(sed -n 's/^ *[0-9]* - \(.*\) (.*)$/\1/p' "$log" | tr '\n' ' ')
    echo "run $run/$runs: FAILED ${names:-(see the log)} - log kept in $log"
  fi
done
echo "stress: $passed passed, $failed failed"
((failed == 0))
