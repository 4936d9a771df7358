#!/usr/bin/env bash
# Runs every test run of `make check` and ends with one "N passed, N failed" line.
#   x86_64 natively, x86_64 under ASan+UBSan, the threaded tests under TSan,
#   i386 under qemu-i386 (ctest runs the binaries through the emulator), then
#   the fuzz targets for BW_FUZZ_SECONDS (default 15) each.
set -uo pipefail
cd "$(dirname "$0")/.."
if [ -z "${BW_IN_XVFB:-}" ]; then
  BW_IN_XVFB=1 exec tools/with-xvfb.sh "$0" "$@"
fi
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0}"
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1"
passed=0 failed=0
run() { # name, build dir, ctest args...
  local name=$1 dir=$2; shift 2
  echo "=== $name ==="
  local log; log=$(mktemp)
  ctest --test-dir "$dir" --output-on-failure --no-tests=error -j "$(nproc)" "$@" 2>&1 | tee "$log"
  local total fail
  total=$(sed -nE 's/.*tests failed out of ([0-9]+).*/\1/p' "$log" | tail -n1)
  fail=$(sed -nE 's/.* ([0-9]+) tests failed out of.*/\1/p' "$log" | tail -n1)
  if [ -z "$total" ]; then total=1; fail=1; echo "$name: ctest did not finish"; fi
  # LeakSanitizer's own tracer thread sometimes crashes at exit after a test
  # has passed: in about every other full ASan run, one test's process holds
  # a record of the unloaded plug-in's thread-local block with a bogus range
  # ("DTLS 6 at 0x292-0x1100001394" with log_threads=1), and scanning it
  # faults. Never seen when that test runs alone. Only when every failure is
  # that crash are the failed tests run once more.
  local crashes; crashes=$(grep -c "LeakSanitizer has encountered a fatal error" "$log")
  if [ "$fail" -gt 0 ] && [ "$crashes" -eq "$fail" ]; then
    echo "$name: $fail test(s) failed only because LeakSanitizer crashed; running them again"
    ctest --test-dir "$dir" --output-on-failure --rerun-failed 2>&1 | tee "$log"
    fail=$(sed -nE 's/.* ([0-9]+) tests failed out of.*/\1/p' "$log" | tail -n1)
    [ -n "$fail" ] || fail=$crashes
  fi
  # Under qemu only, a click into an options dialog just shown is now and
  # then not taken: in about one full i386 run in three, one of the editor's
  # or the LV2 UI's dialog tests loses one click; never in the native runs,
  # never with every button event logged (which slows their handling). The
  # cause is not found yet. When every failure of the run is such a test,
  # they run once more and the run says so; the first failure stays above.
  if [ -n "${DIALOG_CLICKS:-}" ] && [ "$fail" -gt 0 ]; then
    local names; names=$(awk '/The following tests FAILED:/ {f = 1; next} f && !/^[[:space:]]/ {f = 0}
      f && match($0, /[0-9]+ - [^ ]+/) {split(substr($0, RSTART, RLENGTH), a, " - "); print a[2]}' "$log")
    if [ -n "$names" ] && ! grep -qvE "$DIALOG_CLICKS" <<<"$names"; then
      echo "$name: $fail dialog test(s) lost a click (a known fault under qemu, cause not found); running them again"
      ctest --test-dir "$dir" --output-on-failure --rerun-failed 2>&1 | tee "$log"
      fail=$(sed -nE 's/.* ([0-9]+) tests failed out of.*/\1/p' "$log" | tail -n1)
      [ -n "$fail" ] || fail=1
    fi
  fi
  passed=$((passed + total - fail)); failed=$((failed + fail))
  rm -f "$log"
}
run "x86_64" build/x86_64
run "x86_64 ASan+UBSan" build/asan
run "x86_64 TSan (threaded tests)" build/tsan -L threads
DIALOG_CLICKS='^(EditorTest|Lv2Ui)\.' run "i386 under qemu-i386" build/i386
echo "=== fuzz (libFuzzer: chunk reader, MIDI input) ==="
fuzzlog=$(mktemp)
tools/run-fuzz.sh "${BW_FUZZ_SECONDS:-15}" 2>&1 | tee "$fuzzlog"
fp=$(sed -nE 's/^([0-9]+) passed, ([0-9]+) failed$/\1/p' "$fuzzlog" | tail -n1)
ff=$(sed -nE 's/^([0-9]+) passed, ([0-9]+) failed$/\2/p' "$fuzzlog" | tail -n1)
if [ -z "$fp" ]; then fp=0; ff=1; echo "fuzz: did not finish"; fi
passed=$((passed + fp)); failed=$((failed + ff))
rm -f "$fuzzlog"
echo
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
