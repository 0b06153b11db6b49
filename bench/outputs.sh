#!/usr/bin/env bash
# Each output of a copied H.264 film against two FFmpeg yardsticks, on the benchmark sample of
# bench/sample.sh (1080p H.264 at level 5.1 with B-frames, AC-3 5.1, at least 500 MB).
#
# The outputs, each made by kestrun-cli convert with the window's defaults but for the options
# named:
#   MP4 (PS3 5.1)        --container mp4 --platform ps3
#   M2TS                 --container m2ts
#   M2TS, "Fast Mux"     --container m2ts --fast-mux
#   AVCHD                --container avchd
# The yardsticks, one FFmpeg command each on the same sample:
#   peer   the same job:
#            MP4:  ffmpeg -i S -map 0:v -map 0:a -c:v copy -bsf:v h264_metadata=level=4.1
#                    -c:a aac -ac 6 -b:a 224k OUT.mp4
#            TS:   ffmpeg -i S -map 0:v -map 0:a -c copy -bsf:v h264_metadata=level=4.1
#                    -f mpegts -mpegts_m2ts_mode 1 OUT.m2ts   (for M2TS, "Fast Mux" and AVCHD)
#   limit  the same command without -bsf:v ...: the copy and the audio encode alone.
# (Every FFmpeg command also gets -nostdin -hide_banner -v error -y, which change nothing in
# the work.)
#
# Every command runs KESTRUN_BENCH_RUNS times, alternately (one of each per round). The script
# prints each run, then one table: the median seconds of Kestrun, the limit and the peer, the
# ratios Kestrun / limit and Kestrun / peer against their targets, pass or fail, and the bytes
# each command wrote per byte of source. A row passes when both ratios meet their targets and
# every Kestrun run succeeded. Below it: the same ratios of the CPU seconds (user + system), and
# for every command its fastest and slowest run, its CPU seconds and the bytes it wrote.
#
# Conditions of a fair run:
# - the sample is read once before each round, so every command starts from the page cache;
# - each command gets a folder of its own in a new folder $KESTRUN_BENCH_DIR/outputs-XXXXXX,
#   emptied before and after each run (nothing else is removed); the commands' messages stay
#   there (KEY.log of the last run, KEY.failed-ROUND.log of a failed one);
# - `sync` runs before each timed command, so no run pays for the write-back of another's files;
#   page caches are not dropped (that needs root and would take the sample out of the cache);
# - kestrun-cli runs from a copy of the program folder without its settings file, so that no
#   saved setting changes the defaults and its logs are not written into the build.
# A run counts only when its command exits with 0 and its result exists and ffprobe reads a
# video stream and an audio stream from it; a failed run is reported with its messages and left
# out of the medians (its row fails). The last round also counts the video frames of every
# result and marks those that differ from the source's.
#
# Bytes written: the kernel's write accounting of the command's whole process tree (see
# bench/measure.py): each page counted when it first becomes dirty in the page cache, so the
# intermediate files a chain removes again count as well as its result.
#
# The machine's load is printed before and after; the figures mean little on a busy machine.
#
# Last, where the time goes: each output is made once more from a copy of the program folder
# whose tools report their start, wall time, bytes written and peak memory (wrap_tools in
# common.sh); the time in which no tool ran is kestrun-cli's own (analysis, in-process audio
# decoding, the pauses between tools). These runs are not in the table.
#
# Environment:
#   KESTRUN_BENCH_DIR   folder for the cached sample and the outputs (default /tmp/kestrun-bench)
#   KESTRUN_BENCH_RUNS  rounds (default 3)
#   KESTRUN_BENCH_TRACE 0 leaves out the runs that show where the time goes (default 1)
#   KESTRUN_PROGRAM_DIR built program folder, only read (default build/kestrun of this repository)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/bench/common.sh"
runs=${KESTRUN_BENCH_RUNS:-3}

require ffmpeg ffprobe python3 sync "$program/kestrun-cli"
echo "before: $(load_line)"
"$program/kestrun-cli" --version
. "$root/bench/sample.sh"
source_frames=$(video_frames "$sample")
echo "Sample video frames: $source_frames"

# A folder of this run's own for the outputs, the logs and the program copies; the copies go
# when the script ends, the logs stay.
outputs=$(mktemp -d "$bench/outputs-XXXXXX")
copy="$outputs/program"
traced="$outputs/program-traced"
trap 'rm -rf "$copy" "$traced"' EXIT
copy_program "$copy"
name=$(basename "$sample" .mkv)

# The commands by key; row keys first, then the yardsticks.
rows=(mp4 m2ts fast avchd)
declare -A label=(
  [mp4]="MP4 (PS3 5.1)" [m2ts]="M2TS, defaults" [fast]="M2TS, Fast Mux" [avchd]="AVCHD, defaults")
declare -A options=(
  [mp4]="--container mp4 --platform ps3" [m2ts]="--container m2ts"
  [fast]="--container m2ts --fast-mux" [avchd]="--container avchd")
