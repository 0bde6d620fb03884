#!/usr/bin/env bash
# A first filling run by mouse alone under a virtual X display, as a new user
# would go: File, Open and a double click on the photo; Options, Samples,
# Change (the flowers a first start has are replaced), a double click on the
# flowers folder and one on its collection, Ok;
# Go, a while, Stop; a right click on the picture, Add Layer, Ok (the
# transparent layer leaves the screen as it was); Brush, a stroke that shows,
# Undo that takes it back; Stamp and Eraser, a stroke each that shows and an
# Undo that takes it back; Fill; Light, Ok, Undo that takes the light away;
# File, Save, Up to the parent folder, PNG picked from the
# Type list (its list must show on screen), Save; File, Open, Up, a double
# click on the saved file: it opens, and it is the PNG that was written.
# Screenshots of the steps are left in <output>. Fails, rather than skips,
# when the virtual display cannot start.
#
#   mouse_flow.sh <daubry> <output-folder> <demo-photo> <samples-folder>
set -euo pipefail

daubry=$(realpath "$1")
out=$2
demo=$(realpath "$3")
samples=$(realpath "$4")
mkdir -p "$out"
rm -f "$out"/*.png
label="mouse flow"
source "$(dirname "${BASH_SOURCE[0]}")/../../support/xvfb.sh"

require_tools Xvfb xdotool import convert identify compare
[[ -f "$demo" ]] || fail "no demo photo at $demo"
[[ -f "$samples/flowers/flowers.msc" ]] || fail "no flowers collection under $samples (build target samples)"

start_xvfb

# The photo lies alone in a folder of its own, where the program starts, so
# the open dialog shows it first; the result is saved one folder up.
mkdir -p "$work/photos"
cp "$demo" "$work/photos/rocket.png"

readonly width=1000 height=700
readonly go_x=131 stop_x=221 bar_y=677
# The file dialog, centred in the editor: the first entry of each list, the
# Up button, the Type box's arrow and the OK button.
readonly folder_x=300 file_x=500 first_y=253 item_h=17
readonly up_x=659 up_y=226 type_x=616 type_y=466 ok_x=454 ok_y=517
# The Samples dialog's Load (Change while it holds samples) and Ok buttons.
readonly load_x=538 samples_ok_x=382 samples_y=517

shot() { import -window "$window" "$out/$1.png"; }
click() { xdotool mousemove --window "$window" "$1" "$2" click 1; sleep "${3:-0.4}"; }
double_click() { xdotool mousemove --window "$window" "$1" "$2" click --repeat 2 --delay 80 1; sleep 0.8; }
menu() {  # the menu's title x, then the item's y
  click "$1" 12 0.5
  click "$1" "$2" 1
}

# A screenshot once the picture stands still: two a half second apart agree
# over the viewer (a busy machine may still be drawing the last frames).
readonly view=800x560+150+80
still_shot() {  # name
  for _ in $(seq 20); do
    shot "$1"
    sleep 0.5
    shot "$1-again"
    convert "$out/$1.png" -crop $view +repage "$work/still-a.png"
    convert "$out/$1-again.png" -crop $view +repage "$work/still-b.png"
    [[ "$(compare -metric AE "$work/still-a.png" "$work/still-b.png" null: 2>&1 || true)" == 0 ]] &&
      break
  done
  rm -f "$out/$1-again.png"
}

# The colour of a list's chosen row, and how many pixels of it lie in a
# rectangle (geometry) of a screenshot.
readonly chosen="#3F78B5"
count_colour() {  # file, geometry
  convert "$1" -crop "$2" +repage -fuzz 12% -fill black +opaque "$chosen" -fill white \
    -opaque "$chosen" -format '%[fx:round(mean*w*h)]' info:
}

cd "$work/photos"
"$daubry" >"$work/app.log" 2>&1 &
app_pid=$!
cd - >/dev/null
wait_for_window 'Daubry$'
xdotool windowsize --sync "$window" "$width" "$height"
sleep 0.5
shot empty

# 1. File, Open: the photo is the first file; a double click opens it.
menu 23 41
shot open-dialog
double_click "$file_x" "$first_y"
for _ in $(seq 25); do
  [[ "$(xdotool getwindowname "$window")" == "rocket.png - Daubry" ]] && break
  sleep 0.2
done
[[ "$(xdotool getwindowname "$window")" == "rocket.png - Daubry" ]] ||
  fail "a double click on the photo did not open it (title: $(xdotool getwindowname "$window"))"
shot opened

# 2. Options, Samples, Change: the library's folders; flowers is the second.
menu 117 41
click "$load_x" "$samples_y" 1
shot samples-load-dialog
double_click "$folder_x" $((first_y + item_h))
double_click "$file_x" "$first_y"
sleep 1
shot samples-loaded
click "$samples_ok_x" "$samples_y" 1

# 3. Go, a while, Stop: the picture changed.
click "$go_x" "$bar_y"
sleep 8
click "$stop_x" "$bar_y" 1
still_shot filled

# 3b. A right click on the picture opens the layers menu; Add Layer, Ok: the
# new layer is transparent, the picture on screen stays as it was.
click 500 300 0.2
xdotool mousemove --window "$window" 500 300 click 3
sleep 0.8
shot layers-menu
click 550 314 1  # Add Layer, the menu's first item
shot add-layer-dialog
click 454 458 1  # Ok
still_shot layer-added
# (Compared out of the folder the saved file goes to, which the open dialog lists.)
mkdir -p "$work/compare"
convert "$out/filled.png" -crop $view +repage "$work/compare/before-layer.png"
convert "$out/layer-added.png" -crop $view +repage "$work/compare/after-layer.png"
covered=$(compare -metric AE "$work/compare/before-layer.png" "$work/compare/after-layer.png" \
  null: 2>&1 || true)
[[ "$covered" == 0 ]] || fail "the added layer changed the picture on screen ($covered pixels)"

# 3c. Brush (the instrument bar's fifth button): a drag over the picture
# paints where no sample may go, shown tinted red; Undo takes the stroke
# back, and Fill puts the brush away.
click 41 197 0.5
xdotool mousemove --window "$window" 400 300 mousedown 1
for x in 420 440 460 480 500; do
  xdotool mousemove --window "$window" "$x" 300
  sleep 0.1
done
xdotool mouseup 1
sleep 0.5
still_shot brushed
convert "$out/brushed.png" -crop $view +repage "$work/compare/brushed.png"
tinted=$(compare -metric AE "$work/compare/after-layer.png" "$work/compare/brushed.png" null: 2>&1 || true)
[[ "$tinted" =~ ^[0-9]+$ ]] && ((tinted > 1500)) || fail "the brush stroke does not show ($tinted pixels)"
click 41 77 0.5  # Undo
still_shot stroke-undone
convert "$out/stroke-undone.png" -crop $view +repage "$work/compare/undone.png"
left=$(compare -metric AE "$work/compare/after-layer.png" "$work/compare/undone.png" null: 2>&1 || true)
[[ "$left" == 0 ]] || fail "Undo did not take the brush stroke back ($left pixels)"

# 3d. Stamp and Eraser (the sixth and seventh buttons): a drag places samples
# or takes stamps out; Undo gives the picture back as it was.
for hand in stamp:227 eraser:257; do
  click 41 "${hand#*:}" 0.5
  xdotool mousemove --window "$window" 380 320 mousedown 1
  for x in 400 420 440 460 480 500 520; do
    xdotool mousemove --window "$window" "$x" 320
    sleep 0.1
  done
  xdotool mouseup 1
  sleep 0.5
  still_shot "${hand%:*}-stroke"
  convert "$out/${hand%:*}-stroke.png" -crop $view +repage "$work/compare/hand.png"
  changed=$(compare -metric AE "$work/compare/after-layer.png" "$work/compare/hand.png" null: 2>&1 || true)
  [[ "$changed" =~ ^[0-9]+$ ]] && ((changed > 200)) ||
    fail "the ${hand%:*} stroke does not show ($changed pixels)"
  click 41 77 0.5  # Undo
  still_shot "${hand%:*}-undone"
  convert "$out/${hand%:*}-undone.png" -crop $view +repage "$work/compare/undone.png"
  left=$(compare -metric AE "$work/compare/after-layer.png" "$work/compare/undone.png" null: 2>&1 || true)
  [[ "$left" == 0 ]] || fail "Undo did not take the ${hand%:*} stroke back ($left pixels)"
done
click 41 287 0.5  # Fill

# 3d. Light, the main bar's one button: the light lies over the picture and
# its dialog asks for the angle and the strength; Ok keeps them. Undo takes
# the light away: the picture is the one before, to the pixel.
still_shot before-light
click 51 42 1
shot light-dialog
click 454 419 1  # Ok
still_shot lit
convert "$out/before-light.png" -crop $view +repage "$work/compare/before-light.png"
convert "$out/lit.png" -crop $view +repage "$work/compare/lit.png"
lit=$(compare -metric AE "$work/compare/before-light.png" "$work/compare/lit.png" null: 2>&1 || true)
[[ "$lit" =~ ^[0-9]+$ ]] && ((lit > 10000)) || fail "the light does not show ($lit pixels)"
click 41 77 0.5  # Undo
still_shot light-undone
convert "$out/light-undone.png" -crop $view +repage "$work/compare/light-undone.png"
left=$(compare -metric AE "$work/compare/before-light.png" "$work/compare/light-undone.png" null: 2>&1 || true)
[[ "$left" == 0 ]] || fail "Undo did not take the light away ($left pixels)"

# 4. File, Save: Up, the Type list shows and PNG is picked from it, Save.
menu 23 100
click "$up_x" "$up_y"
click "$type_x" "$type_y" 0.8
shot type-list-open
# The list opens below the box: three rows, the chosen one (the first) in blue.
shown=$(count_colour "$out/type-list-open.png" 320x20+305+476)
((shown > 1000)) || fail "the Type list does not show on screen ($shown blue pixels below the box)"
click 400 $((476 + item_h + item_h / 2))  # the second type: PNG
shot type-picked
click "$ok_x" "$ok_y" 1
[[ -f "$work/rocket.png" ]] || fail "File, Save with PNG picked wrote no $work/rocket.png"
[[ "$(head -c 8 "$work/rocket.png" | od -An -tx1 | tr -d ' \n')" == 89504e470d0a1a0a ]] ||
  fail "the saved file is not a PNG"
[[ "$(identify -format '%w %h' "$work/rocket.png")" == "$(identify -format '%w %h' "$demo")" ]] ||
  fail "the saved picture is not the photo's size"
differ=$(compare -metric AE "$work/rocket.png" "$demo" null: 2>&1 || true)
[[ "$differ" =~ ^[0-9]+$ ]] && ((differ > 1000)) || fail "the saved picture is the photo ($differ)"

# 5. File, Open, Up, the saved file: it opens.
menu 23 41
click "$up_x" "$up_y"
shot reopen-dialog
double_click "$file_x" "$first_y"
sleep 1
shot reopened
[[ "$(xdotool getwindowname "$window")" == "rocket.png - Daubry" ]] || fail "the saved file did not open"
# What shows is the filled picture, not the photo.
convert "$out/opened.png" -crop $view +repage "$work/a.png"
convert "$out/reopened.png" -crop $view +repage "$work/b.png"
changed=$(compare -metric AE "$work/a.png" "$work/b.png" null: 2>&1 || true)
[[ "$changed" =~ ^[0-9]+$ ]] && ((changed > 1000)) || fail "the reopened picture is the photo ($changed)"
grep -q "Cannot open" "$work/app.log" && fail "the program could not open the saved file"
kill -0 "$app_pid" 2>/dev/null || fail "daubry ended"

# 6. Move, a drag over the picture: it moves; Edit, Undo: it is back. Rotate,
# a drag round it: it turns; Ctrl+Z: back again. Fill takes the mouse back.
view_difference() {  # two screenshots' names
  convert "$out/$1.png" -crop $view +repage "$work/a.png"
  convert "$out/$2.png" -crop $view +repage "$work/b.png"
  compare -metric AE "$work/a.png" "$work/b.png" null: 2>&1 || true
}
still_shot before-move
for tool in move rotate; do
  [[ $tool == move ]] && click 40 137 || click 40 167
  xdotool mousemove --window "$window" 600 300 mousedown 1 mousemove --window "$window" 630 340 \
    mousemove --window "$window" 640 360 mouseup 1
  still_shot "$tool-dragged"
  changed=$(view_difference before-move "$tool-dragged")
  [[ "$changed" =~ ^[0-9]+$ ]] && ((changed > 10000)) || fail "$tool: the drag changed $changed pixels"
  if [[ $tool == move ]]; then
    menu 63 41  # Edit, Undo
  else
    xdotool key --clearmodifiers ctrl+z
  fi
  click 40 287  # Fill: the outline goes
  still_shot "$tool-undone"
  [[ "$(view_difference before-move "$tool-undone")" == 0 ]] || fail "$tool: Undo left another picture"
done
echo "open, samples, fill, brush, stamp, eraser and undo, light and undo, save as PNG from the Type list, reopen, move and rotate, by mouse: ok ($out)"
