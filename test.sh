#!/bin/sh
# Installs what is missing, builds, and runs the whole test suite twice:
# a normal build, then one with AddressSanitizer and UndefinedBehaviorSanitizer;
# then checks the install (and, as root in CI, the Debian package) and gives
# every fuzz target a short run over its corpus.
set -eu
cd "$(dirname "$0")"
./scripts/install-deps.sh

jobs=$(nproc 2>/dev/null || echo 2)

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j "$jobs"
ctest --test-dir build --output-on-failure -j "$jobs"
./scripts/check-install.sh build
./scripts/check-show-identity.sh build
./scripts/check-valgrind.sh build

cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=Debug -DORVANTI_SANITIZE=ON -DORVANTI_BENCHMARKS=OFF
cmake --build build-sanitize -j "$jobs"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --test-dir build-sanitize --output-on-failure -j "$jobs"

./scripts/fuzz-smoke.sh 20

echo "test.sh: all tests passed (normal and sanitizer builds, install, fuzz smoke runs)"
