#!/usr/bin/env bash
# Installs what is missing, builds the release program and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/release --target velmaris
exec build/release/velmaris "$@"
