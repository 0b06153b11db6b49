#pragma once
// A raw Annex B H.264 file as one video track: frames in decode order with presentation times
// worked out from their picture order (see common/h264_timed_reader.h), the declared frame rate,
// and the pixel aspect written both into the sequence parameter sets and the container.
#include <memory>
#include <optional>

#include "common/lib_names.h"
#include "common/packet_source.h"
#include "common/sps_aspect_filter.h"
#include "common/video_timing.h"
#include "media/h264_timed_reader.h"

extern "C" {
#include <libavutil/rational.h>
}

namespace standin {

class RawH264Source : public PacketSource {
public:
    // Without a frame rate the stream's own timing (VUI) is used, else 25 frames per second.
    // Throws std::runtime_error when the file is no readable H.264 stream.
    // With `lengthPrefixed` the stream is handed on as an MP4 holds it, where its header allows:
    // an avcC record for extradata and each frame's units behind their lengths (see
    // media/h264_nal.h), which the MP4 writer then stores as they are.
    RawH264Source(std::string path, std::optional<std::string> frameRate,
                  std::optional<PixelAspect> aspect, bool lengthPrefixed = false);

    void AddStreams(AVFormatContext& output) override;
    bool Next(AVPacket& packet) override;
    const std::string& Path() const override { return path_; }
    std::optional<double> DurationSeconds() const override { return std::nullopt; }
    std::vector<std::pair<int, double>> ExpectedPackets(double filmSeconds) const override;
    std::optional<int> ReckonedSetupBytes(int stream) const override;

private:
    std::string path_;
    h264::TimedFrameReader reader_;
    VideoTiming timing_;
    AVRational sampleAspect_{0, 1};
    std::unique_ptr<SpsAspectFilter> aspectFilter_;
    int streamIndex_ = -1;
    bool lengthPrefixedAsked_ = false;
    bool lengthPrefixed_ = false;  // as handed on
    int headerBytes_ = 0;          // of the Annex B header block
};

}  // namespace standin
