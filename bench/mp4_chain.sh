#!/usr/bin/env bash
# The MP4 chain against one FFmpeg command doing the same job, on a large 1080p sample.
#
# Makes (once, then cached) an MKV of at least 500 MB: 1080p H.264 with B-frames at level
# 5.1 and AC-3 5.1. Then, alternately and several times each, runs
#   kestrun-cli convert --out DIR --platform ps3 SAMPLE
#   ffmpeg -i SAMPLE -map 0:v -map 0:a -c:v copy -c:a aac -ac 6 OUT.mp4
# and prints the wall-clock times, their medians and the ratio of the medians (target: at most
# 1.3), the time each stage of every kestrun-cli run took (from its progress lines) and, for
# every process of the chain, when it started, how long it ran, its peak resident memory and the
# bytes it wrote.
#
# Memory: the kestrun-cli runs use a copy of the program folder in which every tool is a small
# wrapper that starts the real tool under GNU time (/usr/bin/time; wrap_tools in common.sh),
# which gives the tool's own getrusage peak (with anything the tool itself started and waited
# for: FFmpeg behind the FFmpeg stand-in). kestrun-cli itself runs under GNU time too; its figure
# is the largest of its own peak and those of the tools it waited for, so it stands for the CLI
# with its in-process audio decoder only where it is larger than every tool's. Target: every
# process under 256 MB.
# The wrappers cost a few milliseconds per tool run.
#
# The MP4 carries its index (moov) before the media, in room MP4Box reserves ahead from the
# sources' headers, so that no second pass over the file is needed. The script prints the top-level
# boxes of the last result: the index's size and the room left unused (the "free" box after it).
#
# Environment:
#   KESTRUN_BENCH_DIR   folder for the cached sample and the outputs (default /tmp/kestrun-bench)
#   KESTRUN_BENCH_RUNS  runs of each side (default 3)
#   KESTRUN_PROGRAM_DIR built program folder (default build/kestrun of this repository)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/bench/common.sh"
runs=${KESTRUN_BENCH_RUNS:-3}

require ffmpeg ffprobe /usr/bin/time "$program/kestrun-cli"
load_before=$(load_line)

