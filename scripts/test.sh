#!/usr/bin/env bash
# Installs what is missing, builds the tests under AddressSanitizer and
# UndefinedBehaviorSanitizer, gives every fuzz target and the threaded code's
# tests under ThreadSanitizer a short run, and runs every test.
# VELMARIS_FUZZ_SECONDS sets the fuzz time per target (0: none);
# VELMARIS_TSAN=0 skips the ThreadSanitizer run.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build/test -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVELMARIS_SANITIZE=ON -DVELMARIS_TESTS=ON >/dev/null
cmake --build build/test
fuzz_seconds="${VELMARIS_FUZZ_SECONDS:-10}"
if [ "$fuzz_seconds" != 0 ]; then bash scripts/fuzz.sh "$fuzz_seconds"; fi
if [ "${VELMARIS_TSAN:-1}" != 0 ]; then bash scripts/tsan.sh smoke; fi
cd build/test
ctest --no-tests=error --output-on-failure -j "$(nproc)"
