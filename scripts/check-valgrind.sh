#!/bin/sh
# The program under valgrind on the music's end and on SIGTERM (SDL's dummy
# drivers), and orvanti-capture over 200 frames: any invalid access or any
# definitely or possibly lost block fails.
#
#   scripts/check-valgrind.sh [BUILD_DIR] [--escape]     (default: build)
#
# --escape adds Escape pressed in a window on an X server of our own. It takes
# minutes under valgrind, and the X, GL and D-Bus libraries' own leaks and
# loader reports show up in it, so it is not part of ./test.sh.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
escape=${2:-}
for tool in valgrind Xvfb xdotool xwininfo; do
    command -v "$tool" >/dev/null || { echo "check-valgrind: $tool is needed (scripts/install-deps.sh)" >&2; exit 1; }
done
work=$(mktemp -d)
server=""
cleanup() {
    [ -n "$server" ] && kill "$server" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT INT TERM

"$build/tests/write-short-show" "$work/short" 47 4    # ends by itself in about 2 s
"$build/tests/write-short-show" "$work/long" 47 64    # about half a minute
memcheck="valgrind --quiet --error-exitcode=99 --leak-check=full --errors-for-leak-kinds=definite,possible"
failed=0

# Runs "$@" in folder $1 with its log in $work/$2.log; the road passes when
# the status is $3 and valgrind found nothing.
check() {
    folder=$1 road=$2 expected=$3
    shift 3
    status=0
    (cd "$folder" && "$@") >"$work/$road.log" 2>&1 || status=$?
    if [ "$status" -eq "$expected" ]; then
        echo "check-valgrind: $road: clean"
    else
        echo "check-valgrind: $road: status $status (expected $expected; 99 is valgrind's):" >&2
        cat "$work/$road.log" >&2
        failed=1
    fi
}

headless="env SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy"
check "$work/short" music-end 0 $headless $memcheck "$build/orvanti"
check "$work/long" sigterm 0 sh -c "$headless $memcheck '$build/orvanti' & pid=\$!; sleep 3; kill -TERM \$pid; wait \$pid"

check "$work/short" capture-200-frames 0 $memcheck "$build/orvanti-capture" --quiet --end 4 --trace "$work/trace.csv"

if [ "$escape" != "--escape" ]; then
    [ "$failed" -eq 0 ] || exit 1
    echo "check-valgrind: the music's end, SIGTERM and the capture are clean"
    exit 0
fi

# Escape needs a keyboard: an X server of our own and a key sent to the window.
display=":$((3000 + $$ % 3000))"
Xvfb "$display" -screen 0 640x480x24 -nolisten tcp >/dev/null 2>&1 &
server=$!
tries=0
until DISPLAY=$display xwininfo -root >/dev/null 2>&1; do
    tries=$((tries + 1))
    [ "$tries" -lt 600 ] || { echo "check-valgrind: Xvfb did not start" >&2; exit 1; }
    sleep 0.1
done
press_escape() {
    # The software renderer keeps the GL driver, slow and leaky under valgrind, out of it.
    DISPLAY=$display SDL_AUDIODRIVER=dummy SDL_RENDER_DRIVER=software $memcheck "$build/orvanti" &
    pid=$!
    # Wait for the window rather than for a fixed time; valgrind is slow to start.
    tries=0
    until DISPLAY=$display xdotool search --name 'ORVANTI / KAMBRI' >/dev/null 2>&1; do
        tries=$((tries + 1))
        [ "$tries" -lt 1200 ] || break
        sleep 0.1
    done
    sleep 1
    DISPLAY=$display xdotool search --name 'ORVANTI / KAMBRI' windowfocus --sync key Escape
    wait $pid
}
check "$work/long" escape 0 press_escape

[ "$failed" -eq 0 ] || exit 1
echo "check-valgrind: every road out is clean"
