#!/usr/bin/env bash
# The whole filling run under a virtual X display, driven with the mouse and
# keyboard as a person would:
#   1. File, Open, the demo photo's path typed, Enter: the photo shows and the
#      title names it;
#   2. Options, Samples: Change (Load while empty), a bundled collection's
#      path typed, Enter; Ok;
#   3. Go: once prepared the picture grows (two screenshots a while apart
#      differ); Stop;
#   4. File, Save, the PNG type, a new name: the file decodes at the photo's
#      size and differs from the photo;
#   5. File, Save over that file, No: the file is unchanged; Go again, and
#      Ctrl+Q asks whether to save (the picture grows behind the question);
#      Cancel: the window stays; File, Exit and No: 0, the file unchanged;
#   6. a photo large enough to watch its preparation: Go, and Escape cancels
#      it at once (nothing grows); Go again: the status dialog comes and goes
#      and the picture grows; File, Exit, No: 0;
#   7. Go on that photo and File, Exit during the preparation: 0 within 5 s;
#   8. Go on that photo at the default speed (Fast): it grows; the File menu
#      opens while it fills and Escape closes it; Stop holds the picture
#      still; File, Save: the saved picture is the one on the screen.
# Screenshots of the steps are left in <output>. Fails, rather than skips,
# when the virtual display cannot start.
#
#   fill_flow.sh <daubry> <output-folder> <demo-photo> <samples-folder>
set -euo pipefail

daubry=$1
out=$2
demo=$(realpath "$3")
samples=$(realpath "$4")
mkdir -p "$out"
rm -f "$out"/*.png
label="fill flow"
source "$(dirname "${BASH_SOURCE[0]}")/../../support/xvfb.sh"
source "$(dirname "${BASH_SOURCE[0]}")/flow_support.sh"

require_tools Xvfb xdotool import convert compare identify
[[ -f "$demo" ]] || fail "no demo photo at $demo"
collection=$(find "$samples" -name 'flowers.msc' 2>/dev/null | head -n1)
[[ -n "$collection" ]] || fail "no bundled sample collection under $samples (build target samples)"

start_xvfb

# The window is made 1000 x 700: the editor's controls then lie where this
# script clicks (the options bar along the bottom, dialogs centred).
readonly width=1000 height=700
readonly go_x=131 stop_x=221 bar_y=677

start() { start_daubry 'Daubry$' "$width" "$height" "$@"; }

# Whether a screenshot shows the status dialog: its title bar, 298 pixels
# wide, is the only one of the title colour (message boxes are narrower, the
# file and samples dialogs wider).
has_status() {
  local size
  size=$(convert "$1" -fill black +opaque "$title_colour" -trim -format '%w' info: 2>/dev/null || true)
  [[ "$size" =~ ^[0-9]+$ ]] && ((size >= 290 && size <= 310))
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

open_demo() {
  menu f Return
  xdotool type --delay 10 "$demo"
  xdotool key Return
  await_title "$(basename "$demo") - Daubry" 5 || fail "the title does not name the photo"
  wait_no_dialog opened 5 || fail "the photo did not open (a dialog is still up)"
  shot opened
}

# Options, Samples; Change (Load while empty) takes the collection's path
# through the file dialog; Ok closes the Samples dialog.
load_samples() {
  menu o Return
  wait_dialog samples-dialog 5 || fail "Options, Samples shows no dialog"
  click 538 517  # Change
  sleep 0.5
  xdotool type --delay 10 "$collection"
  xdotool key Return
  sleep 1.5
  shot samples-loaded
  click 382 517  # Ok
  wait_no_dialog samples-closed 5 || fail "the Samples dialog did not close (or said something)"
  return 0
}

# Waits up to $2 seconds for the viewer to stand still: two screenshots a
# second apart that agree ($out/$1-a.png and $1-b.png).
wait_still() {
  shot "$1-a"
  for _ in $(seq "$2"); do
    sleep 1
    shot "$1-b"
    [[ "$(viewer_difference "$out/$1-a.png" "$out/$1-b.png")" == 0 ]] && return 0
    cp "$out/$1-b.png" "$out/$1-a.png"
  done
  return 1
}

# Waits up to $2 seconds for the status dialog; 0 when it showed.
wait_status() {
  await_shot "$2" "$work/status.png" has_status && cp "$work/status.png" "$out/$1.png"
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

save_png() {  # path without its extension
  menu f Down Down Return
  # A busy window may take a while to open the dialog; the keys wait for it.
  wait_dialog save-dialog 10 || fail "File, Save showed no dialog"
  # The typed extension chooses the type (the mouse flow picks it from the
  # Type list).
  click 525 441  # the name box
  xdotool key --clearmodifiers ctrl+a
  xdotool type --delay 10 "$1.png"
  xdotool key Return
  sleep 0.8
}

# Steps 1 to 7 watch the picture grow at the Calm pace: a Fine run at Fast
# covers the demo photo in seconds and stands still, and these steps look for
# growth behind dialogs. Step 8 fills at Fast.
set_speed() {  # 0 Calm, 1 Fast
  mkdir -p "$XDG_CONFIG_HOME/daubry"
  local file="$XDG_CONFIG_HOME/daubry/settings.reg"
  if [[ -f "$file" ]] && grep -q '^"spd"=' "$file"; then
    sed -i "s/^\"spd\"=dword:.*/\"spd\"=dword:0000000$1/" "$file"
  else
    printf '[Software\\Ferrow\\Daubry\\sm]\n"spd"=dword:0000000%s\n' "$1" >>"$file"
  fi
}
set_speed 0

