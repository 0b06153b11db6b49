#pragma once
// The audio and video tracks of a file FFmpeg can read (ADTS AAC, an existing MP4, ...), copied
// packet by packet with their own timestamps.
#include <vector>

#include "common/lib_names.h"
#include "common/packet_source.h"
#include "media/libav_handles.h"

namespace standin {

class ContainerSource : public PacketSource {
public:
    // Throws std::runtime_error when the file cannot be read or holds no audio or video track.
    explicit ContainerSource(std::string path);

    void AddStreams(AVFormatContext& output) override;
    bool Next(AVPacket& packet) override;
    const std::string& Path() const override { return path_; }
    std::optional<double> DurationSeconds() const override;
    std::vector<std::pair<int, double>> ExpectedPackets(double filmSeconds) const override;

private:
    struct TrackState {
        int outputIndex = -1;  // -1: not copied
        int64_t nextDts = AV_NOPTS_VALUE;
    };

    std::string path_;
    InputPtr input_;
    std::vector<TrackState> tracks_;  // by input stream index
};

}  // namespace standin