# The yardsticks of each row, and the targets: Kestrun / limit, Kestrun / peer.
declare -A family=([mp4]=mp4 [m2ts]=ts [fast]=ts [avchd]=ts)
declare -A limit_target=([mp4]=1.1 [m2ts]=2.0 [fast]=1.2 [avchd]=2.0)
declare -A peer_target=([mp4]=1.0 [m2ts]=1.0 [fast]=1.0 [avchd]=1.0)
ff=(ffmpeg -nostdin -hide_banner -v error -y)
mp4_audio=(-c:a aac -ac 6 -b:a 224k)
ts_form=(-f mpegts -mpegts_m2ts_mode 1)
level=(-bsf:v h264_metadata=level=4.1)
# The order of a round: each output beside its yardsticks.
order=(mp4 mp4-peer mp4-limit m2ts fast avchd ts-peer ts-limit)

# The command of KEY writing into folder DIR, in the array `command`.
command_of() {
  local key=$1 dir=$2
  case $key in
    mp4-peer) command=("${ff[@]}" -i "$sample" -map 0:v -map 0:a -c:v copy "${level[@]}" \
      "${mp4_audio[@]}" "$dir/out.mp4") ;;
    mp4-limit) command=("${ff[@]}" -i "$sample" -map 0:v -map 0:a -c:v copy \
      "${mp4_audio[@]}" "$dir/out.mp4") ;;
    ts-peer) command=("${ff[@]}" -i "$sample" -map 0:v -map 0:a -c copy "${level[@]}" \
      "${ts_form[@]}" "$dir/out.m2ts") ;;
    ts-limit) command=("${ff[@]}" -i "$sample" -map 0:v -map 0:a -c copy "${ts_form[@]}" \
      "$dir/out.m2ts") ;;
    *)
      # shellcheck disable=SC2206  # the options are words without spaces
      command=("$copy/kestrun-cli" convert --out "$dir" ${options[$key]} "$sample") ;;
  esac
}

# The file ffprobe is to read after a run of KEY in DIR (for AVCHD the largest stream file of
# the folder named like the source).
result_of() {
  local key=$1 dir=$2
  case $key in
    mp4) echo "$dir/$name.mp4" ;;
    m2ts | fast) echo "$dir/$name.mpg" ;;
    avchd)
      [ -d "$dir/$name" ] || return 0
      find "$dir/$name" -type f \( -iname '*.m2ts' -o -iname '*.mts' \) -printf '%s %p\n' |
        sort -n | tail -1 | cut -d' ' -f2- ;;
    *-peer | *-limit) find "$dir" -maxdepth 1 -type f -name 'out.*' | head -1 ;;
  esac
}

declare -A times=() written=() cpu=() failed=() facts=()
for round in $(seq 1 "$runs"); do
  cat "$sample" >/dev/null
  for key in "${order[@]}"; do
    dir="$outputs/$key"
    log="$outputs/$key.log"
    rm -rf "$dir"
    mkdir -p "$dir"
    command_of "$key" "$dir"
    sync
    read -r status seconds wrote peak_kb cpu_seconds < <(measure "$log" "${command[@]}")
    result=$(result_of "$key" "$dir")
    problem=""
    if [ "$status" -ne 0 ]; then
      problem="exit $status"
    elif [ -z "$result" ] || [ ! -s "$result" ]; then
      problem="no result"
    elif ! got=$(streams_of "$result"); then
      problem="ffprobe reads no video and audio stream in $(basename "$result")"
    fi
    if [ -n "$problem" ]; then
      failed[$key]=$((${failed[$key]:-0} + 1))
      cp "$log" "$outputs/$key.failed-$round.log"
      printf 'round %d: %-10s FAILED (%s); its messages:\n' "$round" "$key" "$problem"
      tail -n 15 "$log" | sed 's/^/    /'
    else
      times[$key]+="$seconds "
      written[$key]+="$wrote "
      cpu[$key]+="$cpu_seconds "
      if [ "$round" -eq "$runs" ]; then
        frames=$(video_frames "$result")
        facts[$key]="$got, $frames frames"
        [ "$frames" = "$source_frames" ] || facts[$key]+=" (NOT the source's $source_frames)"
      fi
      printf 'round %d: %-10s %7.2f s  CPU %6.2f s  wrote %6d MB  peak %5d MB\n' "$round" "$key" \
        "$seconds" "$cpu_seconds" $((wrote / 1000000)) $((peak_kb / 1024))
    fi
    rm -rf "$dir"
  done
done
sync
echo "after:  $(load_line)"

# The median seconds of KEY ("-" without a successful run) and its median bytes per source byte.
median_of() {
  # shellcheck disable=SC2086  # the list is numbers separated by spaces
  if [ -n "${times[$1]:-}" ]; then printf '%.2f' "$(median ${times[$1]})"; else echo "-"; fi
}
per_source_byte() {
  local m
  # shellcheck disable=SC2086
  if [ -n "${written[$1]:-}" ]; then m=$(median ${written[$1]}); ratio "$m" "$bytes"; else echo "-"; fi
}

