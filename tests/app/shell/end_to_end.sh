#!/usr/bin/env bash
# Starts the program under a virtual X display, as a user would meet it:
#   1. the main window appears, titled "Daubry", with its menu bar, centred
#      at 80% of the screen; a screenshot of it is left as
#      <output>/main-window.png;
#   2. Alt+F opens File, the keyboard chooses Exit, and the program ends with
#      code 0 within 5 seconds;
#   3. a command-line path that does not exist starts the program all the same;
#   4. the editor draws through OpenGL below the menu bar: its tool bar and
#      content show, a click on a tool bar button answers, a popup
#      menu shows above the editor, a right click in the viewer opens the
#      layers menu, and the content returns after the window is unmapped and
#      mapped again and after a resize; <output>/editor.png shows it;
#   5. File, Open shows the program's own file dialog over the editor
#      (<output>/file-dialog.png): a typed path of a missing file and Enter
#      leave it open, a typed path of an existing file and Enter choose it
#      and close it;
#   6. files dropped on the window as a file manager drops them (xdnd_drop
#      speaks the X drag-and-drop protocol) are taken, the first opens and
#      the title names it;
#   7. the menus' key chords: Ctrl+O shows the file dialog, Ctrl+Q ends the
#      program with code 0.
# Fails, rather than skips, when the virtual display cannot start.
#
#   end_to_end.sh <daubry> <output-folder> <xdnd_drop>
set -euo pipefail

daubry=$1
out=$2
xdnd_drop=$3
mkdir -p "$out"
rm -f "$out/main-window.png"
label="end-to-end"
source "$(dirname "${BASH_SOURCE[0]}")/../../support/xvfb.sh"

require_tools Xvfb xdotool import convert

start_xvfb

# Starts the program with the given arguments and waits for its main window.
start() {
  "$daubry" "$@" >"$work/app.log" 2>&1 &
  app_pid=$!
  wait_for_window '^Daubry$'
  xdotool windowfocus --sync "$window"
  sleep 0.5  # let it paint and take the keyboard
}

# Alt+F, then Exit with the keyboard.
exit_by_keyboard() {
  xdotool key --clearmodifiers alt+f
  sleep 0.3
  xdotool key Up Return
  expect_exit 5 "File, Exit"
}

start
[[ "$(xdotool getwindowname "$window")" == "Daubry" ]] || fail "window title is wrong"
# Without a window manager to maximise it, the window takes 80% of the
# 1280 x 800 screen, centred.
eval "$(xdotool getwindowgeometry --shell "$window")"
[[ "$X,$Y $WIDTH x $HEIGHT" == "128,80 1024 x 640" ]] ||
  fail "the window opened at $X,$Y, $WIDTH x $HEIGHT, not centred at 80% of the screen"
import -window "$window" "$out/main-window.png"
[[ -s "$out/main-window.png" ]] || fail "no screenshot"
# The menu bar carries text: its strip is not one flat colour.
deviation=$(convert "$out/main-window.png" -crop 300x20+0+0 -colorspace Gray \
  -format '%[fx:standard_deviation]' info:)
awk -v d="$deviation" 'BEGIN { exit !(d > 0.02) }' || fail "no menu bar in the screenshot ($deviation)"
exit_by_keyboard
echo "main window and File, Exit: ok ($out/main-window.png)"

start "/no/such folder/picture that is not there.png"
exit_by_keyboard
echo "missing command-line path: ok"

