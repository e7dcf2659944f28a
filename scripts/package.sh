#!/usr/bin/env bash
# Builds Kalvor and its Debian package build/kalvor_<version>_<arch>.deb.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh
cd build
cpack -G DEB
ls -1 "$PWD"/kalvor_*.deb
