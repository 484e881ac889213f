#!/usr/bin/env bash
# Installs, as root on Debian 12, everything the two builds, the tests and the demo need.
set -euo pipefail

PACKAGES=(
  cmake ninja-build g++ pkg-config
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  g++-mingw-w64-i686 binutils-mingw-w64-i686 mingw-w64-i686-dev
  libsndfile1-dev libcli11-dev ffmpeg
  wine wine32:i386 xvfb x11-apps xdotool imagemagick
  nsis zip unzip python3 sox
  clang libclang-rt-14-dev
  libsdl2-dev libpulse-dev pulseaudio pulseaudio-utils
  libavformat-dev libavcodec-dev libavutil-dev libswresample-dev libswscale-dev
)

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if ((${#missing[@]} == 0)) && dpkg --print-foreign-architectures | grep -qx i386; then
  exit 0
fi

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
fi
$SUDO apt-get -o DPkg::Lock::Timeout=900 update -q
$SUDO apt-get -o DPkg::Lock::Timeout=900 install -y -q --no-install-recommends "${missing[@]}"
