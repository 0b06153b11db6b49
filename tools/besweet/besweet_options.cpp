#include "besweet_options.h"

#include <cstdint>
#include <cstdio>
#include <optional>

#include "common/legacy_options.h"
#include "common/lib_names.h"
#include "media/libav_handles.h"

namespace standin {
namespace {

// The largest speed change accepted: a frame rate conversion never comes near it, and a larger
// one means a mistyped rate (for example "25" for "25000").
constexpr double kMaxSpeedChange = 2.0;
// Taken when the input's own rate cannot be read; the run then fails on the input anyway.
constexpr long long kUsualSampleRate = 48000;

class GroupReader {
public:
    GroupReader(const std::vector<std::string>& args, TempoRequest* request, std::string* error)
        : args_(args), request_(request), error_(error) {}

    bool Run() {
        while (i_ < args_.size()) {
            const std::string& word = args_[i_++];
            if (word == "-core(") {
                if (!ReadCore()) return false;
            } else if (word == "-ota(") {
                if (!ReadOta()) return false;
            } else {
                return Error("unsupported option or group: " + word);
            }
        }
        return true;
    }

private:
    bool ReadCore() {
        while (i_ < args_.size() && args_[i_] != ")") {
            const std::string& word = args_[i_++];
            if (word == "-2ch") {
                request_->downmixToStereo = true;
            } else if (word == "-6ch") {
                request_->downmixToStereo = false;
            } else if (word == "-input" || word == "-output" || word == "-logfile") {
                if (i_ == args_.size() || args_[i_] == ")") return Error(word + " needs a file");
                const std::string& path = args_[i_++];
                if (word == "-input") request_->input = ResolveLegacyInputPath(path);
                if (word == "-output") request_->output = WindowsTrimmedPath(path);
            } else {
                return Error("unsupported option in -core( ): " + word);
            }
        }
        return CloseGroup("-core(");
    }

    bool ReadOta() {
        while (i_ < args_.size() && args_[i_] != ")") {
            const std::string& word = args_[i_++];
            if (word != "-r") return Error("unsupported option in -ota( ): " + word);
            if (i_ + 2 > args_.size()) return Error("-r needs two frame rates");
            const auto from = ParseWholeNumber(args_[i_++]);
            const auto to = ParseWholeNumber(args_[i_++]);
            if (!from || !to || *from <= 0 || *to <= 0)
                return Error("-r needs two positive frame rates (times 1000), e.g. 23976 25000");
            request_->fromRate = *from;
            request_->toRate = *to;
        }
        return CloseGroup("-ota(");
    }

    bool CloseGroup(const std::string& name) {
        if (i_ == args_.size()) return Error("group " + name + " is not closed with ')'");
        ++i_;
        return true;
    }

    bool Error(const std::string& message) {
        *error_ = message;
        return false;
    }

    const std::vector<std::string>& args_;
    TempoRequest* request_;
    std::string* error_;
    size_t i_ = 0;
};

// The sample rate of the WAV's audio, as libavformat reads it; nullopt when it cannot be read.
std::optional<long long> WavSampleRate(const std::string& path) {
    try {
        const InputPtr input = OpenInput(path, false);
        if (input->nb_streams == 0) return std::nullopt;
        const int rate = input->streams[0]->codecpar->sample_rate;
        if (rate <= 0) return std::nullopt;
        return rate;
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

}  // namespace

bool ParseBeSweetArgs(const std::vector<std::string>& args, TempoRequest* request,
                      std::string* error) {
    if (!GroupReader(args, request, error).Run()) return false;
    if (request->input.empty() || request->output.empty()) {
        *error =
            "usage: BeSweet -core( -input IN.wav [-2ch] -output OUT.wav ) "
            "[-ota( -r FROM TO )]";
        return false;
    }
    if (request->fromRate != 0) {
        const double speed = static_cast<double>(request->toRate) / request->fromRate;
        if (speed > kMaxSpeedChange || speed < 1.0 / kMaxSpeedChange) {
            *error = "frame rate change " + std::to_string(request->fromRate) + " -> " +
                     std::to_string(request->toRate) + " is out of range";
            return false;
        }
    }
    return true;
}

std::vector<std::string> FfmpegTempoArgs(const TempoRequest& request) {
    std::vector<std::string> args = {"-i", request.input, "-map", "0:a:0"};
    std::string filters;
    if (request.fromRate != 0 && request.fromRate != request.toRate) {
        // The samples are played at a rate TO/FROM times their own and brought back to that
        // rate: tempo and pitch rise together, as when a film is sped up to 25 frames.
        const long long rate = WavSampleRate(request.input).value_or(kUsualSampleRate);
        filters =
            "asetrate=" +
            std::to_string((rate * request.toRate + request.fromRate / 2) / request.fromRate) +
            ",aresample=" + std::to_string(rate);
    }
    if (request.downmixToStereo)
        filters += (filters.empty() ? "" : ",") + std::string("aformat=channel_layouts=stereo");
    if (!filters.empty()) args.insert(args.end(), {"-af", filters});
    // Above 4 GiB a WAV header cannot hold the size; the file then becomes RF64.
    args.insert(args.end(), {"-c:a", "pcm_s16le", "-rf64", "auto", "-f", "wav", request.output});
    return args;
}

}  // namespace standin
