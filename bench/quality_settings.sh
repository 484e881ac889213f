#!/usr/bin/env bash
# The measurement behind render's quality points: three kinds of music (loud and dense, quiet, percussive; all made
# here from the demo piece and FFmpeg's generators) rendered losslessly by tavelmir for each look, size and frame
# rate, then encoded by each setting. Per setting and clip: the bit rate, CPU seconds (user + system, which another
# process's load on the machine does not inflate as it does wall-clock time) per second of video, and the SSIM of
# the luma against the lossless frames, paired by number (MP4 and Matroska start their video at different times).
#
# Encodes keep the frames as they are (-fps_mode passthrough): ffmpeg's default for MP4 repeats one, which pairs every
# later frame with its neighbour and reads as an SSIM of about 0.8.
# The CPU is the encoder's alone, with the decoding of the lossless frames it reads (an x264 lossless decode, about
# 0.2 CPU-s per second of 1080p50); tavelmir's own drawing is measured by `render` rows: a setting "render:ARGS..."
# runs tavelmir itself with those options (commas between words) and counts its whole process tree.
#
# Usage: [LOOKS="hd classic"] [SIZES=1920x1080] [RATES=50] [DURATION=4] [CLIPS="loud quiet drums"]
#        bench/quality_settings.sh [TAVELMIR] [WORK_DIR] [SETTING...]
#   a setting is CODEC:SPEED:CRF[:ARGS]: x264:PRESET:CRF (e.g. x264:veryfast:26), svtav1:PRESET:CRF (svtav1:12:40),
#   vp9:CPU_USED:CRF (vp9:8:36, realtime), or render:OPTIONS (render:--quality,good or render:--video-codec,av1);
#   ARGS are more ffmpeg options for the encoder, commas between words, after the setting's own (a repeated one
#   wins): svtav1:10:40:-svtav1-params,enable-qm=1 or vp9:2:36:-deadline,good. The default is a grid of them.
set -euo pipefail
cd "$(dirname "$0")/.."
tavelmir=$(realpath "${1:-build/native/tavelmir}")
work=${2:-build/bench-quality}
shift 2 || true
settings=("$@")
if ((${#settings[@]} == 0)); then
  settings=(x264:ultrafast:22 x264:superfast:24 x264:superfast:26 x264:veryfast:24 x264:veryfast:26 x264:veryfast:28
    svtav1:12:36 svtav1:12:40 svtav1:11:38 svtav1:10:38 vp9:8:32 vp9:8:36)
fi
mkdir -p "$work"
cd "$work"
seconds=${DURATION:-4}
read -r -a looks <<<"${LOOKS:-hd classic}"
read -r -a sizes <<<"${SIZES:-1920x1080}"
read -r -a rates <<<"${RATES:-50}"
read -r -a clips <<<"${CLIPS:-loud quiet drums}"

[ -s demo.wav ] || python3 "$OLDPWD/data/demo_song.py" demo.wav >/dev/null
# Loud and dense: the full ending with pink noise under it, compressed and driven to the top.
[ -s loud-$seconds.wav ] || ffmpeg -v error -y -ss 12 -t "$seconds" -i demo.wav -f lavfi -t "$seconds" \
  -i "anoisesrc=c=pink:a=0.3" \
  -filter_complex "[0:a][1:a]amix=inputs=2:normalize=0,acompressor=threshold=0.05:ratio=8:makeup=4,alimiter" \
  -ac 2 -ar 44100 -c:a pcm_s16le "loud-$seconds.wav"
# Quiet: the intro of pad and arpeggio, 24 dB down.
[ -s quiet-$seconds.wav ] || ffmpeg -v error -y -t "$seconds" -i demo.wav -af "volume=-24dB" -c:a pcm_s16le \
  "quiet-$seconds.wav"
# Percussive: a kick every half second and a noise hat between, silence around them.
[ -s drums-$seconds.wav ] || ffmpeg -v error -y -f lavfi -i "aevalsrc=exprs='0.9*sin(2*PI*(50+90*exp(-30*mod(t,0.5)))*t)*exp(-9*mod(t,0.5))+0.4*(random(0)*2-1)*exp(-60*mod(t+0.25,0.5))':s=44100:d=$seconds" \
  -ac 2 -c:a pcm_s16le "drums-$seconds.wav"

cpu() { /usr/bin/time -f "%U %S" "$@" 2>&1 >/dev/null | tail -1; }
# The SSIM of the luma of $1 against $2, frame n of one against frame n of the other.
ssim() {
  ffmpeg -v info -i "$1" -i "$2" -lavfi "[0:v]setpts=N/TB[a];[1:v]setpts=N/TB[b];[a][b]ssim" -f null - 2>&1 |
    sed -n 's/.*SSIM Y:\([0-9.]*\).*/\1/p' | tail -1
}

echo "load before: $(cut -d' ' -f1-3 /proc/loadavg)"
printf "%-9s %-9s %3s %-6s %-34s %6s %6s %7s\n" look size fps clip setting "Mb/s" "cpu/s" "ssim_y"
for look in "${looks[@]}"; do
  for size in "${sizes[@]}"; do
    for rate in "${rates[@]}"; do
      for clip in "${clips[@]}"; do
        ref="$clip-$seconds-$look-$size-$rate-ref.mkv"
        # Lossless frames, every one that a video at this rate holds: at 25 a second every other one of 50's, as
        # render --fps 25 takes them.
        full="$clip-$seconds-$look-$size-50-ref.mkv"
        [ -s "$full" ] || "$tavelmir" render "$clip-$seconds.wav" -o "$full" -y --size "$size" --look "$look" \
          --crf 0 --preset ultrafast >/dev/null
        [ -s "$ref" ] || ffmpeg -v error -y -i "$full" -an -vf "select='not(mod(n,50/$rate))',setpts=N/$rate/TB" \
          -r "$rate" -c:v libx264 -preset ultrafast -crf 0 "$ref"
        fps=()
        [ "$rate" = 50 ] || fps=(--fps "$rate")  # for a render that takes --fps for videos
        for setting in "${settings[@]}"; do
          IFS=: read -r codec speed crf more <<<"$setting"
          args=()
          [ -z "${more:-}" ] || IFS=, read -r -a args <<<"$more"
          out="$clip-$seconds-$look-$size-$rate-$(tr -c 'A-Za-z0-9.=\n-' _ <<<"$setting")"
          case $codec in
            x264)
              out+=.mp4
              read -r user sys < <(cpu ffmpeg -v error -y -i "$ref" -an -fps_mode passthrough -c:v libx264 -preset "$speed" -crf "$crf" \
                -profile:v high -pix_fmt yuv420p ${args[@]+"${args[@]}"} "$out") ;;
            svtav1)
              out+=.mp4
              read -r user sys < <(cpu ffmpeg -v error -y -i "$ref" -an -fps_mode passthrough -c:v libsvtav1 -preset "$speed" -crf "$crf" \
                -g 250 -pix_fmt yuv420p ${args[@]+"${args[@]}"} "$out") ;;
            vp9)
              out+=.webm
              read -r user sys < <(cpu ffmpeg -v error -y -i "$ref" -an -fps_mode passthrough -c:v libvpx-vp9 -b:v 0 -deadline realtime \
                -cpu-used "$speed" -row-mt 1 -crf "$crf" -pix_fmt yuv420p ${args[@]+"${args[@]}"} "$out") ;;
            render)
              out+=.mkv
              IFS=, read -r -a extra <<<"${setting#render:}"
              read -r user sys < <(cpu "$tavelmir" render "$clip-$seconds.wav" -o "$out" -y --size "$size" \
                --look "$look" ${fps[@]+"${fps[@]}"} --audio-codec flac "${extra[@]}") ;;
            *)
              echo "unknown setting $setting" >&2
              exit 2 ;;
          esac
          # The video stream's own bits (the render rows carry sound too).
          bytes=$(ffprobe -v error -select_streams v:0 -show_entries packet=size -of csv=p=0 "$out" |
            awk '{s += $1} END {print s}')
          awk -v l="$look" -v z="$size" -v r="$rate" -v c="$clip" -v s="$setting" -v u="$user" -v y="$sys" \
            -v q="$(ssim "$out" "$ref")" -v b="$bytes" -v n="$seconds" \
            'BEGIN{printf "%-9s %-9s %3s %-6s %-34s %6.2f %6.2f %7.4f\n", l, z, r, c, s, b * 8 / n / 1e6, (u + y) / n, q}'
        done
      done
    done
  done
done
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
