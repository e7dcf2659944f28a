#!/usr/bin/env bash
# Installs what is missing, builds, and calculates the default example
# (a sphere-plane gap over an earthed plane) with kalvor-calc, writing the
# result files into results/sphere-plane/.
#   scripts/run.sh --gui [FILE]   opens the desktop program instead.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh
if [ "${1:-}" = "--gui" ]; then
  exec build/app/kalvor "${2:-examples/sphere-plane.txt}"
fi
out=results/sphere-plane
mkdir -p "$out"
build/cli/kalvor-calc examples/sphere-plane.txt --earth --control \
  --gap-curves examples/sphere-plane.gap.txt --results "$out"
echo
echo "Result files: $out/ (01.dat along the sphere, 01space.dat along the axis," \
     "02space.dat along the earthed plane, ControlCalc.txt)"
