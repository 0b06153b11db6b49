#pragma once
// The values one MKV conversion shares between its stages; made afresh by every ConvertMkv call.
#include <cstdint>
#include <string>

namespace kestrun {

struct Context;
class Form1;

struct Conversion {
    // "ac3", "dts", "ogg", "mp3", "aac", "mp2", "wav" (decoded in-process) or ""
    std::string audioFormat;
    std::string baseName;  // source file name without its last four characters
    std::string fps;       // txtSFPS, "25.000" after the 25-frames stage
    std::string lastCommand;

    // Tool paths built at the start of the conversion.
    std::string mkvextract, mkvmerge, ssa2srt, ffmpeg, mp4box, mpgtx, h264info, besweet,
        soundstretch, tsmuxer, aften, valdec, mencoder;
    std::string neroPath;
    bool neroFound = false;
    // The Nero encoder really wrote the audio into the final MP4 during this conversion.
    bool neroWroteMp4 = false;

    bool h264Recode = false;
    bool xvidRecode = false;

    // How much later the chosen audio track starts than the video, in milliseconds (negative:
    // earlier), as far as the muxer still has to add it: decoding to movie.wav moves the sound
    // into place itself and leaves 0 here.
    std::int64_t audioDelayMs = 0;

    // Channels of the movie.wav the in-process decoder wrote last; 0 before it ran.
    int wavChannels = 0;
};

// "MPEG2 Recode" with a format chosen in the list (0 MPEG-2, 1 H.264, 2 Xvid). Without a format
// nothing is re-encoded and the source's video goes to the muxing chains.
bool ReencodesVideo(const Form1& form);

// Whether the audio track chosen in the window (txtS2) is one no format button names but the
// in-process decoder reads; the analysis decides this, not the buttons.
bool ChosenTrackDecodedInProcess(const Context& ctx);
// The conversion's audio is such a track: decoded to movie.wav, never extracted.
bool DecodesInProcess(const Conversion& conv);

// The quotation mark the command lines are built with.
inline constexpr char Q = '"';
inline std::string Quoted(const std::string& text) { return Q + text + Q; }

// Names of the work folder: the folder text followed by a fixed file name.
std::string Work(const Context& ctx, std::string_view name);
// "movie." followed by the audio format text.
std::string WorkAudio(const Context& ctx, const Conversion& conv);
// The source path with surrounding blanks removed, as the mkvextract commands carry it.
std::string TrimmedSource(const Context& ctx);
// The start of the audio track `audioTrack` less that of the video track `videoTrack` (track
// numbers as text), in milliseconds; 0 unless the analysis knows both starts.
std::int64_t AudioDelayMs(const Context& ctx, const std::string& videoTrack,
                          const std::string& audioTrack);
// Whether a frame rate text is a number: the analysis shows "unknown" where the source gives none,
// and the tools are then left to take the rate from the stream.
bool FrameRateKnown(const std::string& fps);
// Runs a command line at the window's priority, remembering it as the last command.
int Run(Context& ctx, Conversion& conv, const std::string& commandLine);
// Deletes a work-folder file without force; missing or read-only files are skipped.
void DeleteWork(const Context& ctx, std::string_view name);
// Renames a work-folder file; a missing source or an existing target makes it a no-op.
void RenameWork(const Context& ctx, std::string_view from, std::string_view to);
// The end steps of the MP4 and M2TS chains: the chosen subtitle file is forgotten and the window
// goes back on top.
void EndSteps(Context& ctx);
// A problem of our own finding: a message box for a person, a progress line and a log entry in
// batch and command-line runs, which nobody is there to answer.
void Report(Context& ctx, const std::string& text, const std::string& title);
// Shows a critical message box with an OK button.
void ShowError(Context& ctx, const std::string& text, const std::string& title);

}  // namespace kestrun