# The colour of a pixel of a window screenshot, as RRGGBB.
pixel() {
  convert "$1" -format "%[hex:u.p{$2,$3}]" info: | cut -c1-6
}
expect_pixel() {  # shot x y colour what
  local got
  got=$(pixel "$1" "$2" "$3")
  [[ "$got" == "$4" ]] || fail "$5: pixel ($2, $3) is $got, not $4"
}
# The same within 8 levels a channel: the tool bar's face is a picture
# stretched over the bar and shaded, so it varies a little along the bar.
expect_near() {  # shot x y colour what
  local got i d
  got=$(pixel "$1" "$2" "$3")
  for i in 0 2 4; do
    d=$((16#${got:i:2} - 16#${4:i:2}))
    ((d <= 8 && d >= -8)) || fail "$5: pixel ($2, $3) is $got, not near $4"
  done
}

# A pressed tool button's face is shaded in a light blue: blue well above red.
expect_pressed() {  # shot x y what
  local got
  got=$(pixel "$1" "$2" "$3")
  ((16#${got:4:2} >= 16#${got:0:2} + 20)) || fail "$4: pixel ($2, $3) is $got, not a pressed blue"
}

start
shot="$work/editor.png"
import -window "$window" "$shot"
expect_pixel "$shot" 250 150 808080 "no empty viewer below the menu bar"
expect_near "$shot" 40 400 E9EBEE "no tool bar down the left below the menu bar"
expect_pressed "$shot" 20 279 "the filling tool (Fill, the eighth button) is not shown pressed"
cp "$shot" "$out/editor.png"
# Add Layer is the ninth button (y 305 to 329): with no photo open a click
# says so in a message over the middle of the editor, and Fill stays pressed.
xdotool mousemove --window "$window" 40 317 click 1
sleep 0.5
import -window "$window" "$shot"
cp "$shot" "$out/add-layer-message.png"
[[ "$(pixel "$shot" 445 365)" != 808080 ]] || fail "a click on Add Layer showed no message"
expect_pressed "$shot" 20 279 "Fill did not stay pressed"
xdotool key Escape
sleep 0.3
import -window "$window" "$shot"
expect_pixel "$shot" 445 365 808080 "Escape did not close the Add Layer message"
# File opens its popup over the editor's area.
xdotool key --clearmodifiers alt+f
sleep 0.5
import -window "$window" "$shot"
cp "$shot" "$out/editor-menu.png"
expect_pixel "$shot" 100 100 FFFFFF "the popup menu is not above the editor"
xdotool key Escape
sleep 0.2
xdotool key Escape
sleep 0.3
import -window "$window" "$shot"
expect_pixel "$shot" 100 100 808080 "the editor did not come back under the closed popup"
# A right click in the viewer opens the layers menu at the pointer.
xdotool mousemove --window "$window" 300 200 click 3
sleep 0.5
import -window "$window" "$shot"
cp "$shot" "$out/layers-menu.png"
expect_pixel "$shot" 310 210 FFFFFF "a right click in the viewer showed no layers menu"
xdotool key Escape
for _ in $(seq 10); do
  sleep 0.3
  import -window "$window" "$shot"
  [[ "$(pixel "$shot" 310 210)" == 808080 ]] && break
done
expect_pixel "$shot" 310 210 808080 "Escape did not close the layers menu"
# Unmapped and mapped again: composed anew from what the editor drew.
xdotool windowunmap --sync "$window"
xdotool windowmap --sync "$window"
sleep 0.5
import -window "$window" "$shot"
expect_pixel "$shot" 250 150 808080 "no editor content after the window was mapped again"
xdotool windowsize --sync "$window" 800 500
sleep 0.8
import -window "$window" "$shot"
expect_pixel "$shot" 700 400 808080 "the editor does not fill the resized window"
expect_near "$shot" 700 490 E6E7EA "the options bar does not span the resized window"
xdotool windowfocus --sync "$window"  # mapping again leaves the keyboard elsewhere
sleep 0.3
exit_by_keyboard
echo "editor through OpenGL: ok ($out/editor.png)"

# The file dialog's title bar is the one place of this colour (the middle of
# its shading, give or take 4%).
has_dialog() {
  local share
  share=$(convert "$1" -fuzz 4% -fill black +opaque "#5084BB" -fill white -opaque "#5084BB" \
    -format '%[fx:mean]' info:)
  awk -v s="$share" 'BEGIN { exit !(s > 0.001) }'
}
mkdir -p "$work/pictures"
cp "$(dirname "$0")/../../../share/demo.png" "$work/pictures/photo.png"
start
xdotool key --clearmodifiers alt+f
sleep 0.3
xdotool key Return
sleep 0.8
import -window "$window" "$shot"
cp "$shot" "$out/file-dialog.png"
has_dialog "$shot" || fail "File, Open shows no dialog"
xdotool type --delay 20 "$work/pictures/missing.png"
xdotool key Return
sleep 0.5
import -window "$window" "$shot"
has_dialog "$shot" || fail "the dialog closed on a file that does not exist"
xdotool key --clearmodifiers ctrl+a
xdotool type --delay 20 "$work/pictures/photo.png"
xdotool key Return
sleep 0.5
import -window "$window" "$shot"
has_dialog "$shot" && fail "a typed path and Enter did not choose the file"
kill -0 "$app_pid" 2>/dev/null || fail "daubry ended after the file dialog"
exit_by_keyboard
echo "file dialog: ok ($out/file-dialog.png)"

# Files dropped on the window: the first opens as File, Open would (checked
# by the title below), and the program goes on.
start
printf 'x' >"$work/pictures/second photo é.png"
"$xdnd_drop" "$window" 200 200 "$work/pictures/photo.png" "$work/pictures/second photo é.png" ||
  fail "the window did not take the dropped files"
sleep 0.3
kill -0 "$app_pid" 2>/dev/null || fail "daubry ended after files were dropped on it"

no_dialog() { ! has_dialog "$1"; }

# The chords the menu shows: Ctrl+O opens the dialog, Escape closes it, and
# Ctrl+Q ends the program.
xdotool key --clearmodifiers ctrl+o
await_shot 3 "$shot" has_dialog || fail "Ctrl+O shows no file dialog"
xdotool key Escape
await_shot 3 "$shot" no_dialog || fail "Escape did not close the dialog that Ctrl+O opened"
title=$(xdotool getwindowname "$window")
[[ "$title" == "photo.png - Daubry" ]] || fail "the dropped photo did not open (the title reads '$title')"
echo "dropped files: ok"
xdotool key --clearmodifiers ctrl+q
expect_exit 5 "Ctrl+Q"
echo "key chords: ok"
