#!/usr/bin/env bash
# Installs what building, playing and testing Kelvarin need (Debian packages),
# then configures and builds.  Safe to run again: missing packages only, and
# an existing build tree is just brought up to date.
#
#   scripts/setup.sh            packages + plain build (build/)
#   scripts/setup.sh --asan     packages + plain and sanitizer builds (build-asan/)
#   scripts/setup.sh --deps     packages only
#
# Environment: JOBS (default 2) limits the parallel compile jobs.
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
JOBS="${JOBS:-2}"

want_plain=1
want_asan=0
for arg in "$@"; do
  case "$arg" in
    --asan) want_asan=1 ;;
    --deps) want_plain=0; want_asan=0 ;;
    --asan-only) want_plain=0; want_asan=1 ;;
    *) echo "setup.sh: unknown option $arg" >&2; exit 2 ;;
  esac
done

PACKAGES=(
  build-essential cmake ninja-build pkg-config
  libx11-dev libgl-dev libglu1-mesa-dev libgl1-mesa-dri libxxf86vm-dev
  libopenal-dev libalut-dev libcairo2-dev libfreetype-dev fonts-dejavu-core
  libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xfonts-base xdotool x11-utils imagemagick iproute2 python3 clang
  man-db desktop-file-utils
)

installed() {
  dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"
}

missing=()
for p in "${PACKAGES[@]}"; do
  installed "$p" || missing+=("$p")
done

if ((${#missing[@]})); then
  echo "setup.sh: installing ${missing[*]}"
  SUDO=()
  if [[ $(id -u) -ne 0 ]]; then
    if command -v sudo >/dev/null; then
      SUDO=(sudo)
    else
      echo "setup.sh: need root (or sudo) to install: ${missing[*]}" >&2
      exit 1
    fi
  fi
  export DEBIAN_FRONTEND=noninteractive
  "${SUDO[@]}" apt-get update -q
  "${SUDO[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

configure_and_build() {
  local dir="$1"; shift
  if [[ ! -f "$ROOT/$dir/build.ninja" ]]; then
    cmake -S "$ROOT" -B "$ROOT/$dir" -G Ninja "$@"
  fi
  cmake --build "$ROOT/$dir" -- -j"$JOBS"
}

if ((want_plain)); then
  configure_and_build build -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
if ((want_asan)); then
  configure_and_build build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKELVARIN_SANITIZE=ON
fi
