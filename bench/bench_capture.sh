#!/bin/sh
# Capture rate of the whole show: drawing alone, then drawing with the video
# encoded by ffmpeg, as frames per second and as a multiple of real time,
# and the size of the whole-show video. Given a second build (the previous
# release, say, built in a worktree of its own), both are run in turn in the
# same invocation and the ratios printed, since on a shared machine only
# figures taken side by side compare.
#
#   bench/bench_capture.sh [BUILD_DIR] [PREVIOUS_BUILD_DIR]     (default: build)
#
# Each BUILD_DIR must hold orvanti-capture and the generated data in data/.
# CAPTURE_END=SECONDS (or ORDER:ROW) measures only the show up to there.
set -eu
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT INT TERM
end=""
[ -n "${CAPTURE_END:-}" ] && end="--end $CAPTURE_END"

check() {
    if [ ! -x "$1/orvanti-capture" ] || [ ! -f "$1/data/orvanti.dat" ]; then
        echo "bench_capture: build orvanti-capture and the show's data in $1 first" >&2
        exit 1
    fi
}

# The summary line: "N frames (m:ss.hh of show) in S s: R fps, X.XXx real time; ..."
summary() {
    grep -o '[0-9]* frames (.*real time' "$1" | tail -n 1
}
fps_of() {
    summary "$1" | sed 's/.*: \([0-9.]*\) fps.*/\1/'
}

# name build: draws, then encodes; leaves name.draw.log, name.video.log, name.mp4
measure() {
    # shellcheck disable=SC2086
    "$2/orvanti-capture" --quiet --data "$2/data" $end 2>"$work/$1.draw.log"
    # shellcheck disable=SC2086
    "$2/orvanti-capture" --quiet --data "$2/data" $end --video "$work/$1.mp4" 2>"$work/$1.video.log"
}

report() {
    bytes=$(stat -c %s "$work/$1.mp4")
    echo "$1 drawing only:       $(summary "$work/$1.draw.log")"
    echo "$1 drawing + encoding: $(summary "$work/$1.video.log")"
    echo "$1 video:              $bytes bytes ($(awk "BEGIN { printf \"%.1f\", $bytes / 1e6 }") MB)"
}

build=$(cd "${1:-build}" && pwd)
check "$build"
if [ -z "${2:-}" ]; then
    measure this "$build"
    report this
    exit 0
fi
previous=$(cd "$2" && pwd)
check "$previous"
measure previous "$previous"
measure this "$build"
report previous
report this
awk -v a="$(fps_of "$work/this.draw.log")" -v b="$(fps_of "$work/previous.draw.log")" \
    -v c="$(fps_of "$work/this.video.log")" -v d="$(fps_of "$work/previous.video.log")" \
    -v e="$(stat -c %s "$work/this.mp4")" -v f="$(stat -c %s "$work/previous.mp4")" 'BEGIN {
    printf "this / previous: drawing %.2fx as fast, with the video %.2fx as fast, video %.2fx the size\n", a / b, c / d, e / f }'
