#!/usr/bin/env bash
# Run once, by hand (bench/pack.sh --large): a product with one 3 GB file
# (half random, half log text) is packed by the Linux tool and by the Windows
# tool under Wine, each with its peak memory; both installers are verified
# and compared; then the installer is walked through under Wine and the
# installed file compared with the original. Needs about 13 GB of disk and
# the trees of scripts/build.sh; everything it writes is deleted at the end.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$here"
pack="$here/build/bench-native/brondale-pack"
windows="$here/build/windows"
work="$here/build/bench/large"
export BRONDALE_WINEPREFIX="$windows/wine-prefix"
export WINEPREFIX="$BRONDALE_WINEPREFIX"
name="Brondale Pack Large"
installed="$WINEPREFIX/drive_c/Program Files/$name"
cleanup() {
  rm -rf "$work" "$installed"
  wine reg delete "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$name" /f >/dev/null 2>&1 || true
  WINEPREFIX="$WINEPREFIX" wineserver -k >/dev/null 2>&1 || true
}
trap cleanup EXIT
rm -rf "$work"
mkdir -p "$work/product/lang" "$work/product/install" "$work/product/program"
cp examples/demo/lang/English.lng "$work/product/lang/"
printf '[cfg]\r\n1=%s\r\n' "$name" > "$work/product/install/init.cfg"
cp "$windows/UnInst.exe" "$work/product/install/UnInst.dat"
file="$work/product/program/disk.img"
python3 -c "
import random, sys
sys.path.insert(0, '$here/bench')
from make_payloads import log_text, MIB
rng = random.Random(3)
log = log_text(rng, 64 * MIB, 'db-01')
with open('$file', 'wb') as f:
    for _ in range(24):
        f.write(rng.randbytes(64 * MIB))
        f.write(log)
"
echo "product: $(stat -c %s "$file") bytes in one file; load average $(cut -d' ' -f1-3 /proc/loadavg)"

# Peak resident set (MB) and seconds of a native command.
/usr/bin/time -f '%M %e' -o "$work/time" "$pack" build "$work/product" -o "$work/native.exe" \
  --stub "$windows/brondale.exe" --level 6 >/dev/null
read -r kb secs < "$work/time"
echo "native build: $secs s, peak resident $((kb / 1024)) MB, installer $(stat -c %s "$work/native.exe") bytes"
/usr/bin/time -f '%e' -o "$work/time" "$pack" verify "$work/native.exe" | tail -1
echo "native verify: $(cat "$work/time") s"

# The Windows tool under Wine: the peak resident set of its Unix process
# (Wine's own libraries included), sampled from /proc while it runs.
win() { winepath -w "$1" 2>/dev/null; }
WINEPREFIX="$WINEPREFIX" wineserver -p >/dev/null 2>&1 || true
start=$(date +%s.%N)
wine "$windows/brondale-pack.exe" build "$(win "$work/product")" -o "$(win "$work/windows.exe")" --level 6 \
  >"$work/wine.log" 2>&1 &
launcher=$!
peak=0
while kill -0 "$launcher" 2>/dev/null; do
  for pid in $(pgrep -f 'brondale-pack.exe' || true); do
    # Only this prefix's process: other Wine prefixes may pack too.
    tr '\0' '\n' 2>/dev/null < "/proc/$pid/environ" | grep -qx "WINEPREFIX=$WINEPREFIX" || continue
    hwm=$(awk '/VmHWM/ {print $2}' "/proc/$pid/status" 2>/dev/null || echo 0)
    [ "${hwm:-0}" -gt "$peak" ] && peak=$hwm
  done
  sleep 0.2
done
wait "$launcher" || { cat "$work/wine.log"; echo "pack-large: the Windows tool failed" >&2; exit 1; }
end=$(date +%s.%N)
echo "Windows tool under Wine: $(echo "$end - $start" | bc -l | cut -c1-6) s, peak resident $((peak / 1024)) MB"
cmp "$work/native.exe" "$work/windows.exe" && echo "the two installers are byte-identical"
rm -f "$work/native.exe"
/usr/bin/time -f '%e' -o "$work/time" wine "$windows/brondale-pack.exe" verify "$(win "$work/windows.exe")" | tail -1
echo "verify under Wine: $(cat "$work/time") s"

# Installed through the walker, accepting every default.
if [ "${BRONDALE_LARGE_INSTALL:-1}" = 1 ]; then
  . scripts/display.sh
  start_xvfb
  # start_xvfb keeps its own exit trap; this one does both.
  trap 'cleanup; kill "$BRONDALE_XVFB_PID" 2>/dev/null || true' EXIT
  rm -rf "$installed"
  mkdir -p "$work/walk"
  start=$(date +%s.%N)
  wine explorer /desktop=PackLarge,1024x768 "$(win "$windows/brondale-walk.exe")" \
    "$(win "$work/windows.exe")" "$(win "$work/walk")" > "$work/walk.log" 2>&1 &
  desktop=$!
  for _ in $(seq 1 1200); do
    [ -e "$work/walk/walk-result.txt" ] && break
    sleep 0.5
  done
  end=$(date +%s.%N)
  WINEPREFIX="$WINEPREFIX" wineserver -k >/dev/null 2>&1 || true
  wait "$desktop" || true
  echo "walked installation: exit code $(tr -d '\r\n' < "$work/walk/walk-result.txt" 2>/dev/null || echo none)" \
    "in $(echo "$end - $start" | bc -l | cut -c1-6) s (1 is a finished installation)"
  cmp "$file" "$installed/disk.img" && echo "the installed 3 GB file is byte-identical"
fi
WINEPREFIX="$WINEPREFIX" wineserver -k >/dev/null 2>&1 || true
