#!/bin/sh
# Installs the Debian packages orvanti needs to build, test and play.
# Idempotent and non-interactive: only what is missing is installed.
set -eu

PACKAGES="
cmake g++ make pkg-config
libgtest-dev libgmock-dev libbenchmark-dev
libsdl2-dev libopenmpt-dev libjpeg62-turbo-dev libpng-dev
libfreetype-dev fonts-dejavu-core libglu1-mesa-dev
libx11-dev libwayland-dev libxmp-dev xvfb xauth ffmpeg
libosmesa6-dev
valgrind xdotool openbox x11-utils
clang-14 libclang-rt-14-dev
emscripten chromium nodejs python3 python3-numpy python3-pil
dpkg-dev file lintian weston
"

# The browser page's npm packages (its music player and the test's browser
# driver), from the committed lock file.
install_web_packages() {
    web="$(dirname "$0")/../web"
    if [ ! -f "$web/node_modules/.package-lock.json" ] || [ "$web/package-lock.json" -nt "$web/node_modules/.package-lock.json" ]; then
        echo "install-deps: installing the page's npm packages in web/"
        (cd "$web" && npm ci --no-audit --no-fund)
    fi
}

missing=""
for package in $PACKAGES; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing="$missing $package"
    fi
done
# A Node.js that brings its own npm must not get Debian's, which would replace it.
if ! command -v npm >/dev/null 2>&1; then
    missing="$missing npm"
fi

if [ -z "$missing" ]; then
    install_web_packages
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
install_web_packages
