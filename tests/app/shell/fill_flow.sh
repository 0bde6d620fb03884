#!/usr/bin/env bash
# The whole filling run under a virtual X display, driven with the mouse and
# keyboard as a person would:
#   1. File, Open, the demo photo's path typed, Enter: the photo shows;
#   2. Options, Samples: a bundled collection loaded, Ok;
#   3. Go: the status dialog comes and goes, then the picture grows (two
#      screenshots a while apart differ); Stop;
#   4. File, Save, the PNG type, a new path: the file decodes at the photo's
#      size and differs from the photo;
#   5. saving over that file and answering No leaves it unchanged;
#   6. Go then Cancel at once, then Go again: the picture grows;
#   7. File, Exit: code 0;
#   8. Exit while the picture is being prepared: code 0 within 5 seconds.
# Screenshots of each step are left in <output>. Fails, rather than skips,
# when the virtual display cannot start.
#
#   fill_flow.sh <daubry> <output-folder> <demo-photo> <samples-folder>
set -euo pipefail

daubry=$1
out=$2
demo=$3
samples=$4
mkdir -p "$out"
work=$(mktemp -d)
xvfb_pid=
app_pid=
cleanup() {
  [[ -n "$app_pid" ]] && kill -9 "$app_pid" 2>/dev/null || true
  [[ -n "$xvfb_pid" ]] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "fill flow: $*" >&2
  [[ -f "$work/app.log" ]] && sed 's/^/  daubry: /' "$work/app.log" >&2
  exit 1
}

for tool in Xvfb xdotool import convert compare identify; do
  command -v "$tool" >/dev/null || fail "$tool is not installed (scripts/install-deps installs it)"
done
[[ -f "$demo" ]] || fail "no demo photo at $demo"
collection=$(find "$samples" -name '*.msc' 2>/dev/null | sort | head -n1)
[[ -n "$collection" ]] || fail "no bundled sample collection under $samples (build target samples)"

Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 100); do
  [[ -s "$work/display" ]] && break
  kill -0 "$xvfb_pid" 2>/dev/null || fail "Xvfb could not start: $(cat "$work/xvfb.log")"
  sleep 0.1
done
[[ -s "$work/display" ]] || fail "Xvfb did not report a display within 10 s"
export DISPLAY=":$(head -n1 "$work/display")"
export XDG_CONFIG_HOME="$work/config"

# The window is made 1000 x 700: the editor's controls then lie where this
# script clicks (the options bar along the bottom, dialogs centred).
readonly width=1000 height=700
readonly go_x=131 stop_x=221 bar_y=677

start() {
  "$daubry" "$@" >"$work/app.log" 2>&1 &
  app_pid=$!
  window=
  for _ in $(seq 50); do
    local seen
    seen=$(xdotool search --onlyvisible --name 'Daubry$' 2>/dev/null | tail -n1 || true)
    if [[ -n "$seen" && "$seen" == "$window" ]] && xdotool getwindowname "$seen" >/dev/null 2>&1; then
      break
    fi
    window=$seen
    kill -0 "$app_pid" 2>/dev/null || fail "daubry ended before its window appeared"
    sleep 0.2
  done
  [[ -n "$window" ]] || fail "no Daubry window within 10 s"
  xdotool windowsize --sync "$window" "$width" "$height"
  xdotool windowfocus --sync "$window"
  sleep 0.5
}

shot() {  # name: a screenshot of the window as <output>/<name>.png
  import -window "$window" "$out/$1.png"
}

# Whether a screenshot shows a dialog: the title bar colour of the toolkit's
# dialogs covers some of it.
has_dialog() {
  local share
  share=$(convert "$1" -fill black +opaque "#3A5F8A" -fill white -opaque "#3A5F8A" \
    -format '%[fx:mean]' info:)
  awk -v s="$share" 'BEGIN { exit !(s > 0.001) }'
}

# How many pixels of the viewer's area differ between two screenshots.
viewer_difference() {
  local geometry=800x560+150+80
  compare -metric AE <(convert "$1" -crop "$geometry" png:-) <(convert "$2" -crop "$geometry" png:-) \
    null: 2>&1 || true
}

click() { xdotool mousemove --window "$window" "$1" "$2" click 1; sleep 0.3; }

menu() {  # alt key, then the keys that pick the item
  local key=$1
  shift
  xdotool key --clearmodifiers "alt+$key"
  sleep 0.3
  xdotool key "$@"
  sleep 0.8
}

