#!/bin/sh
# Installs the Debian packages orvanti needs to build, test and play.
# Idempotent and non-interactive: only what is missing is installed.
set -eu

PACKAGES="
cmake g++ make pkg-config
libgtest-dev libgmock-dev libbenchmark-dev
libsdl2-dev libopenmpt-dev libjpeg62-turbo-dev libpng-dev
libfreetype-dev fonts-dejavu-core libglu1-mesa-dev
libx11-dev libxmp-dev xvfb xauth ffmpeg
valgrind xdotool openbox x11-utils
clang-14 libclang-rt-14-dev
dpkg-dev file
"

missing=""
for package in $PACKAGES; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing="$missing $package"
    fi
done

if [ -z "$missing" ]; then
    exit 0
fi

echo "install-deps: installing:$missing"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then
    SUDO="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
# shellcheck disable=SC2086
$SUDO apt-get install -y -qq --no-install-recommends $missing
