#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (ASan + UBSan) into build-fuzz/
# and runs each for SECONDS (default 60), seeded from examples/. Inputs that
# fail are kept as build-fuzz/crash-* and make the script fail.
#   scripts/fuzz.sh [SECONDS] [TARGET...]   targets: element_line system_reader curve_file whole_run dxf_reader
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
shift || true
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(element_line system_reader curve_file whole_run dxf_reader)
scripts/deps.sh
if ! command -v clang++ >/dev/null 2>&1; then
  echo "fuzz: clang++ not found, fuzz targets skipped"
  exit 0
fi
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKALVOR_FUZZ=ON \
  -DKALVOR_GUI=OFF -DKALVOR_TESTS=OFF -DKALVOR_BENCH=OFF >/dev/null
if ! grep -q "KALVOR_HAVE_LIBFUZZER:INTERNAL=1" build-fuzz/CMakeCache.txt; then
  echo "fuzz: -fsanitize=fuzzer is not available, fuzz targets skipped"
  exit 0
fi
jobs=$(nproc 2>/dev/null || echo 2)
cmake --build build-fuzz -j "$jobs" --target "${targets[@]/#/fuzz_}"

# Seed corpora from the shipped examples.
seeds=build-fuzz/seeds
rm -rf "$seeds"
mkdir -p "$seeds"/{element_line,system_reader,curve_file,whole_run,dxf_reader}
cp examples/dxf/*.dxf "$seeds/dxf_reader/"
n=0
for f in examples/*.txt; do
  cp "$f" "$seeds/system_reader/"
  cp "$f" "$seeds/curve_file/"
  grep -v '^//' "$f" | while IFS= read -r line; do
    printf '%s' "$line" >"$seeds/element_line/$(basename "$f")-$((n++))"
  done
done
for f in examples/*.txt; do
  case "$f" in *.gap.txt) continue ;; esac
  gap="${f%.txt}.gap.txt"
  for flags in '\x00' '\x01' '\x26'; do
    out="$seeds/whole_run/$(basename "$f" .txt)-$(printf '%s' "$flags" | tr -d '\\')"
    { printf "$flags"; grep -v '^//' "$f"; if [ -f "$gap" ]; then printf '==\n'; grep -v '^//' "$gap"; fi; } >"$out"
  done
done

# One thread per run keeps the calculation deterministic and fast to fork.
export OPENBLAS_NUM_THREADS=1
# The whole-run target writes its files here (in memory where possible).
KALVOR_FUZZ_TMP=$(mktemp -d "$( [ -w /dev/shm ] && echo /dev/shm || echo /tmp )/kalvor-fuzz.XXXXXX")
export KALVOR_FUZZ_TMP
trap 'rm -rf "$KALVOR_FUZZ_TMP"' EXIT
status=0
passed=0
failed=0
for t in "${targets[@]}"; do
  corpus=build-fuzz/corpus/$t
  mkdir -p "$corpus"
  log=build-fuzz/fuzz-$t.log
  echo "fuzz: $t for ${seconds}s"
  if ./build-fuzz/fuzz/fuzz_"$t" "$corpus" "$seeds/$t" -max_total_time="$seconds" -timeout=20 \
      -rss_limit_mb=2560 -print_final_stats=1 -artifact_prefix=build-fuzz/crash-"$t"- >"$log" 2>&1; then
    echo "fuzz: $t: $(grep -m1 -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$') executions, no finding"
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    echo "fuzz: $t FAILED (see $log)"
    tail -40 "$log"
    status=1
  fi
done
echo "fuzz: $passed passed, $failed failed"
exit $status
