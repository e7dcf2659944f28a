#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test.
#   scripts/test.sh              plain build in build/
#   scripts/test.sh --sanitize   AddressSanitizer + UndefinedBehaviorSanitizer build in
#                                build-sanitize/; any report fails the test that caused it
#   scripts/test.sh --tsan       ThreadSanitizer build in build-tsan/ of the engine, document
#                                and desktop tests only; any race fails the run
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
if [ "${1:-}" = "--tsan" ]; then
  shift
  scripts/deps.sh
  cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKALVOR_TSAN=ON -DKALVOR_BENCH=OFF \
    "$@" >/dev/null
  # Only what the run uses: the engine, document and desktop tests.
  cmake --build build-tsan -j "$jobs" --target kalvor_engine_tests kalvor_document_tests kalvor_gui_tests
  # OpenBLAS's own threads are not instrumented (the checker would report
  # them): the solver runs on the calling thread. Our threads (ParallelFor,
  # the field picture's worker) are all instrumented.
  export OPENBLAS_NUM_THREADS=1
  # The launch tests start the program itself (fork + exec) after Qt's
  # threads exist; the child only execs, so the checker may let it live.
  export TSAN_OPTIONS="halt_on_error=1:exitcode=66:die_after_fork=0:second_deadlock_stack=1:ignore_noninstrumented_modules=1:suppressions=$PWD/scripts/tsan.supp"
  status=0
  for t in tests/kalvor_engine_tests tests/document/kalvor_document_tests tests/app/kalvor_gui_tests; do
    echo "== $t"
    "build-tsan/$t" --gtest_brief=1 || status=1
  done
  exit $status
fi
scripts/build.sh "$@"
ctest --test-dir build --output-on-failure -j "$jobs"
