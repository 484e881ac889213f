#!/usr/bin/env bash
# Before/after figures: builds an earlier commit from git in a temporary worktree beside the current tree and
# times both `tavelmir` binaries on the same input, one after the other, on the same machine.
#   bench/compare_commits.sh [COMMIT] [FRAMES]     (default: the commit before HEAD, 3000 frames)
# Prints, for each build: `render --dump` of FRAMES waveform blocks, and a single frame 5:40 into a song
# (`-ss 5:40 --frames 1`, the whole lead-in decoded and drawn).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
commit=${1:-HEAD~1}
frames=${2:-3000}
work=$(mktemp -d "${TMPDIR:-/tmp}/tavelmir-compare-XXXXXX")
cleanup() {
  git -C "$root" worktree remove --force "$work/before" >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT

build() { # source dir, build dir
  cmake -S "$1" -B "$2" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" \
    -DTAVELMIR_CLI_ONLY=ON -DBUILD_TESTING=OFF >/dev/null
  nice -n 10 cmake --build "$2" -j2 --target tavelmir tavelmir_data >/dev/null
}

git -C "$root" worktree add --detach "$work/before" "$commit" >/dev/null 2>&1
echo "building $commit ($(git -C "$root" rev-parse --short "$commit")) and the current tree ..." >&2
build "$work/before" "$work/build-before"
build "$root" "$work/build-after"

# The same input for both: FRAMES blocks of a waveform, and a 6-minute song.
python3 - "$work/blocks.raw" "$frames" <<'PY'
import math, sys
path, frames = sys.argv[1], int(sys.argv[2])
with open(path, "wb") as f:
    for n in range(frames):
        for c in range(2):
            f.write(bytes((int(100 * math.sin((n * 882 + i) * (0.031 + 0.02 * c))) & 255) for i in range(576)))
PY
ffmpeg -v error -f lavfi -i "sine=frequency=220:duration=360" -f lavfi -i "sine=frequency=330:duration=360" \
  -filter_complex amerge=inputs=2 -ac 2 -ar 44100 -y "$work/song.flac"

seconds() { # command... -> wall seconds
  local start end
  start=$(date +%s.%N)
  "$@" >/dev/null 2>&1
  end=$(date +%s.%N)
  echo "$end - $start" | bc
}
for side in before after; do
  bin="$work/build-$side/tavelmir"
  plugin="$work/build-$side/data/plugin"
  dump=$(seconds "$bin" render --waveform "$work/blocks.raw" --dump "$work/out-$side.dump" --plugin-dir "$plugin" -y)
  thumb=$(seconds "$bin" render "$work/song.flac" -ss 5:40 --frames 1 --dump "$work/thumb-$side.dump" -y \
    --plugin-dir "$plugin")
  printf "%-7s render --dump %d frames: %6.2f s (%5.0f us a frame); -ss 5:40 --frames 1: %6.2f s\n" \
    "$side" "$frames" "$dump" "$(echo "$dump * 1000000 / $frames" | bc -l)" "$thumb"
done
