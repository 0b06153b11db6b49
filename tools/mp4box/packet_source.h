#pragma once
// Something that feeds streams into the MP4 being written: a raw H.264 file, or the tracks of a
// file FFmpeg can read (ADTS AAC, an existing MP4).
#include <string>

struct AVFormatContext;
struct AVPacket;

namespace standin {

class PacketSource {
public:
    virtual ~PacketSource() = default;

    // Creates this source's streams in the output (before its header is written).
    virtual void AddStreams(AVFormatContext& output) = 0;

    // The next packet in decode order, with the output stream index and its timestamps in
    // packet.time_base; false at the end. Throws std::runtime_error on a read error.
    virtual bool Next(AVPacket& packet) = 0;

    virtual const std::string& Path() const = 0;
};

}  // namespace standin
