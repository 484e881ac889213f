#!/usr/bin/env bash
# Export benchmark: a 60-s song rendered at 1920x1080 by `tavelmir render` with its defaults and by
# `ffmpeg -filter_complex showcqt` with the same size, frame rate and encoder settings, one after the other in one
# run, each with its size and the SSIM of its luma against a lossless encoding of the same frames; then the peak
# memory of tavelmir's process tree (it and its ffmpeg) while it renders from a one-hour song.
# Usage: bench/render_vs_showcqt.sh [TAVELMIR] [WORK_DIR]     (default build/native/tavelmir, build/bench-export)
set -euo pipefail
cd "$(dirname "$0")/.."
tavelmir=$(realpath "${1:-build/native/tavelmir}")
work=${2:-build/bench-export}
mkdir -p "$work"
cd "$work"

# The demo piece (24 s) looped to 60 s, and to an hour as FLAC (about 0.4 GB less than WAV).
[ -s demo.wav ] || python3 "$OLDPWD/data/demo_song.py" demo.wav
[ -s song60.wav ] || ffmpeg -v error -y -stream_loop 2 -i demo.wav -t 60 -c:a pcm_s16le song60.wav
[ -s song3600.flac ] || ffmpeg -v error -y -stream_loop 150 -i demo.wav -t 3600 -c:a flac song3600.flac

# Peak of the summed proportional set size (shared pages counted once) and of the summed resident size of a
# process and all its descendants, sampled every 100 ms; runs the command and prints "PSS_MB RSS_MB".
peak_memory() {
  "$@" >/dev/null &
  local root=$! pss=0 rss=0
  while kill -0 "$root" 2>/dev/null; do
    local pids="$root" p sum_pss=0 sum_rss=0
    for p in $(pgrep -P "$root" || true); do pids="$pids $p $(pgrep -P "$p" | tr '\n' ' ' || true)"; done
    for p in $pids; do
      read -r a b < <(awk '/^Pss:/{p=$2} /^Rss:/{r=$2} END{print p+0, r+0}' "/proc/$p/smaps_rollup" 2>/dev/null || echo 0 0)
      sum_pss=$((sum_pss + a)); sum_rss=$((sum_rss + b))
    done
    if ((sum_pss > pss)); then pss=$sum_pss; fi
    if ((sum_rss > rss)); then rss=$sum_rss; fi
    sleep 0.1
  done
  wait "$root"
  echo "$((pss / 1024)) $((rss / 1024))"
}

seconds() { /usr/bin/time -f "%e %U %S" "$@" 2>&1 >/dev/null | tail -1; }

# x264's settings of render's default quality ("good", for its default hd picture), for showcqt to be encoded alike.
preset=ultrafast crf=22 tune=()  # e.g. tune=(-tune ssim)

echo "load before: $(cut -d' ' -f1-3 /proc/loadavg)"
read -r t_wall t_user t_sys < <(seconds "$tavelmir" render song60.wav -o tavelmir.mp4 -y --size 1920x1080)
# showcqt with tavelmir's encoder settings, and as people write it (x264's own defaults: medium, CRF 23).
read -r c_wall c_user c_sys < <(seconds ffmpeg -v error -y -i song60.wav -filter_complex \
  "[0:a]showcqt=s=1920x1080:r=50,format=yuv420p[v]" -map "[v]" -map 0:a -c:v libx264 -preset $preset -crf $crf \
  "${tune[@]}" -c:a aac -b:a 192k -movflags +faststart showcqt.mp4)
read -r d_wall d_user d_sys < <(seconds ffmpeg -v error -y -i song60.wav -filter_complex \
  "[0:a]showcqt=s=1920x1080:r=50,format=yuv420p[v]" -map "[v]" -map 0:a -c:v libx264 \
  -c:a aac -b:a 192k -movflags +faststart showcqt-default.mp4)
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
mb() { awk -v b="$(stat -c %s "$1")" 'BEGIN{printf "%.1f", b / 1e6}'; }
# SSIM of the luma against lossless frames, which are streamed into the comparison rather than stored; frames are
# paired by number, as the containers start the video at different times.
ssim() {
  ffmpeg -v info -i "$1" -f matroska -i pipe:0 -lavfi "[0:v]setpts=N/50/TB[a];[1:v]setpts=N/50/TB[b];[a][b]ssim" \
    -f null - 2>&1 |
    sed -n 's/.*SSIM Y:\([0-9.]*\).*/\1/p' | tail -1
}
# The comparison stops reading once it has every frame, so the writers of the lossless frames may end on a broken
# pipe.
t_ssim=$( ("$tavelmir" render song60.wav -o - --size 1920x1080 --crf 0 --preset ultrafast 2>/dev/null || true) |
  ssim tavelmir.mp4)
lossless_showcqt() {
  ffmpeg -v quiet -i song60.wav -filter_complex "[0:a]showcqt=s=1920x1080:r=50,format=yuv420p[v]" -map "[v]" \
    -c:v libx264 -preset ultrafast -crf 0 -f matroska - || true
}
c_ssim=$(lossless_showcqt | ssim showcqt.mp4)
d_ssim=$(lossless_showcqt | ssim showcqt-default.mp4)
report() {
  awk -v n="$1" -v w="$2" -v u="$3" -v s="$4" -v m="$5" -v q="$6" \
    'BEGIN{printf "%-27s %6.1f s wall, %6.1f s CPU, %5.2fx real time, %6.1f MB, SSIM Y %s\n", n, w, u + s, 60 / w, m, q}'
}
report "tavelmir render 1920x1080:" "$t_wall" "$t_user" "$t_sys" "$(mb tavelmir.mp4)" "$t_ssim"
report "showcqt, same settings:" "$c_wall" "$c_user" "$c_sys" "$(mb showcqt.mp4)" "$c_ssim"
report "showcqt, x264 defaults:" "$d_wall" "$d_user" "$d_sys" "$(mb showcqt-default.mp4)" "$d_ssim"
# On a shared machine the wall times mean little: real time on two idle cores, from the CPU seconds at the
# parallelism x264 reaches there (1.74 of 2 cores, measured on an idle machine).
awk -v u="$t_user" -v s="$t_sys" 'BEGIN{printf "tavelmir, inferred for two idle cores: %.2fx real time\n", 60 / ((u + s) / 1.74)}'

awk -v t="$t_wall" -v c="$c_wall" -v d="$d_wall" \
  'BEGIN{printf "tavelmir / showcqt wall time: %.2f (same settings), %.2f (x264 defaults)\n", t / c, t / d}'

# Memory does not depend on the song's length: the audio is a stream. The first minute of the one-hour song is
# rendered at the default size and at 1080p.
for args in "song3600.flac -t 60" "song3600.flac -t 60 --size 1920x1080"; do
  # shellcheck disable=SC2086
  read -r pss rss < <(peak_memory "$tavelmir" render $args -o memory.mp4 -y)
  echo "peak memory, tavelmir render $args: ${pss} MB PSS, ${rss} MB RSS (process tree)"
done
