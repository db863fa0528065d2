#!/bin/sh
# The browser page against the native program on this machine: the whole
# show's frame time in the page's fixed-clock mode (no sound) and in the
# same replay natively (bench_trace_replay), as a ratio, and the page's weight.
#   bench/bench_web_page.sh [BUILD_DIR] [SITE_DIR]   (default: build and build/web/site)
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
page=$(cd "${2:-$build/web/site}" && pwd)
if [ ! -x "$build/orvanti-capture" ] || [ ! -x "$build/bench/bench_trace_replay" ] || [ ! -f "$page/index.html" ]; then
    echo "bench_web_page: build orvanti-capture, bench_trace_replay and the page (target web_page) first" >&2
    exit 1
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT INT TERM

"$build/orvanti-capture" --quiet --data "$build/data" --trace "$work/trace.csv" 2>"$work/capture.log"
echo "capture (drawing + music): $(grep -o '[0-9]* frames (.*real time' "$work/capture.log" | tail -n 1)"

native_ms=$(ORVANTI_TRACE="$work/trace.csv" "$build/bench/bench_trace_replay" 2>/dev/null | awk '/BM_WholeShowFromTrace/ { for (i = 1; i <= NF; i++) if ($i ~ /^ms_per_frame=/) { sub(/ms_per_frame=/, "", $i); sub(/s$/, "", $i); print $i } }')
echo "native replay: $native_ms ms a frame"

node "$root/bench/web_frame_time.mjs" "$page" "$work/trace.csv" "$work" | tee "$work/page.log"
page_ms=$(grep -o '[0-9.]* ms a frame' "$work/page.log" | cut -d' ' -f1)
awk -v p="$page_ms" -v n="$native_ms" 'BEGIN { printf "page / native frame time: %.2f (target 1.50 or less)\n", p / n }'

# Every file of the site folder, as a static host would store it.
weight=0
for file in $(cd "$page" && find . -type f | sed 's|^\./||' | sort); do
    bytes=$(stat -c %s "$page/$file")
    weight=$((weight + bytes))
    printf '  %-36s %10d bytes\n' "$file" "$bytes"
done
echo "site weight: $weight bytes ($(awk "BEGIN { printf \"%.1f\", $weight / 1e6 }") MB)"
