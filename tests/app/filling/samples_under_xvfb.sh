#!/usr/bin/env bash
# The samples dialog in a real window under a virtual X display: a click on
# Load opens the file dialog in the bundled sample library, a typed
# collection name and Enter load it, the dialog lists its fourteen samples,
# and a click on Ok closes it. Leaves <output>/samples-dialog.png. Fails,
# rather than skips, when the virtual display cannot start.
#
#   samples_under_xvfb.sh <samples_window> <output-folder>
set -euo pipefail

program=$1
out=$2
mkdir -p "$out"
print_logs() {
  [[ -f "$work/said" ]] && sed 's/^/  said: /' "$work/said" >&2
  [[ -f "$work/errors" ]] && sed 's/^/  stderr: /' "$work/errors" >&2
  return 0
}
label="samples under Xvfb"
source "$(dirname "${BASH_SOURCE[0]}")/../../support/xvfb.sh"

require_tools Xvfb xdotool import

start_xvfb

"$program" "$work/settings.reg" >"$work/said" 2>"$work/errors" &
app_pid=$!

# Waits up to 10 s for a line of the program that starts with $1 and prints it.
wait_for() {
  for _ in $(seq 100); do
    local line
    line=$(grep -m1 "^$1" "$work/said" || true)
    if [[ -n "$line" ]]; then
      echo "$line"
      return 0
    fi
    kill -0 "$app_pid" 2>/dev/null || fail "the program ended while waiting for '$1'"
    sleep 0.1
  done
  fail "no '$1' within 10 s"
}

read -r _ load_x load_y <<<"$(wait_for load)"
read -r _ ok_x ok_y <<<"$(wait_for ok)"
window=
for _ in $(seq 50); do
  window=$(xdotool search --onlyvisible --name '^Samples check$' 2>/dev/null | tail -n1 || true)
  [[ -n "$window" ]] && break
  sleep 0.2
done
[[ -n "$window" ]] || fail "no window titled 'Samples check' within 10 s"
xdotool windowfocus --sync "$window"
sleep 0.5

xdotool mousemove --window "$window" "$load_x" "$load_y" click 1
wait_for file-dialog >/dev/null
sleep 0.3
xdotool type --delay 20 "flowers/flowers.msc"
xdotool key Return
listed=$(wait_for samples)
read -r _ count first _ <<<"$listed"
[[ "$count" == 14 ]] || fail "the list holds $count samples, not 14: $listed"
[[ "$first" == "1-flower_01" ]] || fail "the first item is '$first'"
sleep 0.3
import -window "$window" "$out/samples-dialog.png"

xdotool mousemove --window "$window" "$ok_x" "$ok_y" click 1
wait_for closed >/dev/null
expect_exit 5 Ok
echo "samples under Xvfb: listed 14 samples, closed with Ok"
