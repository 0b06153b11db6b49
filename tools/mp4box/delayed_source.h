#pragma once
// ":delay=MS" of an added file: every stream of the file starts that many milliseconds later
// (earlier for a negative value; the MP4's edit list then leaves the part before 0 unplayed).
#include <memory>

#include "common/packet_source.h"

namespace standin {

class DelayedSource : public PacketSource {
public:
    DelayedSource(std::unique_ptr<PacketSource> inner, long long delayMs)
        : inner_(std::move(inner)), delayMs_(delayMs) {}

    void AddStreams(AVFormatContext& output) override { inner_->AddStreams(output); }
    bool Next(AVPacket& packet) override;
    const std::string& Path() const override { return inner_->Path(); }
    std::optional<double> DurationSeconds() const override {
        const auto inner = inner_->DurationSeconds();
        if (!inner) return std::nullopt;
        return *inner + static_cast<double>(delayMs_) / 1000.0;
    }
    std::vector<std::pair<int, double>> ExpectedPackets(double filmSeconds) const override {
        return inner_->ExpectedPackets(filmSeconds);
    }
    std::optional<int> ReckonedSetupBytes(int stream) const override {
        return inner_->ReckonedSetupBytes(stream);
    }

private:
    std::unique_ptr<PacketSource> inner_;
    long long delayMs_;
};

}  // namespace standin
