#pragma once
// The re-encoding chains: the H.264 re-encode that feeds the muxing chains, the MPEG-2 chain, the
// Xvid chain with its AVI assembly, and the VOB repack of MPEG-2 sources; the rules they share.
#include <istream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrun {

struct Context;
struct Conversion;
class Form1;

void EncodeH264(Context& ctx, Conversion& conv);
void RunMpeg2Chain(Context& ctx, Conversion& conv);
void RunXvidChain(Context& ctx, Conversion& conv);
void RepackVob(Context& ctx, Conversion& conv);

// The encoder's frame rate for a txtSFPS text: "23.976" gives "31001/1293", "29.970" gives
// "30000/1001", "25.000" gives "25".
std::string MencoderFrameRate(const std::string& sourceFps);

// Where the subtitles to burn in come from, first match wins.
enum class SubtitleCase {
    BesideSource,  // the ".srt" beside the source
    Chosen,        // the file chosen with "Browse Subs"
    Extracted,     // the MKV's chosen track, extracted into the work folder
    None,
};
// `extractable`: a subtitle track of the MKV is chosen and can be extracted. Without one the
// picture is encoded without subtitles rather than with a file that is not there.
SubtitleCase ChooseSubtitleCase(const Form1& f, bool extractable);

// ",expand=1920:1080" / ",expand=1280:720" for AVCHD targets smaller than their frame, else "".
std::string ExpandFilter(const Context& ctx);
// ",scale=1280:H" for an Xbox 360 target wider than 1280 pixels, else "".
std::string XvidScaleFilter(const Context& ctx);
// The shortest decimal text of a double with at most 15 significant digits ("533.333333333333").
std::string ShortestDecimal(double value);

// The kbit/s after "bitrate=" in the first 100,000 bytes of the file (an x264 stream names its
// settings there), 8000 when the text is absent, nullopt when the five characters after it are
// no whole number within 16 bits.
std::optional<int> ReadSourceBitrate(const std::string& path);

// The avimux_gui script written from its template: lines up to the first holding "ENDOFFILE"
// (or the template's end), the size lines set by the split and DVD options, "D:\KESTRUN\"
// replaced by the work folder, and the closing "START" line naming the AVI.
struct MuxScriptSettings {
    bool split = false;     // "Split > 4GB ?"
    bool fitToDvd = false;  // "Fit to DVD (4.7)"
    std::string workFolder;
    std::string baseName;
    std::string resultFolder;  // where the AVI is written; the work folder when empty
};
std::vector<std::string> MuxScriptLines(std::istream& templateText,
                                        const MuxScriptSettings& settings);

// Runs an encoder command line, showing the encoder's progress after the stage's text.
int RunEncoder(Context& ctx, Conversion& conv, const std::string& commandLine,
               std::string_view stageText);
// "Pos: ... ( 40%) ... Trem:   3min" gives " 40% (3 min left)"; empty for other lines.
std::string EncoderProgressSuffix(std::string_view line);

// The end of a chain whose final file must be there: "Conversion done" and the file remembered,
// or an error naming the missing file (the intermediate files stay). True when it is there.
bool FinishWithOutput(Context& ctx, const std::string& output, std::string_view doneText);

}  // namespace kestrun
