#pragma once
// The command line of the AC-3/DTS/MPEG audio decoder "valdec INPUT [options]" and the FFmpeg
// arguments that decode the same way into a WAV file.
#include <string>
#include <vector>

namespace standin {

struct DecodeRequest {
    std::string input;
    std::string output;       // "-w FILE" / "-wav FILE"
    std::string inputFormat;  // forced by -ac3, -dts or -mpa; empty: detected
    int speakers = 0;         // -spk:N; 0 keeps the file's layout
    int sampleFormat = 0;     // -fmt:N
    bool drc = false;         // -drc+ / -drc-
    double drcPowerDb = 0.0;  // -drc_power:P (also switches the compressor on)
    double gainDb = 0.0;      // -gain:G
};

// Reads the argument list (without the program name). On a malformed or unsupported line returns
// false and sets `error` to a message for the user.
bool ParseValdecArgs(const std::vector<std::string>& args, DecodeRequest* request,
                     std::string* error);

// The FFmpeg arguments after the command head: input, the first audio stream, the layout, level
// and sample format the options ask for, and the WAV output.
std::vector<std::string> FfmpegDecodeArgs(const DecodeRequest& request);

}  // namespace standin
