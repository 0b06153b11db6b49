#pragma once
// Media samples made at test time with FFmpeg and mkvmerge. Each recipe is made once into a
// cache folder shared by all test programs (keyed by the recipe, made under a temporary name and
// renamed, so that programs running side by side never see half a file); tests copy what they
// change or want under another name.
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace kestrun::test {

// ffmpeg -nostdin -y -v error ARGS; throws std::runtime_error with its errors when it fails.
void Ffmpeg(const std::vector<std::string>& args);
// mkvmerge -q ARGS; throws when it fails (exit code 1, warnings only, is accepted).
void Mkvmerge(const std::vector<std::string>& args);

// The cached file of `recipe` (any text naming what `make` does): `make(path)` writes it at
// `path`, whose extension is `extension`, the first time any test program asks for it.
std::string CachedSample(const std::string& recipe, const std::string& extension,
                         const std::function<void(const std::string& path)>& make);
// "ffmpeg ARGS <output>", cached; the output's format follows `extension` unless ARGS name one.
std::string FfmpegSample(const std::vector<std::string>& args, const std::string& extension);
// Copies a sample to `destination` (its extension picks the format) and returns the path.
std::string SampleAt(const std::vector<std::string>& ffmpegArgs, const std::string& destination);

// FFmpeg's arguments for a 6 s 640x360 H.264 film at 25 fps, a key frame a second, with AC-3
// sound (for SampleAt).
std::vector<std::string> SmallFilmArgs();

// A 6 s 640x360 H.264 film (4:2:0) at 25 fps whose track 2 holds picture subtitles, kind "pgs"
// (S_HDMV/PGS) or "vobsub" (S_VOBSUB), drawn from a text track by the tsMuxeR stand-in of the built
// program folder: the cues show from 1.0 to 2.5 s and from 4.0 to 5.0 s, centred, their text's
// bottom 40 pixels above the film's.
std::string PictureSubtitleSample(const std::string& kind);

// One second of a 440 Hz tone at 48 kHz: "ac3" (5.1), "dts" (5.1), "aac" (ADTS, 5.1), "mp3",
// "mp2", "ogg" (Vorbis; all three stereo) or "wav" (16-bit, 5.1).
std::string ToneSample(const std::string& format);

// `frames` frames of a test pattern encoded by libx264 (ultrafast) with the extra FFmpeg options
// `x264`; the container follows `extension` ("h264" gives a raw Annex B stream).
std::string H264Sample(int width, int height, int frames, const std::vector<std::string>& x264,
                       const std::string& rate, const std::string& extension);

// ffprobe's "key=value" fields of the streams `select` ("a:0", "v:0") and the format.
std::map<std::string, std::string> ProbeFields(const std::string& path, const std::string& select,
                                               const std::string& entries,
                                               bool countFrames = false);

// Rewrites the TrackNumber of every track of a Matroska file, and the track numbers in its blocks
// and cue points, through `numbers` (old number -> new number, both below 127). Returns false
// when the file's layout is not one this helper can walk.
bool RenumberMatroskaTracks(const std::string& path, const std::map<uint64_t, uint64_t>& numbers);

}  // namespace kestrun::test
