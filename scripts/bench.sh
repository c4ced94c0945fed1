#!/usr/bin/env bash
# Benchmarks (figures, never pass/fail): builds the plain build, runs the
# world micro-benchmarks (Google Benchmark) and then, under a private Xvfb
# with every program inside a private network namespace (needs root), the
# clear-and-swap ceiling, the game's play frame rate and its start-up time
# at 600x400 and 1280x1024.  See bench/bench.py and bench/RESULTS.md.
#
#   scripts/bench.sh [--runs N] [--seconds S] [--only clear,play,startup]
#
# Environment: JOBS (default 2) compile jobs; BENCH_MICRO=0 skips the
# micro-benchmarks.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
bash "$ROOT/scripts/setup.sh"
cmake --build "$ROOT/build" --target glx_clear first_swap -- -j"${JOBS:-2}"

if [[ "${BENCH_MICRO:-1}" != 0 ]]; then
  if [[ -x "$ROOT/build/bench/bench_world" ]]; then
    echo "=== world micro-benchmarks ==="
    "$ROOT/build/bench/bench_world" --benchmark_min_time=0.2
  else
    echo "bench.sh: bench_world not built (Google Benchmark missing)" >&2
  fi
fi

echo "=== display, play and start-up ==="
exec python3 "$ROOT/bench/bench.py" "$@"
