#!/usr/bin/env bash
# `daubry fill` under a file-size limit too small for its output: the write
# fails like any other, so the program says why and ends with exit 3 (not by
# SIGXFSZ), leaves no temporary file beside the target, and an existing
# target keeps its old bytes.
#
#   fill_size_limit.sh <daubry> <photo> <work-folder>
set -euo pipefail

daubry=$1
photo=$2
work=$3
rm -rf "$work"
mkdir -p "$work/samples"
cp "$photo" "$work/samples/sample.png"
echo "old bytes" >"$work/kept.png"

fail() {
  echo "fill_size_limit: $*" >&2
  exit 1
}

# Runs the command with a limit of 8 blocks of 1024 bytes; its exit code.
limited_fill() {
  local code=0
  (
    ulimit -f 8
    exec "$daubry" fill "$photo" -o "$1" --samples "$work/samples" --stamps 20 --seed 1 -q
  ) 2>"$work/errors" || code=$?
  echo "$code"
}

for target in new.png kept.png; do
  code=$(limited_fill "$work/$target")
  [ "$code" = 3 ] || fail "$target: exit $code, not 3: $(cat "$work/errors")"
  grep -q "$target: File too large" "$work/errors" ||
    fail "$target: no message naming the fault: $(cat "$work/errors")"
  leftovers=$(find "$work" -maxdepth 1 -name "*.tmp")
  [ -z "$leftovers" ] || fail "$target: temporary files left: $leftovers"
done
[ ! -e "$work/new.png" ] || fail "a partial new.png was left"
[ "$(cat "$work/kept.png")" = "old bytes" ] || fail "kept.png was changed"
echo "fill_size_limit: ok"
