#include "video_info.h"

#include <algorithm>
#include <cstdio>

namespace standin::mmcl {

namespace {

// Frames are read whole to find every VOP of packed bitstreams; a chunk larger than this is no
// MPEG-4 frame we can use, and only its start is read.
constexpr size_t kMaxFrameRead = 8u << 20;
constexpr size_t kMaxUserDataStrings = 16;
constexpr uint8_t kDelayFrameByte = 0x7F;

struct HeaderState {
    int visualObjectVerid = 1;
    std::optional<mpeg4::VolHeader> vol;
};

size_t VopIndex(mpeg4::VopType type) { return static_cast<size_t>(type); }

void AddUserData(VideoInfo& info, std::string text) {
    if (text.empty() || info.userData.size() >= kMaxUserDataStrings) return;
    if (std::find(info.userData.begin(), info.userData.end(), text) == info.userData.end())
        info.userData.push_back(std::move(text));
}

void ReadVol(HeaderState& state, const uint8_t* payload, size_t size) {
    if (state.vol) return;  // the first layer decides
    try {
        state.vol = mpeg4::ParseVolHeader(payload, size, state.visualObjectVerid);
    } catch (const std::out_of_range&) {
        throw VideoInfoError("The video object layer header is cut short.");
    } catch (const mpeg4::Mpeg4Error& e) {
        throw VideoInfoError(std::string("Unsupported video object layer header: ") + e.what() +
                             ".");
    }
}

// Walks the start codes of one buffer (format extra data or a frame).
void ScanUnits(const std::vector<uint8_t>& data, HeaderState& state, VideoInfo& info) {
    size_t from = 0;
    while (auto code = mpeg4::FindStartCode(data.data(), data.size(), from)) {
        const size_t payload = code->PayloadOffset();
        const auto next = mpeg4::FindStartCode(data.data(), data.size(), payload);
        const size_t end = next ? next->offset : data.size();
        const uint8_t* bytes = data.data() + payload;
        const size_t size = end - payload;
        if (code->code == mpeg4::kVisualObject) {
            state.visualObjectVerid = mpeg4::ReadVisualObjectVerid(bytes, size);
        } else if (mpeg4::IsVolStartCode(code->code)) {
            ReadVol(state, bytes, data.size() - payload);
        } else if (code->code == mpeg4::kUserData) {
            AddUserData(info, mpeg4::ReadUserData(bytes, size));
        } else if (code->code == mpeg4::kVop) {
            if (!state.vol)
                throw VideoInfoError(
                    "No VOL found before first VOP, make sure the video starts with a keyframe.");
            try {
                ++info.vopCounts[VopIndex(mpeg4::ParseVopType(bytes, size, *state.vol))];
            } catch (const std::out_of_range&) {
                // a VOP header cut short by a damaged frame is not counted
            }
        }
        from = end;
    }
}

bool IsDelayOrDropFrame(const AviChunk& chunk, ByteSource& avi) {
    if (chunk.size == 0) return true;
    if (chunk.size > 1) return false;
    const std::vector<uint8_t> byte = avi.Read(chunk.offset, 1);
    return byte.empty() || byte[0] == kDelayFrameByte;
}

bool StartsWithStartCode(const std::vector<uint8_t>& frame) {
    return frame.size() >= 4 && frame[0] == 0 && frame[1] == 0 && frame[2] == 1;
}

std::string YesNo(bool value) { return value ? "Yes" : "No"; }

std::string Field(const std::string& label, const std::string& value) {
    std::string line = label;
    line.resize(std::max<size_t>(19, label.size() + 1), ' ');
    return line + value + "\n";
}

std::string AspectRatioText(const mpeg4::VolHeader& vol) {
    switch (vol.aspectRatioInfo) {
        case 1:
            return "Square pixels";
        case 2:
            return "4:3 PAL pixel shape";
        case 3:
            return "4:3 NTSC pixel shape";
        case 4:
            return "16:9 PAL pixel shape";
        case 5:
            return "16:9 NTSC pixel shape";
        case 15: {
            if (vol.parHeight == 0) return "Invalid aspect_ratio setting";
            char text[64];
            std::snprintf(text, sizeof text, "Custom pixel shape (%d:%d = %.5f)", vol.parWidth,
                          vol.parHeight, static_cast<double>(vol.parWidth) / vol.parHeight);
            return text;
        }
        default:
            return "Invalid aspect_ratio setting";
    }
}

std::string GmcText(const mpeg4::VolHeader& vol) {
    if (vol.sprite != mpeg4::SpriteMode::Gmc) return "No";
    return "Yes (" + std::to_string(vol.warpingPoints) + " warp point" +
           (vol.warpingPoints == 1 ? ")" : "s)");
}

std::string QuantTypeText(const mpeg4::VolHeader& vol) {
    if (!vol.mpegQuant) return "H.263";
    return (vol.customIntraMatrix || vol.customInterMatrix) ? "MPEG Custom" : "MPEG";
}

// DivX 5 marks a packed bitstream with a 'p' after its build number ("DivX503b1393p").
bool IsPackedBitstream(const std::vector<std::string>& userData) {
    return std::any_of(userData.begin(), userData.end(), [](const std::string& text) {
        return text.rfind("DivX", 0) == 0 && text.back() == 'p';
    });
}

std::string VopLine(const char* name, uint64_t count, uint64_t total) {
    char text[96];
    std::snprintf(text, sizeof text, "%s-VOPs: %llu (%.2f%%)\n", name,
                  static_cast<unsigned long long>(count),
                  total == 0 ? 0.0 : 100.0 * static_cast<double>(count) / total);
    return text;
}

}  // namespace

VideoInfo ReadVideoInfo(ByteSource& avi) {
    AviHeaders headers;
    try {
        headers = ReadAviHeaders(avi);
    } catch (const AviError& e) {
        throw VideoInfoError(std::string(e.what()) + ".");
    }
    if (!headers.videoStream) throw VideoInfoError("The AVI has no video stream.");
    const AviStreamInfo& stream = headers.streams[*headers.videoStream];

    VideoInfo info;
    info.fourCc = stream.handler;
    HeaderState state;
    ScanUnits(stream.formatExtra, state, info);

    AviChunkWalker walker(avi);
    bool firstFrame = true;
    while (auto chunk = walker.Next()) {
        if (!IsVideoChunkOf(*chunk, *headers.videoStream) || IsDelayOrDropFrame(*chunk, avi))
            continue;
        const std::vector<uint8_t> frame =
            avi.Read(chunk->offset, std::min<size_t>(chunk->size, kMaxFrameRead));
        if (firstFrame && !StartsWithStartCode(frame))
            throw VideoInfoError(
                "This is not a valid MPEG-4 video (startcode not found at beginning of frame).  "
                "Codec: " +
                stream.compression + ".");
        firstFrame = false;
        ScanUnits(frame, state, info);
    }
    if (firstFrame) throw VideoInfoError("The video stream holds no frames.");
    if (!state.vol)
        throw VideoInfoError(
            "No VOL found before first VOP, make sure the video starts with a "
            "keyframe.");
    info.vol = *state.vol;
    return info;
}

std::string FormatVideoInfo(const VideoInfo& info) {
    const mpeg4::VolHeader& vol = info.vol;
    std::string text = "---------- Video Info ----------\n";
    text += Field("Packed bitstream:", YesNo(IsPackedBitstream(info.userData)));
    text += Field("QPel:", YesNo(vol.quarterSample));
    text += Field("GMC:", GmcText(vol));
    text += Field("Interlaced:", YesNo(vol.interlaced));
    text += Field("Aspect ratio:", AspectRatioText(vol));
    text += Field("Quant type:", QuantTypeText(vol));
    text += Field("FourCC:", info.fourCc);
    for (size_t i = 0; i < info.userData.size(); ++i)
        text += i == 0 ? Field("User data:", info.userData[i])
                       : std::string(19, ' ') + info.userData[i] + "\n";
    text += "\n";
    uint64_t total = 0;
    for (const uint64_t count : info.vopCounts) total += count;
    const char* names[] = {"I", "P", "B", "S", "N"};
    for (size_t i = 0; i < info.vopCounts.size(); ++i)
        text += VopLine(names[i], info.vopCounts[i], total);
    text += "--------------------------------\n";
    return text;
}

}  // namespace standin::mmcl
