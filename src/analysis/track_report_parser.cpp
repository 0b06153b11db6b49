#include "analysis/track_report_parser.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <optional>
#include <sstream>

#include "model/analysis_state.h"
#include "model/context.h"
#include "model/form1.h"
#include "model/messages.h"
#include "platform/file_api.h"
#include "platform/tool_table.h"

namespace kestrun {
namespace {

// Cut positions of the report layout (0-based here).
constexpr size_t kFrameRateCut = 33;
constexpr size_t kFrameRateLength = 6;
constexpr size_t kPixelSizeCut = 19;
constexpr size_t kDisplayWidthCut = 21;
constexpr size_t kAudioLanguageCut = 14;
constexpr size_t kSubtitleLanguageOffset = 9;  // after the 1-based position of "Language:"
constexpr size_t kAspectRatioDigits = 9;
// What the report says in place of a frame rate or a size it could not find.
constexpr std::string_view kReportUnknown = "unknown";
// The report of even a file with hundreds of tracks is far below this.
constexpr std::streamoff kMaxReportSize = 16 << 20;

bool Contains(std::string_view line, std::string_view key) {
    return line.find(key) != std::string_view::npos;
}

std::string Mid(const std::string& text, size_t from) {
    return from < text.size() ? text.substr(from) : std::string();
}

std::string Right(const std::string& text, size_t count) {
    return text.size() > count ? text.substr(text.size() - count) : text;
}

std::string Trim(const std::string& text) {
    const size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

bool EndsWith(std::string_view text, std::string_view tail) {
    return text.size() >= tail.size() && text.substr(text.size() - tail.size()) == tail;
}

// The integer value of a text as the window's conversion takes it: blanks around an optional
// sign and digits; anything else is no number.
std::optional<int> IntegerValue(const std::string& text) {
    const std::string trimmed = Trim(text);
    size_t i = (!trimmed.empty() && (trimmed[0] == '-' || trimmed[0] == '+')) ? 1 : 0;
    if (i == trimmed.size()) return std::nullopt;
    long long value = 0;
    for (; i < trimmed.size(); ++i) {
        if (trimmed[i] < '0' || trimmed[i] > '9') return std::nullopt;
        value = value * 10 + (trimmed[i] - '0');
        if (value > 1000000000) return std::nullopt;
    }
    return static_cast<int>(trimmed[0] == '-' ? -value : value);
}

// A ratio as the window prints a double: up to 15 significant digits, no trailing zeros.
std::string RatioText(double ratio) {
    char text[32];
    std::snprintf(text, sizeof text, "%.15g", ratio);
    return text;
}

// Forward reading over the report, as the passes read it: the current line stays the last line
// read when the report ends.
class ReportCursor {
public:
    explicit ReportCursor(const std::vector<std::string>& lines) : lines_(lines) {}

    bool Next() {
        if (next_ >= lines_.size()) return false;
        current_ = lines_[next_++];
        return true;
    }
    const std::string& Current() const { return current_; }
    // Reads on until the current line holds `key` (the current line counts); false when the
    // report ended first.
    bool ReadUntil(std::string_view key) {
        while (!Contains(current_, key)) {
            if (!Next()) return false;
        }
        return true;
    }

private:
    const std::vector<std::string>& lines_;
    size_t next_ = 0;
    std::string current_;
};

struct AudioCodec {
    std::string_view key;
    int index;
};
constexpr AudioCodec kAudioCodecs[] = {{"A_AC3", 0},     {"DTS", 1},   {"A_VORBIS", 2},
                                       {"A_MPEG/L3", 3}, {"A_AAC", 4}, {"A_MPEG/L2", 5}};
constexpr int kAc3Index = 0;

class TrackReportParser {
public:
    TrackReportParser(const std::vector<std::string>& lines, Analysis& analysis, Form1& form,
                      const ParseLog& log)
        : lines_(lines), analysis_(analysis), form_(form), log_(log) {}

    void Run() {
        analysis_.bVfwMode = false;
        analysis_.strParOpt.clear();
        analysis_.strVideoCodec.clear();
        analysis_.strAspectOpt.clear();
        // Rows of the previous source would pass for this one's where this parse finds none.
        analysis_.strAudioTracks = {};
        analysis_.strSubTracks = {};
        CopyToLog();
        ClassifyVideo();
        // A VFW-mode track is read like any other: its frame rate, size and the audio tracks
        // beside it are what the MP4 chain muxes. The VOB repack of MPEG-2 video takes the chosen
        // audio track too.
        ReadVideoAndAudioTracks();
        ReadSubtitleTracks();
        RefuseWithoutVideo();
        UpdateWindow();
    }

    // A source with tracks but none of them video (a soundtrack in Matroska) has no film to
    // convert: no video track or frame rate is shown for it.
    void RefuseWithoutVideo() {
        analysis_.strSourceRefusal.clear();
        bool anyTrack = false;
        for (const std::string& line : lines_) {
            if (Contains(line, "+ A track")) anyTrack = true;
            if (Contains(line, "Track type") && Trim(Right(line, 5)) == "video") return;
        }
        if (!anyTrack) return;
        analysis_.strSourceRefusal = std::string(msg::kNoVideoTrack);
        form_.txtS1.SetText("");
        form_.txtSFPS.SetText("");
        log_(analysis_.strSourceRefusal);
    }

private:
    // Pass 1.
    void CopyToLog() {
        for (const std::string& line : lines_) log_(line);
    }

    // Pass 2: the first video track decides the codec, as it is the one extracted; further
    // video tracks are named and left out.
    void ClassifyVideo() {
        analysis_.strLeftOutVideoTracks.clear();
        ReportCursor cursor(lines_);
        bool inTrack = false, videoFound = false;
        int track = 0;
        std::vector<std::string> trackLines;
        const auto endTrack = [&] {
            if (!inTrack || !IsVideoTrack(trackLines)) return;
            if (!videoFound) {
                videoFound = true;
                ClassifyVideoTrack(trackLines);
                return;
            }
            const std::string name =
                "track " + std::to_string(track) + " (" + CodecIdOf(trackLines) + ")";
            auto& leftOut = analysis_.strLeftOutVideoTracks;
            leftOut += (leftOut.empty() ? "" : ", ") + name;
        };
        while (cursor.Next()) {
            if (Contains(cursor.Current(), "+ A track")) {
                endTrack();
                inTrack = true;
                ++track;
                trackLines.clear();
            } else if (inTrack) {
                trackLines.push_back(cursor.Current());
            }
        }
        endTrack();
    }

    static bool IsVideoTrack(const std::vector<std::string>& trackLines) {
        for (const std::string& line : trackLines)
            if (Contains(line, "Track type")) return Trim(Right(line, 5)) == "video";
        return false;
    }

    static std::string CodecIdOf(const std::vector<std::string>& trackLines) {
        constexpr std::string_view key = "Codec ID: ";
        for (const std::string& line : trackLines)
            if (const size_t at = line.find(key); at != std::string::npos)
                return Trim(line.substr(at + key.size()));
        return std::string(kReportUnknown);
    }

    void ClassifyVideoTrack(const std::vector<std::string>& trackLines) {
        for (const std::string& line : trackLines) {
            if (Contains(line, "VFW/FOURCC")) {
                log_("Embedded VFW/FOURCC file in mkv");
                form_.txtS1.SetText("1");
                analysis_.bVfwMode = true;
            }
            if (Contains(line, "FourCC: WVC1")) {
                analysis_.strVideoCodec = "vc1";
                log_("VC1 mkv");
                return;
            }
            if (Contains(line, "Codec ID: V_MPEG2")) {
                analysis_.strVideoCodec = "mpeg2";
                log_("mpeg2 mkv");
            }
            if (Contains(line, "Codec ID: V_MPEG4/ISO/AVC")) {
                analysis_.strVideoCodec = "avc";
                log_("AVC mkv");
            }
        }
    }

    // Pass 3.
    void ReadVideoAndAudioTracks() {
        ReportCursor cursor(lines_);
        int track = 0;
        bool videoFound = false;
        while (cursor.Next()) {
            if (!Contains(cursor.Current(), "+ A track")) continue;
            ++track;
            cursor.ReadUntil("Track type");
            const std::string type = Trim(Right(cursor.Current(), 5));
            if (type == "video" && !videoFound) {
                videoFound = true;
                ReadVideoTrack(cursor, track);
            } else if (type == "audio") {
                ReadAudioTrack(cursor, track);
            }
        }
    }

    void ReadVideoTrack(ReportCursor& cursor, int track) {
        form_.txtS1.SetText(std::to_string(track));
        log_("Video found on track " + std::to_string(track));
        cursor.ReadUntil("fps for a video track");
        form_.txtSFPS.SetText(FrameRateText(cursor.Current()));

        cursor.ReadUntil("Pixel width");
        std::string widthText = Mid(cursor.Current(), kPixelSizeCut);
        if (widthText.empty()) widthText = "0";
        ReadPixelSize(widthText, analysis_.intPixelWidth);
        cursor.Next();
        std::string heightText = Mid(cursor.Current(), kPixelSizeCut);
        if (heightText.empty()) heightText = "0";
        ReadPixelSize(heightText, analysis_.intPixelHeight);

        cursor.ReadUntil("Display width");
        const std::string displayText = Mid(cursor.Current(), kDisplayWidthCut);
        SetAspectOptions(widthText, displayText);
        log_("Video info: Pixel resolution: " + SizeText(analysis_.intPixelWidth) + "x" +
             SizeText(analysis_.intPixelHeight) +
             ". Display resolution adaptation: " + analysis_.strParOpt);
    }

    // A size the report does not know leaves 0, which nothing takes for a real size; other
    // texts that are no number keep the value as the window's conversion did.
    static void ReadPixelSize(const std::string& text, int& size) {
        if (Trim(text) == kReportUnknown) {
            size = 0;
        } else if (const auto value = IntegerValue(text)) {
            size = *value;
        }
    }

    static std::string SizeText(int size) {
        return size > 0 ? std::to_string(size) : std::string(msg::kUnknown);
    }

    void SetAspectOptions(const std::string& widthText, const std::string& displayText) {
        const auto width = IntegerValue(widthText);
        const auto display = IntegerValue(displayText);
        if (displayText != widthText && width && display && *width < *display) {
            analysis_.strParOpt = ":par=" + displayText + ":" + widthText;
            if (*width != 0) {
                const std::string ratio = RatioText(static_cast<double>(*display) / *width);
                analysis_.strAspectOpt = " -aspect " + ratio.substr(0, kAspectRatioDigits) + " ";
            }
        }
        if (Trim(displayText).empty()) {
            analysis_.strParOpt.clear();
            analysis_.strAspectOpt.clear();
        }
    }

    struct TrackFlags {
        bool isDefault = false, isForced = false;
    };
    // Reads on to the codec line; the flag lines stand between the track type and the codec.
    static TrackFlags ReadFlagsToCodec(ReportCursor& cursor) {
        TrackFlags flags;
        while (!Contains(cursor.Current(), "Codec ID")) {
            const std::string line = Trim(cursor.Current());
            if (EndsWith(line, "+ Default flag: 1")) flags.isDefault = true;
            if (EndsWith(line, "+ Forced flag: 1")) flags.isForced = true;
            if (!cursor.Next()) break;
        }
        return flags;
    }

    void ReadAudioTrack(ReportCursor& cursor, int track) {
        const TrackFlags flags = ReadFlagsToCodec(cursor);
        bool named = false;
        for (const AudioCodec& codec : kAudioCodecs) {
            if (!Contains(cursor.Current(), codec.key)) continue;
            named = true;
            form_.txtS2.SetText(std::to_string(track));
            form_.SelectAudioFormat(codec.index);
            if (codec.index != kAc3Index) form_.chkFF.enabled = false;
            audioFormat_ = std::to_string(codec.index);
        }
        // A format no button names (E-AC-3, TrueHD, FLAC, ...) that FFmpeg decodes is decoded
        // in-process; it leaves the buttons alone.
        const auto stream = analysis_.audioStreams.find(track);
        if (!named && stream != analysis_.audioStreams.end() && stream->second.decodable) {
            form_.chkFF.enabled = false;
            audioFormat_ = std::string(kDecodedAudioFormat);
        }
        cursor.ReadUntil("Language:");
        const std::string language = Mid(cursor.Current(), kAudioLanguageCut);
        if (audioRows_ < kTrackTableRows)
            analysis_.strAudioTracks[audioRows_] = {language, audioFormat_, std::to_string(track),
                                                    flags.isDefault, flags.isForced};
        ++audioRows_;
    }

    // Pass 4.
    void ReadSubtitleTracks() {
        ReportCursor cursor(lines_);
        int track = 0;
        while (cursor.Next()) {
            if (Contains(cursor.Current(), "+ A track")) {
                ++track;
            } else if (EndsWith(Trim(cursor.Current()), "subtitles")) {
                ReadSubtitleTrack(cursor, track);
            }
        }
    }

    void ReadSubtitleTrack(ReportCursor& cursor, int track) {
        const TrackFlags flags = ReadFlagsToCodec(cursor);
        if (!Contains(cursor.Current(), "Codec ID")) return;
        const std::string ending = Right(cursor.Current(), 3);
        std::string type;
        if (ending == "TF8") {
            type = "srt";
        } else if (ending == "SSA" || ending == "ASS") {
            type = ending;
        } else if (ending == "PGS") {  // S_HDMV/PGS: a Blu-ray's pictures
            type = kPgsSubtitleFormat;
        } else if (ending == "SUB") {  // S_VOBSUB: a DVD's pictures
            type = kVobSubSubtitleFormat;
        } else {
            return;
        }
        const size_t codecAt = cursor.Current().find("Codec ID: ");
        const std::string codecId = codecAt == std::string::npos
                                        ? std::string()
                                        : Trim(Mid(cursor.Current(), codecAt + 10));
        if (!cursor.ReadUntil(type == "srt" ? "Language" : "Language:")) return;
        const size_t key = cursor.Current().find("Language:");
        const size_t position = key == std::string::npos ? 0 : key + 1;
        std::string language = Mid(cursor.Current(), position + kSubtitleLanguageOffset);
        if (language == "und") language = "undefined";
        if (subtitleRows_ < kTrackTableRows)
            analysis_.strSubTracks[subtitleRows_] = {
                language, type, std::to_string(track), flags.isDefault, flags.isForced, codecId};
        ++subtitleRows_;
    }

    void UpdateWindow() {
        form_.cmbAudio.Clear();
        form_.cmbSubs.Clear();
        const int audioShown = std::min(audioRows_, kTrackTableRows);
        for (int row = 0; row < audioShown; ++row)
            form_.cmbAudio.AddItem(AudioListItem(analysis_.strAudioTracks[row]));
        form_.cmbAudio.SetSelectedIndex(0);
        const TrackRow& first = analysis_.strAudioTracks[0];
        if (const auto format = IntegerValue(first.format);
            format && *format >= 0 && *format < kAudioFormatCount)
            form_.SelectAudioFormat(*format);
        else
            form_.SelectAudioFormat(-1);  // none that converts: not a format of another track
        form_.txtS2.SetText(first.track);
        // The one track the source flags default is chosen as a click on its row chooses it.
        if (const int row = DefaultAudioRow(audioShown); row > 0)
            form_.cmbAudio.SetSelectedIndex(row);

        if (subtitleRows_ == 0) {
            form_.chkSubs.visible = false;
            form_.cmbSubs.visible = false;
            form_.lblSubs.visible = false;
            return;
        }
        const int subtitlesShown = std::min(subtitleRows_, kTrackTableRows);
        for (int row = 0; row < subtitlesShown; ++row)
            form_.cmbSubs.AddItem(SubtitleListItem(analysis_.strSubTracks[row]));
        form_.cmbSubs.visible = true;
        form_.chkSubs.SetValue(0);
        form_.chkSubs.visible = true;
        form_.lblSubs.visible = true;
        form_.cmbSubs.SetSelectedIndex(0);
    }

    // The row of the only audio track flagged default, when a click on it would take it; -1
    // when no track or several are flagged.
    int DefaultAudioRow(int shown) const {
        int found = -1;
        for (int row = 0; row < shown; ++row) {
            if (!analysis_.strAudioTracks[row].isDefault) continue;
            if (found >= 0) return -1;
            found = row;
        }
        if (found < 0) return -1;
        const std::string& format = analysis_.strAudioTracks[found].format;
        const auto number = IntegerValue(format);
        const bool convertible = format == kDecodedAudioFormat ||
                                 (number && *number >= 0 && *number < kAudioFormatCount);
        return convertible ? found : -1;
    }

    // The language, and for a track of pictures its kind: " eng (PGS)".
    static std::string SubtitleListItem(const TrackRow& row) {
        const std::string_view kind = ImageSubtitleKind(row.format);
        return kind.empty() ? row.language : row.language + " (" + std::string(kind) + ")";
    }

    // The language, and for a track no button names its format: " eng (E-AC-3)".
    std::string AudioListItem(const TrackRow& row) const {
        if (row.format != kDecodedAudioFormat) return row.language;
        const auto stream = analysis_.audioStreams.find(IntegerValue(row.track).value_or(0));
        if (stream == analysis_.audioStreams.end()) return row.language;
        return row.language + " (" + stream->second.format + ")";
    }

    const std::vector<std::string>& lines_;
    Analysis& analysis_;
    Form1& form_;
    const ParseLog& log_;
    std::string audioFormat_;  // kept from one audio track to the next
    int audioRows_ = 0;
    int subtitleRows_ = 0;
};

std::optional<std::string> ReadReport(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    if (size < 0 || size > kMaxReportSize) return std::nullopt;
    in.seekg(0);
    std::string text(static_cast<size_t>(size), '\0');
    in.read(text.data(), size);
    return text;
}

}  // namespace

std::string FrameRateText(const std::string& line) {
    if (Contains(line, std::string(kReportUnknown) + " fps")) return std::string(msg::kUnknown);
    const std::string key = "Default duration: ";
    const size_t start = line.find(key);
    if (start != std::string::npos) {
        const size_t number = start + key.size();
        const size_t point = line.find('.', number);
        const size_t open = line.find('(', number);
        const size_t fps = line.find(" fps", number);
        const bool twoDigits = point == number + 2;
        if (!twoDigits && point != std::string::npos && open != std::string::npos &&
            fps != std::string::npos && open < fps)
            return Trim(line.substr(open + 1, fps - open - 1));
    }
    return line.size() > kFrameRateCut ? line.substr(kFrameRateCut, kFrameRateLength)
                                       : std::string();
}

std::vector<std::string> SplitReportLines(std::string_view text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string line(text.substr(start, end - start));
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(std::move(line));
        start = end + 1;
    }
    return lines;
}

void ParseTrackReport(const std::vector<std::string>& lines, Analysis& analysis, Form1& form,
                      const ParseLog& log) {
    TrackReportParser(lines, analysis, form, log).Run();
}

void ParseMkvInfo(Context& ctx) {
    const std::string reportPath = ctx.files.StatePath(tool::kInfoReport);
    const std::vector<std::string> lines = SplitReportLines(ReadReport(reportPath).value_or(""));
    // debug.log stays open for the whole parse.
    std::ofstream debugLog(ctx.files.StatePath(tool::kDebugLog), std::ios::binary | std::ios::app);
    const ParseLog log = [&debugLog](const std::string& line) { debugLog << line << '\n'; };
    ParseTrackReport(lines, ctx.analysis, ctx.form, log);
    debugLog.close();
    DeleteFileNoForce(reportPath);
}

}  // namespace kestrun
