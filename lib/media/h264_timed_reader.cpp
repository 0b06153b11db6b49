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

constexpr size_t kChunkSize = 1 << 20;
// A raw stream whose parser finds no frame boundary in this many bytes is not H.264; giving up
// keeps the parser from collecting a whole large file in memory.
constexpr size_t kMaxFrameBytes = size_t{64} << 20;
constexpr int kMaxReorderFrames = 16;

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
    : path_(path), chunk_(kChunkSize + AV_INPUT_BUFFER_PADDING_SIZE) {
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0) throw std::runtime_error("cannot open " + path + ": " + std::strerror(errno));
    parser_ = av_parser_init(AV_CODEC_ID_H264);
    codec_ = avcodec_alloc_context3(nullptr);
    if (!parser_ || !codec_) {
        Release();
        throw std::runtime_error("cannot set up the H.264 parser");
    }

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

bool TimedFrameReader::ParseMore() {
    // Feeds the parser until it returns one picture (kept in parsed_), or the file ends.
    size_t fedSinceLastPicture = 0;
    for (;;) {
        const uint8_t* input = nullptr;
        int inputSize = 0;
        if (chunkPos_ < chunkSize_) {
            input = chunk_.data() + chunkPos_;
            inputSize = static_cast<int>(chunkSize_ - chunkPos_);
        } else if (!endOfFile_) {
            ssize_t n;
            do {
                n = ::read(fd_, chunk_.data(), kChunkSize);
            } while (n < 0 && errno == EINTR);
            if (n < 0)
                throw std::runtime_error("cannot read " + path_ + ": " + std::strerror(errno));
            chunkPos_ = 0;
            chunkSize_ = static_cast<size_t>(n);
            endOfFile_ = n == 0;
            continue;
        } else if (flushed_) {
            return false;
        }

        uint8_t* out = nullptr;
        int outSize = 0;
        const int used = av_parser_parse2(parser_, codec_, &out, &outSize, input, inputSize,
                                          AV_NOPTS_VALUE, AV_NOPTS_VALUE, 0);
        if (used < 0) throw std::runtime_error("cannot parse the H.264 stream in " + path_);
        chunkPos_ += static_cast<size_t>(used);
        fedSinceLastPicture += static_cast<size_t>(used);
        if (outSize <= 0) {
            if (inputSize == 0)
                flushed_ = true;
            else if (fedSinceLastPicture > kMaxFrameBytes)
                throw std::runtime_error(path_ +
                                         " holds no H.264 frames (no frame boundary found)");
            continue;
        }
        auto picture = std::make_unique<Picture>();
        picture->frame.data.assign(out, out + outSize);
        picture->poc = parser_->output_picture_number;
        picture->idr = FirstSliceNalType(out, static_cast<size_t>(outSize)) == kNalIdrSlice;
        picture->frame.keyFrame = picture->idr || parser_->key_frame == 1;
        picture->fieldParity = FieldParity(parser_->picture_structure);
        parsed_ = std::move(picture);
        return true;
    }
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
