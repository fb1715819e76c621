#!/usr/bin/env bash
# The main job: builds everything, packs the example product into an
# installer and runs it under Wine. With a display the user clicks through
# it; without one it runs on Xvfb.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$here"

scripts/setup.sh
scripts/build.sh
scripts/wine-prefix.sh build/windows/wine-prefix

out="build/example"
mkdir -p "$out"
build/native/brondale-pack examples/demo -o "$out/BrondaleDemoSetup.exe" --stub build/windows/brondale.exe

export BRONDALE_WINEPREFIX="$here/build/windows/wine-prefix"
if [ -n "${DISPLAY:-}" ]; then
  scripts/wine-run.sh "$out/BrondaleDemoSetup.exe" || true
else
  xvfb-run -a -s "-screen 0 1024x768x24" scripts/wine-run.sh "$out/BrondaleDemoSetup.exe" || true
fi
echo "run-example: installer at $out/BrondaleDemoSetup.exe"
