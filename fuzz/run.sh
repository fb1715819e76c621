#!/usr/bin/env bash
# Builds the fuzz targets in build/fuzz (clang, libFuzzer, ASan, UBSan) and
# runs each for the given number of seconds, or of executions, on a copy of
# fuzz/corpus, so the repository never changes. Crashes go to
# build/fuzz/crashes/TARGET/; prints the executions, the time, the rate and
# the peak memory per target and exits non-zero when any target failed.
#   fuzz/run.sh SECONDS [TARGET...]      (BRONDALE_FUZZ_SEED: default 1)
#   fuzz/run.sh --runs N [TARGET...]     N executions each (bench/fuzz.sh)
# A saved input replays with: build/fuzz/fuzz/TARGET FILE
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$here"
if [ "${1:-}" = "--runs" ]; then
  runs_wanted="${2:?usage: fuzz/run.sh --runs N [TARGET...]}"
  limit=(-runs="$runs_wanted")
  shift 2
else
  seconds="${1:?usage: fuzz/run.sh SECONDS [TARGET...]}"
  limit=(-max_total_time="$seconds")
  shift
fi
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(fuzz_section fuzz_pathlist fuzz_locator fuzz_values fuzz_profile fuzz_switches
  fuzz_inspect fuzz_unpack fuzz_peimage fuzz_resources fuzz_icon)
seed="${BRONDALE_FUZZ_SEED:-1}"
build="$here/build/fuzz"

CC=clang CXX=clang++ cmake -S . -B "$build" -DBRONDALE_FUZZ=ON -DBRONDALE_SANITIZE=OFF \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target fuzzers -j "$(nproc)" >/dev/null

status=0
for t in "${targets[@]}"; do
  corpus="$build/corpus/$t"
  crashes="$build/crashes/$t"
  log="$build/logs/$t.log"
  mkdir -p "$corpus" "$crashes" "$(dirname "$log")"
  for seed_file in "$here/fuzz/corpus/$t/"*; do
    [ -e "$corpus/$(basename "$seed_file")" ] || cp "$seed_file" "$corpus/"
  done
  rc=0
  start=$(date +%s.%N)
  "$build/fuzz/$t" "${limit[@]}" -timeout=1 -seed="$seed" -print_final_stats=1 \
    -artifact_prefix="$crashes/" "$corpus" >"$log" 2>&1 || rc=$?
  took=$(awk -v a="$start" -v b="$(date +%s.%N)" 'BEGIN { printf "%.1f", b - a }')
  runs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)"
  rate="$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -n 1)"
  peak="$(sed -n 's/^stat::peak_rss_mb: *//p' "$log" | tail -n 1)"
  if [ "$rc" -eq 0 ]; then
    printf 'fuzz: %-14s %9s executions in %6.1fs (%s/s), peak %s MB, no crash\n' "$t" "${runs:-?}" "$took" \
      "${rate:-?}" "${peak:-?}"
  else
    status=1
    printf 'fuzz: %-13s FAILED (exit %s) after %s executions; inputs in %s, log %s\n' \
      "$t" "$rc" "${runs:-?}" "$crashes" "$log"
    grep -E 'ERROR|SUMMARY|fuzz check failed|runtime error' "$log" | head -n 5 || true
  fi
done
exit $status
