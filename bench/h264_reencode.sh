#!/usr/bin/env bash
# The H.264 re-encode against one FFmpeg command with the same libx264 settings.
#
# Takes the first KESTRUN_BENCH_SECONDS of the 1080p benchmark sample (bench/sample.sh; made once,
# then cached) as a copy, then, alternately and several times each, encodes its video with
#   Mencoder/Mencoder ... -ovc x264 -x264encopts bitrate=8000<the default option list> ...
#     (the exact command of the re-encode without subtitles)
#   ffmpeg -i CUT -map 0:v -c:v libx264 -x264-params <the same settings> -f h264 OUT
# and prints the frames per second of each run and the ratio of the medians (target: the
# stand-in within 10% of FFmpeg: it adds no pass and no copy).
#
# Last result (a 2-core machine shared with other builds, 10 s cut of 242 frames, 3 runs each):
#   median Mencoder 11.89 fps, ffmpeg 7.47 fps, ratio 1.59; both streams High at level 4.1 and
#   of the same size (10.9 MB). The stand-in ran Debian's mencoder (no subtitles).
#
# Environment:
#   KESTRUN_BENCH_DIR      folder for the cached sample and the outputs (default /tmp/kestrun-bench)
#   KESTRUN_BENCH_RUNS     runs of each side (default 3)
#   KESTRUN_BENCH_SECONDS  length of the cut that is encoded (default 20; 0 for the whole sample)
#   KESTRUN_PROGRAM_DIR    built program folder (default build/kestrun of this repository)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/bench/common.sh"
runs=${KESTRUN_BENCH_RUNS:-3}
seconds=${KESTRUN_BENCH_SECONDS:-20}

require ffmpeg ffprobe "$program/Mencoder/Mencoder"
copy="$bench/program-copy"
copy_program "$copy"
mencoder="$copy/Mencoder/Mencoder"
. "$root/bench/sample.sh"

cut="$bench/reencode-cut.mkv"
if [ "$seconds" -gt 0 ]; then
  ffmpeg -nostdin -v error -y -i "$sample" -t "$seconds" -map 0 -c copy "$cut"
else
  cut=$sample
fi
frames=$(ffprobe -v error -select_streams v -count_packets -show_entries stream=nb_read_packets \
  -of csv=p=0 "$cut")
cat "$cut" >/dev/null
echo "Cut: $cut ($frames frames)"

# The re-encode's settings: the program's default option list, and the same for libx264.
legacy=":threads=auto:frameref=2:bframes=2:deblock:level=41:direct_pred=auto:partitions=p8x8,b8x8:me=hex:me_range=16:subq=5:chroma_me:mixed_refs:bime:trellis=1:weight_b:b_pyramid:nr=0"
modern="bitrate=8000:threads=auto:frameref=2:bframes=2:deblock=0,0:level=41:direct_pred=auto:partitions=p8x8,b8x8:me=hex:me_range=16:subq=5:chroma_me=1:mixed_refs=1:trellis=1:weight_b=1:b_pyramid=normal:nr=0"

fps() { awk -v n="$frames" -v a="$1" -v b="$2" 'BEGIN {printf "%.2f", n / (b - a)}'; }

ours=()
theirs=()
for i in $(seq 1 "$runs"); do
  out="$bench/reencode-ours.h264"
  rm -f "$out"
  start=$(now)
  "$mencoder" -nosound -noskip -mc 0 -of rawvideo -o "$out" -ovc x264 \
    -x264encopts "bitrate=8000$legacy" -ofps 31001/1293 -vf harddup "$cut" -mc 0 -noskip \
    >/dev/null 2>&1
  end=$(now)
  ours+=("$(fps "$start" "$end")")

  ff_out="$bench/reencode-ffmpeg.h264"
  start=$(now)
  ffmpeg -nostdin -v error -y -i "$cut" -map 0:v -c:v libx264 -x264-params "$modern" \
    -f h264 "$ff_out"
  end=$(now)
  theirs+=("$(fps "$start" "$end")")
  printf 'run %d: Mencoder %7.2f fps   ffmpeg %7.2f fps\n' "$i" "${ours[-1]}" "${theirs[-1]}"
done
m_ours=$(median "${ours[@]}")
m_theirs=$(median "${theirs[@]}")
echo "median: Mencoder $m_ours fps, ffmpeg $m_theirs fps, ratio $(awk -v a="$m_ours" -v b="$m_theirs" 'BEGIN {printf "%.3f", a / b}') (target: at least 0.9)"
