#pragma once
// Frames of a raw Annex B H.264 file with the timing a container needs. A raw stream carries no
// timestamps, and with B-frames its decode order is not its display order: the display order
// comes from each picture's order count (POC). The reader splits the stream into frames with
// FFmpeg's H.264 parser (which also works out each picture's POC), pairs the two fields of a
// field-coded frame, and ranks frames in display order the way a decoder's output process does:
// a frame is output once more than `ReorderDelay()` frames wait, and every frame waiting is
// output at an IDR picture or when the POC starts again from a lower value (a memory reset).
//
// Timestamps in frame units: decode index d = 0, 1, 2 ... in file order; display index p is the
// rank in display order. p >= d - ReorderDelay() for every frame, so a container's
// dts = d - ReorderDelay() never exceeds pts = p, and the first frame shown has pts 0.
// Memory stays bounded: at most ReorderDelay() + 2 frames are held.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "media/h264_sps.h"

struct AVCodecContext;
struct AVCodecParserContext;

namespace kestrun::media::h264 {

struct TimedFrame {
    std::vector<uint8_t> data;  // the frame's NAL units with their start codes
    // Where each 00 00 01 in `data` begins, as StartCodeOffsets (media/h264_nal.h) gives them:
    // found while the frame was, so that it takes no second scan to cut it into units.
    std::vector<uint32_t> startCodes;
    int64_t decodeIndex = 0;
    int64_t displayIndex = 0;
    bool keyFrame = false;  // an IDR picture or a recovery point
};

class TimedFrameReader {
public:
    // Opens the file and reads its first frame. Throws std::runtime_error when the file cannot
    // be read, holds no H.264 frame, or does not begin with a sequence parameter set.
    explicit TimedFrameReader(const std::string& path);
    ~TimedFrameReader();
    TimedFrameReader(const TimedFrameReader&) = delete;
    TimedFrameReader& operator=(const TimedFrameReader&) = delete;

    const SequenceParameterSet& Sps() const { return sps_; }             // of the first frame
    const std::vector<uint8_t>& HeaderBlock() const { return header_; }  // its SPS and PPS
    int ReorderDelay() const { return reorderDelay_; }

    // The next frame in decode order; false at the end. Throws std::runtime_error on a read
    // error.
    bool Next(TimedFrame& frame);

private:
    struct Picture {
        TimedFrame frame;
        int poc = 0;
        bool idr = false;
        int fieldParity = 0;  // 0 frame, 1 top field, 2 bottom field
    };
    struct Waiting {
        TimedFrame frame;
        int poc = 0;
        bool ranked = false;
    };

    void Release();
    bool ReadPicture(Picture& picture);
    bool ParseMore();
    bool FillBuffer();
    bool FindFrameEnd(size_t& end);
    void NoteStartCode(const uint8_t* data, size_t size, size_t header);
    bool ReadFrame(Picture& picture);
    void Enqueue(Picture picture);
    void RankLowestWaiting();
    void RankAllWaiting();

    std::string path_;
    int fd_ = -1;
    AVCodecParserContext* parser_ = nullptr;
    AVCodecContext* codec_ = nullptr;
    // Unread bytes of the file are buffer_[begin_, end_); a frame is found in place there.
    std::vector<uint8_t> buffer_;
    size_t begin_ = 0, end_ = 0;
    // Where the frame-boundary scan of the frame at begin_ stands (offsets from begin_).
    size_t scanPos_ = 0;
    size_t pendingHeader_ = SIZE_MAX;  // a slice header waiting for the bytes after it
    bool frameStartFound_ = false;
    uint32_t lastFirstMb_ = 0;
    // The start codes of the frame at begin_ found so far (offsets from begin_); in doubt when
    // the frame search may have stepped over one.
    std::vector<uint32_t> startCodes_;
    bool startCodesInDoubt_ = false;
    std::unique_ptr<Picture> parsed_;     // a picture the parser has returned, not yet taken
    std::unique_ptr<Picture> heldField_;  // a first field waiting for its partner

    SequenceParameterSet sps_;
    std::vector<uint8_t> header_;
    int reorderDelay_ = 0;

    std::deque<Waiting> queue_;  // decode order
    size_t unranked_ = 0;
    int64_t nextDecodeIndex_ = 0;
    int64_t nextDisplayIndex_ = 0;
    bool rankedInPeriod_ = false;
    int lastRankedPoc_ = 0;
};

}  // namespace kestrun::media::h264
