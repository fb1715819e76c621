#!/usr/bin/env bash
# Creates the Wine prefix of a build folder once (about 15 s), with the
# window-manager wait switched off: on a bare X server Wine would otherwise
# stall about 2 s every time a window is hidden or destroyed.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
prefix="${1:-$here/build/windows/wine-prefix}"
# Wine takes only an absolute prefix path.
mkdir -p "$prefix"
export BRONDALE_WINEPREFIX="$(cd "$prefix" && pwd)"
if [ -f "$BRONDALE_WINEPREFIX/.brondale-ready" ]; then
  exit 0
fi
rm -rf "$BRONDALE_WINEPREFIX"
mkdir -p "$BRONDALE_WINEPREFIX"
"$here/scripts/wine-run.sh" wineboot -i >/dev/null 2>&1
"$here/scripts/wine-run.sh" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
WINEPREFIX="$BRONDALE_WINEPREFIX" wineserver -w
touch "$BRONDALE_WINEPREFIX/.brondale-ready"
