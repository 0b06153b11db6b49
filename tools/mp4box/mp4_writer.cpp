#include "mp4_writer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <stdexcept>

extern "C" {
#include <libavutil/opt.h>
}

#include "base/partial_output_file.h"
#include "common/lib_names.h"
#include "common/packet_lanes.h"
#include "container_source.h"
#include "media/byte_order.h"
#include "media/libav_handles.h"

namespace standin {
namespace {

// Each stream's packets are written in runs of half a second, as the tool interleaved them: a
// player reading over a network gets sound and picture close together, and the index holds few
// chunks.
constexpr double kInterleaveSeconds = 0.5;
// FFmpeg's MP4 writer starts a new chunk at 1 MiB.
constexpr int64_t kMaxChunkBytes = 1 << 20;

// The file is written through a buffer of this size: few, large writes.
constexpr int kWriteBufferBytes = 4 << 20;

struct OutputFree {
    void operator()(AVFormatContext* context) const {
        if (context->pb && !(context->flags & AVFMT_FLAG_CUSTOM_IO)) avio_closep(&context->pb);
        avformat_free_context(context);
    }
};

// The destination file behind FFmpeg's writer, with a buffer of kWriteBufferBytes.
class FileOutput {
public:
    explicit FileOutput(std::string path) : path_(std::move(path)) {
        fd_ = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        if (fd_ < 0)
            throw std::runtime_error("cannot create " + path_ + ": " + std::strerror(errno));
        auto* buffer = static_cast<unsigned char*>(av_malloc(kWriteBufferBytes));
        if (buffer)
            context_ = avio_alloc_context(buffer, kWriteBufferBytes, 1, this, nullptr,
                                          &FileOutput::Write, &FileOutput::Seek);
        if (!context_) {
            av_free(buffer);
            ::close(fd_);
            throw std::bad_alloc();
        }
    }
    ~FileOutput() {
        if (context_) av_freep(&context_->buffer);
        avio_context_free(&context_);
        if (fd_ >= 0) ::close(fd_);
    }
    FileOutput(const FileOutput&) = delete;
    FileOutput& operator=(const FileOutput&) = delete;

    AVIOContext* Context() const { return context_; }

    // Writes out what is still buffered and closes the file; throws when any write failed.
    void Close() {
        avio_flush(context_);
        const int error = context_->error;
        const int closed = ::close(fd_);
        fd_ = -1;
        if (error < 0)
            throw std::runtime_error("cannot write " + path_ + ": " + LibavErrorText(error));
        if (closed != 0)
            throw std::runtime_error("cannot write " + path_ + ": " + std::strerror(errno));
    }

private:
    static int Write(void* opaque, uint8_t* data, int size) {
        const int fd = static_cast<FileOutput*>(opaque)->fd_;
        int left = size;
        while (left > 0) {
            const ssize_t n = ::write(fd, data, static_cast<size_t>(left));
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return AVERROR(n < 0 ? errno : ENOSPC);
            data += n;
            left -= static_cast<int>(n);
        }
        return size;
    }

    static int64_t Seek(void* opaque, int64_t offset, int whence) {
        const int fd = static_cast<FileOutput*>(opaque)->fd_;
        if (whence & AVSEEK_SIZE) {
            struct stat info {};
            return ::fstat(fd, &info) == 0 ? static_cast<int64_t>(info.st_size) : AVERROR(errno);
        }
        const off_t at = ::lseek(fd, static_cast<off_t>(offset), whence & ~AVSEEK_FORCE);
        return at < 0 ? AVERROR(errno) : static_cast<int64_t>(at);
    }

    std::string path_;
    int fd_ = -1;
    AVIOContext* context_ = nullptr;
};
using OutputPtr = std::unique_ptr<AVFormatContext, OutputFree>;

OutputPtr CreateMp4Output() {
    AVFormatContext* context = nullptr;
    if (avformat_alloc_output_context2(&context, nullptr, "mp4", nullptr) < 0 || !context)
        throw std::runtime_error("FFmpeg's MP4 writer is not available");
    return OutputPtr(context);
}

void Check(int rc, const std::string& what, const std::string& path) {
    if (rc < 0) throw std::runtime_error(what + " " + path + ": " + LibavErrorText(rc));
}

// What the index of one track will hold, counted as its packets are written; the sizes of the
// index tables follow from it.
struct TrackTally {
    int64_t packets = 0;
    int64_t keyFrames = 0;
    int64_t durationRuns = 0;  // time-to-sample entries
    int64_t offsetRuns = 0;    // composition offset entries
    int64_t chunks = 0;
    int64_t chunkBytes = 0;
    int64_t lastDuration = -1;
    int64_t lastOffset = INT64_MIN;

