#!/bin/sh
# The band-stop of a 60-s 44.1 kHz wave (N = 2048, S = 128) beside sox's
# windowed-sinc band-reject on the same file, and the averaged spectrum of 20
# files of 2 s, in one run of the benchmark program.
#
#   bench/filter-vs-sox.sh [BUILD_DIR]     (default build/dev)
set -eu
build=${1:-build/dev}
bench="$build/bench/kestrune_bench"
if [ ! -x "$bench" ]; then
    echo "no $bench: build the kestrune_bench target first" >&2
    exit 2
fi
command -v sox >/dev/null || echo "sox is not installed: its row will say so" >&2
exec "$bench" --benchmark_filter='BM_(BandStop60s|SoxBandReject60s|AvgSpectrum20Files)' \
    --benchmark_counters_tabular=true
