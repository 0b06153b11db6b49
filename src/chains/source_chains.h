#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace kestrun {
struct Context;
struct Conversion;

// WMV source (VC-1 video, WMA audio) to an AVCHD structure.
void ConvertWmv(Context& ctx);
// What the WMV chain cannot take, refused with the reason before any work: a re-encode, an
// output other than the AVCHD folder, a file without video or with video that is not VC-1
// Advanced Profile. True when refused.
bool RefuseWmvSource(Context& ctx);
// Its steps: asf2vc1 writes movie.vc1; aften turns movie.wav into movie.ac3 and the WAV goes;
// movie.meta (three lines) and tsMuxeR write the folder work & baseName.
void ExtractVc1(Context& ctx, Conversion& conv, const std::string& source);
void EncodeWavToAc3(Context& ctx, Conversion& conv);
void MuxWmvAvchd(Context& ctx, Conversion& conv, const std::string& baseName);
std::vector<std::string> WmvMetaLines(const Context& ctx);
// AVI source: re-encode the video to Xvid, or the audio to MP3. Both take the first audio
// track; NoteTakenAviAudio says so on the progress line and in the log when there are more.
void NoteTakenAviAudio(Context& ctx);
void RecodeAviVideo(Context& ctx);
void RecodeAviAudio(Context& ctx);
// The Xvid target of the video re-encode: minus the source's size in KiB ("-716800" for
// 734003200 bytes), which the encoder reads as a size.
std::string AviTargetSize(std::int64_t sourceBytes);

}  // namespace kestrun
