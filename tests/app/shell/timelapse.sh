#!/bin/bash
# `daubry render --timelapse` on the small project of the fuzz corpus: the
# animated PNG, the numbered frames and the picture, read back by a decoder
# of the standard library.
set -euo pipefail
daubry=$1 project=$2 out=$3
here=$(dirname "$0")
rm -rf "$out" && mkdir -p "$out"
"$daubry" render "$project" --timelapse "$out/grow.png" --frames 6 --fps 4 \
  --frames-dir "$out/frames" -o "$out/picture.png" --scale 3 -q
python3 "$here/timelapse_check.py" "$out/grow.png" "$out/frames" "$out/picture.png" 6 1000 4000
