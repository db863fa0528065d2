#!/bin/sh
# Guards the show's output against change: the whole-show trace, frames at 40
# positions over every scene and a 20 s window of the sound, rendered by
# orvanti-capture and compared by SHA-256 with scripts/show-identity.sha256.
# Frames are hashed as decoded RGB pixels (by ffmpeg), not as PNG files, so a
# new libpng or zlib that packs the same pixels differently changes nothing.
#
#   scripts/check-show-identity.sh [BUILD_DIR]           compare (default: build)
#   scripts/check-show-identity.sh [BUILD_DIR] --record  write the reference anew
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
reference="$root/scripts/show-identity.sha256"
capture="$build/orvanti-capture"
data="$build/data"
if [ ! -x "$capture" ] || [ ! -f "$data/orvanti.dat" ]; then
    echo "check-show-identity: build orvanti-capture and the show's data in $build first" >&2
    exit 1
fi
if ! command -v ffmpeg >/dev/null; then
    echo "check-show-identity: ffmpeg is needed to decode the frames (Debian: ffmpeg)" >&2
    exit 1
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT INT TERM

# Forty positions from order 0 to 45, rows spread over each pattern.
positions=$(awk 'BEGIN { for (i = 0; i < 40; i++) printf "%s%d:%d", (i ? "," : ""), int(i * 46 / 40), (i * 23) % 64 }')
"$capture" --quiet --data "$data" --out "$work/frames" --trace "$work/trace.csv" --at "$positions" 2>"$work/show.log" ||
    { cat "$work/show.log" >&2; exit 1; }
"$capture" --quiet --data "$data" --start 100 --end 120 --wav "$work/sound.wav" 2>"$work/sound.log" ||
    { cat "$work/sound.log" >&2; exit 1; }

count=$(ls "$work/frames" | wc -l)
if [ "$count" -ne 40 ]; then
    echo "check-show-identity: expected 40 frames, the capture saved $count" >&2
    exit 1
fi
(cd "$work" && sha256sum trace.csv sound.wav) >"$work/sums"
for frame in "$work"/frames/*.png; do
    name=$(basename "$frame" .png)
    size=$(ffprobe -v error -select_streams v:0 -show_entries stream=width,height -of csv=p=0:s=x "$frame")
    sum=$(ffmpeg -v error -i "$frame" -f rawvideo -pix_fmt rgb24 - | sha256sum | cut -d' ' -f1)
    [ -n "$size" ] && [ "$sum" != "$(printf '' | sha256sum | cut -d' ' -f1)" ] ||
        { echo "check-show-identity: ffmpeg could not decode $name.png" >&2; exit 1; }
    echo "$sum  frames/$name.rgb24 $size"
done >>"$work/sums"

if [ "${2:-}" = "--record" ]; then
    cp "$work/sums" "$reference"
    echo "check-show-identity: reference written to $reference"
    exit 0
fi
if ! diff -u "$reference" "$work/sums" >"$work/diff"; then
    echo "check-show-identity: the show's output changed:" >&2
    cat "$work/diff" >&2
    exit 1
fi
echo "check-show-identity: trace, 40 frames and 20 s of sound are unchanged"
