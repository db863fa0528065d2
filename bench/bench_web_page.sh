#!/bin/sh
# The browser page against the native program on this machine: the whole
# show's frame time in the page's fixed-clock mode (no sound) and in the
# same replay natively (bench_trace_replay), as a ratio, and the page's weight.
# The two take turns for ROUNDS rounds (default 3), so that a slow spell of
# this shared machine weighs on both alike; the median round's ratio is the
# result, every round's is shown.
#   bench/bench_web_page.sh [BUILD_DIR] [SITE_DIR] [ROUNDS]   (default: build, build/web/site, 3)
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
page=$(cd "${2:-$build/web/site}" && pwd)
rounds=${3:-3}
case "$rounds" in '' | *[!0-9]* | 0) echo "bench_web_page: ROUNDS must be a whole number above 0, not '$rounds'" >&2; exit 2 ;; esac
if [ ! -x "$build/orvanti-capture" ] || [ ! -x "$build/bench/bench_trace_replay" ] || [ ! -f "$page/index.html" ]; then
    echo "bench_web_page: build orvanti-capture, bench_trace_replay and the page (target web_page) first" >&2
    exit 1
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT INT TERM

"$build/orvanti-capture" --quiet --data "$build/data" --trace "$work/trace.csv" 2>"$work/capture.log"
echo "capture (drawing + music): $(grep -o '[0-9]* frames (.*real time' "$work/capture.log" | tail -n 1)"

frames=$(($(wc -l <"$work/trace.csv") - 1))

# Milliseconds a frame from Google Benchmark's value and unit over the whole show.
to_ms() { awk -v v="$1" -v u="$2" -v n="$frames" 'BEGIN { f = u == "s" ? 1000 : u == "ms" ? 1 : u == "us" ? 0.001 : 0.000001; printf "%.6f", v * f / n }'; }

node "$root/bench/web_frame_time.mjs" "$page" - "$work"
round=1
while [ "$round" -le "$rounds" ]; do
    # Real time and processor time a frame of the native replay (Google
    # Benchmark's Time and CPU columns), then of the page.
    replay=$(ORVANTI_TRACE="$work/trace.csv" "$build/bench/bench_trace_replay" 2>/dev/null | grep BM_WholeShowFromTrace)
    native_ms=$(to_ms $(echo "$replay" | awk '{ print $2, $3 }'))
    native_cpu_ms=$(to_ms $(echo "$replay" | awk '{ print $4, $5 }'))
    node "$root/bench/web_frame_time.mjs" "$page" "$work/trace.csv" "$work" --frames-only >"$work/page.log"
    page_ms=$(grep -o '[0-9.]* ms a frame' "$work/page.log" | cut -d' ' -f1)
    page_cpu_ms=$(grep -o '[0-9.]* ms of processor time a frame' "$work/page.log" | cut -d' ' -f1)
    # Processor time is the measure on a shared machine; real time is shown too.
    awk -v r="$round" -v p="$page_ms" -v n="$native_ms" -v pc="$page_cpu_ms" -v nc="$native_cpu_ms" 'BEGIN {
        printf "round %d: native %.3f ms, page %.3f ms of processor time a frame: %.2f (real time %.3f and %.3f ms: %.2f)\n",
            r, nc, pc, pc / nc, n, p, p / n }' | tee -a "$work/rounds.log"
    round=$((round + 1))
done
sed 's/.*a frame: \([0-9.]*\).*/\1/' "$work/rounds.log" | sort -n | awk -v n="$rounds" '{ r[NR] = $1 } END {
    printf "page / native frame time: %.2f in processor time, the median of %d rounds (target 1.50 or less)\n", r[int((n + 1) / 2)], n }'

# Every file of the site folder, as a static host would store it.
weight=0
for file in $(cd "$page" && find . -type f | sed 's|^\./||' | sort); do
    bytes=$(stat -c %s "$page/$file")
    weight=$((weight + bytes))
    printf '  %-36s %10d bytes\n' "$file" "$bytes"
done
echo "site weight: $weight bytes ($(awk "BEGIN { printf \"%.1f\", $weight / 1e6 }") MB)"
