#pragma once
// The FFmpeg command lines of the conversion chains were written for a 2008 FFmpeg. This unit
// rewrites their option spellings for FFmpeg 5.1 and finds the input and output files on the way.
#include <string>
#include <vector>

namespace standin {

struct FfmpegInvocation {
    std::vector<std::string> args;     // translated arguments, without the program name
    std::vector<std::string> inputs;   // files read (after "-i"), as they will be opened
    std::vector<std::string> outputs;  // files written
};

// Rewrites a 2008 argument list (without the program name):
//  "-acodec X" -> "-c:a X" ("libfaac" becomes FFmpeg's own AAC-LC encoder "aac", fast coder),
//  "-vcodec X" -> "-c:v X", "-scodec X" -> "-c:s X",
//  "-ab N" -> "-b:a N" and "-b N" -> "-b:v N", with "224kb" written "224k" in every bitrate,
//  "-f mp2" before an input -> "-f mp3" (one demuxer reads both layers),
//  "-bug X" dropped (a decoder work-around that no longer applies),
//  "-y" and "-nostdin" dropped (the command head always carries them).
// Input paths that do not exist are opened the old way, without trailing blanks and dots.
// Every other option passes through unchanged.
FfmpegInvocation TranslateLegacyFfmpegArgs(const std::vector<std::string>& legacy);

}  // namespace standin
