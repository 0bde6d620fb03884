#!/usr/bin/env bash
# Runs a test program under its own virtual X display of 640 x 480; fails,
# rather than skips, when the display cannot start.
#   under_xvfb.sh <program> [arguments...]
set -euo pipefail
work=$(mktemp -d)
xvfb_pid=
cleanup() {
  [[ -n "$xvfb_pid" ]] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
command -v Xvfb >/dev/null || { echo "under_xvfb: Xvfb is not installed" >&2; exit 1; }
# -noreset: an X server resets when its last client leaves, and refuses
# ("connection reset by peer") whoever connects meanwhile, such as a
# program opening the display again right after closing it.
Xvfb -displayfd 3 -screen 0 640x480x24 -nolisten tcp -noreset 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 100); do
  [[ -s "$work/display" ]] && break
  kill -0 "$xvfb_pid" 2>/dev/null || { echo "under_xvfb: Xvfb could not start" >&2; exit 1; }
  sleep 0.1
done
[[ -s "$work/display" ]] || { echo "under_xvfb: no display within 10 s" >&2; exit 1; }
export DISPLAY=":$(head -n1 "$work/display")"
export XDG_CONFIG_HOME="$work/config"
"$@"
