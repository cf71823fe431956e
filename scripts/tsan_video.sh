#!/usr/bin/env bash
# Builds the video tests under ThreadSanitizer and runs them. Extra
# arguments go to the test program (e.g. --gtest_filter=...).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build/tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVELMARIS_TSAN=ON -DVELMARIS_TESTS=ON >/dev/null
cmake --build build/tsan --target test_video -j "${VEL_JOBS:-4}"
export QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=dummy SDL_VIDEODRIVER=dummy
export TSAN_OPTIONS="suppressions=$PWD/tests/tsan.supp halt_on_error=1 second_deadlock_stack=1 ${TSAN_OPTIONS:-}"
cd build/tsan/tests
./test_video "$@"
