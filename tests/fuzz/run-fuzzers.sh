#!/usr/bin/env bash
# Runs each libFuzzer target for a bounded time and reports its figures.
# New inputs go to BUILD/corpus/<target>, the work corpus; the seeds in
# tests/fuzz/corpus/<target> are read, never written. A failing input is
# saved in BUILD/artifacts/<target>/. Exits non-zero when any target failed.
#   run-fuzzers.sh BUILD SECONDS TARGET...
set -uo pipefail
build=${1:?usage: run-fuzzers.sh BUILD SECONDS TARGET...}
seconds=${2:?usage: run-fuzzers.sh BUILD SECONDS TARGET...}
shift 2
seeds="$(cd "$(dirname "$0")" && pwd)/corpus"
failed=0
started=$(mktemp)   # failing inputs saved by an earlier run are not this run's
trap 'rm -f "$started"' EXIT

for target in "$@"; do
  program="$build/tests/fuzz/fuzz_$target"
  work="$build/corpus/$target"
  artifacts="$build/artifacts/$target"
  log="$build/fuzz_$target.log"
  mkdir -p "$work" "$artifacts"
  echo "fuzz_$target: ${seconds} s (log: $log)"
  "$program" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
    -artifact_prefix="$artifacts/" "$work" "$seeds/$target" >"$log" 2>&1
  status=$?
  # Keep the work corpus small: only inputs that add coverage stay.
  merged="$work.merged"
  rm -rf "$merged" && mkdir -p "$merged"
  "$program" -merge=1 "$merged" "$work" >>"$log" 2>&1 && rm -rf "$work" && mv "$merged" "$work"
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | head -1)
  took=$(sed -n 's/^Done [0-9]* runs in \([0-9]*\) second.*/\1/p' "$log" | head -1)
  crashes=$(find "$artifacts" -type f -newer "$started" | wc -l)
  echo "fuzz_$target: ${runs:-?} executions in ${took:-?} s, $crashes failing inputs," \
       "$(find "$work" -type f | wc -l) inputs in the work corpus"
  if [ "$status" -ne 0 ] || [ "$crashes" -ne 0 ]; then
    grep -m1 -E "property broken|ERROR: (AddressSanitizer|libFuzzer|LeakSanitizer)|runtime error" "$log"
    failed=1
  fi
done
exit $failed
