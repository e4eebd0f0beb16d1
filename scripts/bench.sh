#!/usr/bin/env bash
# Builds the benchmarks in Release (-O2) in build-bench/ and runs them against the same private
# PostgreSQL server (also through ODBC) that the test command starts.
#   scripts/bench.sh                 every benchmark
#   scripts/bench.sh bench_runsql    one of them
#   other arguments (--benchmark_repetitions=3 …) go to every benchmark run
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build-bench -Wno-dev -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" >/dev/null
names=()
args=()
for a in "$@"; do
    case "$a" in bench_*) names+=("$a") ;; *) args+=("$a") ;; esac
done
if [ ${#names[@]} -eq 0 ]; then
    mapfile -t names < <(sed -n 's/^add_executable(\(bench_[a-z_]*\).*/\1/p' bench/CMakeLists.txt)
fi
for name in "${names[@]}"; do
    echo "== $name (Release, -O2)"
    ZELVO_BUILD_DIR=build-bench bash scripts/test.sh "build-bench/bench/$name" ${args[@]+"${args[@]}"}
done
