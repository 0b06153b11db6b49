#include "media/h264_timed_reader.h"

extern "C" {
#include <libavcodec/avcodec.h>
}

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "media/h264_nal.h"
#include "media/h264_parameter_sets.h"

namespace kestrun::media::h264 {
namespace {

// Reads are this large; a frame that does not fit grows the buffer.
constexpr size_t kReadSize = size_t{8} << 20;
// A raw stream whose parser finds no frame boundary in this many bytes is not H.264; giving up
// keeps the parser from collecting a whole large file in memory.
constexpr size_t kMaxFrameBytes = size_t{64} << 20;
constexpr int kMaxReorderFrames = 16;
// The parser works a picture's POC out of the headers before its first slice and that slice's
// header, which it reads no further than its first kilobyte; it is handed no more of a frame.
constexpr size_t kSliceHeaderBytes = size_t{4} << 10;
constexpr size_t kNoPendingHeader = SIZE_MAX;

// first_mb_in_slice from the bytes after a slice's NAL header, read as FFmpeg's parser reads
// it: an Exp-Golomb code taken from the first 32 bits. Returns false while more bytes are needed.
bool FirstMbInSlice(const uint8_t* bytes, size_t count, uint32_t& mb) {
    uint64_t bits = 0;
    for (size_t i = 0; i < 8; ++i) bits = bits << 8 | (i < count ? bytes[i] : 0);
    const uint32_t head = static_cast<uint32_t>(bits >> 32);
    const int zeros = head ? __builtin_clz(head) : 31;
    if (count <= 5 && static_cast<int>(8 * count) - (2 * zeros + 1) <= 0) return false;
    mb = static_cast<uint32_t>((bits << zeros) >> (63 - zeros)) - 1;
    return true;
}

size_t StartCodeLength(const uint8_t* data, size_t headerPos, size_t scanFrom) {
    return headerPos >= scanFrom + 4 && data[headerPos - 4] == 0 ? 4 : 3;
}

// Where the parser stops reading a frame: a little past the header of its first slice.
size_t ParsedPrefix(const uint8_t* data, size_t size) {
    for (size_t pos = AfterNextStartCode(data, size, 0); pos < size;
         pos = AfterNextStartCode(data, size, pos)) {
        const int type = NalTypeOf(data[pos]);
        if (type == kNalSlice || type == kNalIdrSlice)
            return std::min(size, pos + kSliceHeaderBytes);
    }
    return size;
}

int FieldParity(int pictureStructure) {
    if (pictureStructure == AV_PICTURE_STRUCTURE_TOP_FIELD) return 1;
    if (pictureStructure == AV_PICTURE_STRUCTURE_BOTTOM_FIELD) return 2;
    return 0;
}

int ReorderDelayOf(const SequenceParameterSet& sps) {
    if (sps.picOrderCntType == 2) return 0;  // output order is decode order
    if (sps.maxNumReorderFrames)
        return static_cast<int>(std::min<uint32_t>(*sps.maxNumReorderFrames, kMaxReorderFrames));
    const uint32_t maxDpbMbs = MaxDpbMbsForLevel(sps.levelIdc, sps.constraintFlags);
    const uint32_t frames = MaxDpbFrames(maxDpbMbs, sps.FrameSizeInMbs());
    return frames == 0 ? kMaxReorderFrames : static_cast<int>(frames);
}

}  // namespace

TimedFrameReader::TimedFrameReader(const std::string& path)
    : path_(path), buffer_(kReadSize + AV_INPUT_BUFFER_PADDING_SIZE) {
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0) throw std::runtime_error("cannot open " + path + ": " + std::strerror(errno));
    parser_ = av_parser_init(AV_CODEC_ID_H264);
    codec_ = avcodec_alloc_context3(nullptr);
    if (!parser_ || !codec_) {
        Release();
        throw std::runtime_error("cannot set up the H.264 parser");
    }
    parser_->flags |= PARSER_FLAG_COMPLETE_FRAMES;  // frames are found here, in place

    Picture first;
    try {
        if (!ReadFrame(first)) throw std::runtime_error("no H.264 frame found in " + path);
        const ParameterSets sets =
            ParameterSetsInAnnexB(first.frame.data.data(), first.frame.data.size());
        if (sets.sps.empty())
            throw std::runtime_error(path + " does not begin with an H.264 sequence parameter set");
        sps_ = ParseSps(sets.sps.front().data(), sets.sps.front().size());
        header_ = ToAnnexB(sets);
    } catch (...) {
        Release();
        throw;
    }
    reorderDelay_ = ReorderDelayOf(sps_);
    Enqueue(std::move(first));
}

TimedFrameReader::~TimedFrameReader() { Release(); }