echo
echo "Medians of $runs alternating runs; written = bytes written per byte of source (median)."
printf '%-16s %8s %8s %8s %13s %13s %5s  %s\n' "Output" "Kestrun" "limit" "peer" \
  "K/limit (<=)" "K/peer (<=)" "" "written: Kestrun, limit, peer"
for key in "${rows[@]}"; do
  f=${family[$key]}
  k=$(median_of "$key")
  l=$(median_of "$f-limit")
  p=$(median_of "$f-peer")
  rl=$(ratio "$k" "$l")
  rp=$(ratio "$k" "$p")
  verdict=pass
  if [ -n "${failed[$key]:-}" ] || ! at_most "$rl" "${limit_target[$key]}" ||
    ! at_most "$rp" "${peer_target[$key]}"; then
    verdict=fail
  fi
  printf '%-16s %8s %8s %8s %6s (%4s) %6s (%4s) %5s  %s, %s, %s\n' "${label[$key]}" "$k" "$l" "$p" \
    "$rl" "${limit_target[$key]}" "$rp" "${peer_target[$key]}" "$verdict" \
    "$(per_source_byte "$key")" "$(per_source_byte "$f-limit")" "$(per_source_byte "$f-peer")"
done
echo
echo "The same ratios of the CPU seconds (user + system, medians): a busy machine stretches them far"
echo "less, but they are not what the targets measure (a chain may run two tools side by side):"
for key in "${rows[@]}"; do
  f=${family[$key]}
  if [ -z "${cpu[$key]:-}" ] || [ -z "${cpu[$f-limit]:-}" ] || [ -z "${cpu[$f-peer]:-}" ]; then
    continue
  fi
  # shellcheck disable=SC2086
  k=$(median ${cpu[$key]})
  # shellcheck disable=SC2086
  printf '  %-16s K/limit %6s   K/peer %6s\n' "${label[$key]}" \
    "$(ratio "$k" "$(median ${cpu[$f-limit]})")" "$(ratio "$k" "$(median ${cpu[$f-peer]})")"
done
echo
echo "Each command: wall seconds (median, fastest, slowest), CPU seconds (user + system, median;"
echo "a busy machine stretches these far less) and MB written (median):"
for key in "${order[@]}"; do
  [ -n "${times[$key]:-}" ] || continue
  # shellcheck disable=SC2086
  printf '  %-10s %7.2f %7.2f %7.2f   CPU %7.2f   %6d MB\n' "$key" "$(median ${times[$key]})" \
    "$(printf '%s\n' ${times[$key]} | sort -g | head -1)" \
    "$(printf '%s\n' ${times[$key]} | sort -g | tail -1)" "$(median ${cpu[$key]})" \
    "$(median ${written[$key]} | awk '{printf "%d", $1 / 1e6}')"
done
echo
echo "Results of the last round (source: $source_frames video frames):"
for key in "${order[@]}"; do
  note=""
  [ -z "${failed[$key]:-}" ] || note=" (${failed[$key]} of $runs runs failed)"
  printf '  %-10s %s%s\n' "$key" "${facts[$key]:-no result in the last round}" "$note"
done
echo "Messages of the commands: $outputs"

# Where the time goes: one more run of each output from a copy whose tools report themselves
# (wrap_tools), not counted above.
[ "${KESTRUN_BENCH_TRACE:-1}" = 0 ] && exit 0
copy_program "$traced"
wrap_tools "$traced" "$outputs/processes.log"
echo
echo "Where the time goes (one more run of each output; the tools' start after the run's start,"
echo "wall time, bytes written and peak memory; \"in kestrun-cli\" is the time no tool ran):"
for key in "${rows[@]}"; do
  dir="$outputs/$key"
  rm -rf "$dir"
  mkdir -p "$dir"
  : >"$outputs/processes.log"
  sync
  start=$(now)
  # shellcheck disable=SC2086  # the options are words without spaces
  read -r status seconds wrote peak_kb cpu_seconds < <(measure "$outputs/$key.log" \
    "$traced/kestrun-cli" \
    convert --out "$dir" ${options[$key]} "$sample")
  rm -rf "$dir"
  printf '  %s: %.2f s (CPU %.2f s), exit %d, wrote %d MB\n' "${label[$key]}" "$seconds" \
    "$cpu_seconds" "$status" $((wrote / 1000000))
  sort -n "$outputs/processes.log" | awk -v s="$start" -v total="$seconds" '
    $1 ~ /^[0-9.]+$/ {
      a = $1 - s; b = a + $2
      printf "    at %6.2f s  %6.2f s  %6d MB  %5d MB  %s\n", a, $2, $5 * 512 / 1e6, $3 / 1024, $4
      if (b > end) {busy += b - ((a > end) ? a : end); end = b}
    }
    END {printf "    %-17s %6.2f s  in kestrun-cli\n", "", total - busy}'
done
