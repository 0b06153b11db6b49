#pragma once
// The decode itself, on the calling thread: source audio track to a finished WAV file.
#include <atomic>
#include <cstdint>
#include <functional>

#include "decoder/decode_to_wav.h"
#include "decoder/wav_header.h"

namespace kestrun {

// Decodes request.source into request.outputWav. `fileBytes` follows the size of the file as it
// grows; `stopRequested` is polled between packets and during reads. Returns the format written.
// Throws DecodeError; the output file is then removed.
WavFormat DecodeAudioTrack(const DecodeRequest& request, std::atomic<std::int64_t>& fileBytes,
                           const std::function<bool()>& stopRequested);

}  // namespace kestrun
