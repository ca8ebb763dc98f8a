#!/usr/bin/env bash
# Remakes docs/screenshot.png, the installer's window over the demo set, and
# docs/keyboard-focus.png, the same after Tab and Down, on a virtual display.
set -euo pipefail
cd "$(dirname "$0")/.."
env -u DISPLAY -u WAYLAND_DISPLAY scripts/run.sh >/dev/null
cp build/screenshot.png docs/screenshot.png
echo docs/screenshot.png

demo=$(scripts/make-demo.sh build/demo)
env -u DISPLAY -u WAYLAND_DISPLAY FOLDWISE_APPLICATION_DIRS="$demo/Applications" \
  XDG_DATA_HOME="$demo/home/.local/share" \
  scripts/with-xvfb.sh scripts/screenshot-app.sh "$PWD/build/InstallationUtility.app/Contents/MacOS/InstallationUtility" \
  docs/keyboard-focus.png Tab Down
echo docs/keyboard-focus.png
