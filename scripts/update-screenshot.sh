#!/usr/bin/env bash
# Remakes docs/screenshot.png, the installer's window over the demo set, and
# docs/keyboard-focus.png, the same after Tab and Down, on a virtual display. The demo is laid out
# in /opt/foldwise-demo, so that the pictures show no build machine's folder.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh run
app="$PWD/build-app/InstallationUtility.app/Contents/MacOS/InstallationUtility"
shoot() { # output.png [KEY...]
  demo=$(scripts/make-demo.sh /opt/foldwise-demo)
  env -u DISPLAY -u WAYLAND_DISPLAY FOLDWISE_APPLICATION_DIRS="$demo/Applications" \
    XDG_DATA_HOME="$demo/home/.local/share" scripts/with-xvfb.sh scripts/screenshot-app.sh "$app" "$@"
  echo "$1"
}
shoot docs/screenshot.png
shoot docs/keyboard-focus.png Tab Down
