#pragma once

namespace kestrun {
struct Context;

// WMV source (VC-1 video, WMA audio) to an AVCHD structure.
void ConvertWmv(Context& ctx);
// AVI source: re-encode the video to Xvid, or the audio to MP3.
void RecodeAviVideo(Context& ctx);
void RecodeAviAudio(Context& ctx);

}  // namespace kestrun
