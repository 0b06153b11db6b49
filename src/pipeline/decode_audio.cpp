// The chosen audio track decoded in-process to movie.wav, with the size written reported in the
// progress line while it runs.
#include <cstdlib>

#include "decoder/audio_decoder.h"
#include "model/context.h"
#include "pipeline/conversion.h"
#include "pipeline/stages.h"
#include "platform/file_api.h"

namespace kestrun {

bool DecodeAc3ToWav(Context& ctx, Conversion& conv) {
    const DecoderSettings settings =
        DecoderSettings::Load(ctx.files.StatePath("/" + std::string(kDecoderSettingsFile)));
    const int track = std::atoi(ctx.form.txtS2.text().c_str());
    DecodeCallbacks callbacks;
    callbacks.progress = [&ctx](std::int64_t bytes) { ctx.Progress(WavProgressText(bytes)); };
    callbacks.pump = [&ctx] { ctx.host.DoEvents(); };
    const DecodeResult result = kestrun::DecodeAc3ToWav(TrimmedSource(ctx), ctx.WorkPath(""), track,
                                                        settings, callbacks, conv.audioDelayMs);
    if (!result.ok) {
        ctx.Log(result.error);
        return false;
    }
    conv.audioDelayMs = 0;  // the WAV starts where the video does
    conv.wavChannels = result.channels;
    return true;
}

}  // namespace kestrun
