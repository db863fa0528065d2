#!/bin/sh
# Builds the libFuzzer targets with clang and runs each for a short while
# over its corpus (the generated seeds plus the inputs kept in fuzz/corpus/
# from long runs), so a loader change that brings back an old fault stops CI.
# Usage: scripts/fuzz-smoke.sh [SECONDS_PER_TARGET]   (default 20)
set -eu
cd "$(dirname "$0")/.."
seconds=${1:-20}
jobs=$(nproc 2>/dev/null || echo 2)
[ "$jobs" -le 2 ] || jobs=2

CC=clang-14 CXX=clang++-14 cmake -S . -B build-fuzz -DORVANTI_FUZZ=ON -DORVANTI_BENCHMARKS=OFF \
    -DBUILD_TESTING=OFF >/dev/null
cmake --build build-fuzz -j "$jobs" --target fuzz_all >/dev/null

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
for target in archive:16384 tga:8192 mesh:4096 jpeg:16384; do
    name=${target%%:*}
    max_len=${target#*:}
    # New inputs go to a scratch folder: the starting and kept corpora stay as they are.
    mkdir "$scratch/$name"
    corpora="build-fuzz/fuzz/corpus/$name"
    [ ! -d "fuzz/corpus/$name" ] || corpora="$corpora fuzz/corpus/$name"
    log="$scratch/$name.log"
    # shellcheck disable=SC2086
    if ! build-fuzz/fuzz/fuzz_$name "$scratch/$name" $corpora -max_total_time="$seconds" -max_len="$max_len" \
        -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$scratch/" >"$log" 2>&1; then
        tail -n 40 "$log" >&2
        mkdir -p build-fuzz/fuzz/faults
        cp "$scratch"/crash-* "$scratch"/leak-* "$scratch"/oom-* "$scratch"/timeout-* build-fuzz/fuzz/faults/ 2>/dev/null || true
        echo "fuzz-smoke: fuzz_$name stopped on a fault; the input is kept in build-fuzz/fuzz/faults/" >&2
        exit 1
    fi
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    coverage=$(grep -o 'cov: [0-9]*' "$log" | tail -n 1)
    echo "fuzz-smoke: fuzz_$name: $runs inputs in ${seconds} s, $coverage, no fault"
done
