#!/usr/bin/env bash
# Installs what is missing, builds, and runs the engine's test suite.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh
build/tests/kalvor_engine_tests
