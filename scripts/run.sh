#!/usr/bin/env bash
# Builds the program alone (no tests, no benchmarks) in build-app/ and starts it.
set -euo pipefail

cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build-app -Wno-dev -DBUILD_TESTING=OFF >/dev/null
cmake --build build-app -j2 --target zelvo
exec build-app/src/zelvo "$@"
