#!/usr/bin/env bash
# Installs what is missing, builds, and starts the installer.
#   scripts/run.sh            against the sample Acrobat installations made in build-app/demo
#   scripts/run.sh --system   against this machine's own application and support folders
# With no display, it runs on a virtual one, saves a screenshot of the window to
# build-app/screenshot.png, prints that path and closes the window.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh run
app="$PWD/build-app/InstallationUtility.app/Contents/MacOS/InstallationUtility"

if [ "${1:-}" != "--system" ]; then
  demo=$(scripts/make-demo.sh build-app/demo)
  export FOLDWISE_APPLICATION_DIRS="$demo/Applications"
  export XDG_DATA_HOME="$demo/home/.local/share"
fi

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  exec "$app"
fi

screenshot="$PWD/build-app/screenshot.png"
scripts/with-xvfb.sh scripts/screenshot-app.sh "$app" "$screenshot"
echo "$screenshot"