    void Count(const AVPacket& packet, bool continuesChunk) {
        ++packets;
        if (packet.flags & AV_PKT_FLAG_KEY) ++keyFrames;
        if (packet.duration != lastDuration) ++durationRuns;
        lastDuration = packet.duration;
        const int64_t offset = packet.pts - packet.dts;
        if (offset != lastOffset) ++offsetRuns;
        lastOffset = offset;
        if (!continuesChunk || chunkBytes + packet.size >= kMaxChunkBytes) {
            ++chunks;
            chunkBytes = 0;
        }
        chunkBytes += packet.size;
    }
};

// A track whose every sample is a key frame has no sync sample table.
int64_t SyncSampleEntries(const TrackTally& t) { return t.keyFrames < t.packets ? t.keyFrames : 0; }

// Bytes of one track's part of the index at most: the boxes around the tables with the codec's
// set-up data, and every table at its largest for these counts.
int64_t TrackIndexBound(const TrackTally& t, int extradataBytes) {
    constexpr int64_t kBoxesAroundTables = 1536;
    return kBoxesAroundTables + extradataBytes + 20 + 4 * t.packets  // sample sizes
           + 16 + 8 * (t.durationRuns + 1)                           // times
           + 16 + 8 * t.offsetRuns                                   // composition offsets
           + 16 + 4 * SyncSampleEntries(t)                           // sync samples
           + 2 * 16 + (12 + 8) * t.chunks;                           // chunk map and offsets
}
constexpr int64_t kMovieBoxesBound = 2048;

int SetupBytes(const std::vector<std::unique_ptr<PacketSource>>& sources,
               const AVFormatContext& output, int stream) {
    for (const auto& source : sources) {
        if (const auto bytes = source->ReckonedSetupBytes(stream)) return *bytes;
    }
    return output.streams[stream]->codecpar->extradata_size;
}

int64_t FileBytes(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 ? static_cast<int64_t>(info.st_size) : 0;
}

// A reservation for the index from what the sources' headers say: the tables at their usual
// sizes, with room to spare. A reservation that proves too small costs one rewrite, never a
// broken file.
int64_t IndexReservation(const std::vector<std::unique_ptr<PacketSource>>& sources,
                         const AVFormatContext& output) {
    double filmSeconds = 0;
    for (const auto& source : sources)
        filmSeconds = std::max(filmSeconds, source->DurationSeconds().value_or(0.0));
    int64_t bytes = kMovieBoxesBound;
    for (const auto& source : sources) {
        for (const auto& [index, packets] : source->ExpectedPackets(filmSeconds)) {
            const AVCodecParameters& codec = *output.streams[index]->codecpar;
            const bool video = codec.codec_type == AVMEDIA_TYPE_VIDEO;
            const double seconds = filmSeconds > 0 ? filmSeconds : packets / 25.0;
            TrackTally usual;
            usual.packets = static_cast<int64_t>(packets);
            usual.keyFrames = video ? usual.packets / 10 : 0;
            usual.durationRuns = 4;
            usual.offsetRuns = video ? usual.packets : 1;
            usual.chunks = static_cast<int64_t>(seconds / kInterleaveSeconds) + 2;
            bytes += TrackIndexBound(usual, SetupBytes(sources, output, index));
        }
        // A chunk ends at kMaxChunkBytes too: a high bit rate makes more of them than runs.
        bytes += 20 * (FileBytes(source->Path()) / kMaxChunkBytes);
    }
    return bytes + bytes / 4;
}

struct WrittenFile {
    bool indexFirst = true;
    int64_t indexBytesBound = 0;
};

class Mp4Muxer {
public:
    Mp4Muxer(const std::vector<std::unique_ptr<PacketSource>>& sources, std::string path)
        : sources_(sources), path_(std::move(path)), output_(CreateMp4Output()) {}