# 1 to 5.
start
open_demo
load_samples
click "$go_x" "$bar_y"
wait_no_dialog first-run-prepared 60 || fail "the demo photo's preparation did not end within 60 s"
expect_growth first-run
click "$stop_x" "$bar_y"
wait_still stopped 5 || fail "the picture still changes 5 s after Stop"
saved="$work/result/filled"
mkdir -p "$work/result"
save_png "$saved"
await_file "$saved.png" 30 || fail "File, Save as PNG wrote no $saved.png"
cp "$saved.png" "$out/saved.png"
[[ "$(identify -format '%w %h' "$saved.png")" == "$(identify -format '%w %h' "$demo")" ]] ||
  fail "the saved picture is not the photo's size"
differ=$(compare -metric AE "$saved.png" "$demo" null: 2>&1 || true)
[[ "$differ" =~ ^[0-9]+$ ]] && ((differ > 1000)) || fail "the saved picture is the photo ($differ)"
before=$(md5sum <"$saved.png")
save_png "$saved"  # the same name: the question comes
wait_dialog replace-question 5 || fail "no question before replacing $saved.png"
xdotool key Escape  # No: the file dialog stays
sleep 0.5
xdotool key Escape  # Cancel
wait_no_dialog after-no 5 || fail "a dialog stayed after No and Cancel"
[[ "$(md5sum <"$saved.png")" == "$before" ]] || fail "answering No changed the saved file"
# Filling more after the save: leaving asks first.
click "$go_x" "$bar_y"
expect_growth more-run
xdotool key --clearmodifiers ctrl+q
wait_dialog unsaved-question 5 || fail "Ctrl+Q after filling more did not ask to save"
sleep 2
shot unsaved-question-later
changed=$(viewer_difference "$out/unsaved-question.png" "$out/unsaved-question-later.png")
[[ "$changed" =~ ^[0-9]+$ ]] && ((changed > 500)) ||
  fail "the picture stood still behind the question ($changed pixels changed)"
xdotool key Escape  # Cancel
wait_no_dialog unsaved-cancelled 5 || fail "the question stayed after Cancel"
kill -0 "$app_pid" 2>/dev/null || fail "daubry ended after Cancel"
click "$stop_x" "$bar_y"
menu f Up Return
wait_dialog unsaved-question-exit 5 || fail "File, Exit after filling did not ask to save"
xdotool key n  # No
expect_exit 5 "File, Exit"
[[ "$(md5sum <"$saved.png")" == "$before" ]] || fail "No changed the saved file"
echo "open, samples, go, save, unsaved question, exit: ok ($out)"

