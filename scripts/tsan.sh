#!/usr/bin/env bash
# Builds the logger tests under ThreadSanitizer and runs them. With "smoke"
# only the tests that cross threads quickly run (for CI).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build/tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVELMARIS_TSAN=ON -DVELMARIS_TESTS=ON >/dev/null
cmake --build build/tsan --target test_logger logger_sim -j "${JOBS:-4}"
filter='*'
if [ "${1:-}" = smoke ]; then
  filter='Core*:Replies*:Framing*:LinkFixture.ResendsAfterADroppedReply:LinkFixture.ClosingMidReply*:LinkFixture.WatchdogFiresOnASilentLogger'
fi
export TSAN_OPTIONS="suppressions=$PWD/tests/tsan.supp halt_on_error=1 second_deadlock_stack=1 die_after_fork=0"
export QT_QPA_PLATFORM=offscreen
build/tsan/tests/test_logger --gtest_filter="$filter"