    // Writes the file with `reservation` bytes kept for the index before the media (the estimate
    // when 0).
    WrittenFile Write(int64_t reservation) {
        for (const auto& source : sources_) {
            source->AddStreams(*output_);
            lanes_.push_back(Lane{source.get()});
        }
        tallies_.resize(output_->nb_streams);
        if (reservation <= 0) reservation = IndexReservation(sources_, *output_);
        reservation = std::min<int64_t>(reservation, INT32_MAX);
        file_ = std::make_unique<FileOutput>(path_);
        output_->pb = file_->Context();
        output_->flags |= AVFMT_FLAG_CUSTOM_IO;
        output_->flush_packets = 0;  // the buffer, not each packet, decides when to write
        AVDictionary* options = nullptr;
        av_dict_set_int(&options, "moov_size", reservation, 0);
        const int rc = avformat_write_header(output_.get(), &options);
        av_dict_free(&options);
        Check(rc, "cannot write", path_);
        WritePackets();

        WrittenFile written;
        written.indexBytesBound = IndexBound();
        written.indexFirst = written.indexBytesBound <= reservation;
        // The index would not fit its room: it goes to the end, and the room becomes a free box.
        if (!written.indexFirst) av_opt_set_int(output_->priv_data, "moov_size", 0, 0);
        Check(av_write_trailer(output_.get()), "cannot write", path_);
        file_->Close();
        if (!written.indexFirst) MarkRoomFree(reservation);
        return written;
    }

private:
    void WritePackets() {
        for (Lane& lane : lanes_) lane.Advance();
        int lastStream = -1;
        while (Lane* lane = EarliestLane(lanes_)) {
            const double runEnd = lane->Seconds() + kInterleaveSeconds;
            do {
                AVPacket& packet = *lane->packet;
                const AVRational target = output_->streams[packet.stream_index]->time_base;
                av_packet_rescale_ts(&packet, packet.time_base, target);
                packet.time_base = target;
                tallies_[packet.stream_index].Count(packet, packet.stream_index == lastStream);
                lastStream = packet.stream_index;
                Check(av_write_frame(output_.get(), &packet), "cannot write", path_);
                lane->Advance();
            } while (!lane->ended && lane->Seconds() < runEnd);
        }
    }

    int64_t IndexBound() const {
        int64_t bytes = kMovieBoxesBound;
        for (unsigned i = 0; i < output_->nb_streams; ++i)
            bytes +=
                TrackIndexBound(tallies_[i], SetupBytes(sources_, *output_, static_cast<int>(i)));
        return bytes;
    }

    // The writer skipped the reserved room after the file type box; a free box header makes it
    // part of the file's structure.
    void MarkRoomFree(int64_t reservation) const {
        std::FILE* file = std::fopen(path_.c_str(), "r+b");
        if (!file) throw std::runtime_error("cannot write " + path_);
        unsigned char head[8];
        const bool read = std::fread(head, 1, 8, file) == 8;
        const long roomAt = read ? static_cast<long>(ReadBe32(head)) : 0;
        unsigned char free[8] = {0, 0, 0, 0, 'f', 'r', 'e', 'e'};
        WriteBe32(free, static_cast<uint32_t>(reservation));
        const bool ok =
            read && std::fseek(file, roomAt, SEEK_SET) == 0 && std::fwrite(free, 1, 8, file) == 8;
        if (std::fclose(file) != 0 || !ok) throw std::runtime_error("cannot write " + path_);
    }

    const std::vector<std::unique_ptr<PacketSource>>& sources_;
    std::string path_;
    std::unique_ptr<FileOutput> file_;  // outlives the writer that uses it
    OutputPtr output_;
    std::vector<Lane> lanes_;
    std::vector<TrackTally> tallies_;
};

}  // namespace

void WriteMp4(const std::vector<std::unique_ptr<PacketSource>>& sources,
              const std::string& destination, int64_t indexReservation) {
    PartialOutputFile partial(destination);
    const WrittenFile written = Mp4Muxer(sources, partial.TempPath()).Write(indexReservation);
    if (!written.indexFirst) {
        // The one rewrite: the finished file copied with room for the index it turned out to have.
        PartialOutputFile rewrite(destination + ".rewrite");
        std::vector<std::unique_ptr<PacketSource>> copy;
        copy.push_back(std::make_unique<ContainerSource>(partial.TempPath()));
        // (The copy stores the codecs' set-up data in the MP4's own form, a few bytes more or
        // less.)
        Mp4Muxer(copy, rewrite.TempPath()).Write(written.indexBytesBound * 5 / 4);
        if (std::rename(rewrite.TempPath().c_str(), partial.TempPath().c_str()) != 0)
            throw std::runtime_error("cannot write " + partial.TempPath());
    }
    partial.Commit();
}

}  // namespace standin
