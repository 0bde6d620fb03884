#!/usr/bin/env bash
# The pictures of the help's tools (share/help/pictures/tool-*.jpg), taken
# from the program under a virtual X display: the demo photo filled a while
# (Fill), painted with the brush's hands (Protect, Finer, Coarser), its layer
# moved and turned (Move, Rotate), stamps erased along a stroke and stamped
# there again by hand (Eraser, Stamp), and lit (Light: its dialog, and a part of
# the lit picture at full size).
#
#   help_pictures.sh <daubry> <output-folder> <demo-photo>
set -euo pipefail

source "$(dirname "${BASH_SOURCE[0]}")/flow_support.sh"
begin_picture_flow "help pictures" "$@"
drag() {  # x0 y0 x1 y1: a drag in ten steps
  xdotool mousemove --window "$window" "$1" "$2" mousedown 1
  for i in $(seq 10); do
    xdotool mousemove --window "$window" $(($1 + ($3 - $1) * i / 10)) $(($2 + ($4 - $2) * i / 10))
    sleep 0.05
  done
  xdotool mouseup 1
  sleep 0.8
}
# The part of the window a picture shows (geometry), small and as JPEG.
picture() {  # name geometry
  shot "$1-full"
  convert "$out/$1-full.png" -crop "$2" +repage -resize 400x -quality 82 "$out/$1.jpg"
  rm -f "$out/$1-full.png"
}
hand() {  # the brush list's item (0 No brush, 1 Finer, 2 Coarser, 3 Neutral, 4 Protect, 5 Unprotect)
  click 597 669 0.8
  click 600 $((566 + 17 * $1)) 0.8  # the list opens upwards
}

readonly viewer=640x440+210+140 undo="41 77"
start_daubry 'Daubry$' 1000 700 "$demo"
key F5
wait_no_dialog prepared 60 || fail "the photo's preparation did not end within 60 s"
sleep "${FILL_SECONDS:-15}"
key F6
sleep 1.5
picture tool-fill 1000x700+0+0

click 41 197  # Brush: Protect
drag 320 520 460 560
hand 1
drag 450 160 560 200
hand 2
drag 640 400 760 420
picture tool-brush $viewer
hand 0

click 40 137  # Move
drag 500 300 560 340
picture tool-move $viewer
click $undo
click 40 167  # Rotate
drag 780 330 700 560
picture tool-rotate $viewer
click $undo
click 41 257  # Eraser: the stamps along a stroke go
drag 420 300 640 330
picture tool-eraser $viewer
click 41 227  # Stamp: a spray along the same stroke fills the gap
drag 420 300 640 330
picture tool-stamp $viewer
click $undo
click $undo
click 41 287  # Fill

click 51 42 1.5  # Light, and its dialog
picture tool-light-dialog 1000x700+0+0
click 454 419 1.5  # Ok
picture tool-light 400x280+380+110
echo "help pictures: ok ($out)"
