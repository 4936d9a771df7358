#!/usr/bin/env bash
# Runs each libFuzzer target of build/fuzz for SECONDS (default 15) from the
# committed corpus (fuzz/corpus/NAME) plus what earlier runs found
# (build/fuzz/corpus-NAME), prints one line per target with its executions
# and coverage, and ends with "N passed, N failed". Inputs that break the
# plug-in are kept in build/fuzz/artifacts/.
set -uo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-15}
passed=0 failed=0
mkdir -p build/fuzz/artifacts
for target in fuzz_chunk fuzz_midi; do
  name=${target#fuzz_}
  binary=build/fuzz/$target
  if [ ! -x "$binary" ]; then
    echo "$target: not built (make build-fuzz)"; failed=$((failed + 1)); continue
  fi
  mkdir -p "build/fuzz/corpus-$name"
  log=$(mktemp)
  # Standard error closed for the plug-in (its message lines), kept for
  # libFuzzer and the sanitizers; no display: the editor is not fuzzed.
  env -u DISPLAY "$binary" -max_total_time="$seconds" -close_fd_mask=2 -print_final_stats=1 \
    -artifact_prefix=build/fuzz/artifacts/ "build/fuzz/corpus-$name" "fuzz/corpus/$name" >"$log" 2>&1
  status=$?
  runs=$(sed -nE 's/^stat::number_of_executed_units: *([0-9]+).*/\1/p' "$log" | tail -n1)
  cov=$(grep -oE 'cov: [0-9]+ ft: [0-9]+ corp: [0-9]+' "$log" | tail -n1)
  if [ $status -eq 0 ]; then
    echo "$target: pass, ${runs:-?} executions in ${seconds} s, ${cov:-no coverage line}"
    passed=$((passed + 1))
  else
    echo "$target: FAIL (exit $status), ${runs:-?} executions, ${cov:-no coverage line}"
    grep -E 'ERROR|fuzz:|runtime error|SUMMARY|Test unit written' "$log" | head -20
    failed=$((failed + 1))
  fi
  rm -f "$log"
done
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
