#!/usr/bin/env bash
# How each way of sampling the landscape for the tunnel at an output's own size compares with the exact tunnel:
# one frame (2.38 s into a recorded waveform) rendered at 960x540 with each --look, against the same frame drawn
# with one texel per pixel at eight times the size and averaged over each 8 x 8 block (the picture an ideal
# antialiased drawing gives). Prints the RMSE (of 255) to that reference inside the 4:3 picture, and the mean step
# between neighbouring pixels (how sharp it stays: the reference's own is printed first). Also writes the 2 x 2
# crops of the four looks at 1080p (classic, hd-nearest / hd-soft, hd) as docs/hd-sampling.png is made.
# Usage: bench/hd_sampling_fidelity.sh [TAVELMIR] [WORK_DIR]     (default build/native/tavelmir, build/bench-hd)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
tavelmir=$(realpath "${1:-build/native/tavelmir}")
work=${2:-build/bench-hd}
mkdir -p "$work"
cd "$work"
python3 -c "
import sys; sys.path.insert(0, '$root/tests/regression')
import frame_digest
open('music.wave', 'wb').write(frame_digest.waveform('music'))"

one_frame() {  # LOOK SIZE FOLDER
  rm -rf "$3"
  "$tavelmir" render --waveform music.wave --start 2.38 --frames 1 --size "$2" --look "$1" -o "$3/" >/dev/null
}
one_frame hd-nearest 7680x4320 reference
ffmpeg -v error -y -i reference/frame_000000.png -vf scale=960:540:flags=area -f rawvideo -pix_fmt rgb24 reference.rgb
looks="classic hd-nearest hd-soft hd"
for look in $looks; do
  one_frame "$look" 960x540 "small-$look"
  ffmpeg -v error -y -i "small-$look/frame_000000.png" -f rawvideo -pix_fmt rgb24 "$look.rgb"
  one_frame "$look" 1920x1080 "large-$look"
done
python3 - $looks <<'PY'
import math, sys
W, H = 960, 540
ref = open("reference.rgb", "rb").read()
columns = range((W - 720) // 2, (W + 720) // 2)  # the 4:3 picture that the classic look fills
def rmse(b):
    s = sum((b[3 * (y * W + x) + c] - ref[3 * (y * W + x) + c]) ** 2 for y in range(H) for x in columns for c in range(3))
    return math.sqrt(s / (H * len(columns) * 3))
def step(b):
    s = sum(abs(b[i] - b[i + 3]) + abs(b[i] - b[i + 3 * W])
            for y in range(H - 1) for x in columns[:-1] for i in range(3 * (y * W + x), 3 * (y * W + x) + 3))
    return s / ((H - 1) * (len(columns) - 1) * 3)
print(f"{'reference':11s} step {step(ref):5.2f}")
for look in sys.argv[1:]:
    b = open(look + ".rgb", "rb").read()
    print(f"{look:11s} rmse {rmse(b):5.2f} step {step(b):5.2f}")
PY
crop="crop=400:225:640:330,scale=800:450:flags=neighbor"
ffmpeg -v error -y -i large-classic/frame_000000.png -i large-hd-nearest/frame_000000.png \
  -i large-hd-soft/frame_000000.png -i large-hd/frame_000000.png -filter_complex \
  "[0]$crop[a];[1]$crop[b];[2]$crop[c];[3]$crop[d];[a][b][c][d]xstack=inputs=4:layout=0_0|w0+4_0|0_h0+4|w0+4_h0+4:fill=white" \
  hd-sampling.png
echo "crops: $work/hd-sampling.png"
