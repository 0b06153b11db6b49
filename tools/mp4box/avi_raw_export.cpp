#include "avi_raw_export.h"

#include <algorithm>
#include <cctype>
#include <iostream>
#include <stdexcept>
#include <vector>

#include "base/partial_output_file.h"
#include "common/lib_names.h"
#include "media/avi_riff.h"
#include "media/h264_nal.h"
#include "media/h264_parameter_sets.h"

namespace standin {
namespace {

constexpr size_t kSkippedChunkSize = 4;
constexpr size_t kCopyBufferSize = 1 << 20;
constexpr uint32_t kMaxConvertedFrame = 64u << 20;

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// How H.264 frames must be changed to give a plain Annex B stream.
struct H264Layout {
    int lengthSize = 0;                // > 0: frames hold length-prefixed units (avcC header)
    std::vector<uint8_t> headerBlock;  // SPS and PPS to put first when the frames lack them
};

H264Layout LayoutOf(const std::vector<uint8_t>& formatExtra) {
    H264Layout layout;
    if (formatExtra.empty()) return layout;
    try {
        const auto sets = h264::ReadParameterSets(formatExtra.data(), formatExtra.size());
        layout.headerBlock = h264::ToAnnexB(sets);
        if (formatExtra[0] == 1 && formatExtra.size() > 4)
            layout.lengthSize = (formatExtra[4] & 3) + 1;
    } catch (const std::runtime_error&) {
        // Extra bytes that are no parameter sets: the frames are taken as they are.
    }
    return layout;
}

std::vector<uint8_t> LengthPrefixedToAnnexB(const std::vector<uint8_t>& frame, int lengthSize) {
    std::vector<uint8_t> out;
    out.reserve(frame.size() + 16);
    size_t pos = 0;
    while (pos + lengthSize <= frame.size()) {
        size_t length = 0;
        for (int i = 0; i < lengthSize; ++i) length = (length << 8) | frame[pos + i];
        pos += lengthSize;
        if (length > frame.size() - pos)
            throw std::runtime_error("an H.264 frame in the AVI is damaged");
        out.insert(out.end(), {0, 0, 0, 1});
        out.insert(out.end(), frame.begin() + pos, frame.begin() + pos + length);
        pos += length;
    }
    return out;
}

bool HasSps(const std::vector<uint8_t>& annexB) {
    return !h264::ParameterSetsInAnnexB(annexB.data(), annexB.size()).sps.empty();
}

// Copies a chunk's bytes through a fixed buffer; returns false when the file ends early.
bool CopyChunk(ByteSource& source, const AviChunk& chunk, PartialOutputFile& output,
               std::vector<uint8_t>& buffer) {
    uint64_t offset = chunk.offset;
    uint64_t left = chunk.size;
    while (left > 0) {
        const size_t want = static_cast<size_t>(std::min<uint64_t>(left, buffer.size()));
        const size_t got = source.ReadAt(offset, buffer.data(), want);
        output.Write(buffer.data(), got);
        if (got < want) return false;
        offset += got;
        left -= got;
    }
    return true;
}

// An H.264 frame that needs changing is read whole (frames are small next to the file).
bool CopyH264Frame(ByteSource& source, const AviChunk& chunk, PartialOutputFile& output,
                   const H264Layout& layout, bool first) {
    if (chunk.size > kMaxConvertedFrame)
        throw std::runtime_error("an H.264 frame in the AVI is implausibly large");
    std::vector<uint8_t> frame = source.Read(chunk.offset, chunk.size);
    const bool complete = frame.size() == chunk.size;
    if (layout.lengthSize > 0) frame = LengthPrefixedToAnnexB(frame, layout.lengthSize);
    if (first && !layout.headerBlock.empty() && !HasSps(frame))
        output.Write(layout.headerBlock.data(), layout.headerBlock.size());
    output.Write(frame.data(), frame.size());
    return complete;
}

}  // namespace

std::string RawVideoExtension(const std::string& fourcc) {
    const std::string code = Lower(fourcc);
    if (code == "vssh" || code.find("264") != std::string::npos) return "h264";
    static const char* const kMpeg4Part2[] = {"divx", "dx50", "xvid", "3iv2", "fvfw", "ndig",
                                              "mp4v", "m4cc", "pvmm", "sedg", "rmp4"};
    for (const char* known : kMpeg4Part2) {
        if (code == known) return "cmp";
    }
    std::string extension;
    for (char c : fourcc) {
        if (std::isalnum(static_cast<unsigned char>(c))) extension += c;
    }
    return extension.empty() ? "raw" : extension;
}

std::string RawVideoPath(const std::string& aviPath, const std::string& extension) {
    const size_t slash = aviPath.rfind('/');
    const size_t dot = aviPath.rfind('.');
    const bool hasExtension =
        dot != std::string::npos && (slash == std::string::npos || dot > slash);
    return (hasExtension ? aviPath.substr(0, dot) : aviPath) + "_video." + extension;
}

std::string ExportAviVideo(const std::string& aviPath) {
    FileSource source(aviPath);
    const AviHeaders headers = ReadAviHeaders(source);
    if (!headers.videoStream) throw std::runtime_error("no video stream in " + aviPath);
    const AviStreamInfo& video = headers.streams[*headers.videoStream];
    const std::string fourcc = video.compression.empty() ? video.handler : video.compression;
    const std::string extension = RawVideoExtension(fourcc);
    const bool isH264 = extension == "h264";
    const H264Layout layout = isH264 ? LayoutOf(video.formatExtra) : H264Layout{};
    const bool rewriteFrames = isH264 && (layout.lengthSize > 0 || !layout.headerBlock.empty());

    PartialOutputFile output(RawVideoPath(aviPath, extension));
    output.Open();
    std::vector<uint8_t> buffer(kCopyBufferSize);
    AviChunkWalker walker(source);
    size_t frames = 0;
    bool complete = true;
    while (const auto chunk = walker.Next()) {
        if (!IsVideoChunkOf(*chunk, *headers.videoStream) || chunk->size <= kSkippedChunkSize)
            continue;
        const bool convert = rewriteFrames && (layout.lengthSize > 0 || frames == 0);
        complete = convert ? CopyH264Frame(source, *chunk, output, layout, frames == 0)
                           : CopyChunk(source, *chunk, output, buffer);
        ++frames;
        if (!complete) break;
    }
    if (frames == 0) throw std::runtime_error("no video frames in " + aviPath);
    if (!complete)
        std::cerr << "MP4Box: " << aviPath << " ends inside a video frame; the frames before it "
                  << "were written" << std::endl;
    output.Commit();
    return output.FinalPath();
}

}  // namespace standin
