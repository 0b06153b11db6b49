#pragma once
// Another source read on a thread of its own, a bounded number of packets ahead: reading and
// parsing a file then overlaps with writing the MP4, as FFmpeg reads each input on its own thread.
// The inner source's Next() runs only on that thread once the first packet was asked for.
#include <condition_variable>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>

#include "common/lib_names.h"
#include "common/packet_source.h"
#include "media/libav_handles.h"

namespace standin {

class ReadAheadSource : public PacketSource {
public:
    // At most `maxPackets` packets or about `maxBytes` bytes wait at any time.
    explicit ReadAheadSource(std::unique_ptr<PacketSource> inner, size_t maxPackets = 64,
                             size_t maxBytes = size_t{32} << 20);
    ~ReadAheadSource() override;
    ReadAheadSource(const ReadAheadSource&) = delete;
    ReadAheadSource& operator=(const ReadAheadSource&) = delete;

    void AddStreams(AVFormatContext& output) override { inner_->AddStreams(output); }
    // Packets in the inner source's order; a read error of the inner source is thrown here once
    // the packets read before it have been taken.
    bool Next(AVPacket& packet) override;
    const std::string& Path() const override { return inner_->Path(); }
    std::optional<double> DurationSeconds() const override { return inner_->DurationSeconds(); }
    std::vector<std::pair<int, double>> ExpectedPackets(double filmSeconds) const override {
        return inner_->ExpectedPackets(filmSeconds);
    }
    std::optional<int> ReckonedSetupBytes(int stream) const override {
        return inner_->ReckonedSetupBytes(stream);
    }

private:
    void Read();
    bool Full() const;
    bool HalfEmpty() const;

    std::unique_ptr<PacketSource> inner_;
    const size_t maxPackets_;
    const size_t maxBytes_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<PacketPtr> waiting_;
    size_t waitingBytes_ = 0;
    bool readerWaits_ = false;  // for room
    bool takerWaits_ = false;   // for a packet
    bool ended_ = false;
    bool stop_ = false;
    std::exception_ptr failure_;
    std::thread thread_;
};

}  // namespace standin
