# Sourced first by the bench scripts, once they have set $root: the program folder, the cache
# folder for samples ($bench), `require TOOL...`, which stops with a hint when one is missing, and
# the small helpers the scripts share for timing and their summaries.
program=${KESTRUN_PROGRAM_DIR:-$root/build/kestrun}
bench=${KESTRUN_BENCH_DIR:-/tmp/kestrun-bench}
mkdir -p "$bench"
require() {
  local need
  for need in "$@"; do
    if ! command -v "$need" >/dev/null 2>&1; then
      echo "missing: $need (run scripts/setup.sh, then scripts/build.sh)" >&2
      exit 1
    fi
  done
}

# now: seconds since the epoch with fractions; elapsed A B: B - A in seconds.
now() { date +%s.%N; }
elapsed() { awk -v a="$1" -v b="$2" 'BEGIN {printf "%.3f", b - a}'; }
# median VALUE...: the middle value (the mean of the two middle ones for an even count).
median() {
  printf '%s\n' "$@" | sort -g |
    awk '{v[NR]=$1} END {print (NR%2) ? v[(NR+1)/2] : (v[NR/2]+v[NR/2+1])/2}'
}
# ratio A B: A / B with two decimals ("-" when A is no number or B is not a positive one).
ratio() {
  awk -v a="$1" -v b="$2" 'BEGIN {
      if (a ~ /^[0-9.e+]+$/ && b + 0 > 0) printf "%.2f", a / b; else print "-"}'
}
# at_most VALUE LIMIT: whether VALUE is a number not above LIMIT.
at_most() { awk -v v="$1" -v l="$2" 'BEGIN {exit !(v ~ /^[0-9.]+$/ && v + 0 <= l + 0)}'; }
# The machine's load, for the summaries: the load averages and the running/all task counts.
load_line() { echo "load $(cut -d' ' -f1-4 /proc/loadavg) on $(nproc) cores ($(date -u +%H:%M:%S) UTC)"; }

# measure LOG COMMAND...: runs COMMAND (output to LOG) and prints
# "STATUS SECONDS WRITTEN_BYTES PEAK_KB CPU_SECONDS"; bench/measure.py says what each counts.
measure() { python3 "$root/bench/measure.py" "$@"; }

# copy_program DIR: a fresh copy of the program folder in DIR without the settings file and the
# logs, so that runs from it start from the defaults and write their logs beside the copy, never
# into the build.
copy_program() {
  rm -rf "$1"
  cp -a "$program" "$1"
  rm -f "$1/Kestrun.conf" "$1/debug.log" "$1/tools.log"
}

# wrap_tools DIR LOG: turns every tool of the program copy in DIR into a wrapper that runs the
# real one (kept beside it as .NAME.real, so that a tool still finds its own folder) under GNU
# time, which appends "START_EPOCH WALL_SECONDS PEAK_KB NAME WRITTEN_BLOCKS" to LOG (NAME: the
# tool's path under DIR). The figures are the tool's own getrusage ones with anything it started
# and waited for (FFmpeg behind the FFmpeg stand-in); WRITTEN_BLOCKS counts 512-byte blocks as
# bench/measure.py says. A wrapper costs a few milliseconds per tool run.
wrap_tools() {
  local dir=$1 log=$2 tool rel real
  while IFS= read -r -d '' tool; do
    rel=${tool#"$dir"/}
    real="$(dirname "$tool")/.$(basename "$tool").real"
    mv "$tool" "$real"
    {
      echo '#!/bin/bash'
      echo 'start=$EPOCHREALTIME'
      printf 'exec /usr/bin/time -a -o %q -f "$start %%e %%M %s %%O" %q "$@"\n' "$log" "$rel" "$real"
    } >"$tool"
    chmod +x "$tool"
  done < <(find "$dir" -mindepth 2 \( -type f -o -type l \) -perm -u+x ! -name '.*.real' -print0)
}

# The video frames (packets) of a file's first video stream.
video_frames() {
  ffprobe -v error -select_streams v:0 -count_packets -show_entries stream=nb_read_packets \
    -of csv=p=0 "$1" | awk '/^[0-9]+$/ && !n {n = $1} END {print n}'
}

# Prints what ffprobe reads of FILE ("h264 level 41 / aac 6 ch"); fails without a video and an
# audio stream.
streams_of() {
  local facts
  facts=$(ffprobe -v error -show_entries stream=codec_type,codec_name,level,channels \
    -of compact=p=0:nk=0 "$1" 2>/dev/null) || return 1
  # A transport stream lists its streams once more under its program: keep each line once.
  facts=$(grep 'codec_type=' <<<"$facts" | awk '!seen[$0]++')
  grep -q 'codec_type=video' <<<"$facts" && grep -q 'codec_type=audio' <<<"$facts" || return 1
  awk -F'|' '{
      delete f; for (i = 1; i <= NF; i++) {split($i, kv, "="); f[kv[1]] = kv[2]}
      if (f["codec_type"] == "video") s = s sep f["codec_name"] " level " f["level"]
      else if (f["codec_type"] == "audio") s = s sep f["codec_name"] " " f["channels"] " ch"
      else s = s sep f["codec_type"] " " f["codec_name"]
      sep = " / "
    } END {print s}' <<<"$facts"
}
