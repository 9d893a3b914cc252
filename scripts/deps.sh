#!/usr/bin/env bash
# Installs the Debian 12 packages the suite needs to build and test.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  clang lld libclang-rt-14-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  libfreetype-dev fonts-dejavu-core libfontconfig-dev
  netpbm imagemagick ffmpeg
  qt6-base-dev xvfb xauth xdotool
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
echo "Installing: ${missing[*]}"
$sudo apt-get update -q
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
