#!/usr/bin/env bash
# Builds the fuzzing configuration (build-fuzz/, clang, KELVARIN_FUZZ=ON) and
# runs every libFuzzer target in tests/fuzz for a bounded time each, starting
# from its committed seeds (copied, so the repository's corpus is never
# modified).  Fails when a target crashes, leaks, hangs or fails to build.
#
#   scripts/fuzz.sh [seconds-per-target]      (default 30)
#
# Environment: JOBS (default 2) compile jobs; FUZZ_JOBS (default 2) targets
# fuzzed at once; FUZZ_TARGETS (space-separated
# names, default all); FUZZ_KEEP=1 keeps the grown corpora; FUZZ_TIMEOUT
# (default 5) seconds per input before it is reported as a hang.  A crashing
# input is saved as build-fuzz/fuzz-artifacts/<target>-crash-<sha1>; replay
# it with build-fuzz/tests/fuzz/<target> <file>.  The last line is a CTest-
# style summary.
set -uo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
SECONDS_EACH="${1:-30}"
# Seconds one input may take before it counts as a hang: every input here is
# handled in milliseconds, and a run of 30 s must be able to report one.
TIMEOUT="${FUZZ_TIMEOUT:-5}"
JOBS="${JOBS:-2}"
BUILD="$ROOT/build-fuzz"
ART="$BUILD/fuzz-artifacts"
cd "$ROOT"

fail_all() {
  echo "fuzz.sh: $1" >&2
  echo "0% tests passed, 1 tests failed out of 1"
  exit 1
}

command -v clang++ >/dev/null || fail_all "clang++ is not installed"
if [[ ! -f "$BUILD/build.ninja" ]]; then
  CC=clang CXX=clang++ cmake -S "$ROOT" -B "$BUILD" -G Ninja \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKELVARIN_FUZZ=ON >/dev/null || fail_all "configure failed"
fi
cmake --build "$BUILD" -- -j"$JOBS" >"$BUILD/fuzz-build.log" 2>&1 || {
  tail -n 30 "$BUILD/fuzz-build.log" >&2
  fail_all "build failed"
}

if [[ -n "${FUZZ_TARGETS:-}" ]]; then
  read -r -a targets <<<"$FUZZ_TARGETS"
else
  targets=()
  for src in "$ROOT"/tests/fuzz/fuzz_*.cpp; do
    targets+=("$(basename "$src" .cpp)")
  done
fi

# Inputs longer than the default 4 KiB limit, per target.
max_len() {
  case "$1" in
    fuzz_terrain_file) echo 65600 ;;  # 20-byte script + a 64 KiB map
    *) echo 4096 ;;
  esac
}

mkdir -p "$ART"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
python3 "$ROOT/tests/fuzz/make_seeds.py" --large "$work/generated" || fail_all "seed generation failed"

# One target: its result line in $work/$t.result, "ok" lines first word.
fuzz_one() {
  local t="$1" bin="$BUILD/tests/fuzz/$1" corpus="$work/corpus/$1" log="$work/$1.log" rc runs cov
  if [[ ! -x "$bin" ]]; then
    echo "$t: MISSING" >"$work/$t.result"
    return
  fi
  mkdir -p "$corpus"
  for d in "$ROOT/tests/fuzz/corpus/$t" "$work/generated/$t"; do
    [[ -d "$d" ]] && cp "$d"/* "$corpus"/ 2>/dev/null
  done
  echo "=== fuzz $t (${SECONDS_EACH}s) ==="
  # stdout of the game code (progress lines) is closed; reports go to stderr.
  ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1}" UBSAN_OPTIONS="print_stacktrace=1" \
    "$bin" "$corpus" -max_total_time="$SECONDS_EACH" -max_len="$(max_len "$t")" \
    -timeout="$TIMEOUT" -rss_limit_mb=2048 -close_fd_mask=1 -print_final_stats=1 \
    -artifact_prefix="$ART/$t-" >"$log" 2>&1
  rc=$?
  runs="$(grep -Eo 'stat::number_of_executed_units: *[0-9]+' "$log" | grep -Eo '[0-9]+$' || true)"
  cov="$(grep -Eo 'cov: [0-9]+' "$log" | tail -n 1 || true)"
  if ((rc == 0)); then
    echo "$t: ok, ${runs:-?} runs, ${cov:-cov ?}" >"$work/$t.result"
  else
    grep -E 'ERROR|SUMMARY|runtime error|Test unit written|==[0-9]+==' "$log" | head -n 20 >&2
    echo "$t: FAILED (status $rc), input in $ART/" >"$work/$t.result"
  fi
  if [[ -n "${FUZZ_KEEP:-}" ]]; then
    mkdir -p "$BUILD/fuzz-corpus/$t" && cp "$corpus"/* "$BUILD/fuzz-corpus/$t"/ 2>/dev/null
  fi
}

# FUZZ_JOBS targets at a time (default 2, one a core): each is one process.
running=0
for t in "${targets[@]}"; do
  if ((running >= ${FUZZ_JOBS:-2})); then
    wait -n
    running=$((running - 1))
  fi
  fuzz_one "$t" &
  running=$((running + 1))
done
wait

passed=0
failed=0
results=()
for t in "${targets[@]}"; do
  r="$(cat "$work/$t.result" 2>/dev/null || echo "$t: no result")"
  results+=("$r")
  if [[ $r == "$t: ok"* ]]; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
  fi
done

echo "=== fuzz summary ==="
for r in "${results[@]}"; do
  echo "$r"
done
total=$((passed + failed))
pct=0
((total > 0)) && pct=$((100 * passed / total))
echo "${pct}% tests passed, ${failed} tests failed out of ${total}"
((failed == 0))
