#!/bin/sh
# Capture rate of the whole show: drawing alone, then drawing with the video
# encoded by ffmpeg, as frames per second and as a multiple of real time,
# and the size of the whole-show video.
#
#   bench/bench_capture.sh [BUILD_DIR]     (default: build)
#
# BUILD_DIR must hold orvanti-capture and the generated data in data/.
set -eu
build=$(cd "${1:-build}" && pwd)
capture="$build/orvanti-capture"
data="$build/data"
if [ ! -x "$capture" ] || [ ! -f "$data/orvanti.dat" ]; then
    echo "bench_capture: build orvanti-capture and the show's data in $build first" >&2
    exit 1
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT INT TERM

# The summary line: "N frames (m:ss.hh of show) in S s: R fps, X.XXx real time; ..."
summary() {
    grep -o '[0-9]* frames (.*real time' "$1" | tail -n 1
}

"$capture" --quiet --data "$data" 2>"$work/draw.log"
echo "drawing only:       $(summary "$work/draw.log")"

"$capture" --quiet --data "$data" --video "$work/orvanti.mp4" 2>"$work/video.log"
echo "drawing + encoding: $(summary "$work/video.log")"
bytes=$(stat -c %s "$work/orvanti.mp4")
echo "whole-show video:   $bytes bytes ($(awk "BEGIN { printf \"%.1f\", $bytes / 1e6 }") MB, 1280x960 H.264 + AAC)"
