#!/usr/bin/env bash
# Installs what the build, the tests and the renderer need, from Debian's
# packages only. Safe to run again: it does nothing when all is present.
set -euo pipefail

packages=(
  g++ cmake ninja-build pkg-config
  libgtest-dev libbenchmark-dev
  libsndfile1-dev libebur128-dev
  clang libclang-rt-14-dev
  libcairo2-dev fonts-liberation
  libx11-dev libx11-xcb-dev libxcb-shm0-dev libxext-dev libxtst-dev libxres-dev xvfb xdotool x11-utils
)
if [ "${VEXAL_DEPS_EXTRA:-}" != "" ]; then
  # shellcheck disable=SC2206
  packages+=(${VEXAL_DEPS_EXTRA})
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -eq 0 ]; then
  as_root=()
elif command -v sudo >/dev/null 2>&1; then
  as_root=(sudo)
else
  echo "install-deps: need root (or sudo) to install: ${missing[*]}" >&2
  exit 1
fi
echo "install-deps: installing ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
"${as_root[@]}" apt-get update -qq
"${as_root[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
