#!/usr/bin/env bash
# The WebAssembly frame in Node against the native frame, one after the other in one run, on the same waveform
# blocks (the regression test's music) and the default data set: CPU time per frame of each, and their ratio,
# which must stay at most 2.5. The native time is `tavelmir render --waveform --dump` for N frames less the same for
# one frame (start-up and table build), so it includes the host's copying and writing of each picture (a file in a
# scratch folder: never a device, which a render with -y would replace).
# Then the frame with the HD picture drawn at 1920 x 1080 (RGBA, as the page draws it) in Node, beside the native
# benchmark's 4-byte HD frame when build/native has tavelmir_bench; figures only, no limit.
# Usage: bench/web_vs_native.sh [FRAMES]     (default 1500; needs build/native and build/web)
set -euo pipefail
cd "$(dirname "$0")/.."
frames=${1:-1500}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

python3 -c "
import sys
sys.path.insert(0, 'tests/regression')
import frame_digest
open(sys.argv[1], 'wb').write(frame_digest.waveform('music'))" "$work/music.wave"

# CPU seconds (user + system) of a command's children.
cpu_of() {
  python3 -c "
import resource, subprocess, sys
subprocess.run(sys.argv[1:], check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
r = resource.getrusage(resource.RUSAGE_CHILDREN)
print(r.ru_utime + r.ru_stime)" "$@"
}
native_render() {
  cpu_of build/native/tavelmir render --waveform "$work/music.wave" --dump "$work/frames.raw" -y \
    --plugin-dir build/native/data/plugin --frames "$1"
}

# The waveform file holds 240 blocks; render reads them once, so the native run repeats the file.
for _ in $(seq $(((frames + 239) / 240))); do cat "$work/music.wave"; done > "$work/long.wave"
mv "$work/long.wave" "$work/music.wave"

one=$(native_render 1)
many=$(native_render "$frames")
native_us=$(python3 -c "print(f'{($many - $one) / ($frames - 1) * 1e6:.1f}')")
wasm_us=$(node bench/web_frame_time.mjs build/web "$work/music.wave" "$frames")
portable_us=$(node bench/web_frame_time.mjs build/web "$work/music.wave" "$frames" tavelmir-portable.wasm)
ratio=$(python3 -c "print(f'{$wasm_us / $native_us:.2f}')")
echo "native frame:      $native_us us (tavelmir render, $frames frames)"
echo "WebAssembly frame: $wasm_us us with SIMD, $portable_us us portable (Node $(node --version), $frames frames)"
echo "ratio:             $ratio with SIMD (at most 2.5), $(python3 -c "print(f'{$portable_us / $native_us:.2f}')") portable"

hd_frames=$((frames / 5))
for module in tavelmir.wasm tavelmir-portable.wasm; do
  read -r whole draw map < <(node bench/web_frame_time.mjs build/web "$work/music.wave" "$hd_frames" "$module" 1920x1080)
  echo "HD 1920x1080, $module: $whole us a frame, of which $draw us the picture; the map $map ms once"
done
if [ -x build/native/tavelmir_bench ]; then
  build/native/tavelmir_bench --benchmark_filter='HdFrameAgainstClassic/1920/1080/4/' 2>/dev/null |
    sed -n 's/.* draw_ms=\([0-9.]*\) .*sharp \(.*\)/HD 1920x1080, native (\2): the picture \1 ms/p'
fi
python3 -c "import sys; sys.exit(0 if $ratio <= 2.5 else 1)"
