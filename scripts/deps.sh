#!/usr/bin/env bash
# Installs the Debian packages Kalvor needs, skipping what is already there.
# Non-interactive; safe to run on every build.
set -euo pipefail

packages=(
  cmake g++ make pkg-config
  libopenblas-dev liblapacke-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  qt6-base-dev qt6-svg-dev qt6-charts-dev libqt6opengl6-dev qt6-translations-l10n
  dpkg-dev help2man desktop-file-utils lintian man-db
  nlohmann-json3-dev
  clang libclang-rt-dev
  libhwy-dev
  pybind11-dev python3-dev python3-numpy python3-pytest python3-distributed python3-matplotlib
  libdxflib-dev python3-ezdxf
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  if command -v sudo >/dev/null 2>&1; then sudo_cmd=(sudo); else
    echo "Missing packages (${missing[*]}) and no root rights to install them." >&2
    exit 1
  fi
fi
export DEBIAN_FRONTEND=noninteractive
if ! "${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"; then
  "${sudo_cmd[@]}" apt-get update -q
  "${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
