#!/bin/sh
# Checks the install of a build: into a scratch DESTDIR, the installed
# `orvanti` must play a short show from an unrelated folder, finding its data
# from its own place; as root in CI (or with ORVANTI_PACKAGE_TEST=1) the
# Debian package is also built, checked by lintian (no error or warning
# allowed), installed with apt-get, played and purged.
# Usage: scripts/check-install.sh [BUILD_DIR]
set -eu
build=$(cd "${1:-build}" && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
# apt's download step reads a local package as an unprivileged user.
chmod 755 "$scratch"

fail() {
    echo "check-install: FAILED: $*" >&2
    exit 1
}

# Plays with the dummy drivers from /; the short show ends by itself in
# about two seconds, the time-out only stops a hung run.
play() {
    (cd / && SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy timeout 120 "$@")
}

cmake --build "$build" --target write-short-show >/dev/null
"$build/tests/write-short-show" "$scratch/short" 47 4

root="$scratch/root"
DESTDIR="$root" cmake --install "$build" --prefix /usr >/dev/null
for file in bin/orvanti bin/orvanti-capture bin/orvanti-pack bin/orvanti-assets libexec/orvanti/orvanti \
    share/orvanti/orvanti.dat share/orvanti/orvanti.xm share/applications/orvanti.desktop \
    share/icons/hicolor/256x256/apps/orvanti.png share/man/man6/orvanti.6.gz share/man/man1/orvanti-pack.1.gz \
    share/doc/orvanti/copyright share/doc/orvanti/changelog.gz; do
    [ -f "$root/usr/$file" ] || fail "the install has no /usr/$file"
done
file "$root/usr/share/icons/hicolor/256x256/apps/orvanti.png" | grep -q "PNG image data, 256 x 256" ||
    fail "the icon is not a 256 by 256 PNG picture"
cmp -s "$root/usr/share/orvanti/orvanti.dat" "$build/data/orvanti.dat" || fail "installed orvanti.dat differs"

play env ORVANTI_DATA_DIR="$scratch/short" "$root/usr/bin/orvanti" || fail "DESTDIR orvanti with ORVANTI_DATA_DIR: status $?"
# Without the override it must find share/orvanti beside its own bin/.
cp "$scratch/short/orvanti.xm" "$root/usr/share/orvanti/orvanti.xm"
play "$root/usr/bin/orvanti" || fail "DESTDIR orvanti in its own data folder: status $?"
status=0
message=$(play env ORVANTI_DATA_DIR="$scratch/nowhere" "$root/usr/bin/orvanti" 2>&1) || status=$?
[ "$status" -eq 3 ] && [ "$message" = "orvanti: cannot enter the data folder $scratch/nowhere" ] ||
    fail "a missing data folder gave status $status and \"$message\""
echo "check-install: DESTDIR install plays from any folder"

if [ "$(id -u)" -ne 0 ] || { [ "${CI:-}" != true ] && [ "${ORVANTI_PACKAGE_TEST:-}" != 1 ]; }; then
    echo "check-install: Debian package check skipped (runs as root with CI=true or ORVANTI_PACKAGE_TEST=1)"
    exit 0
fi
if dpkg-query -W -f='${Status}' orvanti 2>/dev/null | grep -q "ok installed" || [ -e /usr/bin/orvanti ]; then
    echo "check-install: Debian package check skipped: orvanti is already installed here and is left alone"
    exit 0
fi

(cd "$build" && cpack -G DEB -B "$scratch/package" >"$scratch/cpack.log" 2>&1) ||
    { cat "$scratch/cpack.log" >&2; fail "cpack -G DEB"; }
deb=$(ls "$scratch"/package/orvanti_*.deb)
command -v lintian >/dev/null || fail "lintian is not installed (scripts/install-deps.sh installs it)"
lintian --fail-on error,warning "$deb" >"$scratch/lintian.log" 2>&1 ||
    { cat "$scratch/lintian.log" >&2; fail "lintian reports errors or warnings on $(basename "$deb")"; }
echo "check-install: lintian finds no error or warning in $(basename "$deb")"
depends=$(dpkg-deb -f "$deb" Depends)
for library in libsdl2 libopenmpt libjpeg libpng libfreetype fonts-dejavu-core; do
    echo "$depends" | grep -q "$library" || fail "package Depends lacks $library: $depends"
done
dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { sub(/^\./, "", $6); print $6 }' >"$scratch/files"

DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$deb" >/dev/null || fail "apt-get install $deb"
status=0
play env ORVANTI_DATA_DIR="$scratch/short" orvanti || status=$?
DEBIAN_FRONTEND=noninteractive apt-get remove --purge -y -qq orvanti >/dev/null || fail "apt-get remove orvanti"
[ "$status" -eq 0 ] || fail "the packaged orvanti ended with status $status"
while read -r file; do
    [ ! -e "$file" ] || fail "$file is left after removing the package"
done <"$scratch/files"
! dpkg-query -W -f='${Status}' orvanti 2>/dev/null | grep -q "ok installed" || fail "orvanti is still installed"
echo "check-install: the Debian package installs, plays from /tmp's short show and is removed cleanly"