# The top-level boxes of an MP4 file, one "name size" line each.
box_layout() {
  local file=$1 offset=0 total hex size name
  total=$(size_of "$file")
  while [ "$offset" -lt "$total" ]; do
    hex=$(od -An -tx1 -j "$offset" -N 16 "$file" | tr -d ' \n')
    size=$((16#${hex:0:8}))
    name=$(printf "\\x${hex:8:2}\\x${hex:10:2}\\x${hex:12:2}\\x${hex:14:2}")
    [ "$size" -eq 1 ] && size=$((16#${hex:16:16}))
    printf '  %s %d\n' "$name" "$size"
    [ "$size" -lt 8 ] && break
    offset=$((offset + size))
  done
}

. "$root/bench/sample.sh"

# A copy of the program folder whose tools report their time and memory: each tool becomes a
# wrapper that appends "START_EPOCH WALL_SECONDS PEAK_KB NAME WRITTEN_BLOCKS" to $process_log.
wrapped="$bench/program"
process_log="$bench/processes.log"
copy_program "$wrapped"
wrap_tools "$wrapped" "$process_log"

# The value of one line of GNU time's -v report.
time_field() { sed -n "s/^[[:space:]]*$2: //p" "$1"; }

kestrun_times=()
ffmpeg_times=()
peak_kb=0
peak_ffmpeg_kb=0
stage_log="$bench/stages.log"
report="$bench/report.txt"
: >"$report"
: >"$bench/tool-peaks.txt"

for i in $(seq 1 "$runs"); do
  out="$bench/kestrun-out"
  rm -rf "$out"; mkdir -p "$out"
  : >"$process_log"
  start=$(now)
  # Progress lines go to standard error; each is stamped as it arrives.
  set +e
  /usr/bin/time -v -o "$bench/time-kestrun.txt" \
    "$wrapped/kestrun-cli" convert --out "$out" --platform ps3 "$sample" 2>&1 >/dev/null |
    while IFS= read -r line; do printf '%s %s\n' "$(now)" "$line"; done >"$stage_log"
  status=${PIPESTATUS[0]}
  set -e
  end=$(now)
  result="$out/bench 1080p ac3.mp4"
  if [ "$status" -ne 0 ] || [ "$(size_of "$result")" -eq 0 ] || ! streams_of "$result" >/dev/null
  then
    echo "kestrun-cli convert failed (exit $status); its messages:" >&2
    cut -d' ' -f2- "$stage_log" | grep -v 'Bytes WAV written' >&2 || true
    exit 1
  fi
  t=$(elapsed "$start" "$end")
  kb=$(time_field "$bench/time-kestrun.txt" "Maximum resident set size (kbytes)")
  [ "$kb" -gt "$peak_kb" ] && peak_kb=$kb
  kestrun_times+=("$t")
  printf 'run %d: kestrun-cli %7.2f s  peak RSS %6d MB\n' "$i" "$t" $((kb / 1024))
  {
    printf 'run %d: kestrun-cli %.2f s\n' "$i" "$t"
    echo "  stages (seconds from one progress line to the next; the in-process audio decoding"
    echo "  writes the \"Bytes WAV written\" lines, left out here):"
    { grep -v 'Bytes WAV written' "$stage_log" || true; } |
      awk -v s="$start" -v e="$end" '
        BEGIN {t = s; text = "(start-up and analysis)"}
        {printf "    %7.2f  %s\n", $1 - t, text; t = $1; $1 = ""; text = substr($0, 2)}
        END {printf "    %7.2f  %s\n", e - t, text}'
    echo "  processes (start after the CLI started, wall time, peak RSS, bytes written):"
    awk -v s="$start" '$1 ~ /^[0-9.]+$/ {
        printf "    at %6.2f s  %6.2f s  %5d MB  %5d MB  %s\n", $1 - s, $2, $3 / 1024,
          $5 * 512 / 1e6, $4}' "$process_log"
    printf '    %-30s %5d MB           kestrun-cli (largest of it and the tools it waited for)\n' "" \
      $((kb / 1024))
  } >>"$report"
  awk '$1 ~ /^[0-9.]+$/ {print $3}' "$process_log" >>"$bench/tool-peaks.txt"
  layout=$(box_layout "$result")
  rm -rf "$out"

  ff_out="$bench/ffmpeg-out.mp4"
  start=$(now)
  /usr/bin/time -v -o "$bench/time-ffmpeg.txt" \
    ffmpeg -nostdin -v error -y -i "$sample" -map 0:v -map 0:a -c:v copy -c:a aac -ac 6 "$ff_out"
  end=$(now)
  t=$(elapsed "$start" "$end")
  kb=$(time_field "$bench/time-ffmpeg.txt" "Maximum resident set size (kbytes)")
  [ "$kb" -gt "$peak_ffmpeg_kb" ] && peak_ffmpeg_kb=$kb
  ffmpeg_times+=("$t")
  printf 'run %d: ffmpeg      %7.2f s  peak RSS %6d MB\n' "$i" "$t" $((kb / 1024))
  rm -f "$ff_out"
done

k=$(median "${kestrun_times[@]}")
f=$(median "${ffmpeg_times[@]}")
ratio=$(ratio "$k" "$f")
tool_peak_kb=$(sort -n "$bench/tool-peaks.txt" | tail -1)
rm -f "$bench/tool-peaks.txt"
echo
cat "$report"
echo
echo "Top-level boxes of the last result (index first; the free box is the room left unused):"
echo "$layout"
echo
echo "before: $load_before"
echo "after:  $(load_line)"
printf 'median kestrun-cli: %.2f s   median ffmpeg: %.2f s   ratio: %.2f (target <= 1.3)\n' \
  "$k" "$f" "$ratio"
printf 'peak RSS: largest tool %d MB, kestrun-cli with its tools %d MB (target < 256 each); ffmpeg alone %d MB\n' \
  $((tool_peak_kb / 1024)) $((peak_kb / 1024)) $((peak_ffmpeg_kb / 1024))
