#pragma once
// The MEncoder command line of the conversion chains, read into one value: the input, the output,
// the codec choices with their option lists, the filters, the subtitle options. Only the options
// the chains pass are known; anything else is refused with a message.
#include <optional>
#include <string>
#include <vector>

#include "encoder_options.h"

namespace standin {

// Text is drawn by libass; the two picture forms are decoded and laid over the picture.
enum class SubtitleKind {
    Text,    // -sub FILE (.srt, .ass, .ssa, ...)
    Pgs,     // -sub FILE.sup: Blu-ray presentation graphics
    VobSub,  // -vobsub NAME: DVD pictures in NAME.sub, indexed by NAME.idx
};

struct SubtitleRequest {
    SubtitleKind kind = SubtitleKind::Text;
    std::string file;       // -sub, or NAME.idx for -vobsub NAME
    bool ass = false;       // -ass: render the file's own styles
    bool utf8 = false;      // -utf8
    std::string font;       // -font: path of a TrueType file
    double width = 100;     // -subwidth: line width in percent of the picture
    double position = 100;  // -subpos: bottom of the text in percent of the height
    int autoscale = 3;      // -subfont-autoscale (1: proportional to the height)
    double textScale = 5;   // -subfont-text-scale: percent of the height

    bool IsPicture() const { return kind != SubtitleKind::Text; }
};

// NAME.sub beside the NAME.idx of a -vobsub request.
std::string VobSubPicturesFile(const std::string& indexFile);

// One video filter of -vf: "harddup", "expand=W:H" or "scale=W:H".
struct VideoFilter {
    std::string name;
    std::vector<std::string> args;
};

struct MencoderCall {
    std::string input;
    std::string output;          // -o
    std::string videoCodec;      // -ovc: x264, lavc, xvid, copy
    std::string audioCodec;      // -oac: copy, mp3lame (empty: none given)
    std::string format = "avi";  // -of: avi, mpeg, rawvideo
    OptionList x264, lavc, xvid, lame;
    std::string outputFps;  // -ofps, as given
    std::vector<VideoFilter> filters;
    std::optional<long long> endBytes;  // -endpos with a size
    std::string audioFile;              // -audiofile
    std::string aspect;                 // -aspect
    bool noSound = false;               // -nosound
    std::optional<SubtitleRequest> subtitles;
    std::vector<std::string> passThrough;  // -noskip, -mc N: kept for the MEncoder engine
    std::string error;                     // non-empty when the line cannot be done
};

// -noskip: every frame is kept and only relabelled to the -ofps rate. Without it frames are
// repeated or dropped to reach the rate, which Debian's MEncoder does only to follow its sound.
bool KeepsEveryFrame(const MencoderCall& call);

// Reads the arguments after the program name.
MencoderCall ParseMencoderArgs(const std::vector<std::string>& args);

// "10mb" gives 10485760: the suffixes b, kb, mb and gb count binary multiples.
std::optional<long long> ParseEndposSize(const std::string& text);

// The -ofps value as a double: "31001/1293" or "25".
std::optional<double> ParseFrameRate(const std::string& text);
// The frame rate MEncoder really writes for -ofps: the nearest fraction with a numerator within
// fps * 1001 + 2 ("31001/1293" becomes 24000/1001).
struct Fraction {
    long long num = 0, den = 1;
};
Fraction NormalisedFrameRate(double fps);

}  // namespace standin
