#pragma once
// The two engines behind the MEncoder stand-in. Debian's MEncoder does most calls right once the
// option strings it rejects are translated; FFmpeg does the rest (see EngineFor).
#include <string>
#include <vector>

#include "media_facts.h"
#include "mencoder_call.h"

namespace standin {

enum class Engine { Mencoder, Ffmpeg };

// FFmpeg where Debian's MEncoder gets the result wrong:
//  - burned-in subtitles: MEncoder's libass ignores the position, width and font options;
//  - "-ovc copy -of mpeg": its MPEG muxer drops the end of the audio, and writes only a header
//    for H.264;
//  - "-endpos" with "-of mpeg": its MPEG muxer overshoots the size many times over;
//  - an Xvid re-encode that copies the sound (an AVI source): it decodes MPEG-4 sources with
//    packed B-frames or global motion to a single frame.
Engine EngineFor(const MencoderCall& call);

// The video bitrate in kbit/s for the x264 or Xvid encode, with a negative value read as a target
// size in KiB; nullopt when the call names no bitrate.
std::optional<long long> VideoKbit(const MencoderCall& call, const MediaFacts& facts);

// Paths the FFmpeg subtitle filter reads, free of characters its filter syntax would take apart.
struct SubtitleFiles {
    std::string subtitle;    // the subtitle file (a VobSub's .idx, its .sub beside it)
    std::string fontsDir;    // a folder holding only the font
    std::string fontFamily;  // the font's family name
    // Picture subtitles: the subtitle file's first timestamp less the film's, in microseconds,
    // and the size of the canvas the pictures are placed on (0 when the file does not say).
    long long pictureOffsetUs = 0;
    int canvasWidth = 0, canvasHeight = 0;
};

// Argument vectors, program first, writing the result to `target`.
std::vector<std::string> MencoderArgs(const MencoderCall& call, const MediaFacts& facts,
                                      const std::string& target);
std::vector<std::string> FfmpegArgs(const MencoderCall& call, const MediaFacts& facts,
                                    const SubtitleFiles& subtitles, const std::string& target);

// The FFmpeg filter chain for the call (frame rate, expand, scale, text subtitles); empty for
// none.
std::string FfmpegFilterChain(const MencoderCall& call, const MediaFacts& facts,
                              const SubtitleFiles& subtitles);

// Where the canvas of picture subtitles goes on the final picture (after expand and scale), in
// its pixels.
struct CanvasPlacement {
    long x = 0, y = 0, width = 0, height = 0;
};
CanvasPlacement PlaceSubtitleCanvas(const MencoderCall& call, const MediaFacts& facts,
                                    int canvasWidth, int canvasHeight);

// The -filter_complex graph for picture subtitles read from input `subtitleInput`: the film's
// first video stream expanded and scaled, the subtitle canvas laid over it, then the frame rate;
// its output is labelled "[video]".
std::string FfmpegPictureSubtitleGraph(const MencoderCall& call, const MediaFacts& facts,
                                       const SubtitleFiles& subtitles, int subtitleInput);

}  // namespace standin
