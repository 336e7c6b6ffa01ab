#!/usr/bin/env bash
# Installs every Debian package the build, the tests and running the program need.
# Safe to run more than once; uses sudo only when not root.
# Usage: scripts/setup.sh [package...]   (given packages: only those, e.g. for scripts/windows.sh)
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev qt6-serialport-dev qt6-charts-dev libqt6opengl6-dev libxkbcommon-dev
  libqt6svg6
  libxlsxwriter-dev libfreexl-dev zlib1g-dev
  clang libclang-rt-14-dev
  fonts-noto-cjk fonts-dejavu-core fontconfig
  xvfb xauth imagemagick
  poppler-utils unzip
  libqt6sql6-sqlite libqt6sql6-psql postgresql python3-openpyxl
  qt6-translations-l10n qt6-tools-dev qt6-l10n-tools
  librsvg2-bin desktop-file-utils appstream
  dpkg-dev file lintian
)

[ $# -gt 0 ] && packages=("$@")

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
