#!/usr/bin/env bash
# The main job: builds everything, packs the example product into an
# installer and runs it under Wine. With a display the user clicks through
# it; without one it runs on Xvfb in Wine's virtual desktop, where a walker
# accepts every page and saves a screenshot of each into build/example/.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$here"

scripts/setup.sh
scripts/build.sh
scripts/wine-prefix.sh build/windows/wine-prefix

out="$here/build/example"
rm -rf "$out"
mkdir -p "$out"
installer="$out/BrondaleDemoSetup.exe"
# The product folder: the example's files and some data so that the progress
# page stays up long enough to be seen. The optimised tool packs it as the
# README shows, finding the installer and uninstaller in build/windows.
product="$out/product"
cp -r examples/demo "$product"
mkdir -p "$product/program/data"
head -c 96M /dev/urandom > "$product/program/data/sample.dat"
build/tool/brondale-pack lint "$product"
build/tool/brondale-pack build "$product" -o "$installer"

export BRONDALE_WINEPREFIX="$here/build/windows/wine-prefix"
if [ -n "${DISPLAY:-}" ]; then
  scripts/wine-run.sh "$installer" || true
  echo "run-example: the installer is $installer"
  exit 0
fi

. scripts/display.sh
start_xvfb
WINEPREFIX="$BRONDALE_WINEPREFIX" wineserver -k >/dev/null 2>&1 || true
win() { WINEPREFIX="$BRONDALE_WINEPREFIX" winepath -w "$1" 2>/dev/null; }
# The virtual desktop lives on while anything runs in it; the walker leaves
# walk-result.txt when it is done.
scripts/wine-run.sh explorer /desktop=Brondale,1024x768 "$(win build/windows/brondale-walk.exe)" \
  "$(win "$installer")" "$(win "$out")" > "$out/walk.log" 2>&1 &
desktop=$!
for _ in $(seq 1 600); do
  [ -e "$out/walk-result.txt" ] && break
  sleep 0.5
done
WINEPREFIX="$BRONDALE_WINEPREFIX" wineserver -k >/dev/null 2>&1 || true
wait "$desktop" || true
cat "$out/walk.log" 2>/dev/null || true
status="$(tr -d '\r\n' < "$out/walk-result.txt" 2>/dev/null || echo none)"
echo "run-example: the installer ended with exit code $status (1 is a finished installation)"
shots=0
for bmp in "$out"/*.bmp; do
  [ -e "$bmp" ] || continue
  convert "$bmp" "${bmp%.bmp}.png" && rm -f "$bmp"
  shots=$((shots + 1))
done
echo "run-example: $shots screenshots in $out"
ls "$out"/*.png 2>/dev/null || true
[ "$shots" -gt 0 ] || { echo "run-example: no page was seen" >&2; exit 1; }
