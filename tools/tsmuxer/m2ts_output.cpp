#include "m2ts_output.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "ts_packets.h"

namespace standin::ts {
namespace {

constexpr uint16_t kPmtPid = 0x0100;
constexpr double kDefaultTicksPerPacket = 1000;  // 27 MHz ticks; used only without two PCRs
constexpr size_t kFlushPackets = 8192;           // 1.5 MB held at most when nothing is cut

bool IsTablePid(uint16_t pid) { return pid == kPatPid || pid == kSitPid || pid == kPmtPid; }

void SetArrivalTime(uint8_t* sourcePacket, int64_t ats) {
    const uint32_t value =
        static_cast<uint32_t>(((ats % kArrivalClockWrap) + kArrivalClockWrap) % kArrivalClockWrap);
    for (int i = 0; i < 4; ++i) sourcePacket[i] = static_cast<uint8_t>(value >> (24 - 8 * i));
}

size_t RoundUpToUnit(size_t packets) {
    return (packets + kAlignedUnitPackets - 1) / kAlignedUnitPackets * kAlignedUnitPackets;
}

}  // namespace

M2tsOutput::M2tsOutput(std::function<std::string(int)> clipPath, int64_t frameDuration,
                       int64_t splitBytes)
    : clipPath_(std::move(clipPath)), frameDuration_(frameDuration), splitBytes_(splitBytes) {}

M2tsOutput::~M2tsOutput() {
    if (file_) std::fclose(file_);
}

void M2tsOutput::Write(const uint8_t* data, size_t size) {
    while (size > 0) {
        // Whole packets are taken where they lie; only one split across two calls is gathered.
        if (carrySize_ == 0 && size >= kSourcePacketSize) {
            TakeTsPacket(data + 4);
            data += kSourcePacketSize;
            size -= kSourcePacketSize;
            continue;
        }
        const size_t take = std::min(size, kSourcePacketSize - carrySize_);
        std::memcpy(carry_ + carrySize_, data, take);
        carrySize_ += take;
        data += take;
        size -= take;
        if (carrySize_ == kSourcePacketSize) {
            TakeTsPacket(carry_ + 4);
            carrySize_ = 0;
        }
    }
}

void M2tsOutput::TakeTsPacket(const uint8_t* ts) {
    const auto info = ReadTsPacket(ts);
    if (!info) throw std::runtime_error("the transport stream lost its packet alignment");
    Packet& packet = pending_.emplace_back();
    std::memcpy(packet.bytes + 4, ts, kTsPacketSize);
    const uint8_t continuity = ts[3] & 0x0F;
    if (info->pid == kPatPid) MakePatPacket(packet.bytes + 4, continuity);
    if (info->pid == kSdtPid) MakeSitPacket(packet.bytes + 4, continuity);
    ++packetIndex_;
    if (info->pcr) StampPending(&*info->pcr);
}

// Arrival times of the waiting packets, on a straight line between the last two PCRs (or the
// last rate beyond the last PCR). Before the second PCR nothing is known, so packets wait.
void M2tsOutput::StampPending(const int64_t* pcr) {
    const int64_t index = packetIndex_ - 1;
    if (pcr && lastPcr_ < 0) {
        lastPcr_ = *pcr;
        lastPcrIndex_ = index;
        return;
    }
    if (pcr && index > lastPcrIndex_)
        ticksPerPacket_ = static_cast<double>(*pcr - lastPcr_) / double(index - lastPcrIndex_);
    const double rate = ticksPerPacket_ >= 0 ? ticksPerPacket_ : kDefaultTicksPerPacket;
    const int64_t base = lastPcr_ >= 0 ? lastPcr_ : 0;
    int64_t j = packetIndex_ - static_cast<int64_t>(pending_.size());
    for (Packet& packet : pending_) {
        const int64_t ats = base + static_cast<int64_t>(rate * double(j - lastPcrIndex_));
        lastAts_ = std::max(ats, lastAts_);
        SetArrivalTime(packet.bytes, lastAts_);
        Place(packet);
        ++j;
    }
    pending_.clear();
    if (pcr) {
        lastPcr_ = *pcr;
        lastPcrIndex_ = index;
    }
}

void M2tsOutput::Place(const Packet& packet) {
    const auto info = *ReadTsPacket(packet.bytes + 4);
    std::optional<int64_t> pts;
    if (info.payloadStart && info.payloadOffset < kTsPacketSize)
        pts = PesPts(packet.bytes + 4 + info.payloadOffset, kTsPacketSize - info.payloadOffset);
    if (IsTablePid(info.pid)) {
        ++tableRun_;
    } else {
        if (info.pid == kVideoPid && info.payloadStart && info.randomAccess) {
            const size_t cut = unit_.packets.size() - tableRun_;
            if (cut > 0) CloseUnit(cut);
        }
        tableRun_ = 0;
    }
    if (pts && info.pid != kNullPid && !IsTablePid(info.pid) && !IsPgPid(info.pid)) {
        if (unit_.firstPts < 0 || *pts < unit_.firstPts) unit_.firstPts = *pts;
        if (info.pid == kVideoPid) {
            unit_.videoStarts.push_back({unit_.packets.size(), *pts, info.randomAccess});
            unit_.lastVideoPts = std::max(unit_.lastVideoPts, *pts);
        } else {
            unit_.lastOtherPts = std::max(unit_.lastOtherPts, *pts);
        }
    }
    unit_.packets.push_back(packet);
    // Without a size limit no cut is ever decided, so the packets go out as they come (never
    // between the tables and the key frame they announce, where a cut would fall).
    if (splitBytes_ == 0 && tableRun_ == 0 && unit_.packets.size() >= kFlushPackets)
        CloseUnit(unit_.packets.size());
}

// Places the first `end` packets of the open unit; the rest begin the next unit. The packets of
// the unit placed last keep their memory for the next unit, so a unit grows without moving.
void M2tsOutput::CloseUnit(size_t end) {
    Unit done;
    done.packets.swap(unit_.packets);
    done.videoStarts = std::move(unit_.videoStarts);
    done.firstPts = unit_.firstPts;
    done.lastVideoPts = unit_.lastVideoPts;
    done.lastOtherPts = unit_.lastOtherPts;
    unit_.Clear();
    unit_.packets.swap(spare_);
    unit_.packets.assign(done.packets.begin() + static_cast<std::ptrdiff_t>(end),
                         done.packets.end());
    done.packets.resize(end);
    PlaceUnit(done);
    spare_ = std::move(done.packets);
    spare_.clear();
}

void M2tsOutput::PlaceUnit(Unit& unit) {
    if (unit.packets.empty()) return;
    if (!file_) OpenClip();
    const size_t unitBytes = RoundUpToUnit(unit.packets.size()) * kSourcePacketSize;
    if (splitBytes_ > 0) {
        const size_t held = clips_.back().sourcePackets;
        if (held > 0 && RoundUpToUnit(held + unit.packets.size()) * kSourcePacketSize >
                            static_cast<size_t>(splitBytes_)) {
            CloseClip();
            OpenClip();
        }
        if (unitBytes > static_cast<size_t>(splitBytes_)) overLimit_ = true;
    }
    ClipFacts& clip = clips_.back();
    const uint32_t base = clip.sourcePackets;
    for (size_t i = 0; i < unit.videoStarts.size(); ++i) {
        const VideoStart& start = unit.videoStarts[i];
        if (!start.key) continue;
        const size_t next =
            i + 1 < unit.videoStarts.size() ? unit.videoStarts[i + 1].index : unit.packets.size();
        clip.entryPoints.push_back(
            {start.pts, static_cast<uint32_t>(base + start.index),
             KeyPictureSizeClass(static_cast<int64_t>((next - start.index) * kSourcePacketSize))});
    }
    if (unit.firstPts >= 0 && (clip.firstPts < 0 || unit.firstPts < clip.firstPts))
        clip.firstPts = unit.firstPts;
    lastVideoPts_ = std::max(lastVideoPts_, unit.lastVideoPts);
    lastOtherPts_ = std::max(lastOtherPts_, unit.lastOtherPts);
    WritePackets(unit.packets.data(), unit.packets.size());
}

void M2tsOutput::OpenClip() {
    const std::string path = clipPath_(static_cast<int>(clips_.size()));
    file_ = std::fopen(path.c_str(), "wb");
    if (!file_) throw std::runtime_error("cannot create " + path + ": " + std::strerror(errno));
    paths_.push_back(path);
    ClipFacts clip;
    clip.firstPts = -1;
    clips_.push_back(clip);
    lastVideoPts_ = lastOtherPts_ = -1;
}

void M2tsOutput::CloseClip() {
    ClipFacts& clip = clips_.back();
    Packet filler;
    SetArrivalTime(filler.bytes, lastAts_);
    MakeNullPacket(filler.bytes + 4);
    while (clip.sourcePackets % kAlignedUnitPackets != 0) WritePackets(&filler, 1);
    if (clip.firstPts < 0) clip.firstPts = 0;
    clip.endPts = std::max({clip.firstPts, lastVideoPts_ + frameDuration_,
                            lastOtherPts_ >= 0 ? lastOtherPts_ + frameDuration_ : 0});
    const bool failed = std::fflush(file_) != 0 || std::ferror(file_);
    const int closed = std::fclose(file_);
    file_ = nullptr;
    if (failed || closed != 0)
        throw std::runtime_error("cannot write " + paths_.back() + ": " + std::strerror(errno));
}

// Packets go out a unit at a time (1.5 MB, or from one key frame to the next where clips are
// cut), which the stream writes straight to the file past its small buffer; only the null
// packets that pad a clip are gathered there.
void M2tsOutput::WritePackets(const Packet* packets, size_t count) {
    if (std::fwrite(packets, sizeof(Packet), count, file_) != count)
        throw std::runtime_error("cannot write " + paths_.back() + ": " + std::strerror(errno));
    clips_.back().sourcePackets += static_cast<uint32_t>(count);
}

void M2tsOutput::Finish() {
    if (carrySize_ != 0) throw std::runtime_error("the transport stream ends inside a packet");
    StampPending(nullptr);
    PlaceUnit(unit_);
    unit_.Clear();
    if (!file_) OpenClip();
    CloseClip();
}

}  // namespace standin::ts
