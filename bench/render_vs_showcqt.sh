#!/usr/bin/env bash
# Export benchmark: what a visualizer's video costs. The demo piece rendered at 1920x1080, 50 frames a second, by
# `tavelmir render` for each quality and look, and by FFmpeg's own visualizer (`showcqt`) encoded with the settings
# of render's default quality and with x264's own defaults. Per row: CPU seconds (user + system of the whole process
# tree, tavelmir and its ffmpeg; another process's load inflates it far less than wall-clock time) per second of
# music, the median of REPEATS runs; the bit rate; the SSIM of the luma against a lossless encoding of the same frames,
# paired by number (MP4 and Matroska start their video at different times). Then the peak memory of tavelmir's
# process tree while it renders from a one-hour song.
#
# Usage: [DURATION=24] [REPEATS=3] [QUALITIES="draft good best"] [LOOKS="hd classic"] [MEMORY=1]
#        bench/render_vs_showcqt.sh [TAVELMIR] [WORK_DIR]     (default build/native/tavelmir, build/bench-export)
set -euo pipefail
cd "$(dirname "$0")/.."
tavelmir=$(realpath "${1:-build/native/tavelmir}")
work=${2:-build/bench-export}
seconds=${DURATION:-24}
repeats=${REPEATS:-3}
read -r -a qualities <<<"${QUALITIES:-draft good best}"
read -r -a looks <<<"${LOOKS:-hd classic}"
mkdir -p "$work"
cd "$work"

# The demo piece (24 s: pad, arpeggio, bass and drums) looped to the length asked for, and to an hour as FLAC.
[ -s demo.wav ] || python3 "$OLDPWD/data/demo_song.py" demo.wav >/dev/null
[ -s "song$seconds.wav" ] || ffmpeg -v error -y -stream_loop -1 -i demo.wav -t "$seconds" -c:a pcm_s16le "song$seconds.wav"
song=song$seconds.wav

# x264's settings of render's default quality for its default (hd) look (cli/media/output_encoding.cpp), for
# showcqt to be encoded alike.
good=(-preset superfast -crf 28 -profile:v high)

# "user system" CPU seconds of a command and every child it waited for.
cpu() { /usr/bin/time -f "%U %S" "$@" 2>&1 >/dev/null | tail -1; }
# The median over REPEATS runs of a command's CPU seconds.
median_cpu() {
  local runs=()
  for ((r = 0; r < repeats; ++r)); do
    read -r user sys < <(cpu "$@")
    runs+=("$(awk -v u="$user" -v s="$sys" 'BEGIN{printf "%.2f", u + s}')")
  done
  printf "%s\n" "${runs[@]}" | sort -g | awk '{v[NR] = $1} END{print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'
}
# The SSIM of the luma of $1 against the lossless frames streamed in on standard input, frame n against frame n.
ssim() {
  ffmpeg -v info -i "$1" -f matroska -i pipe:0 -lavfi "[0:v]setpts=N/50/TB[a];[1:v]setpts=N/50/TB[b];[a][b]ssim" \
    -f null - 2>&1 | sed -n 's/.*SSIM Y:\([0-9.]*\).*/\1/p' | tail -1
}
mbps() { awk -v b="$(stat -c %s "$1")" -v s="$seconds" 'BEGIN{printf "%.1f", b * 8 / 1e6 / s}'; }
report() {
  awk -v n="$1" -v c="$2" -v m="$3" -v q="$4" -v s="$seconds" \
    'BEGIN{printf "%-34s %5.2f CPU-s per s  %5.1f Mb/s  SSIM Y %s\n", n, c / s, m, q}'
}

echo "$seconds s of music at 1920x1080, 50 frames a second; medians of $repeats runs"
echo "load before: $(cut -d' ' -f1-3 /proc/loadavg)"
for look in "${looks[@]}"; do
  # The comparison stops reading once it has every frame, so the writer of the lossless frames may end on a broken
  # pipe.
  lossless() {
    "$tavelmir" render "$song" -o - --size 1920x1080 --look "$look" --crf 0 --preset ultrafast 2>/dev/null || true
  }
  for quality in "${qualities[@]}"; do
    out=tavelmir-$look-$quality.mp4
    used=$(median_cpu "$tavelmir" render "$song" -o "$out" -y --size 1920x1080 --look "$look" --quality "$quality")
    report "tavelmir render --look $look --quality $quality" "$used" "$(mbps "$out")" "$(lossless | ssim "$out")"
  done
done

# showcqt into $1 with x264's settings after it.
showcqt() {
  local out=$1
  shift
  ffmpeg -v error -y -i "$song" -filter_complex "[0:a]showcqt=s=1920x1080:r=50,format=yuv420p[v]" -map "[v]" \
    -map 0:a -c:v libx264 "$@" -c:a aac -b:a 192k -movflags +faststart "$out"
}
lossless_showcqt() {
  ffmpeg -v quiet -i "$song" -filter_complex "[0:a]showcqt=s=1920x1080:r=50,format=yuv420p[v]" -map "[v]" \
    -c:v libx264 -preset ultrafast -crf 0 -f matroska - || true
}
# /usr/bin/time runs programs, not functions: showcqt goes through a shell of its own.
export song
export -f showcqt
used=$(median_cpu bash -c 'showcqt "$@"' showcqt showcqt.mp4 "${good[@]}")
report "showcqt, good's x264 settings" "$used" "$(mbps showcqt.mp4)" "$(lossless_showcqt | ssim showcqt.mp4)"
used=$(median_cpu bash -c 'showcqt "$@"' showcqt showcqt-default.mp4)
report "showcqt, x264 defaults" "$used" "$(mbps showcqt-default.mp4)" "$(lossless_showcqt | ssim showcqt-default.mp4)"
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"

[ "${MEMORY:-1}" = 1 ] || exit 0
# Memory does not depend on the song's length: the audio is a stream. The first 20 s of a one-hour song at the
# default size and at 1080p; the peak of the summed proportional set size (shared pages counted once) and of the
# summed resident size of tavelmir and its descendants, sampled every 100 ms.
[ -s song3600.flac ] || ffmpeg -v error -y -stream_loop 150 -i demo.wav -t 3600 -c:a flac song3600.flac
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
for args in "song3600.flac -t 20" "song3600.flac -t 20 --size 1920x1080"; do
  # shellcheck disable=SC2086
  read -r pss rss < <(peak_memory "$tavelmir" render $args -o memory.mp4 -y)
  echo "peak memory, tavelmir render $args: ${pss} MB PSS, ${rss} MB RSS (process tree)"
done
