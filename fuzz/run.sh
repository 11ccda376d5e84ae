#!/usr/bin/env bash
# Builds the fuzz targets with clang and runs each for a bounded time.
#   fuzz/run.sh [seconds per target, default 60]
# Findings land in build-fuzz/findings; turn each into a seed under fuzz/seeds.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DKV_FUZZ=ON -DKV_TESTS=OFF >/dev/null
cmake --build build-fuzz -j2 >/dev/null
mkdir -p build-fuzz/findings
for target in bmp list pull; do
    corpus=build-fuzz/corpus/$target
    mkdir -p "$corpus"
    echo "fuzz_$target: ${seconds}s"
    build-fuzz/bin/fuzz_$target -max_total_time="$seconds" -print_final_stats=1 \
        -artifact_prefix=build-fuzz/findings/$target- "$corpus" fuzz/seeds/$target 2>&1 |
        grep -E '^(#[0-9]+ +DONE|stat::number_of_executed_units|==[0-9]+==ERROR|SUMMARY)|cov:' | tail -n 3
    test "${PIPESTATUS[0]}" -eq 0
done
