#pragma once
// The stages of the MKV conversion, in the order the driver can run them. Each works on the
// window, the analysis and the conversion's shared values.
#include <cstdint>
#include <string>
#include <vector>

namespace kestrun {

struct Context;
struct Conversion;

// ---- extraction
// The tool paths, frame rate, audio format and base name of the source in the window.
void GatherConversion(Context& ctx, Conversion& conv);
void ExtractStreams(Context& ctx, Conversion& conv);
// Whether ExtractStreams writes the audio track into the work folder as well.
bool ExtractionTakesAudio(const Context& ctx, const Conversion& conv);
// " N:"movie.fmt"" for the chosen MKV subtitle track, or empty; `format` receives
// "srt"/"SSA"/"ASS".
std::string SubtitlePiece(Context& ctx, std::string* format = nullptr);
void RunVc1Chain(Context& ctx, Conversion& conv);

// ---- level patch
void PatchSpsLevel(const std::string& path);
void RunH264Info(Context& ctx, const std::string& workFolder);

// ---- audio
// Decodes the chosen audio track of the source into movie.wav; true when the file was written.
bool DecodeAc3ToWav(Context& ctx, Conversion& conv);
void ConvertAudioForMp4(Context& ctx, Conversion& conv);
void ConvertAudioForM2ts(Context& ctx, Conversion& conv);
void ConvertAudioForAvchd(Context& ctx, Conversion& conv);
// Whether the AVCHD chain makes movie.ac3 from the source's audio: Vorbis and AAC, and MP3 and
// MP2, which Blu-ray and AVCHD streams cannot carry, and every track decoded in-process.
bool AvchdConvertsAudio(const Conversion& conv);

// ---- muxing
void MuxMp4(Context& ctx, Conversion& conv);
// The final MP4: work folder, base name with every '.' made '_', ".mp4".
std::string Mp4OutputPath(const Context& ctx, const Conversion& conv);

// ---- AVCHD and M2TS muxing (tsMuxeR)
void RunAvchdChain(Context& ctx, Conversion& conv);
// The AVCHD chain once its audio is converted: the level patch, the mux and the check.
void FinishAvchdChain(Context& ctx, Conversion& conv);
void RunM2tsChain(Context& ctx, Conversion& conv);
// The lines of movie.meta for each chain, without their line ends.
std::vector<std::string> AvchdMetaLines(const Context& ctx, const Conversion& conv);
std::vector<std::string> M2tsMetaLines(const Context& ctx, const Conversion& conv);
// " --split-size=NMB " for "Split > 4GB ?", " --split-size=4.5GB " for "Fit to DVD", or empty.
std::string AvchdSplitOption(const Context& ctx);
// Distance of the subtitles from the picture's bottom, as text ("50", "180", "171.5").
std::string SubtitleBottomOffset(const Context& ctx, const Conversion& conv);

// ---- clean-up
void CleanupAfterMp4(Context& ctx);
void CleanupAfterVc1(Context& ctx);
void CleanupAfterTs(Context& ctx);

}  // namespace kestrun
