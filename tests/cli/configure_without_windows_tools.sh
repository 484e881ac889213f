#!/usr/bin/env bash
# Configures the CLI-only build with the Windows tools (mingw, Wine, NSIS) out of reach: only the programs that
# build needs are on PATH. Usage: configure_without_windows_tools.sh SOURCE_DIR WORK_DIR
set -euo pipefail
source_dir=$1 work=$2
rm -rf "$work"
mkdir -p "$work/bin"
for tool in cmake ninja cc c++ gcc g++ as ld ar ranlib nm strip objcopy objdump addr2line readelf pkg-config python3 ffmpeg gzip; do
  path=$(PATH=/usr/bin:/bin command -v "$tool") || { echo "missing $tool" >&2; exit 1; }
  printf '#!/bin/sh\nexec %s "$@"\n' "$path" >"$work/bin/$tool"
  chmod +x "$work/bin/$tool"
done
# A developer's compiler launcher (ccache) is not among the tools this build needs, and would not be on PATH here.
unset CMAKE_C_COMPILER_LAUNCHER CMAKE_CXX_COMPILER_LAUNCHER
PATH=$work/bin cmake -S "$source_dir" -B "$work/build" -G Ninja -DTAVELMIR_CLI_ONLY=ON -DCMAKE_BUILD_TYPE=Release \
  >"$work/configure.log" 2>&1 || { cat "$work/configure.log" >&2; exit 1; }
if grep -Eiq 'mingw|wine|makensis' "$work/build/CMakeCache.txt"; then
  echo "the CLI-only configuration looked for Windows tools:" >&2
  grep -Ei 'mingw|wine|makensis' "$work/build/CMakeCache.txt" >&2
  exit 1
fi
grep -q '^build tavelmir:' "$work/build/build.ninja" || { echo "no tavelmir target" >&2; exit 1; }
echo "configured without Windows tools"
