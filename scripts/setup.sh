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
  # GCC's sanitizer runtimes (g++ pulls them in; named for the sanitize and tsan presets that need them).
  libasan8 libubsan1 libtsan2
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  g++-mingw-w64-i686 binutils-mingw-w64-i686 mingw-w64-i686-dev
  libsndfile1-dev libcli11-dev ffmpeg
  wine wine32:i386 xvfb x11-apps x11-utils xdotool imagemagick
  nsis zip unzip python3 sox
  clang libclang-rt-14-dev clang-format
  libsdl2-dev libpulse-dev pulseaudio pulseaudio-utils
  libavformat-dev libavcodec-dev libavutil-dev libswresample-dev libswscale-dev
  dpkg-dev file lintian bash-completion zsh fish
  # scripts/release_packages.sh (the main job): clean systems of each Debian release to build and try the packages in.
  debootstrap
  # The web page: clang's wasm32-wasi target with its C and C++ libraries, emscripten for its SSE2-on-SIMD headers,
  # and Chromium for the page's tests.
  lld wasi-libc libc++-14-dev-wasm32 libc++abi-14-dev-wasm32 libclang-rt-14-dev-wasm32 emscripten chromium
  # The OBS Studio source: Debian's libobs, Mesa's software OpenGL for its tests under Xvfb, and OBS itself for a
  # look at the source in a real window.
  libobs-dev libx11-dev libgl1-mesa-dri libegl1 obs-studio
)

cli_only=0
if [ "${1:-}" = "--cli-only" ]; then
  cli_only=1
  PACKAGES=("${CLI_PACKAGES[@]}")
elif [ $# -gt 0 ]; then
  echo "usage: $0 [--cli-only]" >&2
  exit 2
fi

# The page's tests drive Chromium with playwright-core, pinned in tests/web/package-lock.json (Node.js 20 or later).
install_web_test_modules() {
  ((cli_only)) && return 0
  local dir
  dir="$(dirname "$0")/../tests/web"
  if [ ! -d "$dir/node_modules/playwright-core" ] || [ "$dir/package-lock.json" -nt "$dir/node_modules" ]; then
    (cd "$dir" && npm ci --no-audit --no-fund --loglevel=error)
  fi
}

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
# Node.js and npm come with the machine; a machine without them takes Debian's.
if ((!cli_only)) && ! command -v npm >/dev/null; then
  missing+=(nodejs npm)
fi
if ((${#missing[@]} == 0)) && { ((cli_only)) || dpkg --print-foreign-architectures | grep -qx i386; }; then
  install_web_test_modules
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
install_web_test_modules
