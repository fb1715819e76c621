#!/usr/bin/env bash
# The fuzz benchmark: each fuzz target runs a fixed number of executions
# (default one million) from its seeds in fuzz/corpus, with AddressSanitizer
# and UndefinedBehaviorSanitizer (fuzz/run.sh builds build/fuzz with clang).
# Prints the executions, the time, the rate and the peak memory per target,
# and fails when any target finds an input that crashes or fails a check.
#
#   bench/fuzz.sh [RUNS] [TARGET...]   RUNS default 1000000; TARGET default
#                                      the packing tool's PE, resource and
#                                      icon readers
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$here"
runs="${1:-1000000}"
[ $# -gt 0 ] && shift
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(fuzz_peimage fuzz_resources fuzz_icon)
echo "load at the start: $(uptime)"
status=0
fuzz/run.sh --runs "$runs" "${targets[@]}" || status=1
echo "load at the end: $(uptime)"
echo "target: $runs executions per target, no crash, no failed check"
exit $status
