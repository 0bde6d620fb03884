#!/usr/bin/env bash
# Nothing lost when the program dies while filling, under a virtual X
# display:
#   1. the demo photo from the command line, a bundled collection loaded,
#      Go: while it fills, a recovery copy appears in $XDG_STATE_HOME/daubry;
#   2. the program is killed (SIGKILL); the copy is a whole project
#      (`daubry render` draws it);
#   3. the next start asks whether to recover; Y: the title says the project
#      was recovered and the viewer shows what `daubry render` drew from the
#      copy;
#   4. File, Save Project, a name typed, Enter: the project is written, the
#      title names it and the copy is gone; File, Exit ends at once (0);
#   5. the project named on the command line opens to that picture again.
# Screenshots are left in <output>.
#
#   recovery_flow.sh <daubry> <output-folder> <demo-photo> <samples-folder>
set -euo pipefail

daubry=$1
out=$2
demo=$(realpath "$3")
samples=$(realpath "$4")
mkdir -p "$out"
rm -f "$out"/*.png
label="recovery flow"
source "$(dirname "${BASH_SOURCE[0]}")/../../support/xvfb.sh"
source "$(dirname "${BASH_SOURCE[0]}")/flow_support.sh"

require_tools Xvfb xdotool import convert compare
collection=$(find "$samples" -name 'flowers.msc' 2>/dev/null | head -n1)
[[ -n "$collection" ]] || fail "no bundled sample collection under $samples (build target samples)"

start_xvfb
state="$XDG_STATE_HOME/daubry"

readonly width=1000 height=700
readonly go_x=131 bar_y=677

start() {  # the window's title, then the program's arguments
  local title=$1
  shift
  start_daubry "$title" "$width" "$height" "$@"
}
click() { xdotool mousemove --window "$window" "$1" "$2" click 1; sleep 0.3; }
# The 512 x 512 demo picture sits at 1:1 in the middle of the viewer.
picture_difference() {  # screenshot, picture
  convert "$1" -crop 512x512+286+101 +repage "$work/shown.png"
  compare -metric AE "$work/shown.png" "$2" null: 2>&1 || true
}
# The title changes before the next frame is presented, so the viewer is
# shot until it shows the rendered copy.
shows_copy() { [[ "$(picture_difference "$1" "$work/copy.png")" == 0 ]]; }
wait_copy() {  # shot, seconds
  await_shot "$2" "$out/$1.png" shows_copy ||
    fail "$3 ($(picture_difference "$out/$1.png" "$work/copy.png") pixels differ from the rendered copy)"
}
copies() { find "$state" -maxdepth 1 -name 'recovery-*.daubry' 2>/dev/null; }

# 1.
start "$(basename "$demo") - Daubry$" "$demo"
wait_no_dialog opened 10 || fail "the demo photo did not open"
shot photo
xdotool key --clearmodifiers alt+o
sleep 0.3
xdotool key Return
wait_dialog samples-dialog 5 || fail "Options, Samples shows no dialog"
click 538 517  # Load
sleep 0.5
xdotool type --delay 10 "$collection"
xdotool key Return
sleep 1.5
click 382 517  # Ok
wait_no_dialog samples-closed 5 || fail "the Samples dialog did not close"
click "$go_x" "$bar_y"
# Ten seconds of filling, or the end of a run that finished sooner.
for _ in $(seq 600); do
  [[ -n "$(copies)" ]] && break
  sleep 0.1
done
copy=$(copies)
[[ -n "$copy" ]] || fail "no recovery copy in $state after a minute of filling"
shot filling

# 2.
kill -9 "$app_pid"
wait "$app_pid" 2>/dev/null || true
app_pid=
[[ "$(copies)" == "$copy" ]] || fail "the copy went with the program: $(copies)"
"$daubry" render "$copy" -o "$work/copy.png" >"$work/render.log" 2>&1 ||
  fail "the recovery copy is not a whole project: $(cat "$work/render.log")"

# 3.
start 'Daubry$'
wait_dialog question 20 || fail "the next start did not ask about the recovery copy"
xdotool key y
for _ in $(seq 50); do
  [[ "$(xdotool getwindowname "$window")" == "Recovered project - Daubry" ]] && break
  sleep 0.2
done
[[ "$(xdotool getwindowname "$window")" == "Recovered project - Daubry" ]] ||
  fail "Y did not open the copy (title: $(xdotool getwindowname "$window"))"
wait_copy recovered 20 "the recovered project does not show the copy's picture"
changed=$(picture_difference "$out/recovered.png" "$demo")
[[ "$changed" =~ ^[0-9]+$ ]] && ((changed > 500)) ||
  fail "the recovered picture shows no stamps ($changed pixels differ from the photo)"

# 4.
project="$work/work.daubry"
xdotool key --clearmodifiers alt+f
sleep 0.3
xdotool key j  # Save Pro&ject
wait_dialog save-project-dialog 10 || fail "File, Save Project showed no dialog"
click 525 441  # the name
xdotool key --clearmodifiers ctrl+a
xdotool type --delay 10 "$work/work"
xdotool key Return
for _ in $(seq 100); do
  [[ "$(xdotool getwindowname "$window")" == "work.daubry - Daubry" ]] && break
  sleep 0.2
done
[[ -f "$project" ]] || fail "File, Save Project wrote no $project"
[[ "$(xdotool getwindowname "$window")" == "work.daubry - Daubry" ]] ||
  fail "the title does not name the saved project"
[[ -z "$(copies)" ]] || fail "the saved project left the copy $(copies)"
xdotool key --clearmodifiers alt+f
sleep 0.3
xdotool key Up Return
expect_exit 10 "File, Exit after Save Project"
[[ -z "$(copies)" ]] || fail "a clean exit left $(copies)"

# 5.
start 'work.daubry - Daubry$' "$project"
wait_copy reopened 20 "the project opens to another picture"
xdotool key --clearmodifiers alt+f
sleep 0.3
xdotool key Up Return
expect_exit 10 "File, Exit after opening the project"
echo "killed while filling, recovered, saved and opened as a project: ok"
