#include "read_ahead_source.h"

namespace standin {

ReadAheadSource::ReadAheadSource(std::unique_ptr<PacketSource> inner, size_t maxPackets,
                                 size_t maxBytes)
    : inner_(std::move(inner)), maxPackets_(maxPackets > 0 ? maxPackets : 1), maxBytes_(maxBytes) {}

ReadAheadSource::~ReadAheadSource() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    changed_.notify_all();
    if (thread_.joinable()) thread_.join();
}

bool ReadAheadSource::Full() const {
    return waiting_.size() >= maxPackets_ || waitingBytes_ >= maxBytes_;
}

// A reader that waited for room goes on at half: it then reads a run of packets, not one at a
// time against the writer.
bool ReadAheadSource::HalfEmpty() const {
    return waiting_.size() <= maxPackets_ / 2 && waitingBytes_ <= maxBytes_ / 2;
}

void ReadAheadSource::Read() {
    try {
        for (;;) {
            PacketPtr packet = NewPacket();
            const bool more = inner_->Next(*packet);
            std::unique_lock lock(mutex_);
            if (!more) {
                ended_ = true;
                break;
            }
            if (Full()) {
                readerWaits_ = true;
                changed_.wait(lock, [this] { return stop_ || HalfEmpty(); });
                readerWaits_ = false;
            }
            if (stop_) return;
            waitingBytes_ += static_cast<size_t>(packet->size);
            waiting_.push_back(std::move(packet));
            // A wake-up costs a system call: only for a taker that waits.
            if (takerWaits_) changed_.notify_all();
        }
    } catch (...) {
        std::lock_guard lock(mutex_);
        failure_ = std::current_exception();
        ended_ = true;
    }
    changed_.notify_all();
}

bool ReadAheadSource::Next(AVPacket& packet) {
    if (!thread_.joinable() && !ended_) thread_ = std::thread([this] { Read(); });
    std::unique_lock lock(mutex_);
    if (waiting_.empty() && !ended_) {
        takerWaits_ = true;
        changed_.wait(lock, [this] { return !waiting_.empty() || ended_; });
        takerWaits_ = false;
    }
    if (waiting_.empty()) {
        if (failure_) std::rethrow_exception(failure_);
        return false;
    }
    PacketPtr next = std::move(waiting_.front());
    waiting_.pop_front();
    waitingBytes_ -= static_cast<size_t>(next->size);
    const bool wake = readerWaits_ && HalfEmpty();
    lock.unlock();
    if (wake) changed_.notify_all();
    av_packet_unref(&packet);
    av_packet_move_ref(&packet, next.get());
    return true;
}

}  // namespace standin
