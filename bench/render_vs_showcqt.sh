#!/usr/bin/env bash
# Export benchmark: a 60-s song rendered at 1920x1080 by `tavelmir render` with its defaults and by
# `ffmpeg -filter_complex showcqt` with the same size, frame rate and encoder settings, one after the other in one
# run; then the peak memory of tavelmir's process tree (it and its ffmpeg) while it renders from a one-hour song.
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

echo "load before: $(cut -d' ' -f1-3 /proc/loadavg)"
read -r t_wall t_user t_sys < <(seconds "$tavelmir" render song60.wav -o tavelmir.mp4 -y --size 1920x1080)
# showcqt with tavelmir's encoder settings, and as people write it (x264's own defaults: medium, CRF 23).
read -r c_wall c_user c_sys < <(seconds ffmpeg -v error -y -i song60.wav -filter_complex \
  "[0:a]showcqt=s=1920x1080:r=50,format=yuv420p[v]" -map "[v]" -map 0:a -c:v libx264 -preset superfast -crf 36 \
  -c:a aac -b:a 192k -movflags +faststart showcqt.mp4)
read -r d_wall d_user d_sys < <(seconds ffmpeg -v error -y -i song60.wav -filter_complex \
  "[0:a]showcqt=s=1920x1080:r=50,format=yuv420p[v]" -map "[v]" -map 0:a -c:v libx264 \
  -c:a aac -b:a 192k -movflags +faststart showcqt-default.mp4)
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
mb() { awk -v b="$(stat -c %s "$1")" 'BEGIN{printf "%.1f", b / 1e6}'; }
report() {
  awk -v n="$1" -v w="$2" -v u="$3" -v s="$4" -v m="$5" \
    'BEGIN{printf "%-27s %6.1f s wall, %6.1f s CPU, %5.2fx real time, %s MB\n", n, w, u + s, 60 / w, m}'
}
report "tavelmir render 1920x1080:" "$t_wall" "$t_user" "$t_sys" "$(mb tavelmir.mp4)"
report "showcqt, same settings:" "$c_wall" "$c_user" "$c_sys" "$(mb showcqt.mp4)"
report "showcqt, x264 defaults:" "$d_wall" "$d_user" "$d_sys" "$(mb showcqt-default.mp4)"
awk -v t="$t_wall" -v c="$c_wall" -v d="$d_wall" \
  'BEGIN{printf "tavelmir / showcqt wall time: %.2f (same settings), %.2f (x264 defaults)\n", t / c, t / d}'

# Memory does not depend on the song's length: the audio is a stream. The first minute of the one-hour song is
# rendered at the default size and at 1080p.
for args in "song3600.flac -t 60" "song3600.flac -t 60 --size 1920x1080"; do
  # shellcheck disable=SC2086
  read -r pss rss < <(peak_memory "$tavelmir" render $args -o memory.mp4 -y)
  echo "peak memory, tavelmir render $args: ${pss} MB PSS, ${rss} MB RSS (process tree)"
done
