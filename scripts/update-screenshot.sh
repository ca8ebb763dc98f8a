#!/usr/bin/env bash
# Remakes docs/screenshot.png: the installer's window over the demo set, on a virtual display.
set -euo pipefail
cd "$(dirname "$0")/.."
env -u DISPLAY -u WAYLAND_DISPLAY scripts/run.sh >/dev/null
cp build/screenshot.png docs/screenshot.png
echo docs/screenshot.png
