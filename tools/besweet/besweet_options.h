#pragma once
// The audio converter's grouped command line, "BeSweet -core( -input IN -2ch -output OUT )
// -ota( -r FROM TO )", and the FFmpeg arguments that do the same to a WAV file.
#include <string>
#include <vector>

namespace standin {

struct TempoRequest {
    std::string input;
    std::string output;
    bool downmixToStereo = false;  // -2ch
    long long fromRate = 0;        // -ota( -r FROM TO ): frame rates times 1000; 0 when absent
    long long toRate = 0;
};

// Reads the argument list (without the program name), in which the runner has split "-core("
// and ")" into words of their own. On a malformed or unsupported line returns false with a
// message in `error`.
bool ParseBeSweetArgs(const std::vector<std::string>& args, TempoRequest* request,
                      std::string* error);

// The FFmpeg arguments after the command head. A frame rate change FROM -> TO plays the audio
// TO/FROM times as fast, so that it stays in step with video whose frames are shown at the new
// rate. It is a resample, as the tool's was: the pitch rises with the tempo (23.976 to 25 frames
// gives about +0.72 semitone, which is why the chain lowers it by a semitone first).
std::vector<std::string> FfmpegTempoArgs(const TempoRequest& request);

}  // namespace standin
