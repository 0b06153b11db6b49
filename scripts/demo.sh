#!/usr/bin/env bash
# Sets up what is missing, builds, then converts a short generated MKV (H.264 High at level 5.1,
# 1280x720, 23.976 fps, AC-3 5.1) into an MP4 for the PS3 and shows what the MP4 holds.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
"$root/scripts/build.sh"
program="$root/build/kestrun"
echo "Program folder: $program"
find "$program" -maxdepth 2 \( -type f -o -type l \) | sort | sed "s|$program/||"

work=$(mktemp -d "${TMPDIR:-/tmp}/kestrun-demo.XXXXXX")
sample="$work/Demo Sample.mkv"
out="$work/ps3"
mkdir "$out"

echo
echo "Making the sample: $sample"
ffmpeg -nostdin -hide_banner -v error -y \
  -f lavfi -i "testsrc2=size=1280x720:rate=24000/1001" \
  -f lavfi -i "sine=frequency=440:sample_rate=48000" \
  -t 5 -map 0:v -map 1:a \
  -c:v libx264 -preset veryfast -profile:v high -level 5.1 -bf 2 -pix_fmt yuv420p \
  -c:a ac3 -b:a 448k -ac 6 \
  "$sample"
ffprobe -v error -show_entries stream=codec_name,profile,level,width,height,avg_frame_rate,channels \
  -of compact=p=0 "$sample"

echo
echo "Converting for the PS3 into $out"
"$program/kestrun-cli" convert --out "$out" --platform ps3 "$sample"

echo
echo "Result:"
ls -l "$out"
result="$out/Demo Sample.mp4"
ffprobe -hide_banner "$result"
ffprobe -v error -show_entries stream=codec_name,profile,level,channels,avg_frame_rate,duration \
  -of compact=p=0 "$result"
echo
echo "Files are in $work (remove it when done)."
