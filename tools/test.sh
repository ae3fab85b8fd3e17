#!/usr/bin/env bash
# Installs the build dependencies, then builds and runs every test:
#  1. the development build (gcc) and its test suite;
#  2. the benchmarks in a release build, once each, so they keep working;
#  3. the sanitizer build (clang, address + undefined) with both fuzzers run
#     for FUZZ_SECONDS each (60 by default), then its test suite.
set -euo pipefail
cd "$(dirname "$0")/.."
fuzz_seconds=${FUZZ_SECONDS:-60}

bash tools/install-deps.sh

echo "== development build =="
cmake --preset dev
cmake --build --preset dev
ctest --preset dev

echo "== benchmarks (one short pass) =="
cmake --preset release
cmake --build --preset release --target kestrune_bench
build/release/bench/kestrune_bench --benchmark_min_time=0.01

echo "== sanitizer build and fuzzers =="
cmake --preset asan
cmake --build --preset asan
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
run_fuzzer() {
  local name=$1 seeds=$2
  local corpus log
  corpus=$(mktemp -d)
  log=$(mktemp)
  cp -r "$seeds"/. "$corpus"/
  echo "-- $name for ${fuzz_seconds}s"
  if ! "build/asan/fuzz/$name" -max_total_time="$fuzz_seconds" -rss_limit_mb=2048 \
      -print_final_stats=1 "$corpus" >"$log" 2>&1; then
    tail -n 60 "$log"
    echo "$name found a fault (the crashing input was written to $(pwd))"
    exit 1
  fi
  grep -E '^(Done |stat::number_of_executed_runs|stat::peak_rss_mb)' "$log" || true
  rm -rf "$corpus" "$log"
}
run_fuzzer fuzz_wave_reader fuzz/corpus/wave
run_fuzzer fuzz_ini_reader fuzz/corpus/ini

ctest --preset asan
