#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the window need; skips
# what is already there so a second run costs nothing.
#   --windows  also the mingw-w64 cross compiler and Wine, for scripts/test-windows.sh,
#              with Wine's fonts, xdotool (clicks on the window), ImageMagick
#              (its pictures) and wixl (the installer, scripts/package-windows.sh)
#   --package  also debootstrap, for the package test in a clean Debian root
set -euo pipefail
packages=(
  build-essential cmake ninja-build pkg-config git
  libgtest-dev libgmock-dev libbenchmark-dev libcli11-dev
  qt6-base-dev xvfb xauth
  clang libclang-rt-14-dev clang-format
)
for arg in "$@"; do
  case "$arg" in
    --windows) packages+=(g++-mingw-w64-x86-64 googletest wine wine64 fonts-wine xdotool imagemagick wixl) ;;
    --package) packages+=(debootstrap) ;;
    *) echo "unknown option: $arg" >&2; exit 2 ;;
  esac
done
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO apt-get update -q
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
