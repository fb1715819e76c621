#!/usr/bin/env bash
# The packing benchmark: how long brondale-pack takes to build an installer
# on every core, next to single-threaded `gzip -6` of the same files at the
# same level, the sizes of both and the tool's peak memory. Prints figures
# and the targets beside them; it fails only when something does not work.
#
#   bench/pack.sh [RUNS]       RUNS: repetitions per measurement, default 3
#   bench/pack.sh --large      once, by hand: a product with one 3 GB file,
#                              packed and verified natively and by the
#                              Windows tool under Wine, with peak memory
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$here"
jobs="$(nproc)"
out="$here/build/bench"
level=6

"$here/scripts/setup.sh"
cmake --no-warn-unused-cli -S . -B build/bench-native -DCMAKE_BUILD_TYPE=Release -DBRONDALE_SANITIZE=OFF >/dev/null
cmake --build build/bench-native -j "$jobs" --target brondale-pack >/dev/null
pack="$here/build/bench-native/brondale-pack"
stubSize=135306  # the installer program padded to the package start, and the signature

median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
# Elapsed and CPU (user + system) seconds of a command: "elapsed cpu".
seconds() {
  /usr/bin/time -f '%e %U %S' -o "$work/time" "$@" >/dev/null 2>&1
  awk '{printf "%s %.2f\n", $1, $2 + $3}' "$work/time"
}
# Peak resident set of a command in MB, from /usr/bin/time -v.
peak_mb() { /usr/bin/time -v "$@" 2>&1 >/dev/null | awk -F: '/Maximum resident/ {printf "%.1f", $2 / 1024}'; }

# A product folder around program files made by a Python snippet (the
# extraction benchmark's generators), made once.
payload() {
  local name="$1" code="$2" folder="$out/pack-$1"
  [ -e "$folder/.done" ] && return
  rm -rf "$folder"
  mkdir -p "$folder/lang" "$folder/install" "$folder/program"
  cp examples/demo/lang/English.lng "$folder/lang/"
  printf '[cfg]\r\n1=Pack Bench %s\r\n' "$name" > "$folder/install/init.cfg"
  printf 'MZ placeholder uninstaller' > "$folder/install/UnInst.dat"
  (cd "$folder/program" && python3 -c "
import random, sys
sys.path.insert(0, '$here/bench')
from make_payloads import log_text, MIB
rng = random.Random(20261207)
$code")
  touch "$folder/.done"
}

if [ "${1:-}" = "--large" ]; then
  exec "$here/bench/pack-large.sh"
fi
runs="${1:-3}"

payload one "
with open('mixed.bin', 'wb') as f:
    f.write(rng.randbytes(100 * MIB))
    f.write(log_text(rng, 100 * MIB, 'web-01').ljust(100 * MIB, b'\n'))"
payload two "
open('data.bin', 'wb').write(rng.randbytes(100 * MIB))
open('server.log', 'wb').write(log_text(rng, 70 * MIB, 'web-02'))"
python3 bench/make_payloads.py "$out" >/dev/null
ln -sfn "$out/payload-big" "$out/pack-big"
ln -sfn "$out/payload-small" "$out/pack-small"

work="/dev/shm/brondale-pack-bench"
rm -rf "$work"
mkdir -p "$work"
trap 'rm -rf "$work"' EXIT
stub="$work/stub.exe"
head -c 4096 /dev/zero > "$stub"  # the installer program's size does not matter here
# The payloads are read from tmpfs, so the disk does not time them.
for p in one two big small; do cp -rL "$out/pack-$p" "$work/$p"; done

echo "load average at the start: $(cut -d' ' -f1-3 /proc/loadavg) (2 cores may be shared: figures are medians)"
printf '%-7s %-8s %-8s %-7s %-9s %-9s %-7s %-11s %-11s %-7s %-7s\n' payload "pack s" "gzip s" speed \
  "pack cpu" "gzip cpu" "cpu" "pack bytes" "gzip bytes" size "peak MB"
for payload in one two big small; do
  product="$work/$payload"
  pt=(); gt=(); pc=(); gc=()
  for _ in $(seq 1 "$runs"); do
    read -r e c < <(seconds "$pack" build "$product" -o "$work/setup.exe" --stub "$stub" --level "$level")
    pt+=("$e"); pc+=("$c")
    read -r e c < <(seconds bash -c "cd '$product/program' && find . -type f -print0 | sort -z | xargs -0 -n 200 sh -c 'for f; do gzip -$level -n -c \"\$f\"; done' sh > '$work/all.gz'")
    gt+=("$e"); gc+=("$c")
  done
  p=$(printf '%s\n' "${pt[@]}" | median)
  g=$(printf '%s\n' "${gt[@]}" | median)
  pcpu=$(printf '%s\n' "${pc[@]}" | median)
  gcpu=$(printf '%s\n' "${gc[@]}" | median)
  mb=$(peak_mb "$pack" build "$product" -o "$work/setup.exe" --stub "$stub" --level "$level")
  "$pack" verify "$work/setup.exe" >/dev/null || { echo "pack.sh: the $payload installer is not sound" >&2; exit 1; }
  packBytes=$(( $(stat -c %s "$work/setup.exe") - stubSize ))
  gzipBytes=$(stat -c %s "$work/all.gz")
  printf '%-7s %-8.2f %-8.2f %-7.2f %-9.2f %-9.2f %-7.2f %-11s %-11s %+-7.2f %-7s\n' "$payload" "$p" "$g" \
    "$(echo "$g / $p" | bc -l)" "$pcpu" "$gcpu" "$(echo "$gcpu / $pcpu" | bc -l)" \
    "$packBytes" "$gzipBytes" "$(echo "($packBytes - $gzipBytes) * 100 / $gzipBytes" | bc -l)" "$mb"
done
echo
echo "one: one 200 MB file (100 MB random, 100 MB log text); two: a 100 MB random file and a 70 MB log;"
echo "big: the extraction benchmark's four files (200 MiB); small: its 5,000 small files."
echo "speed = gzip -$level time / packing time on $jobs cores (target: at least 1.7 for one and two);"
echo "cpu = gzip CPU seconds / packing CPU seconds (user + system): on a shared machine the elapsed"
echo "times depend on the other load; 2 free cores give at most cpu x 2 as the speed."
echo "size = package bytes (all three sections) over gzip's, in percent (target: within 0.5%)."
echo "load average at the end: $(cut -d' ' -f1-3 /proc/loadavg)"
