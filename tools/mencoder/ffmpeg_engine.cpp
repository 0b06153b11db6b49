// The same calls with FFmpeg: option lists mapped to its encoder options, filters to its filter
// graph, text subtitles drawn by libass with MEncoder's layout (font size from the picture height,
// bottom at -subpos percent, lines wrapped at -subwidth percent), picture subtitles (PGS, VobSub)
// decoded by FFmpeg and laid over the picture.
#include <algorithm>
#include <cmath>

#include "common/ffmpeg_runner.h"
#include "engines.h"

namespace standin {
namespace {

// libass sizes text by ascent plus descent; MEncoder by the em. The shipped DejaVu Sans has
// (1901 + 483) / 2048 of the one to the other.
constexpr double kFontHeightPerEm = 1.164;

// A filter's size as a whole number; sizes past any picture's are held at a bound rather than
// overflowing.
long long Whole(const std::string& text) {
    return static_cast<long long>(std::clamp(std::stod(text), -1e9, 1e9));
}

struct PictureSize {
    long long width = 0, height = 0;
};

PictureSize FinalSize(const MencoderCall& call, const MediaFacts& facts) {
    PictureSize size{facts.width, facts.height};
    for (const auto& filter : call.filters) {
        const long long w = Whole(filter.args[0]), h = Whole(filter.args[1]);
        if (filter.name == "expand") {
            size = {std::max(size.width, w), std::max(size.height, h)};
        } else {
            size = {w - w % 2, h - h % 2};
        }
    }
    return size;
}

std::string SubtitleFilter(const MencoderCall& call, const MediaFacts& facts,
                           const SubtitleFiles& files) {
    const SubtitleRequest& sub = *call.subtitles;
    std::string filter = "subtitles=filename=" + files.subtitle;
    if (sub.utf8) filter += ":charenc=UTF-8";
    if (!files.fontsDir.empty()) filter += ":fontsdir=" + files.fontsDir;
    if (sub.ass) return filter;  // the script's own styles
    const PictureSize size = FinalSize(call, facts);
    const double ppem =
        std::clamp(sub.autoscale == 1
                       ? size.height * sub.textScale / 100.0
                       : std::sqrt(double(size.width * size.width + size.height * size.height)) *
                             sub.textScale / 100.0,
                   5.0, 128.0);
    const auto fontSize = std::lround(ppem * kFontHeightPerEm);
    const auto marginV = std::lround(size.height * (100 - std::min(sub.position, 100.0)) / 100.0);
    const auto marginH = std::lround(size.width * (100 - std::min(sub.width, 100.0)) / 200.0);
    std::string style = "PlayResX=" + std::to_string(size.width) +
                        ",PlayResY=" + std::to_string(size.height) +
                        ",FontSize=" + std::to_string(fontSize) +
                        ",PrimaryColour=&H00FFFFFF,OutlineColour=&H00000000,BorderStyle=1,"
                        "Outline=2,Shadow=0,Alignment=2,WrapStyle=0,MarginV=" +
                        std::to_string(marginV) + ",MarginL=" + std::to_string(marginH) +
                        ",MarginR=" + std::to_string(marginH);
    if (!files.fontFamily.empty()) style += ",FontName=" + files.fontFamily;
    return filter + ":force_style='" + style + "'";
}

void AddX264(const MencoderCall& call, const MediaFacts& facts, std::vector<std::string>& args) {
    args.insert(args.end(), {"-c:v", "libx264", "-x264-params",
                             JoinOptionList(ModernX264Options(call.x264, VideoKbit(call, facts)))});
}

// MEncoder's lavc names for the MPEG-2 encoder, as FFmpeg options.
void AddLavc(const MencoderCall& call, std::vector<std::string>& args) {
    const EncoderOption* codec = FindOption(call.lavc, "vcodec");
    args.insert(args.end(), {"-c:v", codec && codec->value ? *codec->value : "mpeg4"});
    auto rate = [](const std::string& v) {
        const long long n = std::stoll(v);
        return n <= 16000 ? std::to_string(n) + "k" : std::to_string(n);
    };
    for (const auto& o : call.lavc) {
        const std::string v = o.value.value_or("");
        if (o.name == "threads")
            args.insert(args.end(), {"-threads", v == "auto" ? "0" : v});
        else if (o.name == "vbitrate")
            args.insert(args.end(), {"-b:v", rate(v)});
        else if (o.name == "vrc_maxrate")
            args.insert(args.end(), {"-maxrate", v + "k"});
        else if (o.name == "vrc_buf_size")
            args.insert(args.end(), {"-bufsize", v + "k"});
        else if (o.name == "keyint")
            args.insert(args.end(), {"-g", v});
        else if (o.name == "vqmin")
            args.insert(args.end(), {"-qmin", v});
        else if (o.name == "lmin")
            args.insert(args.end(), {"-lmin", std::to_string(std::lround(std::stod(v) * 118))});
        else if (o.name == "vstrict")
            args.insert(args.end(), {"-strict", v});
        else if (o.name == "mv0")
            args.insert(args.end(), {"-mpv_flags", "+mv0"});
        else if (o.name == "dia")
            args.insert(args.end(), {"-dia_size", v});
        else if (o.name == "trell")
            args.insert(args.end(), {"-trellis", "1"});
    }
}

void AddXvid(const MencoderCall& call, const MediaFacts& facts, std::vector<std::string>& args) {
    args.insert(args.end(), {"-c:v", "libxvid", "-vtag", "XVID"});
    if (const auto kbit = VideoKbit(call, facts))
        args.insert(args.end(), {"-b:v", std::to_string(*kbit) + "k"});
    for (const auto& o : call.xvid) {
        const std::string v = o.value.value_or("");
        if (o.name == "max_bframes")
            args.insert(args.end(), {"-bf", v});
        else if (o.name == "bquant_ratio")
            args.insert(args.end(), {"-b_qfactor", std::to_string(std::stod(v) / 100)});
        else if (o.name == "bquant_offset")
            args.insert(args.end(), {"-b_qoffset", std::to_string(std::stod(v) / 100)});
        else if (o.name == "vhq" && v != "0")
            args.insert(args.end(), {"-mbd", "rd"});
        else if (o.name == "me_quality")
            args.insert(args.end(), {"-me_quality", v});
        else if (o.name == "chroma_me")
            args.insert(args.end(), {"-cmp", "chroma"});
        else if (o.name == "trellis")
            args.insert(args.end(), {"-trellis", "1"});
        else if (o.name == "lumi_mask")
            args.insert(args.end(), {"-lumi_aq", "1"});
        else if (o.name == "nogmc")
            args.insert(args.end(), {"-gmc", "0"});
    }
    // MEncoder wrote B-frames unpacked; players of AVI expect that.
    if (call.format == "avi") args.insert(args.end(), {"-bsf:v", "mpeg4_unpack_bframes"});
}

// The output rate: frames only relabelled (-noskip), or repeated and dropped.
std::vector<std::string> RateFilters(const MencoderCall& call) {
    const auto fps = ParseFrameRate(call.outputFps);
    if (!fps) return {};
    const Fraction rate = NormalisedFrameRate(*fps);
    if (KeepsEveryFrame(call))
        return {"setpts=N*" + std::to_string(rate.den) + "/" + std::to_string(rate.num) + "/TB"};
    return {"fps=" + std::to_string(rate.num) + "/" + std::to_string(rate.den)};
}

// -vf expand and scale, in their order.
std::vector<std::string> SizeFilters(const MencoderCall& call) {
    std::vector<std::string> chain;
    for (const auto& filter : call.filters) {
        const long long w = Whole(filter.args[0]), h = Whole(filter.args[1]);
        if (filter.name == "expand")
            chain.push_back("pad=w='max(iw," + std::to_string(w) + ")':h='max(ih," +
                            std::to_string(h) + ")':x=(ow-iw)/2:y=(oh-ih)/2");
        else
            chain.push_back("scale=" + std::to_string(w - w % 2) + ":" + std::to_string(h - h % 2));
    }
    return chain;
}

std::string Joined(const std::vector<std::string>& chain) {
    std::string text;
    for (const auto& item : chain) text += (text.empty() ? "" : ",") + item;
    return text;
}

// "-1.250000": microseconds as FFmpeg's seconds, exactly.
std::string Seconds(long long us) {
    const long long magnitude = us < 0 ? -us : us;
    std::string fraction = std::to_string(magnitude % 1000000);
    fraction.insert(0, 6 - fraction.size(), '0');
    return (us < 0 ? "-" : "") + std::to_string(magnitude / 1000000) + "." + fraction;
}

std::string Container(const MencoderCall& call) {
    if (call.format == "avi") return "avi";
    if (call.format == "mpeg") return "vob";
    if (call.videoCodec == "x264") return "h264";
    if (call.videoCodec == "xvid") return "m4v";
    return "mpeg2video";
}

}  // namespace

std::string FfmpegFilterChain(const MencoderCall& call, const MediaFacts& facts,
                              const SubtitleFiles& subtitles) {
    std::vector<std::string> chain = RateFilters(call);
    for (auto& filter : SizeFilters(call)) chain.push_back(std::move(filter));
    if (call.subtitles && !call.subtitles->IsPicture())
        chain.push_back(SubtitleFilter(call, facts, subtitles));
    return Joined(chain);
}

CanvasPlacement PlaceSubtitleCanvas(const MencoderCall& call, const MediaFacts& facts,
                                    int canvasWidth, int canvasHeight) {
    if (facts.width <= 0 || facts.height <= 0) return {0, 0, 1, 1};
    // Where the film's own picture ends up in the final one: expand centres it, scale stretches
    // both.
    double filmX = 0, filmY = 0, filmW = facts.width, filmH = facts.height;
    double pictureW = facts.width, pictureH = facts.height;
    for (const auto& filter : call.filters) {
        const long long w = Whole(filter.args[0]), h = Whole(filter.args[1]);
        if (filter.name == "expand") {
            const double newW = std::max<double>(pictureW, w), newH = std::max<double>(pictureH, h);
            filmX += std::floor((newW - pictureW) / 2);
            filmY += std::floor((newH - pictureH) / 2);
            pictureW = newW;
            pictureH = newH;
        } else if (w > 1 && h > 1 && pictureW > 0 && pictureH > 0) {
            const double sx = double(w - w % 2) / pictureW, sy = double(h - h % 2) / pictureH;
            filmX *= sx;
            filmW *= sx;
            pictureW *= sx;
            filmY *= sy;
            filmH *= sy;
            pictureH *= sy;
        }
    }
    if (canvasWidth <= 0 || canvasHeight <= 0) {
        canvasWidth = facts.width;
        canvasHeight = facts.height;
    }
    // The disc's canvas spans the film's width and keeps its shape against the film's pixels; a
    // taller canvas is the frame a cropped film was cut from, centred on it. What would not fit
    // in the final picture is squeezed into it, as MEncoder stretched the canvas over the picture.
    double height = canvasHeight * (double(facts.width) / canvasWidth) * (filmH / facts.height);
    double top = filmY + (filmH - height) / 2;
    if (height > pictureH) {
        height = pictureH;
        top = 0;
    }
    top = std::clamp(top, 0.0, pictureH - height);
    return {std::lround(filmX), std::lround(top), std::max(1L, std::lround(filmW)),
            std::max(1L, std::lround(height))};
}

std::string FfmpegPictureSubtitleGraph(const MencoderCall& call, const MediaFacts& facts,
                                       const SubtitleFiles& subtitles, int subtitleInput) {
    // The pictures are timed on the source's timeline, so they are laid over before the frames
    // are relabelled or repeated for the output rate (which changes no picture, only which
    // frames there are and when).
    const CanvasPlacement at =
        PlaceSubtitleCanvas(call, facts, subtitles.canvasWidth, subtitles.canvasHeight);
    const std::string sizing = Joined(SizeFilters(call));
    std::string graph = "[0:v:0]" + (sizing.empty() ? "null" : sizing) + "[picture];[" +
                        std::to_string(subtitleInput) + ":s:0]scale=" + std::to_string(at.width) +
                        ":" + std::to_string(at.height) +
                        "[subtitles];[picture][subtitles]overlay=" + std::to_string(at.x) + ":" +
                        std::to_string(at.y);
    if (const std::string rate = Joined(RateFilters(call)); !rate.empty()) graph += "," + rate;
    return graph + "[video]";
}

std::vector<std::string> FfmpegArgs(const MencoderCall& call, const MediaFacts& facts,
                                    const SubtitleFiles& subtitles, const std::string& target) {
    std::vector<std::string> args = FfmpegCommandHead();
    args.insert(args.end(), {"-nostats", "-progress", "pipe:1"});
    // MEncoder's program streams time only some packets; copied as they are, the video's length
    // would be misread.
    if (call.videoCodec == "copy") args.insert(args.end(), {"-fflags", "+genpts"});
    args.insert(args.end(), {"-i", call.input});
    if (!call.audioFile.empty()) args.insert(args.end(), {"-i", call.audioFile});
    const bool pictures =
        call.subtitles && call.subtitles->IsPicture() && call.videoCodec != "copy";
    if (pictures) {
        // FFmpeg starts each input's timeline at its first timestamp; the subtitle file's is
        // moved as the film's is, so that each picture shows on the frame it was timed to.
        if (subtitles.pictureOffsetUs != 0)
            args.insert(args.end(), {"-itsoffset", Seconds(subtitles.pictureOffsetUs)});
        args.insert(args.end(), {"-i", subtitles.subtitle, "-filter_complex",
                                 FfmpegPictureSubtitleGraph(call, facts, subtitles,
                                                            call.audioFile.empty() ? 1 : 2),
                                 "-map", "[video]"});
    } else {
        args.insert(args.end(), {"-map", "0:v:0"});
    }
    if (!call.noSound && !call.audioCodec.empty())
        args.insert(args.end(), {"-map", call.audioFile.empty() ? "0:a:0?" : "1:a:0"});
    if (call.endBytes) args.insert(args.end(), {"-fs", std::to_string(*call.endBytes)});

    if (call.videoCodec == "copy") args.insert(args.end(), {"-c:v", "copy"});
    if (call.videoCodec == "x264") AddX264(call, facts, args);
    if (call.videoCodec == "lavc") AddLavc(call, args);
    if (call.videoCodec == "xvid") AddXvid(call, facts, args);
    if (call.videoCodec != "copy") {
        if (const auto chain = pictures ? "" : FfmpegFilterChain(call, facts, subtitles);
            !chain.empty())
            args.insert(args.end(), {"-vf", chain});
        if (const auto fps = ParseFrameRate(call.outputFps)) {
            const Fraction rate = NormalisedFrameRate(*fps);
            args.insert(args.end(),
                        {"-r", std::to_string(rate.num) + "/" + std::to_string(rate.den)});
        }
        args.insert(args.end(), {"-fps_mode", "passthrough"});
        // MEncoder hands its encoders 8-bit 4:2:0 pictures whatever the source holds. Left to
        // itself FFmpeg would keep a 10-bit or 4:2:2 source's format and write High 10 or High
        // 4:2:2 H.264, which no console decodes.
        args.insert(args.end(), {"-pix_fmt", "yuv420p"});
    }
    if (!call.aspect.empty()) args.insert(args.end(), {"-aspect", call.aspect});

    if (call.noSound || call.audioCodec.empty()) {
        args.push_back("-an");
    } else if (call.audioCodec == "copy") {
        args.insert(args.end(), {"-c:a", "copy"});
    } else {
        const EncoderOption* br = FindOption(call.lame, "br");
        args.insert(args.end(),
                    {"-c:a", "libmp3lame", "-b:a", (br && br->value ? *br->value : "128") + "k"});
    }
    args.insert(args.end(), {"-sn", "-dn", "-f", Container(call), target});
    return args;
}

}  // namespace standin
