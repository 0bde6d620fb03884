#!/usr/bin/env bash
# The screenshots of docs/screens, taken from the program under a virtual X
# display: the empty window, the Filling dialog, the same with a drop-down
# list open, About with its flower field, and a first filled run.
#
#   screens.sh <daubry> <output-folder> <demo-photo>
set -euo pipefail

source "$(dirname "${BASH_SOURCE[0]}")/flow_support.sh"
begin_picture_flow "screens" "$@"

start_daubry 'Daubry$' 1000 700
sleep 0.5
shot empty-window

key alt+o f
wait_dialog filling-dialog 10 || fail "Options, Filling showed no dialog"
sleep 0.5
# The Min field's slider, opened by its drop button.
click 570 217 1
shot filling-dialog
key Escape
sleep 0.5
shot filling-slider-closed
# The Speed list, opened by its arrow.
click 664 476 1
shot drop-down-list
key Escape
sleep 0.3
key Escape
wait_no_dialog filling-closed 5 || fail "Escape left the Filling dialog open"

key alt+h a
wait_dialog about 10 || fail "Help, About showed no dialog"
sleep 1.5
shot about
key Return
wait_no_dialog about-closed 5 || fail "Enter left About open"

key ctrl+o
wait_dialog open-dialog 10 || fail "Ctrl+O showed no dialog"
xdotool type --delay 10 "$demo"
key Return
await_title "$(basename "$demo") - Daubry" 10 || fail "Ctrl+O did not open $demo"
key F5
wait_no_dialog prepared 60 || fail "the photo's preparation did not end within 60 s"
sleep "${FILL_SECONDS:-12}"
key F6
sleep 1.5
shot first-filled-run
echo "screens: ok ($out)"
