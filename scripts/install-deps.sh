#!/usr/bin/env bash
# Installs every Debian package that building, testing and benchmarking
# Plotvane2 needs. Safe to run again; uses sudo when not run as root.
set -euo pipefail

packages=(
  build-essential cmake make ninja-build pkg-config git
  libgtest-dev libgmock-dev
  libcli11-dev nlohmann-json3-dev
  libgdal-dev gdal-bin
  imagemagick time
  qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins fonts-ipafont-gothic
  xvfb xdotool x11-utils python3-pyatspi dbus-x11 at-spi2-core
  clang libclang-rt-14-dev
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: all packages present"
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -q
$SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
