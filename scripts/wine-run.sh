#!/usr/bin/env bash
# Runs a Windows program under Wine the way every test here does: its own
# prefix (BRONDALE_WINEPREFIX, default build/windows/wine-prefix), no debug
# output, no menu builder, and code page 1250 through the Polish locale.
#
# Wine's helper processes (wineserver, services) inherit the caller's output
# and outlive the program, so a caller that reads our output to its end would
# wait for them. The program's output goes through a file instead, printed
# once the program itself has ended.
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
export WINEPREFIX="${BRONDALE_WINEPREFIX:-$here/build/windows/wine-prefix}"
export WINEDEBUG=-all
export WINEDLLOVERRIDES=winemenubuilder.exe=d
export LC_ALL=pl_PL.UTF-8
export WINEARCH=win32
out="$(mktemp)"
wine "$@" >"$out" 2>&1 </dev/null
status=$?
cat "$out"
rm -f "$out"
exit $status
