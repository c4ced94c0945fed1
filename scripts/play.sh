#!/usr/bin/env bash
# Builds the game if needed and runs it from build/data inside a private
# network namespace (its multicast never leaves the machine).
#
#   scripts/play.sh [name] [LOG_POSITION] [REPLAY_P_LOG] [SOUND] [GOD] [WINDOW]
#
# With a usable $DISPLAY the game opens there (needs root for the
# namespace: sudo -E scripts/play.sh ...).  Without a display the demo
# plays (scripts/demo.py): two copies, one per side, brought into a short
# battle with real input; numbered PNG screenshots of both copies and an
# animated GIF go to out/demo/ (paths printed).
# Options for the driver: --headless (the demo even with a display), --out DIR.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
bash "$ROOT/scripts/setup.sh"
exec python3 "$ROOT/scripts/play.py" "$@"
