#!/bin/sh
# Encoder settings compared on one window of the show: CPU seconds per second
# of show (its inverse is the real-time multiple on one core), MB per minute
# and PSNR of the decoded picture against the source frames enlarged with
# sharp pixels.
#
#   bench/encoder_matrix.sh BUILD_DIR [START_SECONDS] [LENGTH_SECONDS]
#
# The window (default 100 s to 130 s) is drawn once by orvanti-capture into
# PNG files and kept as raw frames in a temporary folder (1.8 GB for 30 s).
set -eu
build=$(cd "${1:-build}" && pwd)
start=${2:-100}
length=${3:-30}
fps=50
work=$(mktemp -d "${TMPDIR:-/tmp}/encoder-matrix.XXXXXX")
trap 'rm -rf "$work"' EXIT INT TERM

first=$((start * fps))
last=$(((start + length) * fps - 1))
# SOURCE_RAW names frames of that window kept from an earlier run.
if [ -n "${SOURCE_RAW:-}" ]; then
    ln -s "$SOURCE_RAW" "$work/source.raw"
else
    "$build/orvanti-capture" --quiet --data "$build/data" --frames "$first-$last" --out "$work/png" 2>/dev/null
    ffmpeg -hide_banner -loglevel error -framerate $fps -start_number $first -i "$work/png/frame_%06d.png" \
        -f rawvideo -pix_fmt bgr0 "$work/source.raw"
    rm -rf "$work/png"
fi
raw="-f rawvideo -pixel_format bgr0 -video_size 640x480 -framerate $fps"

# name scale codec-arguments...
encode() {
    name=$1 scale=$2
    shift 2
    enlarge="scale=iw*$scale:ih*$scale:flags=neighbor,format=bgr0,"
    [ "$scale" -eq 1 ] && enlarge=""
    cpu=$( { /usr/bin/time -f "%U %S" ffmpeg -hide_banner -loglevel error -y $raw -i "$work/source.raw" \
        -vf "${enlarge}$FORMAT" "$@" "$work/out.mkv"; } 2>&1 | tail -n 1)
    bytes=$(stat -c %s "$work/out.mkv")
    # The decoded picture back to RGB (BT.709 limited range where it is YUV)
    # against the source enlarged the same way.
    psnr=$(ffmpeg -hide_banner -nostats -i "$work/out.mkv" $raw -i "$work/source.raw" -lavfi \
        "[0]scale=in_color_matrix=bt709:in_range=tv:flags=neighbor+accurate_rnd+full_chroma_int,format=gbrp[d];[1]scale=iw*$scale:ih*$scale:flags=neighbor,format=gbrp[r];[d][r]psnr" \
        -f null - 2>&1 | grep -o 'average:[0-9.inf]*' | tail -n 1)
    awk -v n="$name" -v c="$cpu" -v b="$bytes" -v l="$length" -v p="$psnr" 'BEGIN {
        split(c, t, " "); s = t[1] + t[2];
        printf "| %-44s | %6.2f | %6.2fx | %7.1f | %s |\n", n, s / l, l / s, b / 1e6 * 60 / l, p }'
}

echo "| setting (${length} s from ${start} s) | CPU s per s | real time on one core | MB per minute | PSNR dB |"
echo "|---|---|---|---|---|"
yuv="scale=out_color_matrix=bt709:out_range=tv:flags=neighbor+accurate_rnd+full_chroma_inp"
if [ "${MATRIX_YUV:-1}" = 1 ]; then
    FORMAT="$yuv,format=yuv420p"
    encode "x264 veryfast crf 16, 4:2:0, 2x" 2 -c:v libx264 -preset veryfast -crf 16
    FORMAT="$yuv,format=yuv444p"
    encode "x264 ultrafast crf 16, 4:4:4, 2x" 2 -c:v libx264 -preset ultrafast -crf 16
    encode "x264 superfast crf 16, 4:4:4, 2x" 2 -c:v libx264 -preset superfast -crf 16
fi
# RGB coding spends its bits evenly on the three channels, where YUV starves
# the red and blue of saturated pixel art.
FORMAT="format=bgr24"
for crf in 12 16 20; do
    encode "x264 RGB ultrafast crf $crf, 2x" 2 -c:v libx264rgb -preset ultrafast -crf $crf
done
for preset in superfast veryfast medium; do
    encode "x264 RGB $preset crf 16, 2x" 2 -c:v libx264rgb -preset $preset -crf 16
done
encode "x264 RGB superfast crf 16 animation, 2x" 2 -c:v libx264rgb -preset superfast -crf 16 -tune animation
encode "x264 RGB ultrafast crf 16, 1x" 1 -c:v libx264rgb -preset ultrafast -crf 16
encode "x264 RGB ultrafast crf 16, 3x" 3 -c:v libx264rgb -preset ultrafast -crf 16
encode "x264 RGB lossless ultrafast qp 0, 1x" 1 -c:v libx264rgb -preset ultrafast -qp 0
FORMAT="format=bgr0"
encode "FFV1, 1x" 1 -c:v ffv1 -level 3 -slices 4
