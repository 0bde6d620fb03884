#!/usr/bin/env bash
# Installs the build as `make install DESTDIR=<tmp> PREFIX=/usr` would and
# checks what a user meets:
#   1. the program, its share folder (samples, help page and every picture
#      the page shows), the icons at every size, the menu entry and the
#      manual pages are where they belong;
#   2. the installed program answers --version and --help without a window,
#      and --help names the installed help page;
#   3. the installed program fills a photo (the demo photo, else a test photo)
#      with the installed sample library, no --samples given, and the picture
#      it writes decodes at the photo's size;
#   4. desktop-file-validate accepts the menu entry without a word;
#   5. the manual pages render without a warning, and daubry-fill(1) names
#      exactly the options of `daubry fill --help`;
#   6. uninstalling removes every installed file and the share folder.
# Fails, rather than skips, when a tool it needs is missing.
#
#   install_test.sh <cmake> <source-folder> <build-folder> <version>
set -euo pipefail

cmake=$1
src=$2
build=$3
version=$4
manifest=$build/install_manifest.txt
saved_manifest=
cleanup() {
  # The build's own manifest (of a real install) is put back as it was.
  if [[ -n "$saved_manifest" ]]; then mv "$saved_manifest" "$manifest"; else rm -f "$manifest"; fi
  rm -rf "$work"
}
fail() {
  echo "FAIL: $*" >&2
  exit 1
}

for tool in desktop-file-validate man identify; do
  command -v "$tool" >/dev/null || fail "$tool is missing: run scripts/install-deps"
done

work=$(mktemp -d)
if [[ -f "$manifest" ]]; then
  saved_manifest=$work/saved-manifest
  cp "$manifest" "$saved_manifest"
fi
trap cleanup EXIT

root=$work/root
prefix=$root/usr
DESTDIR=$root "$cmake" --install "$build" --prefix /usr >"$work/install.log" ||
  fail "install: $(cat "$work/install.log")"
cp "$manifest" "$work/manifest"

