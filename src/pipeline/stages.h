#pragma once
// The stages of the MKV conversion, in the order the driver can run them. Each works on the
// window, the analysis and the conversion's shared values.
#include <cstdint>
#include <string>

namespace kestrun {

struct Context;
struct Conversion;

// ---- extraction
// The tool paths, frame rate, audio format and base name of the source in the window.
void GatherConversion(Context& ctx, Conversion& conv);
void ExtractStreams(Context& ctx, Conversion& conv);
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

// ---- muxing
void MuxMp4(Context& ctx, Conversion& conv);
// The final MP4: work folder, base name with every '.' made '_', ".mp4".
std::string Mp4OutputPath(const Context& ctx, const Conversion& conv);

// ---- clean-up
void CleanupAfterMp4(Context& ctx);
void CleanupAfterVc1(Context& ctx);
void CleanupAfterTs(Context& ctx);

// ---- outputs built later; each shows that it is not available yet and touches no file
// Pieces beyond the first that the source would be cut into; 0 when it is converted whole.
std::int64_t SplitCount(Context& ctx, Conversion& conv);
bool SplitSourceIfLarge(Context& ctx, Conversion& conv);
void RepackVob(Context& ctx, Conversion& conv);
void EncodeH264(Context& ctx, Conversion& conv);
void RunMpeg2Chain(Context& ctx, Conversion& conv);
void RunXvidChain(Context& ctx, Conversion& conv);
void RunAvchdChain(Context& ctx, Conversion& conv);
void RunM2tsChain(Context& ctx, Conversion& conv);

}  // namespace kestrun
