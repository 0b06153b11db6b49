#include "mp4_writer.h"

#include <stdexcept>

#include "common/libav_helpers.h"
#include "common/partial_output_file.h"

namespace standin {
namespace {

struct OutputFree {
    void operator()(AVFormatContext* context) const {
        if (context->pb) avio_closep(&context->pb);
        avformat_free_context(context);
    }
};
using OutputPtr = std::unique_ptr<AVFormatContext, OutputFree>;

OutputPtr CreateMp4Output() {
    AVFormatContext* context = nullptr;
    if (avformat_alloc_output_context2(&context, nullptr, "mp4", nullptr) < 0 || !context)
        throw std::runtime_error("FFmpeg's MP4 writer is not available");
    return OutputPtr(context);
}

void Check(int rc, const std::string& what, const std::string& path) {
    if (rc < 0) throw std::runtime_error(what + " " + path + ": " + AvErrorText(rc));
}

// One packet read ahead from each source.
struct Lane {
    PacketSource* source;
    PacketPtr packet = NewPacket();
    bool ended = false;

    void Advance() { ended = !source->Next(*packet); }
};

Lane* EarliestLane(std::vector<Lane>& lanes) {
    Lane* earliest = nullptr;
    for (Lane& lane : lanes) {
        if (lane.ended) continue;
        if (!earliest || av_compare_ts(lane.packet->dts, lane.packet->time_base,
                                       earliest->packet->dts, earliest->packet->time_base) < 0)
            earliest = &lane;
    }
    return earliest;
}

void WritePackets(AVFormatContext& output, std::vector<Lane>& lanes, const std::string& path) {
    for (Lane& lane : lanes) lane.Advance();
    while (Lane* lane = EarliestLane(lanes)) {
        AVPacket& packet = *lane->packet;
        const AVRational target = output.streams[packet.stream_index]->time_base;
        av_packet_rescale_ts(&packet, packet.time_base, target);
        packet.time_base = target;
        Check(av_interleaved_write_frame(&output, &packet), "cannot write", path);
        lane->Advance();
    }
}

}  // namespace

void WriteMp4(const std::vector<std::unique_ptr<PacketSource>>& sources,
              const std::string& destination) {
    PartialOutputFile partial(destination);
    const std::string& path = partial.TempPath();
    {
        OutputPtr output = CreateMp4Output();
        std::vector<Lane> lanes;
        for (const auto& source : sources) {
            source->AddStreams(*output);
            lanes.push_back(Lane{source.get()});
        }
        Check(avio_open(&output->pb, AvFilePath(path).c_str(), AVIO_FLAG_WRITE), "cannot create",
              path);
        Check(avformat_write_header(output.get(), nullptr), "cannot write", path);
        WritePackets(*output, lanes, path);
        Check(av_write_trailer(output.get()), "cannot write", path);
        Check(output->pb->error, "cannot write", path);
        Check(avio_closep(&output->pb), "cannot write", path);
    }
    partial.Commit();
}

}  // namespace standin