# 1. The layout.
daubry=$prefix/bin/daubry
[[ -x "$daubry" ]] || fail "no program at $daubry"
share=$prefix/share/daubry
[[ -f "$share/help/daubry.html" ]] || fail "no help page in $share/help"
# Every picture the page shows, at its relative path, and a picture indeed.
pictures=$(grep -o 'src="[^"]*"' "$share/help/daubry.html" | sed 's/^src="//; s/"$//' | sort -u)
[[ -n "$pictures" ]] || fail "the help page shows no pictures"
for picture in $pictures; do
  [[ "$picture" != /* && "$picture" != *://* ]] || fail "help picture $picture is not relative"
  identify "$share/help/$picture" >/dev/null 2>&1 || fail "help picture $picture is not installed"
done
samples=$(find "$share/samples" -name '*.png' | wc -l)
((samples > 0)) || fail "no samples in $share/samples"
for size in 16 22 24 32 48 64 128 256; do
  icon=$prefix/share/icons/hicolor/${size}x${size}/apps/daubry.png
  [[ -f "$icon" ]] || fail "no icon $icon"
  [[ "$(identify -format '%wx%h' "$icon")" == "${size}x${size}" ]] || fail "$icon is not ${size}x${size}"
done
entry=$prefix/share/applications/daubry.desktop
[[ -f "$entry" ]] || fail "no menu entry"
for page in daubry.1 daubry-fill.1; do
  [[ -f "$prefix/share/man/man1/$page" ]] || fail "no manual page $page"
done
if grep -q "$build" "$work/manifest" || ! grep -q '^/usr/bin/daubry$' "$work/manifest"; then
  fail "the manifest does not list the installed paths under the prefix"
fi

# 2. --version and --help, without a window (no display is set).
export XDG_CONFIG_HOME=$work/config  # no settings of the user's steer the run
[[ "$(env -u DISPLAY -u WAYLAND_DISPLAY "$daubry" --version)" == "daubry $version" ]] ||
  fail "--version says '$("$daubry" --version)'"
help=$(env -u DISPLAY -u WAYLAND_DISPLAY "$daubry" --help)
grep -q "Usage: daubry" <<<"$help" || fail "--help: $help"
# Without a display the window cannot show: the program says so and ends
# rather than running unseen.
status=0
timeout 20 env -u DISPLAY -u WAYLAND_DISPLAY "$daubry" 2>"$work/nodisplay.log" || status=$?
((status != 124)) || fail "daubry without a display still ran after 20 s"
((status != 0)) || fail "daubry without a display ended with 0"
grep -q "needs a display" "$work/nodisplay.log" ||
  fail "daubry without a display did not say why: $(cat "$work/nodisplay.log")"
grep -qF "Help page: $share/help/daubry.html" <<<"$help" ||
  fail "--help does not name the installed help page: $help"

# 3. Filling the demo photo with the installed library.
photo=$(find "$share" -maxdepth 2 -path "$share/samples" -prune -o -type f \
  \( -iname '*.jpg' -o -iname '*.jpeg' -o -iname '*.png' \) -print | sort | head -n 1)
[[ -n "$photo" ]] || photo=$src/tests/data/photos/coffee.png
out=$work/filled.png
"$daubry" fill "$photo" -o "$out" --stamps 300 --seed 1 2>"$work/fill.log" ||
  fail "daubry fill $photo ended with $?: $(cat "$work/fill.log")"
grep -qF "$share/samples" "$work/fill.log" ||
  fail "the fill did not use the installed samples: $(cat "$work/fill.log")"
[[ "$(identify -format '%wx%h' "$out")" == "$(identify -format '%wx%h' "$photo")" ]] ||
  fail "the filled picture does not decode at the photo's size"

# 4. The menu entry.
report=$(desktop-file-validate "$entry" 2>&1) || fail "desktop-file-validate: $report"
[[ -z "$report" ]] || fail "desktop-file-validate: $report"
grep -q '^Exec=daubry %f$' "$entry" || fail "the entry does not open a file"
for type in image/jpeg image/png image/bmp image/gif; do
  grep -q "^MimeType=.*$type;" "$entry" || fail "the entry does not open $type"
done

# 5. The manual pages.
for page in daubry.1 daubry-fill.1; do
  file=$prefix/share/man/man1/$page
  warnings=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 \
    man --warnings -E UTF-8 -l -Tutf8 -Z "$file" 2>&1 >/dev/null) || fail "man $page failed"
  [[ -z "$warnings" ]] || fail "$page: $warnings"
  text=$(LC_ALL=C.UTF-8 MANWIDTH=80 man -l "$file" 2>/dev/null)
  grep -q '^NAME' <<<"$text" || fail "$page renders no NAME"
done
options_of() { grep -o -- '--[a-z][a-z-]*' | sort -u; }
from_help=$("$daubry" fill --help | options_of)
from_page=$(sed 's/\\-/-/g' "$prefix/share/man/man1/daubry-fill.1" | options_of)
missing=$(comm -23 <(echo "$from_help") <(echo "$from_page"))
[[ -z "$missing" ]] || fail "daubry-fill.1 does not describe: $missing"
for option in $from_page; do
  message=$("$daubry" fill "$option" 2>&1 || true)
  if grep -q "unknown option" <<<"$message"; then
    fail "daubry-fill.1 names $option, which daubry fill does not know"
  fi
done

# 6. Uninstalling.
DESTDIR=$root "$cmake" -P "$src/cmake/uninstall.cmake" "$work/manifest" >/dev/null ||
  fail "uninstall failed"
left=$(find "$root" -type f)
[[ -z "$left" ]] || fail "left after uninstalling: $left"
[[ ! -e "$share" ]] || fail "the share folder is left after uninstalling"
echo "install test passed ($samples samples, photo $(basename "$photo"))"
