#!/usr/bin/env bash
# Builds the release benchmarks and runs them.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DVELMARIS_BENCH=ON >/dev/null
cmake --build build/release
for b in build/release/bench/bench_*; do [ -x "$b" ] && "$b"; done
