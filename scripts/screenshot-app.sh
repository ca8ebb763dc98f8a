#!/usr/bin/env bash
# Starts the application on the current display, saves a picture of its window, then closes it.
# Usage: scripts/screenshot-app.sh APP_EXECUTABLE OUTPUT.png [KEY...]
# The keys (xdotool's names, e.g. Tab Down) are typed into the window before the picture.
set -euo pipefail
app=$1
output=$2
shift 2
"$app" &
app_pid=$!
trap 'kill "$app_pid" 2>/dev/null || true' EXIT
window=$(timeout 20 xdotool search --sync --onlyvisible --name '^Foldwise Installer$' | head -n 1) || {
  echo "The installer's window did not appear." >&2; exit 1; }
sleep 1 # let the first paint land
if (($#)); then
  xdotool windowfocus --sync "$window" key --delay 100 "$@"
  sleep 0.5
fi
import -window "$window" "$output"
# The window is gone before the key is let go, which xdotool reports as an error.
xdotool key --window "$window" ctrl+w 2>/dev/null || true
for _ in $(seq 50); do kill -0 "$app_pid" 2>/dev/null || break; sleep 0.1; done
wait "$app_pid" 2>/dev/null || true
trap - EXIT
