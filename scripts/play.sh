#!/usr/bin/env bash
# Builds the game if needed and runs it from build/data inside a private
# network namespace (its multicast never leaves the machine).
#
#   scripts/play.sh [name] [LOG_POSITION] [REPLAY_P_LOG] [SOUND] [GOD] [WINDOW]
#
# With a usable $DISPLAY the game opens there (needs root for the
# namespace: sudo -E scripts/play.sh ...).  Without a display it runs under
# a private Xvfb, is driven with real input for a few seconds, and its
# screenshots are saved as PNG files under out/demo/ (paths printed).
# Options for the driver: --headless, --seconds N, --out DIR.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
bash "$ROOT/scripts/setup.sh"
exec python3 "$ROOT/scripts/play.py" "$@"
