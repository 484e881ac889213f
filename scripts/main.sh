#!/usr/bin/env bash
# The main job: installs what is missing, builds the plug-in and the native host.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
for preset in native plugin; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
done
echo "plug-in: build/plugin/vis_tavelmir.dll"
