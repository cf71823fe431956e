#!/usr/bin/env bash
# Builds the release benchmarks and runs them, five times each: the reports
# give the median and the fastest run ("_min") beside the memcpy reference.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DVELMARIS_BENCH=ON >/dev/null
cmake --build build/release
for b in build/release/bench/bench_*; do
    [ -f "$b" ] && [ -x "$b" ] && "$b" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
done
