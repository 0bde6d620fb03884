# Shared by the scripts that run a program under a virtual X display. Source
# it after setting `label` (how failures begin). It makes the work folder
# $work, removed on exit together with the program ($app_pid) and the display.
# A script may define print_logs to show its program's output on failure;
# by default $work/app.log is shown.

work=$(mktemp -d)
xvfb_pid=
app_pid=
cleanup() {
  [[ -n "$app_pid" ]] && kill -9 "$app_pid" 2>/dev/null || true
  [[ -n "$xvfb_pid" ]] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

if ! declare -F print_logs >/dev/null; then
  print_logs() {
    [[ -f "$work/app.log" ]] && sed 's/^/  daubry: /' "$work/app.log" >&2
    return 0
  }
fi

fail() {
  echo "$label: $*" >&2
  print_logs
  exit 1
}

# Screenshots $window into the file $2 every 0.2 s, for up to $1 seconds,
# until the command after them accepts it (it gets the file as its last
# argument); 0 when it did. What the program shows may come late on a busy
# machine, so checks of what shows wait rather than look once.
await_shot() {  # seconds, file, command...
  local seconds=$1 file=$2
  shift 2
  for _ in $(seq $((seconds * 5))); do
    import -window "$window" "$file"
    "$@" "$file" && return 0
    sleep 0.2
  done
  return 1
}

# The program ($app_pid) must end with code 0 within $1 seconds of what was
# done to end it ($2).
expect_exit() {  # seconds, what ended it
  local status=
  for _ in $(seq $(($1 * 10))); do
    if ! kill -0 "$app_pid" 2>/dev/null; then
      wait "$app_pid" && status=0 || status=$?
      break
    fi
    sleep 0.1
  done
  [[ -n "$status" ]] || fail "the program still runs $1 s after $2"
  [[ "$status" == 0 ]] || fail "the program ended with code $status after $2"
  app_pid=
}

# Fails (never skips) when a tool is missing.
require_tools() {
  for tool in "$@"; do
    command -v "$tool" >/dev/null || fail "$tool is not installed (scripts/install-deps installs it)"
  done
}

# Starts Xvfb on a free display (it writes the number to fd 3) and points
# DISPLAY and the settings folder at it.
start_xvfb() {
  # -noreset: an X server resets when its last client leaves, and refuses
  # ("connection reset by peer") whoever connects meanwhile, such as a
  # program opening the display again right after closing it.
  Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp -noreset 3>"$work/display" 2>"$work/xvfb.log" &
  xvfb_pid=$!
  for _ in $(seq 100); do
    [[ -s "$work/display" ]] && break
    kill -0 "$xvfb_pid" 2>/dev/null || fail "Xvfb could not start: $(cat "$work/xvfb.log")"
    sleep 0.1
  done
  [[ -s "$work/display" ]] || fail "Xvfb did not report a display within 10 s"
  export DISPLAY=":$(head -n1 "$work/display")"
  export XDG_CONFIG_HOME="$work/config"
  export XDG_STATE_HOME="$work/state"
}

# Waits up to 10 s for the program's visible window whose name matches the
# pattern $1 and sets $window. The same window must be found twice in a row:
# windows come and go while the program starts (the splash, the display
# library's own).
wait_for_window() {
  window=
  for _ in $(seq 50); do
    local seen
    seen=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | tail -n1 || true)
    if [[ -n "$seen" && "$seen" == "$window" ]] && xdotool getwindowname "$seen" >/dev/null 2>&1; then
      break
    fi
    window=$seen
    kill -0 "$app_pid" 2>/dev/null || fail "the program ended before its window appeared"
    sleep 0.2
  done
  [[ -n "$window" ]] || fail "no window named $1 within 10 s"
}
