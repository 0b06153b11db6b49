#!/usr/bin/env bash
# The MP4 chain against one FFmpeg command doing the same job, on a large 1080p sample.
#
# Makes (once, then cached) an MKV of at least 500 MB: 1080p H.264 with B-frames at level
# 5.1 and AC-3 5.1. Then, alternately and several times each, runs
#   kestrun-cli convert --out DIR --platform ps3 SAMPLE
#   ffmpeg -i SAMPLE -map 0:v -map 0:a -c:v copy -c:a aac -ac 6 OUT.mp4
# and prints the wall-clock times, the ratio of the medians (target: at most 1.5) and the time
# each stage of the last kestrun-cli run took (from its progress lines).
#
# Memory: every run goes under GNU time (/usr/bin/time -v). Its "Maximum resident set size" is
# the getrusage peak of the process it started and of every descendant that was waited for,
# taken as a maximum, not a sum: the peak of the single largest process of the chain (the CLI
# with its in-process audio decoder, or any stand-in or Debian tool it ran). The script prints
# the largest peak seen over all kestrun-cli runs (target: at most 256 MB).
#
# The MP4 carries its index (moov) before the media, in room MP4Box reserves ahead from the
# sources' headers, so that no second pass over the file is needed. The script prints the top-level
# boxes of the last result: the index's size, the room left unused (the "free" box after it) and,
# in the stage times, what "Creating MP4" took.
#
# Environment:
#   KESTRUN_BENCH_DIR   folder for the cached sample and the outputs (default /tmp/kestrun-bench)
#   KESTRUN_BENCH_RUNS  runs of each side (default 3)
#   KESTRUN_PROGRAM_DIR built program folder (default build/kestrun of this repository)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
program=${KESTRUN_PROGRAM_DIR:-$root/build/kestrun}
bench=${KESTRUN_BENCH_DIR:-/tmp/kestrun-bench}
runs=${KESTRUN_BENCH_RUNS:-3}

for need in ffmpeg ffprobe /usr/bin/time "$program/kestrun-cli"; do
  if ! command -v "$need" >/dev/null 2>&1; then
    echo "missing: $need (run scripts/setup.sh, then scripts/build.sh)" >&2
    exit 1
  fi
done
mkdir -p "$bench"

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

# now: seconds since the epoch with fractions.
now() { date +%s.%N; }
# The value of one line of GNU time's -v report.
time_field() { sed -n "s/^[[:space:]]*$2: //p" "$1"; }
elapsed() { awk -v a="$1" -v b="$2" 'BEGIN {printf "%.3f", b - a}'; }
median() { printf '%s\n' "$@" | sort -g | awk '{v[NR]=$1} END {print (NR%2) ? v[(NR+1)/2] : (v[NR/2]+v[NR/2+1])/2}'; }

kestrun_times=()
ffmpeg_times=()
peak_kb=0
peak_ffmpeg_kb=0
stage_log="$bench/stages.log"

for i in $(seq 1 "$runs"); do
  out="$bench/kestrun-out"
  rm -rf "$out"; mkdir -p "$out"
  start=$(now)
  # Progress lines go to standard error; each is stamped as it arrives.
  set +e
  /usr/bin/time -v -o "$bench/time-kestrun.txt" \
    "$program/kestrun-cli" convert --out "$out" --platform ps3 "$sample" 2>&1 >/dev/null |
    while IFS= read -r line; do printf '%s %s\n' "$(now)" "$line"; done >"$stage_log"
  status=${PIPESTATUS[0]}
  set -e
  end=$(now)
  result="$out/bench 1080p ac3.mp4"
  if [ "$status" -ne 0 ] || [ "$(size_of "$result")" -eq 0 ]; then
    echo "kestrun-cli convert failed (exit $status); its messages:" >&2
    cut -d' ' -f2- "$stage_log" | grep -v 'Bytes WAV written' >&2 || true
    exit 1
  fi
  t=$(elapsed "$start" "$end")
  k_start=$start k_end=$end
  kb=$(time_field "$bench/time-kestrun.txt" "Maximum resident set size (kbytes)")
  [ "$kb" -gt "$peak_kb" ] && peak_kb=$kb
  kestrun_times+=("$t")
  printf 'run %d: kestrun-cli %7.2f s  peak RSS %6d MB\n' "$i" "$t" $((kb / 1024))
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
ratio=$(awk -v k="$k" -v f="$f" 'BEGIN {print k / f}')
echo
echo "Stages of the last kestrun-cli run (seconds until the next progress line; the in-process"
echo "audio decoding to WAV runs between \"Adjusting header\" and \"Encoding Audio\"):"
{ grep -v 'Bytes WAV written' "$stage_log" || true; } |
  awk -v s="$k_start" -v e="$k_end" '
    BEGIN {t = s; text = "(start-up and analysis)"}
    {printf "  %7.2f  %s\n", $1 - t, text; t = $1; $1 = ""; text = substr($0, 2)}
    END {printf "  %7.2f  %s\n", e - t, text}'
echo
echo "Top-level boxes of the last result (index first; the free box is the room left unused):"
echo "$layout"
echo
printf 'median kestrun-cli: %.2f s   median ffmpeg: %.2f s   ratio: %.2f (target <= 1.5)\n' \
  "$k" "$f" "$ratio"
printf 'largest peak RSS of any process of the chain: %d MB (target <= 256); ffmpeg alone: %d MB\n' \
  $((peak_kb / 1024)) $((peak_ffmpeg_kb / 1024))
