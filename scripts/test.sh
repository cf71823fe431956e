#!/usr/bin/env bash
# Installs what is missing, builds the tests under AddressSanitizer and
# UndefinedBehaviorSanitizer and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build/test -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVELMARIS_SANITIZE=ON -DVELMARIS_TESTS=ON >/dev/null
cmake --build build/test
cd build/test
ctest --no-tests=error --output-on-failure -j "$(nproc)"
