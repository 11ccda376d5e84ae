#!/usr/bin/env bash
# Builds the fuzz targets with clang and runs each for a bounded time.
#   fuzz/run.sh [seconds per target, default 60]
# A finding is printed whole, the sanitizer report and the crashing input in
# hex, since CI's clone is thrown away; it also lands in build-fuzz/findings.
# Turn each into a seed under fuzz/seeds once it is fixed.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DKV_FUZZ=ON >/dev/null
cmake --build build-fuzz -j2 >/dev/null
mkdir -p build-fuzz/findings
status=0
for target in bmp list pull find sheet view move check; do
    corpus=build-fuzz/corpus/$target
    log=build-fuzz/fuzz_$target.log
    mkdir -p "$corpus"
    echo "fuzz_$target: ${seconds}s"
    rm -f build-fuzz/findings/$target-*
    if build-fuzz/bin/fuzz_$target -max_total_time="$seconds" -print_final_stats=1 \
        -artifact_prefix=build-fuzz/findings/$target- "$corpus" fuzz/seeds/$target >"$log" 2>&1; then
        grep -E '^(#[0-9]+ +DONE|stat::number_of_executed_units)|cov:' "$log" | tail -n 3
    else
        echo "fuzz_$target FAILED; its report:"
        grep -v -E '^#[0-9]+ ' "$log" | tail -n 100
        for input in build-fuzz/findings/$target-*; do
            [ -e "$input" ] || continue
            echo "crashing input $input, $(wc -c <"$input") bytes:"
            od -A d -t x1 -v "$input" | head -n 400
        done
        status=1
    fi
done
exit "$status"
