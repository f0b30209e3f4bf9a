#!/usr/bin/env bash
# Installs the Debian 12 packages the build, the tests and the demo need.
# Idempotent: packages already present are left alone.
set -euo pipefail

packages=(
  build-essential cmake pkg-config ccache
  qt6-base-dev qt6-serialport-dev libgl-dev libxkbcommon-dev
  libgtest-dev libgmock-dev libbenchmark-dev libfftw3-dev
  fonts-ipafont fonts-ipafont-gothic fonts-ipafont-mincho
  xvfb xauth x11-apps imagemagick xdotool
  libnetcdf-dev netcdf-bin python3-netcdf4
  ftp python3-pyftpdlib
  poppler-utils
  dpkg-dev fakeroot help2man librsvg2-bin lintian desktop-file-utils
  strace clang libclang-rt-14-dev
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "These packages are missing and need root to install: ${missing[*]}" >&2
    exit 1
  fi
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
