#!/usr/bin/env bash
# Builds the libFuzzer targets (and the app's code) with clang in build/fuzz and runs each for
# SECONDS (default 10), FUZZ_JOBS (default 2) at a time. Fails when a target
# finds a crash, a leak, a timeout or runs out of memory; the input that did
# it is left in build/fuzz/artifacts/.
# Usage: bash scripts/fuzz.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
SECS="${1:-10}"
JOBS="${FUZZ_JOBS:-2}"
bash scripts/setup.sh
CC=clang CXX=clang++ cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DVELMARIS_FUZZ=ON >/dev/null
# The app's own code too, which no fuzz target links: so clang compiles it once.
cmake --build build/fuzz --target fuzz_all vel_app -j "$JOBS"

OUT="$PWD/build/fuzz"
mkdir -p "$OUT/logs" "$OUT/artifacts"
# Scratch files of the readers that take a path, in memory when possible.
scratch="$(mktemp -d /dev/shm/velmaris-fuzz.XXXXXX 2>/dev/null || mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
export VELMARIS_FUZZ_SCRATCH="$scratch" OUT SECS
# Leak checks are off: the process keeps one large session (and Qt its
# caches) for its whole life, and a leak scan after every input that
# allocates more than it frees makes the targets a thousand times slower.
export ASAN_OPTIONS="detect_leaks=0:allocator_may_return_null=1"
export UBSAN_OPTIONS="print_stacktrace=1"

run_one() {
  local t="$1"
  "$OUT/fuzz/$t" -max_total_time="$SECS" -rss_limit_mb=2048 -timeout=20 -detect_leaks=0 -print_final_stats=1 \
    -artifact_prefix="$OUT/artifacts/$t-" "$OUT/corpus/$t" >"$OUT/logs/$t.log" 2>&1
  local rc=$?
  local runs
  runs="$(grep -o 'stat::number_of_executed_units: [0-9]*' "$OUT/logs/$t.log" | grep -o '[0-9]*$' || true)"
  if [ $rc -eq 0 ]; then
    printf '%-20s ok   %10s runs\n' "$t" "${runs:-?}"
  else
    printf '%-20s FAIL (exit %d), see %s\n' "$t" "$rc" "$OUT/logs/$t.log"
    return 1
  fi
}
export -f run_one

targets=()
for f in "$OUT"/fuzz/fuzz_*; do [ -f "$f" ] && [ -x "$f" ] && targets+=("$(basename "$f")"); done
[ ${#targets[@]} -gt 0 ] || { echo "no fuzz targets built" >&2; exit 1; }
status=0
printf '%s\n' "${targets[@]}" | xargs -P "$JOBS" -I{} bash -c 'run_one {}' || status=1
if [ $status -ne 0 ]; then
  for l in "$OUT"/logs/*.log; do
    grep -qE '^==[0-9]+==ERROR|SUMMARY: |ERROR: libFuzzer|runtime error' "$l" && { echo "== $l"; tail -40 "$l"; }
  done
  exit 1
fi
