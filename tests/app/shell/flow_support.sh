# Shared by the scripts that drive the program's window: screenshots and
# what they show, keys and clicks. Source it after tests/support/xvfb.sh, or
# first when begin_picture_flow sources that; it uses $window, $out and $work.

flow_support_dir=$(dirname "${BASH_SOURCE[0]}")

# The opening of a script that takes pictures of the window, called as
#   <script> <daubry> <output-folder> <demo-photo>
# with the label its failures begin with and its arguments: sets $daubry,
# $out (made) and $demo, and starts the virtual display.
begin_picture_flow() {
  label=$1
  daubry=$(realpath "$2")
  out=$3
  demo=$(realpath "$4")
  mkdir -p "$out"
  source "$flow_support_dir/../../support/xvfb.sh"
  require_tools Xvfb xdotool import convert
  start_xvfb
}

key() { xdotool key --clearmodifiers "$@"; }
# A click at x y in the window, then a pause ($3 seconds, 0.6 by default).
click() { xdotool mousemove --window "$window" "$1" "$2" click 1; sleep "${3:-0.6}"; }

# Starts the program with the arguments after the first three, waits for its
# window (titled to match the pattern $1), sizes it to $2 x $3, gives it the
# keyboard and lets it paint. Sets $app_pid and $window.
start_daubry() {
  local title=$1 size=("$2" "$3")
  shift 3
  "$daubry" "$@" >"$work/app.log" 2>&1 &
  app_pid=$!
  wait_for_window "$title"
  xdotool windowsize --sync "$window" "${size[@]}"
  xdotool windowfocus --sync "$window"
  sleep 0.5
}

shot() {  # name: a screenshot of the window as <output>/<name>.png
  import -window "$window" "$out/$1.png"
}

# The colour of one row of the dialogs' title bar (the skin shades it from
# top to bottom, evenly across).
title_colour="#5587BD"

# Whether a screenshot shows a dialog: a title bar's row of that colour, at
# least 200 pixels of it.
has_dialog() {
  local count
  count=$(convert "$1" -fill black +opaque "$title_colour" -fill white -opaque "$title_colour" \
    -format '%[fx:round(mean*w*h)]' info:)
  ((count >= 200))
}

# How many pixels of the viewer's area differ between two screenshots.
viewer_difference() {
  local geometry=800x560+150+80
  convert "$1" -crop "$geometry" +repage "$work/diff-a.png"
  convert "$2" -crop "$geometry" +repage "$work/diff-b.png"
  compare -metric AE "$work/diff-a.png" "$work/diff-b.png" null: 2>&1 || true
}

# Waits up to $2 seconds for a dialog; its screenshot is left as $out/$1.png.
wait_dialog() {
  await_shot "$2" "$out/$1.png" has_dialog
}

# Waits up to $2 seconds for no dialog at all.
no_dialog() { ! has_dialog "$1"; }
wait_no_dialog() {
  await_shot "$2" "$work/status.png" no_dialog && return 0
  cp "$work/status.png" "$out/$1.png"
  return 1
}

# Waits up to $2 seconds for the file $1: flattening and writing a large
# picture takes a while on a slow or busy machine.
await_file() {
  for _ in $(seq $(($2 * 5))); do
    [[ -f "$1" ]] && return 0
    sleep 0.2
  done
  return 1
}

# Waits up to $2 seconds for the window's title to be $1.
await_title() {
  for _ in $(seq $(($2 * 5))); do
    [[ "$(xdotool getwindowname "$window")" == "$1" ]] && return 0
    sleep 0.2
  done
  return 1
}