wait_exit() {  # seconds: the program must end with 0 within them
  local status=
  for _ in $(seq $(($1 * 10))); do
    if ! kill -0 "$app_pid" 2>/dev/null; then
      wait "$app_pid" && status=0 || status=$?
      break
    fi
    sleep 0.1
  done
  [[ -n "$status" ]] || fail "daubry still runs $1 s after File, Exit"
  [[ "$status" == 0 ]] || fail "daubry ended with code $status"
  app_pid=
}

open_demo() {
  menu f Return
  xdotool type --delay 10 "$demo"
  xdotool key Return
  sleep 1
  shot opened
  has_dialog "$out/opened.png" && fail "the photo did not open (a dialog is still up)"
  [[ "$(xdotool getwindowname "$window")" == "$(basename "$demo") - Daubry" ]] ||
    fail "the title does not name the photo"
}

# Options, Samples; the dialog's Load button takes the collection's path
# through the file dialog; Ok closes the Samples dialog.
load_samples() {
  menu o Return
  shot samples-dialog
  has_dialog "$out/samples-dialog.png" || fail "Options, Samples shows no dialog"
  # FIXME: the Samples dialog's own controls.
  fail "the Samples dialog cannot be driven yet"
}

# Go; the status dialog comes (within a second) and goes (within 60 s).
go_and_wait() {
  click "$go_x" "$bar_y"
  local seen=0
  for i in $(seq 10); do
    import -window "$window" "$work/status.png"
    if has_dialog "$work/status.png"; then
      seen=1
      cp "$work/status.png" "$out/$1-status.png"
      break
    fi
  done
  [[ "$seen" == 1 ]] || fail "$1: no status dialog after Go"
  for _ in $(seq 120); do
    import -window "$window" "$work/status.png"
    has_dialog "$work/status.png" || return 0
    sleep 0.5
  done
  fail "$1: the status dialog did not go within 60 s"
}

expect_growth() {  # name
  sleep 1
  shot "$1-a"
  sleep 2
  shot "$1-b"
  local changed
  changed=$(viewer_difference "$out/$1-a.png" "$out/$1-b.png")
  [[ "$changed" =~ ^[0-9]+$ ]] && ((changed > 500)) ||
    fail "$1: the picture did not grow between two screenshots ($changed pixels changed)"
}

save_png() {  # path, then what to do if asked to replace: "" or a key
  menu f Down Return
  shot save-dialog
  # The Type box, then the second type (PNG).
  click 465 466
  xdotool key Down Return
  sleep 0.3
  click 525 441
  xdotool key --clearmodifiers ctrl+a
  xdotool type --delay 10 "$1"
  xdotool key Return
  sleep 0.8
}

# 1 to 5, 7.
start
open_demo
load_samples
go_and_wait first-run
expect_growth first-run
click "$stop_x" "$bar_y"
saved="$work/result/filled"
mkdir -p "$work/result"
save_png "$saved"
[[ -f "$saved.png" ]] || fail "File, Save as PNG wrote no $saved.png"
cp "$saved.png" "$out/saved.png"
[[ "$(identify -format '%w %h' "$saved.png")" == "$(identify -format '%w %h' "$demo")" ]] ||
  fail "the saved picture is not the photo's size"
differ=$(compare -metric AE "$saved.png" "$demo" null: 2>&1 || true)
[[ "$differ" =~ ^[0-9]+$ ]] && ((differ > 1000)) || fail "the saved picture is the photo ($differ)"
before=$(md5sum <"$saved.png")
save_png "$saved"  # the same name: the question comes; No, then Cancel
shot replace-question
xdotool key Escape
sleep 0.3
xdotool key Escape
sleep 0.5
[[ "$(md5sum <"$saved.png")" == "$before" ]] || fail "answering No changed the saved file"
# 6: Go, Cancel at once, Go again.
click "$go_x" "$bar_y"
xdotool key Escape
sleep 1
shot cancelled
has_dialog "$out/cancelled.png" && fail "the status dialog stayed after Cancel"
go_and_wait second-run
expect_growth second-run
menu f Down Down Return
wait_exit 5
echo "open, samples, go, save, exit: ok ($out)"

# 8: Exit during preparation.
start
open_demo
load_samples
click "$go_x" "$bar_y"
menu f Down Down Return
wait_exit 5
echo "exit during preparation: ok"
