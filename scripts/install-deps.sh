#!/usr/bin/env bash
# Installs Debian 12 packages that are missing: those named as arguments, or
# by default what the build, the package, the tests and the window need. Runs
# as any user: only when something is missing does it ask for root (sudo).
# The test command's builds call it beside its stages: one call at a time
# (a lock on this script's own file), and apt waits for another apt.
set -euo pipefail
exec 9<"$0"
flock 9

packages=("$@")
if [ ${#packages[@]} -eq 0 ]; then
  packages=(
    cmake ninja-build g++ pkg-config
    libgtest-dev
    clang libclang-rt-14-dev
    qt6-base-dev fonts-liberation
    xvfb xauth
    python3-can can-utils
    dpkg-dev file lintian systemd
    xdotool evilwm xfonts-base
    shellcheck clang-format python3
  )
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  as_root=()
  [ "$(id -u)" -eq 0 ] || as_root=(sudo)
  "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
  "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq -o DPkg::Lock::Timeout=600 \
    --no-install-recommends "${missing[@]}" >/dev/null
fi
