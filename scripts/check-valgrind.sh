#!/bin/sh
# The program under valgrind on every road out: the music's end and SIGTERM
# (SDL's dummy drivers), Escape pressed in a window on an X server of our own,
# and orvanti-capture over 200 frames. Any invalid access or any definitely
# or possibly lost block fails.
#
#   scripts/check-valgrind.sh [BUILD_DIR]     (default: build)
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
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
# Shell lines that wait, up to two minutes, until the program in $pid plays:
# its audio thread exists only once display, loading and music are set up.
wait_for_music='for try in $(seq 12000); do grep -qs SDLAudio /proc/$pid/task/*/comm && break; sleep 0.01; done'

check "$work/short" music-end 0 $headless $memcheck "$build/orvanti"
check "$work/long" sigterm 0 sh -c "$headless $memcheck '$build/orvanti' & pid=\$!; $wait_for_music; kill -TERM \$pid; wait \$pid"

check "$work/short" capture-200-frames 0 $memcheck "$build/orvanti-capture" --quiet --end 4 --trace "$work/trace.csv"

# Escape needs a keyboard: an X server of our own and a key sent to the window.
display=":$((3000 + $$ % 3000))"
Xvfb "$display" -screen 0 640x480x24 -nolisten tcp -noreset >/dev/null 2>&1 &
server=$!
tries=0
until DISPLAY=$display xwininfo -root >/dev/null 2>&1; do
    tries=$((tries + 1))
    [ "$tries" -lt 600 ] || { echo "check-valgrind: Xvfb did not start" >&2; exit 1; }
    sleep 0.1
done
press_escape() {
    # GL (the renderer, and SDL's texture behind the window surface) and D-Bus
    # are kept out: their libraries' own leaks are not ours, and GL is slow
    # under valgrind. The window, the events and the road out are the same.
    DISPLAY=$display SDL_AUDIODRIVER=dummy SDL_RENDER_DRIVER=software SDL_FRAMEBUFFER_ACCELERATION=0 \
        DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent DBUS_SYSTEM_BUS_ADDRESS=unix:path=/nonexistent \
        $memcheck "$build/orvanti" &
    pid=$!
    eval "$wait_for_music"
    DISPLAY=$display xdotool search --name 'ORVANTI / KAMBRI' windowfocus --sync key Escape
    wait $pid
}
check "$work/long" escape 0 press_escape

[ "$failed" -eq 0 ] || exit 1
echo "check-valgrind: every road out is clean"
