#!/usr/bin/env bash
# kestrun-cli check reads headers and parameter sets only, so its time must not grow with the
# file's size (target: under 0.5 s a file). Times it on three files of one recipe (1080p H.264
# High 5.1 with AC-3 5.1, and M2TS and AVI variants) and on a sparse copy of the MKV stretched to
# 20 GiB, several runs each, and prints the slowest run per file.
#
# Environment:
#   KESTRUN_BENCH_DIR   folder for the cached samples (default /tmp/kestrun-bench)
#   KESTRUN_BENCH_RUNS  runs per file (default 5)
#   KESTRUN_PROGRAM_DIR built program folder (default build/kestrun of this repository)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/bench/common.sh"
runs=${KESTRUN_BENCH_RUNS:-5}
copy="$bench/program-copy"
copy_program "$copy"

make_sample() {  # NAME EXTRA-FFMPEG-OPTIONS...
  local out="$bench/$1"
  shift
  [ -s "$out" ] && return
  ffmpeg -nostdin -y -v error -f lavfi -i testsrc2=size=1920x1080:rate=24000/1001 \
    -f lavfi -i sine=sample_rate=48000 -t 20 -c:a ac3 -ac 6 "$@" "$out"
}
h264=(-c:v libx264 -preset ultrafast -profile:v high -level 5.1)
make_sample "check 1080p.mkv" "${h264[@]}"
make_sample "check 1080p.m2ts" "${h264[@]}"
make_sample "check 1080p.avi" -c:v libxvid -vtag XVID
stretched="$bench/check 20GiB.mkv"
cp --sparse=always "$bench/check 1080p.mkv" "$stretched"
truncate -s 20G "$stretched"

for file in "$bench/check 1080p.mkv" "$bench/check 1080p.m2ts" "$bench/check 1080p.avi" \
  "$stretched"; do
  slowest=0
  for _ in $(seq "$runs"); do
    start=$(now)
    "$copy/kestrun-cli" check "$file" >/dev/null
    end=$(now)
    slowest=$(elapsed "$start" "$end" | awk -v s="$slowest" '{print ($1 > s) ? $1 : s}')
  done
  printf '%-28s slowest of %d runs: %.3f s\n' "$(basename "$file")" "$runs" "$slowest"
done
