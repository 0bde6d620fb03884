#!/bin/bash
# `daubry render` with too little memory for the picture: drawn in bands of a
# tile row and written row by row, the file is the one drawn whole, byte for
# byte, in each format; zlib reads the PNG's rows back at the picture's size,
# ImageMagick finds the BMP the PNG's pixels and the JPEG close to them.
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
for ext in jpg bmp; do
  "$daubry" render "$project" -o "$out/whole.$ext" --scale 16 -q
  "$daubry" render "$project" -o "$out/bands.$ext" --scale 16 --memory 1 -q
  cmp "$out/whole.$ext" "$out/bands.$ext"
done
test "$(compare -metric AE "$out/bands.bmp" "$out/bands.png" null: 2>&1)" = 0
psnr=$(compare -metric PSNR "$out/bands.jpg" "$out/bands.png" null: 2>&1 || true)
awk -v p="$psnr" 'BEGIN { exit !(p + 0 >= 35) }' || {
  echo "render_bands: the banded JPEG is $psnr dB from the PNG" >&2
  exit 1
}
# A BMP beyond the format's 4 GB is refused before drawing, with no file left.
if "$daubry" render "$project" -o "$out/huge.bmp" --width 40000 -q 2> "$out/huge.txt"; then
  echo "render_bands: a BMP of 1600 megapixels was not refused" >&2
  exit 1
fi
grep -q "megapixels" "$out/huge.txt"
test ! -e "$out/huge.bmp"
test -z "$(ls "$out" | grep part || true)"
