// The Xvid chain: the audio readied as AC-3, the video encoded to Xvid without sound into
// movie.avi, and avimux_gui joining both into the final AVI, driven by a script written from the
// template beside it.
#include <fstream>

#include "model/context.h"
#include "model/messages.h"
#include "pipeline/conversion.h"
#include "pipeline/recode.h"
#include "pipeline/recode_internal.h"
#include "pipeline/result_names.h"
#include "pipeline/stages.h"
#include "pipeline/work_folder.h"
#include "platform/tool_table.h"
#include "platform/work_files.h"

namespace kestrun {
namespace {

constexpr const char* kXvidOpts =
    ":max_bframes=2:bquant_ratio=162:bquant_offset=100:vhq=1:me_quality=6:chroma_me:nochroma_opt:"
    "hq_ac:notrellis:lumi_mask:autoaspect:bvhq=1:nogmc:noqpel -ofps ";

std::string XvidCommand(Context& ctx, const RecodeSubtitles& subs, const std::string& ofps,
                        const std::string& scale) {
    const Form1& f = ctx.form;
    const std::string noskip = KeepEveryFrame(ctx);
    const std::string mencoder = Quoted(ctx.ToolPath(tool::kMEncoder));
    const std::string output = Quoted(Work(ctx, work::kMovieAvi));
    const std::string encode = "-ovc xvid -xvidencopts bitrate=" + f.strH264Bitrate + kXvidOpts +
                               ofps + " -vf harddup" + scale;
    const std::string source = Quoted(TrimmedSource(ctx));
    if (subs.kind == SubtitleCase::None)
        return mencoder + "  -of avi -o " + output + " " + encode + " -nosound " + source +
               " -mc 0" + noskip;
    const std::string font = Quoted(ctx.ToolPath(tool::kMEncoderFont));
    const std::string subOpts = " -utf8 " + f.strSubOpts + " -of avi -o " + output;
    switch (subs.kind) {
        case SubtitleCase::BesideSource:
            return mencoder + "  -font " + font + subOpts + " " + encode + " -nosound " + source +
                   noskip + " -sub " + Quoted(subs.file);
        case SubtitleCase::Chosen:
            return mencoder + "  -font " + font + subOpts + "  " + encode + "  -nosound " + source +
                   noskip + " -sub " + Quoted(subs.file);
        default:
            return mencoder + " -font " + font + subOpts + " " + encode + " -nosound " + source +
                   " " + noskip + SubtitleFilePiece(subs, " -sub ");
    }
}

void DeleteXvidIntermediates(Context& ctx) {
    using namespace work;
    for (std::string_view name :
         {kMovieAvi, kAviMuxScript, kMovieMp4, kMovieAc3, kMovieWav, kMovieSrt, kMovieAss,
          kMovieAssUpper, kMovieSsa, kMovieSsaUpper, kMovieSup, kMovieIdx, kMovieSub})
        DeleteWork(ctx, name);
}

void WriteMuxScriptFile(Context& ctx, const std::string& base) {
    const Form1& f = ctx.form;
    MuxScriptSettings settings;
    settings.split = f.Check1.value() == 1;
    settings.fitToDvd = f.chkDVD.value() == 1;
    settings.workFolder = ctx.WorkPath("");
    settings.resultFolder = WorkResult(ctx, "");
    settings.baseName = base;
    std::ifstream templateFile(ctx.ToolPath(tool::kAviMuxTemplate), std::ios::binary);
    std::ofstream script(Work(ctx, work::kAviMuxScript), std::ios::binary | std::ios::trunc);
    for (const std::string& line : MuxScriptLines(templateFile, settings)) script << line << "\r\n";
}

}  // namespace

std::vector<std::string> MuxScriptLines(std::istream& templateText,
                                        const MuxScriptSettings& settings) {
    constexpr std::string_view kPlaceholder = "D:\\KESTRUN\\";
    std::vector<std::string> lines;
    std::string line;
    while (std::getline(templateText, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.find("ENDOFFILE") != std::string::npos) break;
        const bool sizeLine = line.find("MAXFILESIZE size") != std::string::npos;
        if (settings.split && sizeLine) {
            lines.push_back("MAXFILESIZE 4000");
        } else if (settings.fitToDvd && sizeLine) {
            lines.push_back("MAXFILESIZE 4500");
        } else if (!settings.split && line.find("MAXFILESIZE") != std::string::npos) {
            lines.push_back("MAXFILESIZE OFF");
        } else {
            for (size_t at = line.find(kPlaceholder); at != std::string::npos;
                 at = line.find(kPlaceholder, at + settings.workFolder.size()))
                line.replace(at, kPlaceholder.size(), settings.workFolder);
            lines.push_back(line);
        }
    }
    lines.push_back("START " +
                    (settings.resultFolder.empty() ? settings.workFolder : settings.resultFolder) +
                    ResultName(ResultKind::Avi, settings.baseName));
    return lines;
}

void RunXvidChain(Context& ctx, Conversion& conv) {
    Form1& f = ctx.form;
    const std::string scale = XvidScaleFilter(ctx);
    std::string format;
    const std::string piece = SubtitlePiece(ctx, &format);
    const RecodeSubtitles subs = PrepareSubtitles(ctx, piece, format);
    if (!PrepareAc3Audio(ctx, conv, piece, true)) return;

    ctx.Progress(std::string(msg::kEncodingXvidStart));
    ctx.host.Repaint();
    const std::string ofps = MencoderFrameRate(f.txtSFPS.text());
    if (!(f.bSplit && !f.strH264Bitrate.empty())) {
        if (const auto rate = ReadSourceBitrate(f.strFullname))
            f.strH264Bitrate = std::to_string(*rate);
        else if (f.strH264Bitrate.empty())
            f.strH264Bitrate = std::to_string(*ReadSourceBitrate("/dev/null"));
    }
    ctx.Progress(std::string(msg::kEncodingXvid));
    RunEncoder(ctx, conv, XvidCommand(ctx, subs, ofps, scale), msg::kEncodingXvid);

    WriteMuxScriptFile(ctx, conv.baseName);
    Run(ctx, conv,
        Quoted(ctx.ToolPath(tool::kAviMux)) + " " + Quoted(Work(ctx, work::kAviMuxScript)));
    // A missing AVI is reported; the intermediate files then stay for a look.
    if (FinishWithOutput(ctx, WorkResult(ctx, ResultName(ResultKind::Avi, conv.baseName)),
                         msg::kConversionDone))
        DeleteXvidIntermediates(ctx);
}

}  // namespace kestrun
