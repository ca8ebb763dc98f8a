#!/usr/bin/env bash
# Installs what this project needs from Debian's packages, then configures and builds it.
# Usage: scripts/setup.sh run|test [--no-build]
#   run    what building and running the application needs; builds the application alone
#   test   that, plus what only the tests, benchmarks and checks need; builds everything
set -euo pipefail
cd "$(dirname "$0")/.."
purpose="${1:-test}"
case "$purpose" in
  run | test) ;;
  *) echo "Usage: scripts/setup.sh run|test [--no-build]" >&2; exit 2 ;;
esac

# Building and running the application, its demo set (python3 writes the sample Info.plists) and
# the headless screenshot that scripts/run.sh takes without a display.
run_packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins qt6-image-formats-plugins libgl-dev
  libexpat1-dev python3
  xvfb xdotool x11-utils xauth imagemagick fonts-dejavu-core
)
# Only the tests need these: GoogleTest and Benchmark, libplist (a second property-list library
# that writes the tests' binary files and that the benchmarks compare with), the Debian package
# build, the screen-reader stack (Orca with its speech stack, and a window manager for it to
# follow), and clang for the fuzzer and the sanitizers.
test_packages=(
  dpkg-dev libgtest-dev libgmock-dev libbenchmark-dev libplist-dev
  dbus at-spi2-core python3-pyatspi orca speech-dispatcher openbox
  clang libclang-rt-14-dev clang-format
  # Debian's own checks of the package, and libc++ to compile every source as macOS's library would.
  lintian appstream desktop-file-utils libc++-dev libc++abi-dev
)

packages=("${run_packages[@]}")
[ "$purpose" = run ] || packages+=("${test_packages[@]}")

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

if [ "${2:-}" != "--no-build" ]; then
  if [ "$purpose" = run ]; then
    cmake --preset app
    cmake --build --preset app
  else
    cmake --preset default
    cmake --build --preset default
  fi
fi
