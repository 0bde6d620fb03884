#!/usr/bin/env bash
# A first run by keyboard alone, under a virtual X display: Ctrl+O and the
# demo photo's path; F5 (Fill, Go) with the flowers a first start holds; the
# picture grows; F6 (Fill, Stop) and Ctrl+S at once, and a name ending in
# .png: the file is a PNG at the photo's size that differs from the photo,
# and the picture stands still; File, Export at Size: a PNG of twice the
# photo's size; Ctrl+O and the saved file: it opens; Ctrl+Q ends the program with 0 (nothing left unsaved).
# Screenshots of the steps are left in <output>.
#
#   keyboard_flow.sh <daubry> <output-folder> <demo-photo>
set -euo pipefail

daubry=$1
out=$2
demo=$(realpath "$3")
mkdir -p "$out"
rm -f "$out"/*.png
label="keyboard flow"
source "$(dirname "${BASH_SOURCE[0]}")/../../support/xvfb.sh"
source "$(dirname "${BASH_SOURCE[0]}")/flow_support.sh"

require_tools Xvfb xdotool import convert compare identify
[[ -f "$demo" ]] || fail "no demo photo at $demo"
start_xvfb

key() { xdotool key --clearmodifiers "$@"; }

# Ctrl+O, a path typed, Enter: the title names the file.
open_file() {
  key ctrl+o
  wait_dialog open-dialog 10 || fail "Ctrl+O showed no dialog"
  xdotool type --delay 10 "$1"
  key Return
  await_title "$(basename "$1") - Daubry" 10 || fail "Ctrl+O did not open $1"
  wait_no_dialog "opened-$(basename "$1")" 5 || fail "a dialog stayed after opening $1"
}

start_daubry 'Daubry$' 1000 700

open_file "$demo"
shot opened
key F5
wait_no_dialog prepared 60 || fail "the photo's preparation did not end within 60 s"
sleep 2
shot grown
changed=$(viewer_difference "$out/opened.png" "$out/grown.png")
[[ "$changed" =~ ^[0-9]+$ ]] && ((changed > 1000)) ||
  fail "F5 did not fill the picture ($changed pixels changed)"
# Ctrl+S at once, while the run is still stopping: a chord typed while the
# window is busy is still that chord when it is read.
key F6 ctrl+s
wait_dialog save-dialog 10 || fail "Ctrl+S right after F6 showed no dialog"
saved="$work/keyboard.png"
key ctrl+a
xdotool type --delay 10 "$saved"
key Return
await_file "$saved" 30 || fail "Ctrl+S wrote no $saved"
[[ "$(identify -format '%m %w %h' "$saved")" == "PNG $(identify -format '%w %h' "$demo")" ]] ||
  fail "the saved file is not a PNG of the photo's size: $(identify -format '%m %w %h' "$saved")"
# Stop has taken effect: two screenshots a second apart agree.
shot stopped-a
sleep 1
shot stopped-b
[[ "$(viewer_difference "$out/stopped-a.png" "$out/stopped-b.png")" == 0 ]] ||
  fail "the picture still changes after F6"
differ=$(compare -metric AE "$saved" "$demo" null: 2>&1 || true)
[[ "$differ" =~ ^[0-9]+$ ]] && ((differ > 1000)) || fail "the saved picture is the photo ($differ)"
cp "$saved" "$out/saved.png"
# File, Export at Size (its mnemonic z): the dialog offers twice the photo's
# width; Enter takes it, the file dialog a name; the run is drawn again there.
key alt+f z
wait_dialog export-dialog 10 || fail "File, Export at Size showed no dialog"
key Return
sleep 0.5
wait_dialog export-file-dialog 10 || fail "the export asked for no file"
exported="$work/exported.png"
key ctrl+a
xdotool type --delay 10 "$exported"
key Return
await_file "$exported" 60 || fail "Export at Size wrote no $exported"
wait_no_dialog export-told 10 && fail "the export did not say where the picture went"
shot export-told
key Return
[[ "$(identify -format '%m %w %h' "$exported")" == "PNG $(identify -format '%[fx:2*w] %[fx:2*h]' "$demo")" ]] ||
  fail "the export is not a PNG of twice the photo's size: $(identify -format '%m %w %h' "$exported")"
open_file "$saved"
shot reopened
key ctrl+q
expect_exit 5 "Ctrl+Q"
echo "keyboard flow: open, go, stop, save as PNG, reopen, quit: ok ($out)"
