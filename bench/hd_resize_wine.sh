#!/usr/bin/env bash
# The plug-in's Render times after an hd window ("Picture=1") is resized to 1920 x 1080, under Wine: the longest one
# says whether the map for the new size held a frame up. Usage: bench/hd_resize_wine.sh [PLUGIN_BUILD_DIR [DLL]]
# (default build/plugin and its own DLL; another DLL, e.g. an older commit's, is run in a copy of the folder). Needs
# the plugin preset built and its Wine folders laid out: ctest --test-dir build/plugin -R 'wine\.(layout|prefix)'.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/plugin}
folders=$build/tests/wine/plugin-folders
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp -r "$folders/good/." "$work/"
if (($# > 1)); then cp "$2" "$work/vis_tavelmir.dll"; fi
tests/wine/run_in_wine.sh --prefix "$build/wine-prefix" --desktop 1920x1200 --timeout 120 --verdict "$work/log.txt" \
  -- "$build/tests/wine/tavelmir_wine_host.exe" hd-resize-timing --log "$work/log.txt" --plugin-dir "$work" \
  --layout-root "$folders" --waveform "$folders/waveform.bin" --dump "$folders/native-frames.bin" --frames 300 |
  grep -E 'longest|after the resize: [0-9]{2,}'
