#!/usr/bin/env bash
# Builds the threaded code's tests (logger link, video engine) under
# ThreadSanitizer and runs them. With "smoke" only the logger tests that
# cross threads quickly run, with every video test (for CI).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build/tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVELMARIS_TSAN=ON -DVELMARIS_TESTS=ON >/dev/null
cmake --build build/tsan --target test_logger logger_sim test_video -j "${JOBS:-$(nproc)}"
filter='*'
if [ "${1:-}" = smoke ]; then
  filter='Core*:Replies*:Framing*:LinkFixture.ResendsAfterADroppedReply:LinkFixture.ClosingMidReply*:LinkFixture.WatchdogFiresOnASilentLogger:Reception*:DownloadTest.AbortHandsNothingOverAndLeavesTheLinkUsable:DownloadTest.SilenceMidDownload*:DownloadTest.LineFaults*'
fi
# The logger tests start the simulator as a child process.
export TSAN_OPTIONS="suppressions=$PWD/tests/tsan.supp halt_on_error=1 second_deadlock_stack=1 die_after_fork=0"
export QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=dummy SDL_VIDEODRIVER=dummy
echo "ThreadSanitizer: logger"
build/tsan/tests/test_logger --gtest_filter="$filter" --gtest_brief=1
echo "ThreadSanitizer: video"
(cd build/tsan/tests && ./test_video --gtest_brief=1)
