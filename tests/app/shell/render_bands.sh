#!/bin/bash
# `daubry render` with too little memory for the picture: drawn in bands of a
# tile row and written row by row, the file is the one drawn whole, byte for
# byte, and zlib reads its rows back at the picture's size. A JPEG cannot be
# written in bands: refused, with no file left.
set -euo pipefail
daubry=$1 project=$2 out=$3
rm -rf "$out" && mkdir -p "$out"
"$daubry" render "$project" -o "$out/whole.png" --scale 16 -q
"$daubry" render "$project" -o "$out/bands.png" --scale 16 --memory 1 2> "$out/bands.txt"
grep -q "in bands" "$out/bands.txt"
cmp "$out/whole.png" "$out/bands.png"
python3 - "$out/bands.png" 512 512 <<'PY'
import struct, sys, zlib
data = open(sys.argv[1], "rb").read()
at, idat, size = 8, b"", None
while at < len(data):
    length, kind = struct.unpack(">I4s", data[at:at + 8])
    body = data[at + 8:at + 8 + length]
    if kind == b"IHDR":
        size = struct.unpack(">II", body[:8])
    elif kind == b"IDAT":
        idat += body
    at += length + 12
rows = zlib.decompress(idat)
want = (int(sys.argv[2]), int(sys.argv[3]))
if size != want or len(rows) != want[1] * (1 + 4 * want[0]):
    sys.exit("render_bands: %s is %s with %d bytes of rows" % (sys.argv[1], size, len(rows)))
PY
if "$daubry" render "$project" -o "$out/bands.jpg" --scale 16 --memory 1 -q 2> "$out/jpeg.txt"; then
  echo "render_bands: a JPEG in bands was not refused" >&2
  exit 1
fi
grep -q "only PNG" "$out/jpeg.txt"
test ! -e "$out/bands.jpg"
test -z "$(ls "$out" | grep part || true)"
