#!/usr/bin/env bash
# Installs whatever this project needs from Debian's packages, then configures and builds it.
# Usage: scripts/setup.sh [--no-build]
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(
  build-essential cmake ninja-build pkg-config dpkg-dev
  qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins qt6-image-formats-plugins libgl-dev
  libplist-dev libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xdotool x11-utils xauth imagemagick fonts-dejavu-core python3
  dbus at-spi2-core python3-pyatspi
  clang libclang-rt-14-dev
)

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
done
if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  "${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
  "${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

if [ "${1:-}" != "--no-build" ]; then
  cmake --preset default
  cmake --build --preset default
fi
