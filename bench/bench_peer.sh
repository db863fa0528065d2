#!/bin/sh
# Our renderer against Mesa's software rasterizer llvmpipe on the same
# textured sphere frame (1,008 faces into the 640x320 band): bench_raster's
# BM_SphereFrame, then bench_peer_llvmpipe with LP_NUM_THREADS=0 (all on the
# calling thread) and 2, run in turn in one invocation since on a shared
# machine only figures taken side by side compare. Prints wall-clock ms per
# frame (median of the repetitions), the ratio ours/llvmpipe for each (below
# 1: ours is faster) and how closely the two frames cover the same pixels.
#
#   bench/bench_peer.sh [BUILD_DIR]      (default: build)
#
# PEER_REPETITIONS=N changes the repetitions of each benchmark (default 5).
set -eu
build=$(cd "${1:-build}" && pwd)
ours="$build/bench/bench_raster"
peer="$build/bench/bench_peer_llvmpipe"
if [ ! -x "$ours" ] || [ ! -x "$peer" ]; then
    echo "bench_peer: build bench_raster and bench_peer_llvmpipe in $build first (the latter needs libosmesa6-dev)" >&2
    exit 1
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT INT TERM
repetitions=${PEER_REPETITIONS:-5}

run() {
    out=$1
    shift
    env "$@" --benchmark_repetitions="$repetitions" --benchmark_report_aggregates_only=true \
        --benchmark_color=false >"$out" 2>"$out.err" || {
        cat "$out.err" "$out" >&2
        echo "bench_peer: $* failed" >&2
        exit 1
    }
}

# The median's wall time (the peer's threads' work is not in the CPU time) in ms of the benchmark whose name starts with $2.
ms_of() {
    awk -v name="$2" 'index($1, name) == 1 && $1 ~ /_median$/ {
        t = $2; u = $3
        if (u == "ns") t /= 1e6; else if (u == "us") t /= 1e3; else if (u == "s") t *= 1e3
        printf "%.2f", t; found = 1; exit }
        END { if (!found) exit 1 }' "$1"
}
# A counter of the read-back run's median line.
counter_of() {
    awk -v key="$2" '$1 ~ /readback:1.*_median$/ { for (i = 1; i <= NF; ++i)
        if (index($i, key "=") == 1) { print substr($i, length(key) + 2); exit } }' "$1"
}

run "$work/ours" "$ours" --benchmark_filter='^BM_SphereFrame$'
run "$work/lp0" GALLIUM_DRIVER=llvmpipe LP_NUM_THREADS=0 "$peer"
run "$work/lp2" GALLIUM_DRIVER=llvmpipe LP_NUM_THREADS=2 "$peer"

o=$(ms_of "$work/ours" BM_SphereFrame)
echo "sphere frame, 1,008 textured faces, 640x320; wall-clock ms/frame, median of $repetitions"
printf "%-30s %6s ms\n" "ours" "$o"
for t in 0 2; do
    incl=$(ms_of "$work/lp$t" BM_LlvmpipeSphereFrame/readback:1)
    excl=$(ms_of "$work/lp$t" BM_LlvmpipeSphereFrame/readback:0)
    grep -q "LP_NUM_THREADS=$t " "$work/lp$t" || { echo "bench_peer: LP_NUM_THREADS=$t did not reach the benchmark" >&2; exit 1; }
    [ "$t" = 0 ] && name="llvmpipe 1 thread (LP_NUM_THREADS=0)" || name="llvmpipe $t threads"
    awk -v n="$name" -v o="$o" -v i="$incl" -v e="$excl" -v t="$t" 'BEGIN {
        printf "%-30s %6.2f ms (read-back incl.) %6.2f ms (excl.) | ours/llvmpipe-%st %.2f (incl.) %.2f (excl.)\n",
            n, i, e, t, o / i, o / e }'
done
awk -v a="$(counter_of "$work/lp0" ours_px)" -v b="$(counter_of "$work/lp0" llvmpipe_px)" \
    -v c="$(counter_of "$work/lp0" coverage)" -v s="$(counter_of "$work/lp0" same_colour)" \
    -v n="$(counter_of "$work/lp0" near_texel)" 'BEGIN {
    printf "coverage of the first frame: ours %s px, llvmpipe %s px (%.3fx); of the pixels both draw, same texel %.1f%%, within one texel %.1f%%\n",
        a, b, c, 100 * s, 100 * n }'
