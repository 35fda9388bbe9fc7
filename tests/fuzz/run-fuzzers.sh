#!/usr/bin/env bash
# Runs each libFuzzer target for a bounded time and reports its figures.
# New inputs go to BUILD/corpus/<target>, the work corpus; the seeds in
# tests/fuzz/corpus/<target> are read, never written. A failing input is
# saved in BUILD/artifacts/<target>/. Exits non-zero when any target failed.
#   run-fuzzers.sh BUILD SECONDS TARGET...
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../../tools/lib.sh"
build=${1:?usage: run-fuzzers.sh BUILD SECONDS TARGET...}
seconds=${2:?usage: run-fuzzers.sh BUILD SECONDS TARGET...}
shift 2
seeds="$here/corpus"
# libFuzzer stops itself after SECONDS; this bound is for a run that does not.
bound=$((seconds + 300))
some_failed=0
start_work
mark="$work/started"   # failing inputs saved by an earlier run are not this run's
touch "$mark"

for target in "$@"; do
  program="$build/tests/fuzz/fuzz_$target"
  corpus="$build/corpus/$target"
  artifacts="$build/artifacts/$target"
  log="$build/fuzz_$target.log"
  mkdir -p "$corpus" "$artifacts"
  echo "fuzz_$target: ${seconds} s (log: $log)"
  status=0
  bounded "$bound" "$program" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
    -artifact_prefix="$artifacts/" "$corpus" "$seeds/$target" >"$log" 2>&1 || status=$?
  # Keep the work corpus small: only inputs that add coverage stay.
  merged="$corpus.merged"
  rm -rf "$merged" && mkdir -p "$merged"
  if bounded "$bound" "$program" -merge=1 "$merged" "$corpus" >>"$log" 2>&1; then
    rm -rf "$corpus" && mv "$merged" "$corpus"
  fi
  runs=$(sed -n '/^stat::number_of_executed_units: */{s///p;q}' "$log")
  took=$(sed -n '/^Done [0-9]* runs in \([0-9]*\) second.*/{s//\1/p;q}' "$log")
  crashes=$(find "$artifacts" -type f -newer "$mark" | wc -l)
  echo "fuzz_$target: ${runs:-?} executions in ${took:-?} s, $crashes failing inputs," \
       "$(find "$corpus" -type f | wc -l) inputs in the work corpus"
  if [ "$status" -ne 0 ] || [ "$crashes" -ne 0 ]; then
    grep -m1 -E "property broken|ERROR: (AddressSanitizer|libFuzzer|LeakSanitizer)|runtime error" "$log" || true
    some_failed=1
  fi
done
exit "$some_failed"