void TimedFrameReader::Release() {
    if (parser_) av_parser_close(parser_);
    parser_ = nullptr;
    if (codec_) avcodec_free_context(&codec_);
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

bool TimedFrameReader::FillBuffer() {
    // Keeps the unread bytes, moved to the front, and reads after them.
    if (begin_ > 0) {
        std::memmove(buffer_.data(), buffer_.data() + begin_, end_ - begin_);
        end_ -= begin_;
        begin_ = 0;
    }
    size_t capacity = buffer_.size() - AV_INPUT_BUFFER_PADDING_SIZE;
    if (capacity - end_ < kReadSize / 2) {  // a frame larger than half the buffer
        capacity *= 2;
        buffer_.resize(capacity + AV_INPUT_BUFFER_PADDING_SIZE);
    }
    ssize_t n;
    do {
        n = ::read(fd_, buffer_.data() + end_, capacity - end_);
    } while (n < 0 && errno == EINTR);
    if (n < 0) throw std::runtime_error("cannot read " + path_ + ": " + std::strerror(errno));
    end_ += static_cast<size_t>(n);
    std::memset(buffer_.data() + end_, 0, AV_INPUT_BUFFER_PADDING_SIZE);
    return n > 0;
}

bool TimedFrameReader::FindFrameEnd(size_t& frameEnd) {
    // The boundaries FFmpeg's H.264 parser finds: a frame ends before an SEI, SPS, PPS or access
    // unit delimiter, or before a slice whose first macroblock does not follow the last one's,
    // once the frame holds a slice. Only start codes whose bytes begin at or after scanPos_
    // count, as only those the parser sees.
    const uint8_t* data = buffer_.data() + begin_;
    const size_t size = end_ - begin_;
    for (;;) {
        size_t header = pendingHeader_;
        pendingHeader_ = kNoPendingHeader;
        if (header == kNoPendingHeader) {
            header = AfterNextStartCode(data, size, scanPos_);
            if (header >= size) {
                // A start code may still end in the bytes to come.
                if (size >= 4) scanPos_ = std::max(scanPos_, size - 4);
                return false;
            }
        }
        const int type = NalTypeOf(data[header]);
        if (type == kNalSei || type == kNalSps || type == kNalPps ||
            type == kNalAccessUnitDelimiter) {
            if (frameStartFound_) {
                frameEnd = header - StartCodeLength(data, header, scanPos_);
                return true;
            }
            scanPos_ = header + 1;
            NoteStartCode(data, size, header);
        } else if (type == kNalSlice || type == kNalSliceDataPartitionA || type == kNalIdrSlice) {
            size_t count = 1;
            uint32_t mb = 0;
            for (;; ++count) {
                if (header + count >= size) {
                    pendingHeader_ = header;
                    return false;
                }
                if (FirstMbInSlice(data + header + 1, count, mb)) break;
            }
            const uint32_t lastMb = lastFirstMb_;
            lastFirstMb_ = mb;
            if (frameStartFound_ && mb <= lastMb) {
                frameEnd = header - StartCodeLength(data, header, scanPos_);
                return true;
            }
            frameStartFound_ = true;
            scanPos_ = header + count + 1;
            NoteStartCode(data, size, header);
        } else {
            scanPos_ = header + 1;
            NoteStartCode(data, size, header);
        }
    }
}

void TimedFrameReader::NoteStartCode(const uint8_t* data, size_t size, size_t header) {
    startCodes_.push_back(static_cast<uint32_t>(header - 3));
    // The search goes on at scanPos_, past the first bytes of the unit: a start code beginning
    // there (only in a broken stream) would be missed, and a scan of the whole frame finds it.
    for (size_t at = header; at < scanPos_; ++at) {
        if (data[at] == 0 && (at + 2 >= size || (data[at + 1] == 0 && data[at + 2] == 1)))
            startCodesInDoubt_ = true;
    }
}

bool TimedFrameReader::ParseMore() {
    // Finds the next frame in the buffer, reading more as needed, and has the parser read its
    // headers. The picture is kept in parsed_.
    size_t frameEnd = 0;
    while (!FindFrameEnd(frameEnd)) {
        if (end_ - begin_ > kMaxFrameBytes)
            throw std::runtime_error(path_ + " holds no H.264 frames (no frame boundary found)");
        if (!FillBuffer()) {
            if (end_ == begin_) return false;
            frameEnd = end_ - begin_;  // the last frame runs to the end of the file
            // A slice cut short in its header: the few bytes after it were not searched.
            if (pendingHeader_ != kNoPendingHeader) startCodesInDoubt_ = true;
            break;
        }
    }
    const uint8_t* frame = buffer_.data() + begin_;
    uint8_t* out = nullptr;
    int outSize = 0;
    const int prefix = static_cast<int>(ParsedPrefix(frame, frameEnd));
    if (av_parser_parse2(parser_, codec_, &out, &outSize, frame, prefix, AV_NOPTS_VALUE,
                         AV_NOPTS_VALUE, 0) < 0)
        throw std::runtime_error("cannot parse the H.264 stream in " + path_);

    auto picture = std::make_unique<Picture>();
    picture->frame.data.assign(frame, frame + frameEnd);
    if (startCodesInDoubt_) {
        picture->frame.startCodes = StartCodeOffsets(frame, frameEnd);
    } else {
        // A start code whose 01 is the frame's last byte begins no unit.
        while (!startCodes_.empty() && startCodes_.back() + size_t{3} >= frameEnd)
            startCodes_.pop_back();
        picture->frame.startCodes = std::move(startCodes_);
    }
    picture->poc = parser_->output_picture_number;
    picture->idr = FirstSliceNalType(frame, frameEnd) == kNalIdrSlice;
    picture->frame.keyFrame = picture->idr || parser_->key_frame == 1;
    picture->fieldParity = FieldParity(parser_->picture_structure);
    parsed_ = std::move(picture);

    begin_ += frameEnd;
    startCodes_.clear();
    startCodesInDoubt_ = false;
    scanPos_ = 0;
    pendingHeader_ = kNoPendingHeader;
    frameStartFound_ = false;
    return true;
}

bool TimedFrameReader::ReadPicture(Picture& picture) {
    if (!parsed_ && !ParseMore()) return false;
    picture = std::move(*parsed_);
    parsed_.reset();
    return true;
}

bool TimedFrameReader::ReadFrame(Picture& picture) {
    for (;;) {
        Picture next;
        if (!heldField_) {
            if (!ReadPicture(next)) return false;
            if (next.fieldParity == 0) {
                picture = std::move(next);
                return true;
            }
            heldField_ = std::make_unique<Picture>(std::move(next));
            continue;
        }
        Picture first = std::move(*heldField_);
        heldField_.reset();
        if (ReadPicture(next)) {
            if (next.fieldParity != 0 && next.fieldParity != first.fieldParity) {
                // The second field of the pair: one sample holds both.
                auto& bytes = first.frame.data;
                for (const uint32_t at : next.frame.startCodes)
                    first.frame.startCodes.push_back(static_cast<uint32_t>(bytes.size() + at));
                bytes.insert(bytes.end(), next.frame.data.begin(), next.frame.data.end());
                first.poc = std::min(first.poc, next.poc);
                first.frame.keyFrame = first.frame.keyFrame || next.frame.keyFrame;
            } else if (next.fieldParity != 0) {
                heldField_ = std::make_unique<Picture>(std::move(next));
            } else {
                parsed_ = std::make_unique<Picture>(std::move(next));
            }
        }
        picture = std::move(first);  // a field without a partner stands alone
        return true;
    }
}

void TimedFrameReader::Enqueue(Picture picture) {
    const bool pocRestarted = rankedInPeriod_ && picture.poc < lastRankedPoc_;
    if (picture.idr || pocRestarted) {
        RankAllWaiting();
        rankedInPeriod_ = false;
    }
    Waiting waiting{std::move(picture.frame), picture.poc, false};
    waiting.frame.decodeIndex = nextDecodeIndex_++;
    queue_.push_back(std::move(waiting));
    ++unranked_;
    while (unranked_ > static_cast<size_t>(reorderDelay_)) RankLowestWaiting();
}

void TimedFrameReader::RankLowestWaiting() {
    Waiting* lowest = nullptr;
    for (Waiting& waiting : queue_) {
        if (!waiting.ranked && (!lowest || waiting.poc < lowest->poc)) lowest = &waiting;
    }
    if (!lowest) return;
    lowest->ranked = true;
    lowest->frame.displayIndex = nextDisplayIndex_++;
    lastRankedPoc_ = lowest->poc;
    rankedInPeriod_ = true;
    --unranked_;
}

void TimedFrameReader::RankAllWaiting() {
    while (unranked_ > 0) RankLowestWaiting();
}

bool TimedFrameReader::Next(TimedFrame& frame) {
    while (queue_.empty() || !queue_.front().ranked) {
        Picture picture;
        if (ReadFrame(picture)) {
            Enqueue(std::move(picture));
        } else {
            RankAllWaiting();
            if (queue_.empty()) return false;
        }
    }
    frame = std::move(queue_.front().frame);
    queue_.pop_front();
    return true;
}

}  // namespace kestrun::media::h264
