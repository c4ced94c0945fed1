#!/usr/bin/env bash
# Makes the README's pictures again from a run of the demo (scripts/demo.py):
# the menu, the attacker's orders, the fight seen from the wall, and the
# animation of the fight, into docs/. Needs root (private namespaces) and a
# built game (scripts/setup.sh).
#
#   scripts/readme_images.sh
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
out="$(mktemp -d)"
trap 'rm -rf "$out"' EXIT

python3 "$ROOT/scripts/demo.py" --out "$out"

# The demo's pictures are numbered in the order they were taken; pick them
# by what they show.
pick() {
  local f
  f="$(ls "$out"/[0-9][0-9]-"$1".* 2>/dev/null | head -n 1)"
  [[ -n "$f" ]] || { echo "readme_images.sh: the demo made no $1 picture" >&2; exit 1; }
  echo "$f"
}
for shot in attacker-menu attacker-orders defender-wall; do
  convert "$(pick "$shot")" -resize 640x "$ROOT/docs/demo-$shot.png"
done
cp "$(pick battle)" "$ROOT/docs/demo-battle.gif"
ls -l "$ROOT"/docs/demo-*