# 6: a 9-megapixel photo takes seconds to prepare.
large="$work/large.png"
convert "$demo" -resize 3000x3000 "$large"
demo=$large
start
open_demo
load_samples
click "$go_x" "$bar_y"
xdotool key Escape  # at once: the status dialog's Cancel
wait_no_dialog cancel-stayed 3 || fail "Cancel did not close the status dialog"
# Cancelled, nothing grows (the preparation alone takes seconds).
sleep 3
shot cancelled-a
sleep 2
shot cancelled-b
changed=$(viewer_difference "$out/cancelled-a.png" "$out/cancelled-b.png")
[[ "$changed" == 0 ]] || fail "the picture changed after Cancel ($changed pixels)"
click "$go_x" "$bar_y"
wait_status second-run-status 5 || fail "no status dialog after Go again"
wait_no_dialog second-run-stayed 60 || fail "the status dialog did not go within 60 s"
expect_growth second-run
menu f Up Return
wait_dialog second-run-question 5 || fail "File, Exit after filling did not ask to save"
xdotool key n  # No
expect_exit 5 "File, Exit"
echo "status dialog, cancel, go again: ok"

# 7: Exit during preparation.
start
open_demo
load_samples
click "$go_x" "$bar_y"
wait_status exit-status 5 || fail "no status dialog after Go"
menu f Up Return
expect_exit 5 "File, Exit"
echo "exit during preparation: ok"

# 8: Fast on the large photo; the menu while it fills; the saved picture is
# the screen's. The viewer shows picture pixel (0, 0) at window pixel
# (view_x, view_y) while the picture is larger than the view.
readonly view_x=85 view_y=61
set_speed 1
start
open_demo
load_samples
click "$go_x" "$bar_y"
wait_no_dialog fast-prepared 60 || fail "the large photo's preparation did not end within 60 s"
expect_growth fast-run
xdotool key --clearmodifiers alt+f
# Whether a screenshot shows the File menu: its first item highlighted, a
# row of the highlight colour at least 1500 pixels large.
menu_shows() {
  local count
  count=$(convert "$1" -crop 200x150+0+0 +repage -fill black +opaque "#3D8EE6" -fill white \
    -opaque "#3D8EE6" -format '%[fx:round(mean*w*h)]' info:)
  ((count >= 1500))
}
await_shot 2 "$out/fast-menu.png" menu_shows || fail "the File menu did not open while filling"
xdotool key Escape
menu_gone() { ! menu_shows "$1"; }
await_shot 2 "$work/menu-gone.png" menu_gone || fail "Escape did not close the File menu"
# The first click after Escape closed the menu reaches the bar.
click "$stop_x" "$bar_y"
wait_still fast-stopped 5 || fail "the picture still changes 5 s after Stop"
saved="$work/result/fast"
mkdir -p "$work/result"
save_png "$saved"
await_file "$saved.png" 60 || fail "File, Save as PNG wrote no $saved.png"
cp "$saved.png" "$out/fast-saved.png"
# The viewer's area in the screenshot against the same pixels of the file.
convert "$out/fast-stopped-b.png" -crop 700x500+150+80 +repage "$work/screen.png"
convert "$saved.png" -crop "700x500+$((150 - view_x))+$((80 - view_y))" +repage \
  -background white -alpha remove -alpha off "$work/file.png"
differ=$(compare -metric AE "$work/screen.png" "$work/file.png" null: 2>&1 || true)
[[ "$differ" == 0 ]] || fail "the saved picture is not the one on the screen ($differ pixels differ)"
# Saved and stopped: nothing to ask.
menu f Up Return
expect_exit 5 "File, Exit"
echo "fast filling, menu while filling, stop, save is the screen: ok"
