#!/usr/bin/env bash
# Installs the Debian packages that building and testing the tool need.
# Runs apt-get only when something is missing, so a prepared machine is left alone.
set -euo pipefail
packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-serialbus-dev
  libsqlite3-dev zlib1g-dev libfreexl-dev libzip-dev libxlsxwriter-dev
  clang libclang-rt-14-dev
  libgtest-dev libgmock-dev xvfb xauth imagemagick xdotool openbox x11-utils libxcb1-dev
  srecord poppler-utils python3-openpyxl
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update
  $SUDO apt-get install -y "${missing[@]}"
fi
