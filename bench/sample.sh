# Sourced by the bench scripts: makes (once, then cached) the benchmark sample, an MKV of at
# least 500 MB: 1080p H.264 with B-frames at level 5.1 and AC-3 5.1. Sets $sample and $bytes.
# Needs $bench (the cache folder).
sample="$bench/bench 1080p ac3.mkv"
min_bytes=$((500 * 1000 * 1000))
size_of() { stat -c %s "$1" 2>/dev/null || echo 0; }

if [ "$(size_of "$sample")" -lt "$min_bytes" ]; then
  echo "Making the sample (once; cached in $bench)..."
  # Noise keeps the picture from compressing, so ultrafast at a high rate gives the size fast.
  # The sound is film-like in load: independent pink noise on each of the six channels.
  noise=""
  for c in 0 1 2 3 4 5; do
    noise+="anoisesrc=color=pink:sample_rate=48000:amplitude=0.25:seed=$((c + 1))[n$c];"
  done
  ffmpeg -nostdin -hide_banner -v error -y \
    -f lavfi -i "testsrc2=size=1920x1080:rate=24000/1001,noise=alls=12:allf=t" \
    -filter_complex "${noise}[n0][n1][n2][n3][n4][n5]join=inputs=6:channel_layout=5.1[a]" \
    -t 120 -map 0:v -map "[a]" \
    -c:v libx264 -preset ultrafast -profile:v high -level 5.1 -bf 2 -pix_fmt yuv420p \
    -b:v 40M -maxrate 40M -bufsize 40M \
    -c:a ac3 -b:a 448k \
    -f matroska "$sample.part"
  mv "$sample.part" "$sample"
fi
bytes=$(size_of "$sample")
if [ "$bytes" -lt "$min_bytes" ]; then
  echo "the sample is only $bytes bytes; remove it and raise the bitrate" >&2
  exit 1
fi
echo "Sample: $sample ($((bytes / 1000000)) MB)"
ffprobe -v error -show_entries stream=codec_name,profile,level,width,height,avg_frame_rate,channels \
  -show_entries format=duration -of compact=p=0 "$sample"
cat "$sample" >/dev/null  # both sides start from the page cache
