#!/usr/bin/env bash
# Builds Zelvo in build/ and starts it.
set -euo pipefail

cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build -Wno-dev >/dev/null
cmake --build build -j2
exec build/src/zelvo "$@"
