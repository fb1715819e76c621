#!/usr/bin/env bash
# The extraction benchmark: how long the installer takes to unpack two
# generated payloads (one of four big files, one of 5,000 small ones), next to
# `gzip -dk` of the same files and the silent run of an NSIS installer of the
# same payload, all under the same Wine prefix and onto tmpfs; then whole
# silent installations of the small payload over an installation (fresh, the
# same installer again, an upgrade that changes a tenth of the files), NSIS
# beside. Prints figures and the targets beside them; it fails only when
# something does not work, never on a figure.
#
#   bench/run.sh [RUNS] [PART...]
#     RUNS: repetitions per measurement, default 3
#     PART: big, small, over (default all three)
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$here"
runs="${1:-3}"
shift || true
parts="${*:-big small over}"
jobs="$(nproc)"
out="$here/build/bench"         # payloads and packed installers (cached)
work="/dev/shm/brondale-bench"  # what the timed runs read and write
level=9

log() { printf '== %s\n' "$*"; }

# --- What the benchmark needs -------------------------------------------------
"$here/scripts/setup.sh"
if ! dpkg-query -W -f='${Status}' nsis 2>/dev/null | grep -q "install ok installed"; then
  echo "bench: installing nsis"
  sudo=""; [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -q
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q nsis
fi

log "building build/bench-native (packing tool) and build/bench-windows (installer, driver)"
cmake --no-warn-unused-cli -S . -B build/bench-native -DCMAKE_BUILD_TYPE=Release -DBRONDALE_SANITIZE=OFF >/dev/null
cmake --build build/bench-native -j "$jobs" --target brondale-pack >/dev/null
cmake --no-warn-unused-cli -S . -B build/bench-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw32.cmake -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/bench-windows -j "$jobs" --target brondale brondale-bench >/dev/null
pack="$here/build/bench-native/brondale-pack"
# BRONDALE_BENCH_STUB: another installer program to time (one of an older
# build, say), packed into the same payloads.
stub="${BRONDALE_BENCH_STUB:-$here/build/bench-windows/brondale.exe}"
driver="$here/build/bench-windows/brondale-bench.exe"

export BRONDALE_WINEPREFIX="$here/build/bench-windows/wine-prefix"
"$here/scripts/wine-prefix.sh" "$BRONDALE_WINEPREFIX"

# shellcheck source=SCRIPTDIR/../scripts/display.sh
source "$here/scripts/display.sh"
if [ -z "${DISPLAY:-}" ]; then
  start_xvfb
fi
cleanup() {
  WINEPREFIX="$BRONDALE_WINEPREFIX" wineserver -k >/dev/null 2>&1 || true
  rm -rf "$work"
  if [ -n "${BRONDALE_XVFB_PID:-}" ]; then kill "$BRONDALE_XVFB_PID" 2>/dev/null || true; fi
}
trap cleanup EXIT
# One wineserver for the whole run, so no program pays for starting it (one
# left running for this prefix does as well).
WINEPREFIX="$BRONDALE_WINEPREFIX" wineserver -p >/dev/null 2>&1 </dev/null || true

# The work folder is drive R: of the prefix: a destination below Z:\dev\shm
# crosses the mount point /dev, which Wine shows as a junction and the
# installer refuses (a junction a user could have made).
mkdir -p "$BRONDALE_WINEPREFIX/dosdevices"
ln -sfn "$work" "$BRONDALE_WINEPREFIX/dosdevices/r:"
# R:\... path of a path below the work folder, Z:\... of any other, as Wine
# sees them.
winpath() {
  local p
  case "$1" in "$work"/*) p="R:${1#"$work"}" ;; *) p="Z:$1" ;; esac
  printf '%s' "${p//\//\\}"
}
# True when $1 is missing or older than any of the others.
stale() {
  local target="$1" dep
  shift
  [ -e "$target" ] || return 0
  for dep in "$@"; do [ "$dep" -nt "$target" ] && return 0; done
  return 1
}
median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
# Every file of the payload arrived, byte for byte, and nothing else but
# the record folder, where the run's journal lies from the first file on.
verify() {
  if ! diff -rq -x UnInstall "$1" "$2" >/dev/null; then
    echo "bench: $2 differs from $1" >&2
    diff -rq -x UnInstall "$1" "$2" | head -5 >&2
    exit 1
  fi
}

mkdir -p "$out"
rm -rf "$work"
mkdir -p "$work"
results="$work/results.txt"
: >"$results"

# Generates payload $1 when the generator changed, and packs its Brondale and
# NSIS installers ($out/brondale-$1.exe, $out/nsis-$1.exe) when the payload,
# the installer program or this script did. Both installers of every
# payload install the same product.
prepare() {
  local name="$1"
  local product="$out/payload-$name" stamp="$out/payload-$name.stamp"
  if stale "$stamp" bench/make_payloads.py examples/demo/lang/English.lng; then
    log "$name: generating the payload"
    python3 bench/make_payloads.py "$out" "$name"
    touch "$stamp"
  fi
  local setup="$out/brondale-$name.exe" made="$stub $(stat -c '%s %Y' "$stub")"
  if stale "$setup" "$stamp" "$stub" "$pack" || [ "$(cat "$setup.stub" 2>/dev/null)" != "$made" ]; then
    log "$name: packing the installer (level $level)"
    "$pack" "$product" -o "$setup" --stub "$stub" --level "$level" >/dev/null
    printf '%s' "$made" >"$setup.stub"
  fi
  local nsis="$out/nsis-$name.exe"
  if stale "$nsis" "$stamp" bench/run.sh; then
    log "$name: building the NSIS installer (zlib, not solid)"
    cat >"$out/nsis-$name.nsi" <<EOF
Unicode true
Name "Brondale Bench ${name%-tenth}"
OutFile "$nsis"
RequestExecutionLevel user
SetCompressor zlib
InstallDir "\$LOCALAPPDATA\\BrondaleBench"
SilentInstall silent
Section
  SetOutPath "\$INSTDIR"
  File /r "$product/program/*"
SectionEnd
EOF
    makensis -V1 "$out/nsis-$name.nsi" >/dev/null
  fi
}

for name in big small; do
  case " $parts " in *" $name "*) ;; *) continue ;; esac
  prepare "$name"
  product="$out/payload-$name"
  stamp="$out/payload-$name.stamp"
  setup="$out/brondale-$name.exe"
  nsis="$out/nsis-$name.exe"
  files=$(find "$product/program" -type f | wc -l)
  bytes=$(find "$product/program" -type f -printf '%s\n' | awk '{ s += $1 } END { print s }')
  log "$name: $files files, $(awk -v b="$bytes" 'BEGIN { printf "%.1f", b / 1048576 }') MB"

  gz="$out/gzip-$name"
  if stale "$gz.stamp" "$stamp"; then
    log "$name: compressing a copy with gzip -$level -n"
    rm -rf "$gz"
    cp -r "$product/program" "$gz"
    find "$gz" -type f -print0 | xargs -0 gzip "-$level" -n
    touch "$gz.stamp"
  fi

  # Everything the timed runs touch lives on tmpfs.
  dir="$work/$name"
  mkdir -p "$dir"
  cp "$setup" "$dir/brondale-setup.exe"
  cp "$nsis" "$dir/nsis-setup.exe"
  cp -r "$gz" "$dir/gzip"
  log "$name: sizes: installer $(stat -c %s "$setup") bytes, NSIS $(stat -c %s "$nsis") bytes," \
    "gzip files $(find "$dir/gzip" -type f -printf '%s\n' | awk '{ s += $1 } END { print s }') bytes"

  log "$name: the installer's extraction, $runs runs"
  if ! "$here/scripts/wine-run.sh" "$driver" installer "$(winpath "$dir/brondale-setup.exe")" \
      "$(winpath "$dir/installer")" "$(winpath "$dir/temp-installer")" "$runs" "$name" >"$dir/installer.txt" 2>&1; then
    cat "$dir/installer.txt"
    exit 1
  fi
  grep -v '^RESULT' "$dir/installer.txt"
  grep '^RESULT' "$dir/installer.txt" >>"$results"
  for k in $(seq 1 "$runs"); do verify "$product/program" "$dir/installer/run$k"; done
  rm -rf "$dir/installer" "$dir/temp-installer"

  if [ "$name" = small ]; then
    log "$name: the same installer again through its pages (installed once, then again into the same folder), $runs runs"
    if ! "$here/scripts/wine-run.sh" "$driver" upgrade "$(winpath "$dir/brondale-setup.exe")" \
        "$(winpath "$dir/upgrade")" "$(winpath "$dir/temp-upgrade")" "$runs" "$name" >"$dir/upgrade.txt" 2>&1; then
      cat "$dir/upgrade.txt"
      exit 1
    fi
    grep -v '^RESULT' "$dir/upgrade.txt"
    grep '^RESULT' "$dir/upgrade.txt" >>"$results"
    for k in $(seq 1 "$runs"); do
      # The payload, the uninstall record beside it, and no kept copy.
      if find "$dir/upgrade/run$k" -name '~BDK*' | grep -q .; then
        echo "bench: kept copies left in $dir/upgrade/run$k" >&2
        exit 1
      fi
      verify "$product/program" "$dir/upgrade/run$k"
    done
    rm -rf "$dir/upgrade" "$dir/temp-upgrade"
  fi

  log "$name: gzip -dk of all $files files in one invocation, $runs runs"
  mapfile -d '' gzfiles < <(find "$dir/gzip" -type f -name '*.gz' -print0)
  times=()
  for k in $(seq 1 "$runs"); do
    start=$EPOCHREALTIME
    gzip -dk -- "${gzfiles[@]}"
    stop=$EPOCHREALTIME
    t=$(awk -v a="$start" -v b="$stop" 'BEGIN { printf "%.3f", b - a }')
    times+=("$t")
    echo "gzip $name run $k: $t s"
    if ! diff -rq -x '*.gz' "$product/program" "$dir/gzip" >/dev/null; then
      echo "bench: gzip -dk output differs from the payload" >&2
      exit 1
    fi
    find "$dir/gzip" -type f ! -name '*.gz' -delete
  done
  m=$(printf '%s\n' "${times[@]}" | median)
  lo=$(printf '%s\n' "${times[@]}" | sort -g | head -1)
  hi=$(printf '%s\n' "${times[@]}" | sort -g | tail -1)
  echo "gzip $name: $m s (median of $runs, min $lo, max $hi)"
  echo "RESULT gzip $name $m $lo $hi - - - -" >>"$results"
  rm -rf "$dir/gzip"

  log "$name: NSIS silent install (/S), $runs runs"
  if ! "$here/scripts/wine-run.sh" "$driver" process "$(winpath "$dir/nsis-setup.exe")" \
      "$(winpath "$dir/nsis")" "$(winpath "$dir/temp-nsis")" "$runs" "$name" >"$dir/nsis.txt" 2>&1; then
    cat "$dir/nsis.txt"
    exit 1
  fi
  grep -v '^RESULT' "$dir/nsis.txt" | sed 's/^process /NSIS /'
  sed 's/^RESULT process /RESULT nsis /' "$dir/nsis.txt" | grep '^RESULT' >>"$results"
  for k in $(seq 1 "$runs"); do verify "$product/program" "$dir/nsis/run$k"; done
  rm -rf "$dir"
done

# --- Over an installation -------------------------------------------------------
# Whole silent installations of the small payload, from CreateProcess to the
# end of the process, as a fleet runs them: into an empty folder, the same
# installer again over its own installation, and the next version (a tenth
# of the files changed) over the first. NSIS installs the same files the
# same way, beside.
if [[ " $parts " == *" over "* ]]; then
  prepare small
  prepare small-tenth
  dir="$work/over"
  mkdir -p "$dir"
  for tool in brondale nsis; do
    cp "$out/$tool-small.exe" "$dir/$tool-1.exe"
    cp "$out/$tool-small-tenth.exe" "$dir/$tool-2.exe"
  done
  for tool in brondale nsis; do
    for case in fresh again upgrade; do
      setup="$dir/$tool-1.exe"
      first=()
      expected="$out/payload-small/program"
      case "$case" in
        again) first=("$(winpath "$dir/$tool-1.exe")") ;;
        upgrade)
          setup="$dir/$tool-2.exe"
          first=("$(winpath "$dir/$tool-1.exe")")
          expected="$out/payload-small-tenth/program" ;;
      esac
      log "over: $tool $case, $runs runs"
      if ! "$here/scripts/wine-run.sh" "$driver" process "$(winpath "$setup")" "$(winpath "$dir/$tool-$case")" \
          "$(winpath "$dir/temp-$tool-$case")" "$runs" "$tool-$case" "${first[@]}" >"$dir/$tool-$case.txt" 2>&1; then
        cat "$dir/$tool-$case.txt"
        exit 1
      fi
      grep -v '^RESULT' "$dir/$tool-$case.txt"
      grep '^RESULT' "$dir/$tool-$case.txt" >>"$results"
      for k in $(seq 1 "$runs"); do
        if find "$dir/$tool-$case/run$k" -name '~BDK*' | grep -q .; then
          echo "bench: kept copies left in $dir/$tool-$case/run$k" >&2
          exit 1
        fi
        rm -rf "$dir/$tool-$case/run$k/UnInstall"
        verify "$expected" "$dir/$tool-$case/run$k"
      done
      rm -rf "$dir/$tool-$case" "$dir/temp-$tool-$case"
    done
  done
  rm -rf "$dir"
fi

# --- The table -----------------------------------------------------------------
# Each part prints what was measured; a part left out prints nothing.
echo
awk -v runs="$runs" '
  { tool = $2; name = $3; t[tool, name] = $4; lo[tool, name] = $5; hi[tool, name] = $6
    ws[tool, name] = $7; pv[tool, name] = $8; ws0[tool, name] = $9; pv0[tool, name] = $10 }
  function verdict(ok) { return ok ? "met" : "NOT met" }
  function span(k, n) { return sprintf("%.3f (%.3f-%.3f)", t[k, n], lo[k, n], hi[k, n]) }
  function has(n) { return ("installer", n) in t }
  END {
    printf "Extraction benchmark: median of %d runs (min-max), destinations on tmpfs\n", runs
    split("big small", names, " ")
    if (has("big") || has("small")) {
      printf "\n%-7s %-24s %-24s %-24s %-16s %-16s\n", "payload", "installer s", "gzip -dk s", "NSIS /S s", "installer/gzip", "installer/NSIS"
      for (i = 1; i <= 2; ++i) {
        n = names[i]
        if (has(n))
          printf "%-7s %-24s %-24s %-24s %-16.2f %-16.2f\n", n, span("installer", n), span("gzip", n), span("nsis", n),
            t["installer", n] / t["gzip", n], t["installer", n] / t["nsis", n]
      }
    }
    if (("upgrade", "small") in t)
      printf "\nThe same installer again over the small payload, through its pages: extraction %.3f s (%.2f x a fresh installation), then the finish %.3f s (max %.3f)\n",
        t["upgrade", "small"], t["upgrade", "small"] / t["installer", "small"], lo["upgrade", "small"], hi["upgrade", "small"]
    over = ("process", "brondale-fresh") in t
    if (over) {
      printf "\nOver an installation: the small payload, silent runs, whole process (median of %d, min-max)\n\n", runs
      printf "%-10s %-24s %-24s %-24s %-12s %-12s\n", "", "fresh s", "again s", "upgrade (a tenth) s", "again/fresh", "upgrade/fresh"
      split("brondale nsis", tools, " ")
      for (i = 1; i <= 2; ++i) {
        k = tools[i]
        printf "%-10s %-24s %-24s %-24s %-12.2f %-12.2f\n", k == "nsis" ? "NSIS" : "Brondale",
          span("process", k "-fresh"), span("process", k "-again"), span("process", k "-upgrade"),
          t["process", k "-again"] / t["process", k "-fresh"], t["process", k "-upgrade"] / t["process", k "-fresh"]
      }
      printf "%-10s %-24.2f %-24.2f %-24.2f\n", "B / NSIS", t["process", "brondale-fresh"] / t["process", "nsis-fresh"],
        t["process", "brondale-again"] / t["process", "nsis-again"], t["process", "brondale-upgrade"] / t["process", "nsis-upgrade"]
    }
    if (has("big") || has("small")) {
      printf "\nPeak memory (largest over the runs; Wine process, so Wine itself counts):\n"
      printf "%-7s %-44s %-32s %-28s\n", "payload", "installer working set / private MB", "same at the destination page", "NSIS working set / private MB"
      for (i = 1; i <= 2; ++i) {
        n = names[i]
        if (has(n))
          printf "%-7s %-44s %-32s %-28s\n", n, sprintf("%.1f / %.1f", ws["installer", n], pv["installer", n]),
            sprintf("%.1f / %.1f", ws0["installer", n], pv0["installer", n]), sprintf("%.1f / %.1f", ws["nsis", n], pv["nsis", n])
      }
    }
    printf "\nTargets (printed, not enforced):\n"
    if (has("big")) {
      r = t["installer", "big"] / t["gzip", "big"]
      printf "  big: installer/gzip <= 1.0          %.2f  %s\n", r, verdict(r <= 1.0)
      r = t["installer", "big"] / t["nsis", "big"]
      printf "  big: installer/NSIS < 1.0           %.2f  %s\n", r, verdict(r < 1.0)
    }
    if (has("small")) {
      r = t["installer", "small"] / t["nsis", "small"]
      printf "  small: installer/NSIS <= 0.4 (0.35) %.2f  %s\n", r, verdict(r <= 0.4)
    }
    if (has("big") || has("small")) {
      m = 0; p = 0
      for (i = 1; i <= 2; ++i) {
        n = names[i]
        if (has(n) && ws["installer", n] > m) m = ws["installer", n]
        if (has(n) && pv["installer", n] > p) p = pv["installer", n]
      }
      printf "  installer peak working set < 32 MB  %.1f  %s\n", m, verdict(m < 32)
      printf "  installer peak private < 32 MB      %.1f  %s\n", p, verdict(p < 32)
    }
    if (over) {
      r = t["process", "brondale-again"] / t["process", "brondale-fresh"]
      printf "  over: again/fresh <= 1.2            %.2f  %s\n", r, verdict(r <= 1.2)
      r = t["process", "brondale-again"] / t["process", "nsis-again"]
      printf "  over: again, Brondale/NSIS <= 0.6   %.2f  %s\n", r, verdict(r <= 0.6)
      r = t["process", "brondale-upgrade"] / t["process", "brondale-fresh"]
      printf "  over: upgrade/fresh <= 1.4          %.2f  %s\n", r, verdict(r <= 1.4)
    }
  }' "$results"
