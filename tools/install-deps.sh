#!/usr/bin/env bash
# Installs what building and testing Kestrune needs on Debian 12. Nothing
# happens when every package is there; otherwise the package lists are
# refreshed first and only the missing packages are installed.
set -euo pipefail

packages=(
  cmake ninja-build g++ clang libclang-rt-14-dev clang-format
  libgtest-dev libgmock-dev libbenchmark-dev
  qt6-base-dev libqt6sql6-sqlite libqt6sql6-psql postgresql
  fonts-ipafont-gothic fonts-motoya-l-maruberi xvfb xauth
  libxlsxwriter-dev libzip-dev libasound2-dev libreoffice-calc-nogui
  portaudio19-dev libfftw3-dev libpng-dev libsamplerate0-dev libfreexl-dev
  espeak-ng sox imagemagick
  stress-ng ccache
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]} == 0)); then
  exit 0
fi

SUDO=""
if [[ $(id -u) -ne 0 ]]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update
$SUDO apt-get install -y --no-install-recommends "${missing[@]}"
