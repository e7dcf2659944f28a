#!/usr/bin/env bash
# Configures and builds Kalvor into build/ (Release with debug info).
set -euo pipefail
cd "$(dirname "$0")/.."
"$PWD/scripts/deps.sh"
jobs=$(nproc 2>/dev/null || echo 2)
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
cmake --build build -j "$jobs"
