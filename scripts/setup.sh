#!/usr/bin/env bash
# Installs, as root on Debian 12, everything the two builds, the tests and the demo need.
# With --cli-only: only what the command line alone needs (cmake --preset cli): no Wine, i386, mingw or NSIS.
set -euo pipefail

CLI_PACKAGES=(
  cmake ninja-build g++ pkg-config python3
  libsndfile1-dev libcli11-dev libgtest-dev ffmpeg
  libavformat-dev libavcodec-dev libavutil-dev
  libsdl2-dev libpulse-dev pulseaudio pulseaudio-utils
  dpkg-dev file lintian bash-completion zsh fish
)

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
  dpkg-dev file lintian bash-completion zsh fish
)

cli_only=0
if [ "${1:-}" = "--cli-only" ]; then
  cli_only=1
  PACKAGES=("${CLI_PACKAGES[@]}")
elif [ $# -gt 0 ]; then
  echo "usage: $0 [--cli-only]" >&2
  exit 2
fi

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if ((${#missing[@]} == 0)) && { ((cli_only)) || dpkg --print-foreign-architectures | grep -qx i386; }; then
  exit 0
fi

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
if ((!cli_only)) && ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
fi
$SUDO apt-get -o DPkg::Lock::Timeout=900 update -q
$SUDO apt-get -o DPkg::Lock::Timeout=900 install -y -q --no-install-recommends "${missing[@]}"
