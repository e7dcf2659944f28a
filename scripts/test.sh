#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test.
#   scripts/test.sh              plain build in build/
#   scripts/test.sh --sanitize   AddressSanitizer + UndefinedBehaviorSanitizer build in
#                                build-sanitize/; any report fails the test that caused it
# Further arguments go to CMake (e.g. -DKALVOR_GUI=OFF).
set -euo pipefail
cd "$(dirname "$0")/.."
export QT_QPA_PLATFORM=offscreen
jobs=$(nproc 2>/dev/null || echo 2)
if [ "${1:-}" = "--sanitize" ]; then
  shift
  scripts/deps.sh
  cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKALVOR_SANITIZE=ON -DKALVOR_BENCH=OFF \
    "$@" >/dev/null
  cmake --build build-sanitize -j "$jobs"
  # Leaks inside Qt's and fontconfig's own caches are not ours; the file
  # names only those libraries.
  export LSAN_OPTIONS="suppressions=$PWD/scripts/lsan.supp:print_suppressions=0"
  export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:halt_on_error=1"
  export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
  ctest --test-dir build-sanitize --output-on-failure -j "$jobs"
  exit
fi
scripts/build.sh "$@"
ctest --test-dir build --output-on-failure -j "$jobs"
