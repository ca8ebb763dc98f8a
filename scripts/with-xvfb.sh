#!/usr/bin/env bash
# Runs a command on a private virtual display, which it starts and stops around the command.
# Usage: scripts/with-xvfb.sh COMMAND [ARGS...]
set -euo pipefail
fifo_dir=$(mktemp -d)
mkfifo "$fifo_dir/display"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$fifo_dir/display" 2>"$fifo_dir/xvfb.log" &
xvfb_pid=$!
cleanup() { kill "$xvfb_pid" 2>/dev/null || true; wait "$xvfb_pid" 2>/dev/null || true; rm -rf "$fifo_dir"; }
trap cleanup EXIT
read -r -t 20 display_number <"$fifo_dir/display" || { cat "$fifo_dir/xvfb.log" >&2; echo "Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$display_number"
unset WAYLAND_DISPLAY
"$@"
