#include "subtitle_cues.h"

#include <algorithm>
#include <fstream>
#include <regex>
#include <sstream>
#include <stdexcept>

#include "common/file_checks.h"
#include "common/lib_names.h"
#include "media/libav_handles.h"
#include "source_tracks.h"

namespace standin::ts {
namespace {

// Far more than the longest film's subtitles, and than a screen can show at once: the markup is
// read by patterns whose depth grows with the text they span.
constexpr size_t kMaxSubtitleFileBytes = 32 << 20;
constexpr size_t kMaxTimingLineBytes = 256;

bool IsValidUtf8(const std::string& text) {
    size_t i = 0;
    while (i < text.size()) {
        const auto c = static_cast<unsigned char>(text[i]);
        int extra = -1;
        if (c < 0x80)
            extra = 0;
        else if (c >= 0xC2 && c < 0xE0)
            extra = 1;
        else if ((c >> 4) == 0xE)
            extra = 2;
        else if (c >= 0xF0 && c < 0xF5)
            extra = 3;
        if (extra < 0 || text.size() - i <= static_cast<size_t>(extra)) return false;
        for (int k = 1; k <= extra; ++k)
            if ((static_cast<unsigned char>(text[i + k]) >> 6) != 2) return false;
        i += 1 + extra;
    }
    return true;
}

void AppendUtf8(std::string& out, uint32_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

std::string Windows1252ToUtf8(const std::string& text) {
    // 0x80-0x9F; 0 where the code page leaves a hole (kept as the Latin-1 control).
    static constexpr uint16_t kHigh[32] = {
        0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};
    std::string out;
    for (char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        AppendUtf8(out, c >= 0x80 && c < 0xA0 && kHigh[c - 0x80] ? kHigh[c - 0x80] : c);
    }
    return out;
}

// A damaged or hostile file may hold control bytes; none is text to show, and the markup below
// uses two of them for its own marks. Tab and line ends stay.
std::string WithoutControlBytes(std::string text) {
    std::erase_if(text, [](char ch) {
        const auto c = static_cast<unsigned char>(ch);
        return (c < 0x20 && c != '\t' && c != '\n' && c != '\r') || c == 0x7F;
    });
    return text;
}

std::string Trimmed(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

bool IsNumber(const std::string& text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// "00:01:02,500 --> 00:01:04,000" (a dot for the comma, and position coordinates after, are
// taken as well).
bool ParseTiming(const std::string& line, int64_t& start, int64_t& end) {
    if (line.size() > kMaxTimingLineBytes) return false;
    static const std::regex kTiming(
        R"(^\s*(\d{1,6}):(\d{1,2}):(\d{1,2})[,.](\d{1,3})\s*-->\s*(\d{1,6}):(\d{1,2}):(\d{1,2})[,.](\d{1,3})(\s.*)?$)");
    std::smatch m;
    if (!std::regex_match(line, m, kTiming)) return false;
    auto ms = [&](int first) {
        std::string fraction = m[first + 3].str();
        fraction.resize(3, '0');
        return ((std::stoll(m[first].str()) * 60 + std::stoll(m[first + 1].str())) * 60 +
                std::stoll(m[first + 2].str())) *
                   1000 +
               std::stoll(fraction);
    };
    start = ms(1);
    end = ms(5);
    return true;
}

// SRT's <i>, <b>, <u> become the renderer's switches; other tags (<font ...>) and {\...} blocks
// go. The text holds no control bytes (see WithoutControlBytes), so \x01 and \x02 mark the
// switches found here alone.
std::string SrtMarkup(const std::string& text) {
    static const std::regex kTag(R"(<\s*(/?)\s*([ibuIBU])\s*>)");
    std::string out = std::regex_replace(text, kTag, "\x01$1$2\x02");
    out = std::regex_replace(out, std::regex(R"(</?\s*font[^>]*>)", std::regex::icase), "");
    out = std::regex_replace(out, std::regex(R"(\{\\[^}]*\})"), "");
    std::string result;
    for (size_t i = 0; i < out.size(); ++i) {
        const size_t close = out[i] == '\x01' ? out.find('\x02', i) : std::string::npos;
        if (close == std::string::npos || close < i + 2) {
            if (out[i] != '\x01' && out[i] != '\x02') result += out[i];
            continue;
        }
        const bool closing = out[i + 1] == '/';
        const char kind = static_cast<char>(std::tolower(out[i + (closing ? 2 : 1)]));
        result += std::string("{\\") + kind + (closing ? "0" : "1") + "}";
        i = close;
    }
    return result;
}

bool LooksLikeAss(const std::string& text) {
    return text.find("[Script Info]") != std::string::npos &&
           text.find("[Events]") != std::string::npos;
}

int64_t Ms(int64_t value, AVRational timeBase) {
    return av_rescale_q(value, timeBase, AVRational{1, 1000});
}

// The Text field of an ASS event as FFmpeg hands it out (the Matroska form, "ReadOrder, Layer,
// Style, Name, MarginL, MarginR, MarginV, Effect, Text", or a whole "Dialogue:" line).
std::string AssEventText(const std::string& data) {
    std::string event = data;
    int fields = 8;
    if (event.rfind("Dialogue:", 0) == 0) fields = 9;
    size_t pos = 0;
    for (int i = 0; i < fields && pos != std::string::npos; ++i) {
        pos = event.find(',', pos);
        if (pos != std::string::npos) ++pos;
    }
    return pos == std::string::npos ? std::string() : event.substr(pos);
}

// Every packet of one subtitle stream that FFmpeg reads, as cues.
std::vector<SubtitleCue> ReadFfmpegCues(const std::string& path, int64_t trackNumber) {
    InputPtr input = OpenInput(path);
    int stream = 0;
    int64_t origin = 0;
    if (trackNumber > 0) {
        stream = SubtitleStreamOfTrack(
            *input, path, trackNumber,
            {AV_CODEC_ID_SUBRIP, AV_CODEC_ID_TEXT, AV_CODEC_ID_ASS, AV_CODEC_ID_SSA},
            "text subtitle track (SRT, SSA or ASS)");
        origin = VideoStart(*input, AVRational{1, 1000}).value_or(0);
    } else if (input->nb_streams == 0 ||
               input->streams[0]->codecpar->codec_type != AVMEDIA_TYPE_SUBTITLE) {
        throw std::runtime_error(path + " holds no subtitles");
    }
    for (unsigned i = 0; i < input->nb_streams; ++i)
        if (static_cast<int>(i) != stream) input->streams[i]->discard = AVDISCARD_ALL;
    const AVStream& st = *input->streams[stream];
    const bool ass =
        st.codecpar->codec_id == AV_CODEC_ID_ASS || st.codecpar->codec_id == AV_CODEC_ID_SSA;
    std::vector<SubtitleCue> cues;
    PacketPtr packet = NewPacket();
    while (av_read_frame(input.get(), packet.get()) >= 0) {
        if (packet->stream_index == stream && packet->pts != AV_NOPTS_VALUE && packet->size > 0) {
            const std::string data(reinterpret_cast<const char*>(packet->data), packet->size);
            SubtitleCue cue;
            cue.startMs = Ms(packet->pts, st.time_base) - origin;
            cue.endMs = cue.startMs + Ms(std::max<int64_t>(packet->duration, 0), st.time_base);
            try {
                cue.text = TextTrackCueText(data, ass);
            } catch (const std::length_error& e) {
                throw std::runtime_error(path + " at " + std::to_string(cue.startMs) +
                                         " ms: " + e.what());
            }
            if (cue.endMs > cue.startMs && !cue.text.empty()) cues.push_back(std::move(cue));
        }
        av_packet_unref(packet.get());
    }
    return cues;
}

}  // namespace

std::vector<SubtitleCue> ParseSrt(const std::string& raw, const std::string& name) {
    std::string text = raw.rfind("\xEF\xBB\xBF", 0) == 0 ? raw.substr(3) : raw;
    if (!IsValidUtf8(text)) text = Windows1252ToUtf8(text);
    text = WithoutControlBytes(std::move(text));
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    auto error = [&](size_t index, const std::string& what) {
        return std::invalid_argument(name + " line " + std::to_string(index + 1) + ": " + what);
    };
    std::vector<SubtitleCue> cues;
    size_t i = 0;
    while (i < lines.size()) {
        if (Trimmed(lines[i]).empty()) {
            ++i;
            continue;
        }
        SubtitleCue cue;
        if (IsNumber(Trimmed(lines[i]))) ++i;  // the cue's number
        if (i >= lines.size()) throw error(i - 1, "a cue number without a time line");
        if (!ParseTiming(lines[i], cue.startMs, cue.endMs))
            throw error(i, "expected a time line \"hh:mm:ss,mmm --> hh:mm:ss,mmm\", found \"" +
                               lines[i].substr(0, 80) + (lines[i].size() > 80 ? "...\"" : "\""));
        if (cue.endMs < cue.startMs) throw error(i, "the cue ends before it starts");
        ++i;
        std::vector<std::string> body;
        for (; i < lines.size() && !Trimmed(lines[i]).empty(); ++i) body.push_back(lines[i]);
        for (size_t k = 0; k < body.size(); ++k) cue.text += (k ? "\n" : "") + body[k];
        if (cue.text.size() > kMaxCueTextBytes)
            throw error(i - body.size(), "a cue of " + std::to_string(cue.text.size()) +
                                             " bytes (at most " + std::to_string(kMaxCueTextBytes) +
                                             ")");
        cue.text = SrtMarkup(cue.text);
        if (!Trimmed(cue.text).empty() && cue.endMs > cue.startMs) cues.push_back(std::move(cue));
    }
    std::stable_sort(cues.begin(), cues.end(), [](const SubtitleCue& a, const SubtitleCue& b) {
        return a.startMs < b.startMs;
    });
    return cues;
}

std::string TextTrackCueText(const std::string& data, bool ass) {
    const std::string text =
        WithoutControlBytes(ass || IsValidUtf8(data) ? data : Windows1252ToUtf8(data));
    if (text.size() > kMaxCueTextBytes)
        throw std::length_error("a cue of " + std::to_string(text.size()) + " bytes (at most " +
                                std::to_string(kMaxCueTextBytes) + ")");
    return ass ? PlainAssText(AssEventText(text)) : SrtMarkup(text);
}

std::string PlainAssText(const std::string& assText) {
    std::string out;
    for (size_t i = 0; i < assText.size(); ++i) {
        const char c = assText[i];
        if (c == '{') {
            const size_t close = assText.find('}', i);
            if (close != std::string::npos) {
                i = close;
                continue;
            }
        }
        if (c == '\\' && i + 1 < assText.size()) {
            const char next = assText[i + 1];
            if (next == 'N' || next == 'n') {
                out += '\n';
                ++i;
                continue;
            }
            if (next == 'h') {
                out += ' ';
                ++i;
                continue;
            }
        }
        out += c;
    }
    return out;
}

std::vector<SubtitleCue> ReadSubtitleCues(const std::string& path, int64_t trackNumber) {
    if (trackNumber > 0) return ReadFfmpegCues(path, trackNumber);
    const std::string text = ReadBoundedFile(path, kMaxSubtitleFileBytes, "subtitle file");
    if (LooksLikeAss(text)) return ReadFfmpegCues(path, 0);
    return ParseSrt(text, path);
}

}  // namespace standin::ts
