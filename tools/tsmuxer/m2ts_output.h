#pragma once
// Turns the transport stream that FFmpeg writes in its M2TS mode into Blu-ray stream files:
// - every 4-byte arrival time stamp is set from the stream's own clock, interpolated between the
//   PCRs (FFmpeg fills them with unusable values when the rate varies);
// - the PAT also lists the SIT, and the DVB SDT packets become SIT packets;
// - the stream is cut into clips of at most `splitBytes` bytes, each starting with the tables
//   that FFmpeg writes right before a key frame, so each clip plays alone; without a limit it
//   stays one clip;
// - every clip is padded with null packets to whole aligned units (6144 bytes);
// - for each clip the video key frames (PTS and source packet) and the time span are kept for
//   its clip information file.
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "bdmv_types.h"

namespace standin::ts {

class M2tsOutput {
public:
    // `clipPath(k)` names the file of clip k (from 0). `frameDuration` is the video's frame
    // duration in 90 kHz ticks; `splitBytes` 0 means no limit.
    M2tsOutput(std::function<std::string(int)> clipPath, int64_t frameDuration, int64_t splitBytes);
    ~M2tsOutput();
    M2tsOutput(const M2tsOutput&) = delete;
    M2tsOutput& operator=(const M2tsOutput&) = delete;

    // Bytes as FFmpeg writes them, in any chunking. Throws std::runtime_error on a bad packet or
    // a write error.
    void Write(const uint8_t* data, size_t size);
    // Writes out what is held and closes the last clip.
    void Finish();

    const std::vector<ClipFacts>& Clips() const { return clips_; }
    const std::vector<std::string>& Paths() const { return paths_; }
    // Whether some clip had to be made larger than the limit (a key frame distance too large).
    bool OverLimit() const { return overLimit_; }

private:
    struct Packet {
        uint8_t bytes[192];
    };
    struct VideoStart {
        size_t index;  // in the unit
        int64_t pts;
        bool key;
    };
    struct Unit {
        std::vector<Packet> packets;
        std::vector<VideoStart> videoStarts;
        int64_t firstPts = -1, lastVideoPts = -1, lastOtherPts = -1;
        void Clear() { *this = Unit(); }
    };

    void TakeTsPacket(const uint8_t* tsPacket);
    void StampPending(const int64_t* pcr);
    void Place(const Packet& packet);
    void CloseUnit(size_t end);
    void PlaceUnit(Unit& unit);
    void OpenClip();
    void CloseClip();
    void WritePackets(const Packet* packets, size_t count);

    std::function<std::string(int)> clipPath_;
    int64_t frameDuration_;
    int64_t splitBytes_;

    uint8_t carry_[192];
    size_t carrySize_ = 0;

    // Packets waiting for the next PCR to get their arrival time.
    std::vector<Packet> pending_;
    int64_t lastPcr_ = -1, lastPcrIndex_ = 0, packetIndex_ = 0;
    double ticksPerPacket_ = -1;
    int64_t lastAts_ = 0;

    Unit unit_;
    std::vector<Packet> spare_;  // memory of the unit placed last, for the next one
    size_t tableRun_ = 0;

    std::FILE* file_ = nullptr;
    std::vector<ClipFacts> clips_;
    std::vector<std::string> paths_;
    bool overLimit_ = false;
    int64_t lastVideoPts_ = -1, lastOtherPts_ = -1;  // of the open clip
};

}  // namespace standin::ts
