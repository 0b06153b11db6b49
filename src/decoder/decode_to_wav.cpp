#include "decoder/decode_to_wav.h"

#include <exception>

#include "decoder/audio_decoder.h"
#include "decoder/decode_error.h"
#include "decoder/progress_wait.h"
#include "platform/work_files.h"

namespace kestrun {
namespace {

std::string WorkFile(const std::string& workFolder, std::string_view name) {
    if (workFolder.empty() || workFolder.back() == '/') return workFolder + std::string(name);
    return workFolder + '/' + std::string(name);
}

DecodeResult Failure(const DecodeRequest& request, const std::string& reason) {
    DecodeResult result;
    result.error = request.setupName + ": " + reason;
    return result;
}

DecodeResult DecodeOnThisThread(const DecodeRequest& request, std::atomic<std::int64_t>& fileBytes,
                                const std::function<bool()>& stopRequested) {
    try {
        const WavFormat format = DecodeAudioTrack(request, fileBytes, stopRequested);
        DecodeResult result;
        result.ok = true;
        result.bytesWritten = fileBytes.load();
        result.channels = format.channels;
        result.sampleRate = format.sampleRate;
        return result;
    } catch (const DecodeError& error) {
        return Failure(request, error.what());
    } catch (const std::bad_alloc&) {
        return Failure(request, "out of memory");
    } catch (const std::exception& error) {
        return Failure(request, std::string("unexpected failure: ") + error.what());
    }
}

}  // namespace

DecodeResult DecodeToWav(const DecodeRequest& request, const DecodeProgress& progress,
                         const DecodePump& pump) {
    std::atomic<std::int64_t> fileBytes{0};
    std::atomic<bool> stop{false};
    const std::function<bool()> stopRequested = [&] {
        return stop.load() || (request.cancel && request.cancel->load());
    };
    DecodeResult result;
    RunWithProgress([&] { result = DecodeOnThisThread(request, fileBytes, stopRequested); },
                    fileBytes, progress, pump, stop);
    return result;
}

DecodeResult DecodeAc3ToWav(const std::string& source, const std::string& workFolder,
                            int trackNumber, const DecoderSettings& settings,
                            const DecodeCallbacks& callbacks, std::int64_t leadMs) {
    DecodeRequest request;
    request.source = source;
    request.trackNumber = trackNumber;
    request.leadMs = leadMs;
    request.outputWav = WorkFile(workFolder, work::kMovieWav);
    request.settings = settings;
    request.setupName = std::string(kAc3FilterSetup);
    request.cancel = callbacks.cancel;
    return DecodeToWav(request, callbacks.progress, callbacks.pump);
}

DecodeResult DecodeWmaToWav(const std::string& source, const std::string& workFolder,
                            const DecodeCallbacks& callbacks) {
    DecodeRequest request;
    request.source = source;
    request.outputWav = WorkFile(workFolder, work::kMovieWav);
    request.setupName = std::string(kWmaDecoderSetup);
    request.cancel = callbacks.cancel;
    return DecodeToWav(request, callbacks.progress, callbacks.pump);
}

std::string WavProgressText(std::int64_t fileBytes) {
    return std::to_string(fileBytes) + std::string(kWavProgressSuffix);
}

}  // namespace kestrun
