#!/usr/bin/env bash
# Runs every test: installs what is missing, builds the native and the Windows
# trees, then runs both test suites through CTest (the Windows one under Wine)
# and each fuzz target for a few seconds.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$here"
jobs="$(nproc)"

scripts/setup.sh
scripts/build.sh
scripts/wine-prefix.sh build/windows/wine-prefix

# The end-to-end tests open windows: always on an X server of their own.
. scripts/display.sh
start_xvfb

status=0
# Every fuzz target for a few seconds (it builds build/fuzz with clang first):
# an input that crashes again fails the run.
fuzz/run.sh 5 || status=1
ctest --test-dir build/native --output-on-failure -j "$jobs" || status=1
export BRONDALE_WINEPREFIX="$here/build/windows/wine-prefix"
# One wineserver for the whole run, its helpers started away from our output.
WINEPREFIX="$BRONDALE_WINEPREFIX" wineserver -p >/dev/null 2>&1 || true
scripts/wine-run.sh wineboot >/dev/null 2>&1 || true
ctest --test-dir build/windows --output-on-failure -j "$jobs" || status=1
WINEPREFIX="$BRONDALE_WINEPREFIX" wineserver -k >/dev/null 2>&1 || true
# The last lines are CTest's summary of the Windows run.
exit $status
