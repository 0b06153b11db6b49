#pragma once
// The in-process audio decoder: writes a source's audio as a 16-bit PCM WAV file on a worker
// thread while the calling thread keeps reporting the size written and pumping its events.
//
// Two set-ups keep the names the window shows: "AC3Filter" decodes the chosen track of an MKV
// (AC-3, DTS, AAC, MP3, Vorbis, any audio FFmpeg knows) with the settings of the "AC3Filter
// Options" dialog; "WMAudio Decoder DMO" decodes the first audio stream of a WMV as it is.
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "decoder/decoder_settings.h"

namespace kestrun {

inline constexpr std::string_view kAc3FilterSetup = "AC3Filter";
inline constexpr std::string_view kWmaDecoderSetup = "WMAudio Decoder DMO";
inline constexpr std::string_view kWavProgressSuffix = " Bytes WAV written";

struct DecodeRequest {
    std::string source;
    // Matroska TrackNumber as the track report gives it (1-based); 0, or a number that names no
    // audio track, takes the first audio stream.
    int trackNumber = 0;
    std::string outputWav;
    DecoderSettings settings;
    std::string setupName = std::string(kAc3FilterSetup);  // starts every error text
    // Moves the sound against the start of the file: a positive value puts that many
    // milliseconds of silence before the first sample, a negative one leaves out that much of
    // the track's beginning. A track that starts later or earlier than its video keeps its place
    // so in a file whose tracks all start together.
    std::int64_t leadMs = 0;
    // Raised by the caller (a closing window) to stop the decode; may be null.
    std::atomic<bool>* cancel = nullptr;
};

struct DecodeResult {
    bool ok = false;
    // Size of the finished file, header included; 0 after a failure (the file is removed).
    std::int64_t bytesWritten = 0;
    int channels = 0;
    int sampleRate = 0;
    std::string error;  // "AC3Filter: source file is empty: /films/a.mkv"
};

using DecodeProgress = std::function<void(std::int64_t fileBytes)>;
using DecodePump = std::function<void()>;

// Decodes on a worker thread. On the calling thread pump() runs about every 50 ms and
// progress() at least every 2 seconds, and once more with the final size. Returns when the
// decoder has finished and the file is complete and closed, or removed after a failure (no
// audio track, an unreadable source, a full disk, a cancel). Either callback may be empty.
DecodeResult DecodeToWav(const DecodeRequest& request, const DecodeProgress& progress,
                         const DecodePump& pump);

struct DecodeCallbacks {
    DecodeProgress progress;
    DecodePump pump;
    std::atomic<bool>* cancel = nullptr;
};

// Work folder & "movie.wav" from track `trackNumber` of the MKV, with `settings` applied.
// `leadMs` as in DecodeRequest.
DecodeResult DecodeAc3ToWav(const std::string& source, const std::string& workFolder,
                            int trackNumber, const DecoderSettings& settings,
                            const DecodeCallbacks& callbacks, std::int64_t leadMs = 0);
// Work folder & "movie.wav" from the first audio stream of the WMV, unchanged.
DecodeResult DecodeWmaToWav(const std::string& source, const std::string& workFolder,
                            const DecodeCallbacks& callbacks);

// "1048576 Bytes WAV written".
std::string WavProgressText(std::int64_t fileBytes);

}  // namespace kestrun
