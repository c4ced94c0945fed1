#!/usr/bin/env bash
# Builds the plain and the sanitizer build and runs the test suite in both
# (the long real-window runs in the plain build only), then runs the fuzz
# targets for a bounded time (scripts/fuzz.sh).
# The summary line of each is printed again at the end; the exit status is
# non-zero when anything failed.
#
# Environment: JOBS (default 2) parallel compile jobs; CTEST_ARGS extra
# arguments for ctest (e.g. "-L e2e" or "-R core"); FUZZ_SECONDS (default
# 30) fuzzing time per target, 0 to skip fuzzing.
set -uo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$ROOT"

phase_start=$SECONDS
if ! bash scripts/setup.sh --asan; then
  echo "test.sh: setup or build failed" >&2
  echo "0% tests passed, 1 tests failed out of 1"
  exit 1
fi

summaries=("builds: $((SECONDS - phase_start)) s")
status=0
# The sanitizer build runs what it finds faults in: every unit test, the
# asset and layout checks, the harness, and the copies under hostile and
# network traffic (e2e_core, e2e_lobby, e2e_hostile); the plain build runs
# the long real-window runs (label plain_only). Tests not marked RUN_SERIAL
# run two at a time.
for dir in build-asan build; do
  echo "=== ctest in $dir ==="
  phase_start=$SECONDS
  log="$(mktemp)"
  only=()
  if [[ $dir == build-asan ]]; then only=(-LE plain_only); else only=(-L plain_only); fi
  ctest --test-dir "$dir" --output-on-failure --timeout 900 -j"${JOBS:-2}" "${only[@]}" ${CTEST_ARGS:-} 2>&1 | tee "$log"
  rc=${PIPESTATUS[0]}
  line="$(grep -E '^[0-9]+% tests passed' "$log" | tail -n 1 || true)"
  if grep -q "No tests were found" "$log"; then
    line="No tests were found"
    rc=1
  fi
  summaries+=("$dir: ${line:-no summary (ctest status $rc)} ($((SECONDS - phase_start)) s)")
  rm -f "$log"
  ((rc != 0)) && status=1
done

# Fuzzing: every target for FUZZ_SECONDS (default 30) each, in its own
# clang build (build-fuzz); FUZZ_SECONDS=0 leaves it out.
if [[ "${FUZZ_SECONDS:-30}" != 0 ]]; then
  log="$(mktemp)"
  phase_start=$SECONDS
  bash scripts/fuzz.sh "${FUZZ_SECONDS:-30}" 2>&1 | tee "$log"
  rc=${PIPESTATUS[0]}
  line="$(grep -E '^[0-9]+% tests passed' "$log" | tail -n 1 || true)"
  summaries+=("fuzz: ${line:-no summary (fuzz.sh status $rc)} ($((SECONDS - phase_start)) s, its build included)")
  rm -f "$log"
  ((rc != 0)) && status=1
fi

echo "=== summary ==="
for s in "${summaries[@]}"; do
  echo "$s"
done
# Last line: CTest's summary form over both builds together, so that a
# failure in either one shows in the closing line.
passed=0; failed=0; total=0
for s in "${summaries[@]:1}"; do
  if [[ $s =~ ([0-9]+)\ tests\ failed\ out\ of\ ([0-9]+) ]]; then
    failed=$((failed + BASH_REMATCH[1]))
    total=$((total + BASH_REMATCH[2]))
  else
    failed=$((failed + 1)); total=$((total + 1))
  fi
done
passed=$((total - failed))
if ((total > 0)); then
  pct=$((100 * passed / total))
else
  pct=0
fi
echo "whole run: $SECONDS s"
echo "${pct}% tests passed, ${failed} tests failed out of ${total}"
exit "$status"
