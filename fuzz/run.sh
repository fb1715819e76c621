#!/usr/bin/env bash
# Builds the fuzz targets in build/fuzz (clang, libFuzzer, ASan, UBSan) and
# runs each for the given number of seconds on a copy of fuzz/corpus, so the
# repository never changes. Crashes go to build/fuzz/crashes/TARGET/; prints
# the executions per target and exits non-zero when any target failed.
#   fuzz/run.sh SECONDS [TARGET...]      (BRONDALE_FUZZ_SEED: default 1)
# A saved input replays with: build/fuzz/fuzz/TARGET FILE
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$here"
seconds="${1:?usage: fuzz/run.sh SECONDS [TARGET...]}"
shift
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(fuzz_section fuzz_pathlist fuzz_locator fuzz_values fuzz_profile fuzz_switches fuzz_inspect fuzz_unpack)
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
  "$build/fuzz/$t" -max_total_time="$seconds" -timeout=1 -seed="$seed" -print_final_stats=1 \
    -artifact_prefix="$crashes/" "$corpus" >"$log" 2>&1 || rc=$?
  runs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)"
  if [ "$rc" -eq 0 ]; then
    printf 'fuzz: %-13s %12s executions in %ss, no crash\n' "$t" "${runs:-?}" "$seconds"
  else
    status=1
    printf 'fuzz: %-13s FAILED (exit %s) after %s executions; inputs in %s, log %s\n' \
      "$t" "$rc" "${runs:-?}" "$crashes" "$log"
    grep -E 'ERROR|SUMMARY|fuzz check failed|runtime error' "$log" | head -n 5 || true
  fi
done
exit $status
