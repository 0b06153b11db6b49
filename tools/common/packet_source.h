#pragma once
// Something that feeds streams into the MP4 being written: a raw H.264 file, or the tracks of a
// file FFmpeg can read (ADTS AAC, an existing MP4).
#include <optional>
#include <string>
#include <utility>
#include <vector>

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

    // The length the source's headers give, in seconds; nullopt when only reading it through
    // would tell (a raw stream).
    virtual std::optional<double> DurationSeconds() const = 0;

    // About how many packets each of this source's output streams will give (output stream index,
    // count), from its headers alone; `filmSeconds` is the film's length where the other sources
    // know it (0 when none does). Only the room reserved for the MP4's index depends on it.
    virtual std::vector<std::pair<int, double>> ExpectedPackets(double filmSeconds) const = 0;

    // The size of an output stream's set-up data as the room for the MP4's index reckons it,
    // where that is not its extradata's size; nullopt otherwise and for other sources' streams.
    virtual std::optional<int> ReckonedSetupBytes(int /*stream*/) const { return std::nullopt; }
};

}  // namespace standin
