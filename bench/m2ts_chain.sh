#!/usr/bin/env bash
# The M2TS chain against one FFmpeg command writing the same transport stream, on the benchmark
# sample of bench/sample.sh (1080p H.264 High 5.1 with B-frames, AC-3 5.1, at least 500 MB).
# Alternately and several times each, runs
#   kestrun-cli convert --out DIR --container m2ts SAMPLE               (the window's defaults)
#   kestrun-cli convert --out DIR --container m2ts --fast-mux SAMPLE    ("Fast Mux" checked)
#   ffmpeg -i SAMPLE -map 0:v -map 0:a -c copy -f mpegts -mpegts_m2ts_mode 1 OUT
# and prints the wall-clock times and the ratios of the medians (target: at most 1.5). With the
# defaults the chain takes the video out of the MKV and h264info rewrites it before tsMuxeR
# muxes it, three full writes of the stream; "Fast Mux" has tsMuxeR read the MKV itself.
#
# Memory: while kestrun-cli runs, its process tree is sampled every 0.1 s and the peak resident
# size (VmHWM) of each process is kept, so the peak of every tool of the chain is printed by
# name; FFmpeg's own peak comes from GNU time.
#
# Environment: KESTRUN_BENCH_DIR, KESTRUN_BENCH_RUNS, KESTRUN_PROGRAM_DIR as for mp4_chain.sh.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/bench/common.sh"
runs=${KESTRUN_BENCH_RUNS:-3}

require ffmpeg ffprobe /usr/bin/time "$program/kestrun-cli"
load_before=$(load_line)
. "$root/bench/sample.sh"
# kestrun-cli runs from a copy, so that its logs stay out of the build.
copy="$bench/program-copy"
copy_program "$copy"

# Prints "name peak_kB" for every process below $1 (and itself) until it ends.
watch_tree() {
  local top=$1
  declare -A peak=()
  while kill -0 "$top" 2>/dev/null; do
    local pids=("$top") i=0
    while [ $i -lt ${#pids[@]} ]; do
      for child in $(cat /proc/"${pids[$i]}"/task/*/children 2>/dev/null); do pids+=("$child"); done
      i=$((i + 1))
    done
    for pid in "${pids[@]}"; do
      local name hwm
      name=$(cat /proc/"$pid"/comm 2>/dev/null) || continue
      hwm=$(awk '/^VmHWM/ {print $2}' /proc/"$pid"/status 2>/dev/null) || continue
      [ -n "$hwm" ] || continue
      if [ -z "${peak[$name]:-}" ] || [ "$hwm" -gt "${peak[$name]}" ]; then peak[$name]=$hwm; fi
    done
    sleep 0.1
  done
  for name in "${!peak[@]}"; do echo "$name ${peak[$name]}"; done
}

kestrun_times=()
fast_times=()
ffmpeg_times=()
# Runs the chain once with the extra options given; prints its wall-clock seconds.
run_chain() {
  local out="$bench/kestrun-m2ts" start end status
  rm -rf "$out"; mkdir -p "$out"
  start=$(now)
  "$copy/kestrun-cli" convert --out "$out" --container m2ts "$@" "$sample" >/dev/null \
    2>"$bench/m2ts.log" &
  local cli=$!
  watch_tree "$cli" >"$bench/m2ts-peaks$*.txt"
  set +e; wait "$cli"; status=$?; set -e
  end=$(now)
  if [ "$status" -ne 0 ] || [ ! -s "$out/bench 1080p ac3.mpg" ] ||
    ! streams_of "$out/bench 1080p ac3.mpg" >/dev/null; then
    echo "kestrun-cli convert $* failed (exit $status):" >&2
    cat "$bench/m2ts.log" >&2
    exit 1
  fi
  rm -rf "$out"
  elapsed "$start" "$end"
}

for i in $(seq 1 "$runs"); do
  t=$(run_chain)
  kestrun_times+=("$t")
  printf 'run %d: kestrun-cli            %7.2f s\n' "$i" "$t"
  t=$(run_chain --fast-mux)
  fast_times+=("$t")
  printf 'run %d: kestrun-cli Fast Mux   %7.2f s\n' "$i" "$t"

  ff_out="$bench/ffmpeg-out.m2ts"
  start=$(now)
  /usr/bin/time -v -o "$bench/time-ffmpeg.txt" ffmpeg -nostdin -v error -y -i "$sample" \
    -map 0:v -map 0:a -c copy -f mpegts -mpegts_m2ts_mode 1 "$ff_out"
  end=$(now)
  t=$(elapsed "$start" "$end")
  ffmpeg_times+=("$t")
  ff_kb=$(sed -n 's/^[[:space:]]*Maximum resident set size (kbytes): //p' "$bench/time-ffmpeg.txt")
  printf 'run %d: ffmpeg                 %7.2f s\n' "$i" "$t"
  rm -f "$ff_out"
done

k=$(median "${kestrun_times[@]}")
fk=$(median "${fast_times[@]}")
f=$(median "${ffmpeg_times[@]}")
echo
echo "Peak resident size of each process of the last kestrun-cli run (defaults, then Fast Mux):"
for peaks in "$bench/m2ts-peaks.txt" "$bench/m2ts-peaks--fast-mux.txt"; do
  sort -k2 -n -r "$peaks" | awk '{printf "  %-16s %6d MB\n", $1, $2 / 1024}'
  echo "  --"
done
printf '  %-16s %6d MB\n' "ffmpeg (alone)" $((ff_kb / 1024))
echo
echo "before: $load_before"
echo "after:  $(load_line)"
printf 'median ffmpeg: %.2f s\n' "$f"
printf 'median kestrun-cli, defaults: %.2f s   ratio: %s (target <= 1.5)\n' "$k" "$(ratio "$k" "$f")"
printf 'median kestrun-cli, Fast Mux: %.2f s   ratio: %s (target <= 1.5)\n' "$fk" "$(ratio "$fk" "$f")"
