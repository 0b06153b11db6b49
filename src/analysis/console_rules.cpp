#include "analysis/console_rules.h"

#include <algorithm>
#include <cstdio>
#include <functional>

#include "model/messages.h"

namespace kestrun {
namespace {

// ---- The consoles' limits. Sources: the PS3 user's guide file-type list and the PS3 renderer
// profiles of DLNA media servers, which record testers' corrections; the Xbox team's
// "December 2007 Video Playback FAQ"; threads of testers where noted.

struct FrameLimits {
    int width = 0;
    int height = 0;
    double fps = 0;       // 0: no limit known
    int64_t bitRate = 0;  // bit/s, "about": a file above it gets a warning; 0: no limit known
};

struct ConsoleLimits {
    std::vector<Container> containers;  // that play from a USB stick
    std::vector<Target> conversions;    // this program's outputs that play there
    std::vector<int> h264Profiles;      // profile_idc
    int h264MaxLevelIdc = 41;
    // Level 4.1's MaxDPB, 32768 macroblocks of 384 bytes. PS3 testers found that the buffer,
    // not the level byte, decides: 1080p High@4.2 with 4 refs and 720p High@5.1 with 9 refs play.
    int dpbMaxKiB = 12288;
    FrameLimits h264;
    FrameLimits mpeg4;
    bool gmcPlays = false;
    bool qpelWarns = false;  // the PS3 plays QPel from firmware 4.0 on
    // One file on a FAT32 stick, the only file system either console reads on USB.
    uint64_t maxFileSize = 4294967295ULL;
};

const ConsoleLimits& Ps3Limits() {
    static const ConsoleLimits limits = [] {
        ConsoleLimits l;
        // No MKV; AVCHD over USB from firmware 1.60.
        l.containers = {Container::Mp4, Container::MpegTs, Container::MpegPs, Container::Avi};
        l.conversions = {Target::Mp4, Target::Avchd};
        l.h264Profiles = {66, 77, 100};  // High at most
        l.h264 = {1920, 1080, 0, 0};
        l.mpeg4 = {1920, 1080, 0, 0};
        l.gmcPlays = false;  // GMC Xvid does not play on any firmware
        l.qpelWarns = true;
        return l;
    }();
    return limits;
}

const ConsoleLimits& Xbox360Limits() {
    static const ConsoleLimits limits = [] {
        ConsoleLimits l;
        l.containers = {Container::Mp4, Container::Avi, Container::Asf};  // no MKV, no M2TS
        l.conversions = {Target::Mp4};
        l.h264Profiles = {66, 77, 100};
        l.h264 = {1920, 1080, 30, 10'000'000};
        l.mpeg4 = {1280, 720, 30, 5'000'000};
        l.gmcPlays = true;  // no source says otherwise
        return l;
    }();
    return limits;
}

const ConsoleLimits& LimitsOf(Console console) {
    return console == Console::Xbox360 ? Xbox360Limits() : Ps3Limits();
}

Container ContainerOf(const MediaFacts& facts, Target target) {
    if (target == Target::Mp4) return Container::Mp4;
    if (target == Target::Avchd) return Container::MpegTs;
    return facts.container;
}

// The video codecs a container plays in; for this program's outputs, what they carry.
std::vector<VideoCodec> VideoCodecsOf(Console console, Container container, Target target) {
    using V = VideoCodec;
    // The MP4 chain copies MPEG-4 Part 2 as it is (the frame limits below still apply).
    if (target == Target::Mp4) return {V::H264, V::Mpeg4Part2};
    if (target == Target::Avchd) return {V::H264, V::Vc1};
    const bool ps3 = console != Console::Xbox360;
    switch (container) {
        case Container::Mp4:
            return {V::H264, V::Mpeg4Part2};
        case Container::MpegTs:
            return {V::H264, V::Mpeg2, V::Vc1};
        case Container::MpegPs:
            return {V::Mpeg1, V::Mpeg2};
        case Container::Avi:
            return {V::Mpeg4Part2};
        case Container::Asf:
            return ps3 ? std::vector<V>{V::Vc1} : std::vector<V>{V::Vc1, V::Wmv};
        default:
            return {};
    }
}

// ---- Texts

std::string Format(const char* format, double a, double b = 0) {
    char text[96];
    std::snprintf(text, sizeof text, format, a, b);
    return text;
}

const char* CodecName(VideoCodec codec) {
    switch (codec) {
        case VideoCodec::H264:
            return "H.264";
        case VideoCodec::Mpeg4Part2:
            return "MPEG-4 Part 2";
        case VideoCodec::Mpeg2:
            return "MPEG-2";
        case VideoCodec::Mpeg1:
            return "MPEG-1";
        case VideoCodec::Vc1:
            return "VC-1";
        case VideoCodec::Wmv:
            return "WMV";
        default:
            return "";
    }
}

const char* CodecName(AudioCodec codec) {
    switch (codec) {
        case AudioCodec::Aac:
            return "AAC";
        case AudioCodec::Ac3:
            return "AC-3";
        case AudioCodec::Eac3:
            return "E-AC-3";
        case AudioCodec::Dts:
            return "DTS";
        case AudioCodec::Mp3:
            return "MP3";
        case AudioCodec::Mp2:
            return "MP2";
        case AudioCodec::Lpcm:
            return "LPCM";
        case AudioCodec::Wma:
            return "WMA";
        case AudioCodec::WmaPro:
            return "WMA Pro";
        case AudioCodec::Vorbis:
            return "Vorbis";
        default:
            return "";
    }
}

std::string VideoName(const VideoFacts& v) {
    const std::string name = CodecName(v.codec);
    return name.empty() ? v.codecName : name;
}

std::string AudioName(const AudioFacts& a) {
    std::string name = CodecName(a.codec);
    if (name.empty()) name = a.codecName;
    if (a.codec == AudioCodec::Aac && a.aacLowComplexity)
        name += *a.aacLowComplexity ? " LC" : " HE";
    return name + " " + std::to_string(a.channels) + " ch";
}

std::string List(const std::vector<std::string>& names) {
    std::string text;
    for (const auto& n : names) text += (text.empty() ? "" : ", ") + n;
    return text;
}

// ---- The rules

struct Subject {
    const MediaFacts& facts;
    Console console;
    const ConsoleLimits& limits;
    Target target;
    Container container;  // where the streams will be
};

RuleResult Result(RuleStatus status, std::string measured) {
    return {"", status, std::move(measured), Fix::None};
}
RuleResult Passes(std::string measured) { return Result(RuleStatus::Pass, std::move(measured)); }
RuleResult Fails(std::string measured) { return Result(RuleStatus::Fail, std::move(measured)); }
RuleResult Unknown(std::string measured) {
    return Result(RuleStatus::Unknown, std::move(measured));
}

RuleResult CheckContainer(const Subject& s) {
    std::vector<std::string> plays;
    for (Container c : s.limits.containers) plays.push_back(ContainerName(c));
    const bool ok =
        std::count(s.limits.containers.begin(), s.limits.containers.end(), s.container) > 0;
    std::string measured = ContainerName(s.container);
    if (s.target != Target::AsIs && s.facts.container != s.container)
        measured += std::string(" (remuxed from ") + ContainerName(s.facts.container) + ")";
    if (ok) return Passes(measured);
    return Fails(measured + "; plays " + List(plays));
}

const VideoFacts* VideoOf(const Subject& s) { return s.facts.video ? &*s.facts.video : nullptr; }

bool HasNoVideo(const Subject& s) { return !VideoOf(s); }

// Asked only of a file without video: there is no film to play or to convert.
RuleResult CheckVideoStream(const Subject&) { return Fails("no video stream"); }

RuleResult CheckVideoCodec(const Subject& s) {
    const VideoFacts* v = VideoOf(s);
    if (!v) return Unknown("no video stream");
    const auto codecs = VideoCodecsOf(s.console, s.container, s.target);
    std::vector<std::string> plays;
    for (VideoCodec c : codecs) plays.push_back(CodecName(c));
    if (std::count(codecs.begin(), codecs.end(), v->codec) > 0) return Passes(VideoName(*v));
    return Fails(VideoName(*v) + " in " + ContainerName(s.container) + "; plays " + List(plays));
}

const H264Facts* H264Of(const Subject& s) {
    const VideoFacts* v = VideoOf(s);
    return v && v->codec == VideoCodec::H264 && v->h264 ? &*v->h264 : nullptr;
}

bool IsH264(const Subject& s) { return VideoOf(s) && VideoOf(s)->codec == VideoCodec::H264; }
bool IsMpeg4(const Subject& s) { return VideoOf(s) && VideoOf(s)->codec == VideoCodec::Mpeg4Part2; }

std::string LevelText(int levelIdc) {
    return std::to_string(levelIdc / 10) + "." + std::to_string(levelIdc % 10);
}

RuleResult CheckH264Profile(const Subject& s) {
    const H264Facts* h = H264Of(s);
    if (!h) return Unknown("no sequence parameter set read");
    const auto& allowed = s.limits.h264Profiles;
    const std::string measured = h->profileName + " (" + std::to_string(h->profileIdc) + ")";
    if (std::count(allowed.begin(), allowed.end(), h->profileIdc) > 0) return Passes(measured);
    return Fails(measured + "; plays Baseline, Main, High");
}

RuleResult CheckH264Level(const Subject& s) {
    const H264Facts* h = H264Of(s);
    if (!h) return Unknown("no sequence parameter set read");
    const std::string limit = LevelText(s.limits.h264MaxLevelIdc);
    // A player may read the avcC record's copy of the level byte rather than the SPS.
    const auto& avcc = VideoOf(s)->avccLevelIdc;
    if (avcc && *avcc != h->levelIdc) {
        const std::string measured = "SPS " + h->levelName + ", avcC " + LevelText(*avcc);
        if (std::max(*avcc, h->levelIdc) <= s.limits.h264MaxLevelIdc)
            return Passes(measured + " <= " + limit);
        return Fails(measured + " > " + limit);
    }
    if (h->levelIdc <= s.limits.h264MaxLevelIdc) return Passes(h->levelName + " <= " + limit);
    return Fails(h->levelName + " > " + limit);
}

RuleResult CheckDpb(const Subject& s) {
    const H264Facts* h = H264Of(s);
    if (!h) return Unknown("no sequence parameter set read");
    constexpr int64_t kBytesPerMacroblock = 384;  // 4:2:0, 8 bits
    const int64_t frameBytes = int64_t{h->macroblocks} * kBytesPerMacroblock;
    const int64_t totalBytes = frameBytes * h->dpbFrames;
    const std::string text = "DPB " + std::to_string(h->dpbFrames) + " frames x " +
                             std::to_string(frameBytes / 1024) +
                             " KiB = " + std::to_string(totalBytes / 1024) + " KiB";
    const std::string limit = std::to_string(s.limits.dpbMaxKiB) + " KiB";
    if (totalBytes <= int64_t{s.limits.dpbMaxKiB} * 1024) return Passes(text + " <= " + limit);
    return Fails(text + " > " + limit);
}

const FrameLimits* FrameLimitsOf(const Subject& s) {
    if (IsH264(s)) return &s.limits.h264;
    if (IsMpeg4(s)) return &s.limits.mpeg4;
    return nullptr;
}

RuleResult CheckFrameSize(const Subject& s) {
    const VideoFacts* v = VideoOf(s);
    const FrameLimits* l = FrameLimitsOf(s);
    if (!v) return Unknown("no video stream");
    if (!l) return Passes("no limit known");
    const std::string size = std::to_string(v->width) + "x" + std::to_string(v->height);
    const std::string limit = std::to_string(l->width) + "x" + std::to_string(l->height);
    if (v->width <= l->width && v->height <= l->height) return Passes(size + " <= " + limit);
    return Fails(size + " > " + limit);
}

RuleResult CheckFrameRate(const Subject& s) {
    const VideoFacts* v = VideoOf(s);
    const FrameLimits* l = FrameLimitsOf(s);
    if (!v || !l || l->fps == 0) return Passes("no limit");
    if (!v->fps) return Unknown("frame rate not in the headers");
    if (*v->fps <= l->fps + 0.01) return Passes(Format("%.5g fps <= %.5g fps", *v->fps, l->fps));
    return Fails(Format("%.5g fps > %.5g fps", *v->fps, l->fps));
}

RuleResult CheckBitRate(const Subject& s) {
    const VideoFacts* v = VideoOf(s);
    const FrameLimits* l = FrameLimitsOf(s);
    if (!v || !l || l->bitRate == 0) return Passes("no limit");
    if (!v->bitRate) return Unknown("bit rate not in the headers");
    const std::string measured =
        Format("%.1f Mbit/s", *v->bitRate / 1e6) + (v->bitRateOfWholeFile ? " (whole file)" : "");
    const std::string limit = Format("about %.0f Mbit/s", l->bitRate / 1e6);
    if (*v->bitRate <= l->bitRate) return Passes(measured + " <= " + limit);
    return Result(RuleStatus::Warn, measured + " > " + limit);
}

RuleResult CheckGmc(const Subject& s) {
    const VideoFacts* v = VideoOf(s);
    if (!IsMpeg4(s)) return Passes("not MPEG-4 Part 2");
    if (!v->gmc) return Unknown("no video object layer read");
    if (!*v->gmc) return Passes("not used");
    return s.limits.gmcPlays ? Passes("used") : Fails("used; not played on any firmware");
}

RuleResult CheckQpel(const Subject& s) {
    const VideoFacts* v = VideoOf(s);
    if (!IsMpeg4(s)) return Passes("not MPEG-4 Part 2");
    if (!v->qpel) return Unknown("no video object layer read");
    if (!*v->qpel) return Passes("not used");
    if (s.limits.qpelWarns) return Result(RuleStatus::Warn, "used; plays from firmware 4.0 on");
    return Passes("used");
}

RuleResult CheckPs3Audio(const Subject& s, const AudioFacts& a) {
    using A = AudioCodec;
    const std::string name = AudioName(a);
    switch (a.codec) {
        case A::Aac:
            if (!a.aacLowComplexity) return Unknown(name + "; profile not in the headers");
            return *a.aacLowComplexity ? Passes(name) : Fails(name + "; plays AAC LC only");
        case A::Ac3:
            return a.channels <= 6 ? Passes(name) : Fails(name + "; 5.1 at most");
        case A::Mp3:
        case A::Mp2:
        case A::Lpcm:
            return Passes(name);
        case A::Dts:
            if (s.target == Target::Avchd) return Passes(name);
            return Fails(name + "; DTS plays only in AVCHD");
        default:
            return Fails(name + "; plays AAC LC, AC-3, MP3, MP2, LPCM");
    }
}

RuleResult CheckXbox360Audio(const Subject& s, const AudioFacts& a) {
    using A = AudioCodec;
    const std::string name = AudioName(a);
    if (s.container == Container::Mp4) {
        if (a.codec != A::Aac) return Fails(name + "; MP4 plays AAC LC with 2 channels only");
        if (!a.aacLowComplexity) return Unknown(name + "; profile not in the headers");
        if (!*a.aacLowComplexity || a.channels > 2)
            return Fails(name + "; MP4 plays AAC LC with 2 channels only");
        return Passes(name);
    }
    if (s.container == Container::Avi) {
        if (a.codec == A::Ac3 || a.codec == A::Mp3) return Passes(name);
        return Fails(name + "; AVI plays AC-3 or MP3");
    }
    if (a.codec == A::Wma || a.codec == A::WmaPro) return Passes(name);
    return Fails(name + "; plays WMA in WMV");
}

RuleResult CheckAudio(const Subject& s) {
    if (s.facts.audio.empty()) return Passes("no audio stream");
    const AudioFacts& a = s.facts.audio.front();
    return s.console == Console::Xbox360 ? CheckXbox360Audio(s, a) : CheckPs3Audio(s, a);
}

std::string SizeText(uint64_t bytes) {
    if (bytes >= (1ULL << 30)) return Format("%.2f GiB", bytes / double(1ULL << 30));
    return Format("%.1f MiB", bytes / double(1ULL << 20));
}

RuleResult CheckFileSize(const Subject& s) {
    const std::string measured = SizeText(s.facts.fileSize);
    if (s.facts.fileSize <= s.limits.maxFileSize) return Passes(measured + " < 4 GiB");
    return Fails(measured + " > 4 GiB - 1 byte");
}

bool DeclaresItsSize(const Subject& s) { return s.facts.declaredSize.has_value(); }

// A file whose headers declare more than it holds was cut short (a download broken off).
RuleResult CheckFileWhole(const Subject& s) {
    const uint64_t declared = *s.facts.declaredSize, held = s.facts.fileSize;
    if (declared <= held) return Passes(std::to_string(declared) + " bytes as declared");
    return Fails(std::string(msg::kSourceCutShort) + s.facts.declaredBy + " declares " +
                 std::to_string(declared) + " bytes, the file has " + std::to_string(held));
}

struct Rule {
    const char* name;
    Fix fix;  // the cheapest fix this program applies for it
    std::function<RuleResult(const Subject&)> check;
    bool (*applies)(const Subject&);  // nullptr: always
};

// The table: every rule, with its cheapest fix.
const std::vector<Rule>& Rules() {
    static const std::vector<Rule> rules = {
        {"container", Fix::Remux, CheckContainer, nullptr},
        {"file whole", Fix::NoConversion, CheckFileWhole, DeclaresItsSize},
        {"video stream", Fix::NoFix, CheckVideoStream, HasNoVideo},
        {"video codec", Fix::VideoReencode, CheckVideoCodec, nullptr},
        {"H.264 profile", Fix::VideoReencode, CheckH264Profile, IsH264},
        // The level byte is rewritten when only the flag is over; the DPB rule decides the rest.
        {"H.264 level", Fix::LevelByte, CheckH264Level, IsH264},
        {"H.264 DPB", Fix::VideoReencode, CheckDpb, IsH264},
        {"frame size", Fix::VideoReencode, CheckFrameSize, nullptr},
        {"frame rate", Fix::VideoReencode, CheckFrameRate, nullptr},
        {"video bit rate", Fix::VideoReencode, CheckBitRate, nullptr},
        {"MPEG-4 GMC", Fix::VideoReencode, CheckGmc, IsMpeg4},
        {"MPEG-4 QPel", Fix::VideoReencode, CheckQpel, IsMpeg4},
        {"audio", Fix::AudioConversion, CheckAudio, nullptr},
        {"file size", Fix::Split, CheckFileSize, nullptr},
    };
    return rules;
}

Route RouteFor(const MediaFacts& facts, Console console, Target target) {
    const Subject s{facts, console, LimitsOf(console), target, ContainerOf(facts, target)};
    Route route{target, {}, Fix::None};
    for (const Rule& rule : Rules()) {
        if (rule.applies && !rule.applies(s)) continue;
        RuleResult r = rule.check(s);
        r.rule = rule.name;
        r.fix = rule.fix;
        if (r.status == RuleStatus::Fail) route.verdict = std::max(route.verdict, r.fix);
        route.results.push_back(std::move(r));
    }
    // A conversion into this program's outputs is at least a remux.
    if (target != Target::AsIs) route.verdict = std::max(route.verdict, Fix::Remux);
    return route;
}

}  // namespace

std::vector<Route> CheckForConsole(const MediaFacts& facts, Console console) {
    const ConsoleLimits& limits = LimitsOf(console);
    const auto& plays = limits.containers;
    if (std::count(plays.begin(), plays.end(), facts.container) > 0)
        return {RouteFor(facts, console, Target::AsIs)};
    std::vector<Route> routes;
    for (Target t : limits.conversions) routes.push_back(RouteFor(facts, console, t));
    return routes;
}

Route CheckAsTarget(const MediaFacts& facts, Console console, Target target) {
    return RouteFor(facts, console, target);
}

const Route& CheapestRoute(const std::vector<Route>& routes) {
    return *std::min_element(routes.begin(), routes.end(),
                             [](const Route& a, const Route& b) { return a.verdict < b.verdict; });
}

std::string OneLineVerdict(const MediaFacts& facts, Console console, Target preferred) {
    const std::vector<Route> routes = CheckForConsole(facts, console);
    const auto chosen = std::find_if(routes.begin(), routes.end(),
                                     [preferred](const Route& r) { return r.target == preferred; });
    const Route& route = chosen != routes.end() ? *chosen : CheapestRoute(routes);
    std::string line = std::string(ConsoleName(console)) + ": " + VerdictText(route.verdict);
    if (route.target != Target::AsIs) line += std::string(" (") + TargetName(route.target) + ")";
    return line;
}

const char* VerdictText(Fix fix) {
    switch (fix) {
        case Fix::None:
            return msg::kPlaysAsIs.data();
        case Fix::Remux:
            return msg::kNeedsRemux.data();
        case Fix::LevelByte:
            return msg::kNeedsLevelByte.data();
        case Fix::AudioConversion:
            return msg::kNeedsAudioConversion.data();
        case Fix::Split:
            return msg::kNeedsSplit.data();
        case Fix::VideoReencode:
            return msg::kNeedsVideoReencode.data();
        case Fix::NoConversion:
            return msg::kNoConversionFixes.data();
        case Fix::NoFix:
            return msg::kNoConversionPlays.data();
    }
    return "";
}

const char* StatusText(RuleStatus status) {
    switch (status) {
        case RuleStatus::Pass:
            return "pass";
        case RuleStatus::Warn:
            return "warn";
        case RuleStatus::Fail:
            return "fail";
        case RuleStatus::Unknown:
            return "unknown";
    }
    return "";
}

const char* ConsoleName(Console console) {
    switch (console) {
        case Console::Ps3:
            return "PS3";
        case Console::Xbox360:
            return "Xbox 360";
        case Console::Ps3Stereo:
            return "PS3 (2.0)";
    }
    return "";
}

const char* TargetName(Target target) {
    switch (target) {
        case Target::AsIs:
            return "as is";
        case Target::Mp4:
            return "MP4";
        case Target::Avchd:
            return "AVCHD";
    }
    return "";
}

const char* ContainerName(Container container) {
    switch (container) {
        case Container::Matroska:
            return "Matroska";
        case Container::Mp4:
            return "MP4";
        case Container::MpegTs:
            return "M2TS";
        case Container::MpegPs:
            return "MPEG-PS";
        case Container::Avi:
            return "AVI";
        case Container::Asf:
            return "WMV";
        default:
            return "unknown";
    }
}

}  // namespace kestrun
