#!/usr/bin/env bash
# The measurement behind render's default quality: three kinds of music (loud and dense, quiet, percussive; all
# made here from the demo piece and FFmpeg's generators) rendered at 1920x1080 with x264 settings, each against a
# lossless render of the same frames. Per setting and clip: CPU seconds of the whole process tree (tavelmir and its
# ffmpeg) per second of music, SSIM of the luma, and the file's size.
# Usage: [LOOK=hd] bench/quality_settings.sh [TAVELMIR] [WORK_DIR] [SETTINGS...]
#   a setting is PRESET:CRF[:TUNE], e.g. superfast:28 or veryfast:30:animation (default: a grid of them);
#   LOOK is render's --look (default classic)
set -euo pipefail
cd "$(dirname "$0")/.."
tavelmir=$(realpath "${1:-build/native/tavelmir}")
work=${2:-build/bench-quality}
shift 2 || true
settings=("$@")
if ((${#settings[@]} == 0)); then
  for preset in ultrafast superfast veryfast; do
    for crf in 24 27 30 33; do settings+=("$preset:$crf"); done
  done
fi
mkdir -p "$work"
cd "$work"
seconds=10
look=${LOOK:-classic}

[ -s demo.wav ] || python3 "$OLDPWD/data/demo_song.py" demo.wav
# Loud and dense: the full ending with pink noise under it, compressed and driven to the top.
[ -s loud.wav ] || ffmpeg -v error -y -ss 12 -t $seconds -i demo.wav -f lavfi -t $seconds -i "anoisesrc=c=pink:a=0.3" \
  -filter_complex "[0:a][1:a]amix=inputs=2:normalize=0,acompressor=threshold=0.05:ratio=8:makeup=4,alimiter" \
  -ac 2 -ar 44100 -c:a pcm_s16le loud.wav
# Quiet: the intro of pad and arpeggio, 24 dB down.
[ -s quiet.wav ] || ffmpeg -v error -y -t $seconds -i demo.wav -af "volume=-24dB" -c:a pcm_s16le quiet.wav
# Percussive: a kick every half second and a noise hat between, silence around them.
[ -s drums.wav ] || ffmpeg -v error -y -f lavfi -i "aevalsrc=exprs='0.9*sin(2*PI*(50+90*exp(-30*mod(t,0.5)))*t)*exp(-9*mod(t,0.5))+0.4*(random(0)*2-1)*exp(-60*mod(t+0.25,0.5))':s=44100:d=$seconds" \
  -ac 2 -c:a pcm_s16le drums.wav

# Frames are paired by number: the containers start the video at different times.
compare="[0:v]setpts=N/50/TB[a];[1:v]setpts=N/50/TB[b];[a][b]ssim"
printf "%-22s %-6s %6s %7s %8s\n" "setting" "clip" "cpu/s" "ssim_y" "MB"
for clip in loud quiet drums; do
  [ -s "$clip-$look-ref.mkv" ] || "$tavelmir" render $clip.wav -o "$clip-$look-ref.mkv" -y --size 1920x1080 \
    --look "$look" --crf 0 --preset ultrafast >/dev/null
  for setting in "${settings[@]}"; do
    IFS=: read -r preset crf tune <<<"$setting"
    args=(--preset "$preset" --crf "$crf")
    [ -n "${tune:-}" ] && args+=(--tune "$tune")
    out="$clip-$look-$preset-$crf-${tune:-none}.mp4"
    read -r user sys < <(/usr/bin/time -f "%U %S" "$tavelmir" render $clip.wav -o "$out" -y --size 1920x1080 \
      --look "$look" "${args[@]}" 2>&1 >/dev/null | tail -1)
    ssim=$(ffmpeg -v info -i "$out" -i "$clip-$look-ref.mkv" -lavfi "$compare" -f null - 2>&1 |
      sed -n 's/.*SSIM Y:\([0-9.]*\).*/\1/p' | tail -1)
    awk -v s="$setting" -v c="$clip" -v u="$user" -v y="$sys" -v q="$ssim" -v b="$(stat -c %s "$out")" -v n=$seconds \
      'BEGIN{printf "%-22s %-6s %6.2f %7.4f %8.2f\n", s, c, (u + y) / n, q, b / 1e6}'
  done
done
