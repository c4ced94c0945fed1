#!/usr/bin/env bash
# Soak run of two real copies playing one game with scripted real input;
# fails on a crash, a hang (no "FPS:" line for 10 s) or unbounded memory
# growth.  Not part of the CI test command (it takes minutes).
#
#   scripts/soak.sh [minutes]      (default 10)
#
# Needs root (network namespaces), Xvfb and xdotool; builds if needed.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
MINUTES="${1:-10}"
if [[ ! -x "$ROOT/build/kelvarin" ]]; then
  bash "$ROOT/scripts/setup.sh"
fi
exec python3 "$ROOT/scripts/soak.py" --minutes "$MINUTES"
