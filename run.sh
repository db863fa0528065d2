#!/bin/sh
# Installs what is missing, builds, generates the show's data and plays it.
set -eu
cd "$(dirname "$0")"
./scripts/install-deps.sh

jobs=$(nproc 2>/dev/null || echo 2)
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j "$jobs"

# The demo reads "orvanti.dat" and "orvanti.xm" from the current folder.
cd build/data
if [ ! -x ../orvanti ]; then
    echo "run.sh: the data is in build/data; the demo program itself is not there yet."
    exit 0
fi
exec ../orvanti
