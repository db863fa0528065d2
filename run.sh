#!/bin/sh
# Installs what is missing, builds, generates the show's data and plays it;
# on a machine with no display it renders the show to orvanti.mp4 instead.
# With --web it builds the browser page and serves it on http://127.0.0.1:8000.
set -eu
start_folder=$(pwd)
cd "$(dirname "$0")"
./scripts/install-deps.sh

jobs=$(nproc 2>/dev/null || echo 2)
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo

if [ "${1:-}" = "--web" ]; then
    site=$(sed -n 's/^ORVANTI_WEB_DIR:PATH=//p' build/CMakeCache.txt)/site
    if ! grep -q '^ORVANTI_WEB:BOOL=ON' build/CMakeCache.txt; then
        echo "run.sh: the page cannot be built here: see 'The browser page is off' in the configure output above" >&2
        exit 1
    fi
    cmake --build build -j "$jobs" --target web_page
    echo "run.sh: the site is in $site; open http://127.0.0.1:8000/ in a browser (Ctrl-C stops the server)"
    exec python3 -m http.server 8000 --bind 127.0.0.1 --directory "$site"
fi
if [ $# -gt 0 ]; then
    echo "run.sh: unknown option $1 (the only one is --web)" >&2
    exit 2
fi

cmake --build build -j "$jobs"

# The demo reads "orvanti.dat" and "orvanti.xm" from the current folder.
cd build/data

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    video="$start_folder/orvanti.mp4"
    echo "run.sh: no display (neither DISPLAY nor WAYLAND_DISPLAY is set): rendering the show to $video"
    ../orvanti-capture --video "$video"
    echo "run.sh: the show is in $video"
    exit 0
fi

exec ../orvanti
