#include "decoder/audio_decoder.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <optional>
#include <vector>

#include "decoder/audio_track_selection.h"
#include "decoder/decode_error.h"
#include "decoder/pcm_converter.h"
#include "decoder/wav_file_writer.h"
#include "media/declared_duration.h"
#include "media/libav_handles.h"
#include "media/matroska_header.h"

namespace kestrun {
namespace {

// FFmpeg's own messages would land on the terminal of the window or the CLI; the decoder reports
// its failures itself.
void SilenceLibavLog() {
    static std::once_flag once;
    std::call_once(once, [] { av_log_set_level(AV_LOG_QUIET); });
}

void CheckSourceFile(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        if (errno == ENOENT) throw DecodeError("source file not found: " + path);
        throw DecodeError("cannot open the source file " + path + ": " + std::strerror(errno));
    }
    // A FIFO or a device could block the reader for ever.
    if (!S_ISREG(info.st_mode)) throw DecodeError("source is not a regular file: " + path);
    if (info.st_size == 0) throw DecodeError("source file is empty: " + path);
    // The demuxer ends a cut-off Matroska file as if it were complete; its header tells.
    const auto declaredEnd = media::MatroskaDeclaredEnd(path);
    if (declaredEnd && *declaredEnd > static_cast<std::uint64_t>(info.st_size)) {
        throw DecodeError("source file is truncated: " + path + " holds " +
                          std::to_string(info.st_size) + " bytes of the " +
                          std::to_string(*declaredEnd) + " its header declares");
    }
}

// Creating the output empties it; it must not be the source under another name.
void CheckOutputIsNotTheSource(const std::string& source, const std::string& output) {
    struct stat sourceInfo {};
    struct stat outputInfo {};
    if (::stat(source.c_str(), &sourceInfo) == 0 && ::stat(output.c_str(), &outputInfo) == 0 &&
        sourceInfo.st_dev == outputInfo.st_dev && sourceInfo.st_ino == outputInfo.st_ino) {
        throw DecodeError("the output file " + output + " is the source itself");
    }
}

// Far beyond any film's audio; a damaged header claiming more is refused.
constexpr int kMaxChannels = 32;
constexpr int kMaxSampleRate = 768000;

bool LacksDecodingParameters(const AVCodecParameters& parameters) {
    return parameters.codec_id == AV_CODEC_ID_NONE || parameters.sample_rate <= 0 ||
           parameters.ch_layout.nb_channels <= 0;
}

class AudioTrackDecoder {
public:
    AudioTrackDecoder(const DecodeRequest& request, std::atomic<std::int64_t>& fileBytes,
                      const std::function<bool()>& stopRequested)
        : request_(request),
          fileBytes_(fileBytes),
          stopRequested_(stopRequested),
          writer_(request.outputWav) {}

    WavFormat Run() {
        CheckOutputIsNotTheSource(request_.source, request_.outputWav);
        // The output goes first: a failure must not leave an older file of that name behind.
        writer_.Create();
        CheckSourceFile(request_.source);
        OpenSource();
        OpenDecoder();
        DecodePackets();
        Flush();
        if (!writer_.HasBegun()) {
            throw DecodeError("no audio could be decoded from " + request_.source +
                              LastDecoderErrorText());
        }
        CheckNothingWentMissing();
        writer_.Finish();
        fileBytes_ = static_cast<std::int64_t>(writer_.FileBytes());
        return writer_.Format();
    }

private:
    static int Interrupt(void* opaque) {
        return static_cast<AudioTrackDecoder*>(opaque)->stopRequested_() ? 1 : 0;
    }

    void ThrowIfStopped() const {
        if (stopRequested_()) throw DecodeError("decoding was cancelled");
    }

    void OpenSource() {
        AVFormatContext* context = avformat_alloc_context();
        if (!context) throw DecodeError("out of memory");
        context->interrupt_callback = {&AudioTrackDecoder::Interrupt, this};
        AVDictionary* options = nullptr;
        av_dict_set(&options, "protocol_whitelist", "file", 0);
        // "file:" keeps a name such as "pipe:1" or "http:x.mkv" a plain file name.
        const std::string url = "file:" + request_.source;
        const int result = avformat_open_input(&context, url.c_str(), nullptr, &options);
        av_dict_free(&options);
        if (result < 0) {
            ThrowIfStopped();
            throw DecodeError("cannot read " + request_.source +
                              " as a media file: " + media::LibavErrorText(result));
        }
        format_.reset(context);
        streamIndex_ = SelectAudioStream(*format_, request_.source, request_.trackNumber);
        // Some containers announce their streams, or their parameters, only in the packets.
        if (streamIndex_ < 0 ||
            LacksDecodingParameters(*format_->streams[streamIndex_]->codecpar)) {
            avformat_find_stream_info(format_.get(), nullptr);
            ThrowIfStopped();
            streamIndex_ = SelectAudioStream(*format_, request_.source, request_.trackNumber);
        }
        if (streamIndex_ < 0) throw DecodeError("no audio track in " + request_.source);
        for (unsigned i = 0; i < format_->nb_streams; ++i) {
            if (static_cast<int>(i) != streamIndex_) format_->streams[i]->discard = AVDISCARD_ALL;
        }
    }

    void OpenDecoder() {
        const AVCodecParameters& parameters = *format_->streams[streamIndex_]->codecpar;
        const AVCodec* codec = avcodec_find_decoder(parameters.codec_id);
        if (!codec) {
            const char* name = avcodec_get_name(parameters.codec_id);
            throw DecodeError("no decoder for the audio format \"" + std::string(name) + "\" in " +
                              request_.source);
        }
        codec_.reset(avcodec_alloc_context3(codec));
        if (!codec_) throw DecodeError("out of memory");
        int result = avcodec_parameters_to_context(codec_.get(), &parameters);
        codec_->pkt_timebase = format_->streams[streamIndex_]->time_base;
        AVDictionary* options = nullptr;
        // Only the AC-3 decoders know this option; the others leave it unused.
        av_dict_set(&options, "drc_scale", request_.settings.dynamicRangeCompression ? "1" : "0",
                    0);
        if (result >= 0) result = avcodec_open2(codec_.get(), codec, &options);
        av_dict_free(&options);
        if (result < 0) {
            throw DecodeError("cannot start the " + std::string(codec->name) +
                              " decoder: " + media::LibavErrorText(result));
        }
        packet_.reset(av_packet_alloc());
        frame_.reset(av_frame_alloc());
        if (!packet_ || !frame_) throw DecodeError("out of memory");
    }

    void DecodePackets() {
        for (;;) {
            ThrowIfStopped();
            const int result = av_read_frame(format_.get(), packet_.get());
            if (result == AVERROR_EOF) return;
            if (result < 0) {
                ThrowIfStopped();
                throw DecodeError("reading " + request_.source +
                                  " failed: " + media::LibavErrorText(result));
            }
            if (packet_->stream_index == streamIndex_) {
                NoteFirstTimestamp(*packet_);
                SendToDecoder(packet_.get());
            }
            av_packet_unref(packet_.get());
        }
    }

    void Flush() {
        SendToDecoder(nullptr);
        if (converter_) WriteSamples(converter_->Drain());
    }

    // A damaged packet is skipped, as a player would; only a stream that yields nothing fails.
    void SendToDecoder(const AVPacket* packet) {
        const int sent = avcodec_send_packet(codec_.get(), packet);
        if (sent < 0 && sent != AVERROR_EOF) {
            lastDecoderError_ = sent;
            return;
        }
        for (;;) {
            const int received = avcodec_receive_frame(codec_.get(), frame_.get());
            if (received == AVERROR(EAGAIN) || received == AVERROR_EOF) return;
            if (received < 0) {
                lastDecoderError_ = received;
                return;
            }
            WriteFrame(*frame_);
            av_frame_unref(frame_.get());
        }
    }

    void WriteFrame(const AVFrame& frame) {
        if (!converter_) StartOutput(frame);
        WriteSamples(converter_->Convert(frame));
    }

    void StartOutput(const AVFrame& frame) {
        const AVChannelLayout& source =
            frame.ch_layout.nb_channels > 0 ? frame.ch_layout : codec_->ch_layout;
        if (source.nb_channels <= 0 || frame.sample_rate <= 0) {
            throw DecodeError("the audio of " + request_.source +
                              " has no channel count or sample rate");
        }
        if (source.nb_channels > kMaxChannels || frame.sample_rate > kMaxSampleRate) {
            throw DecodeError("the audio of " + request_.source + " has " +
                              std::to_string(source.nb_channels) + " channels at " +
                              std::to_string(frame.sample_rate) + " Hz, more than a WAV carries");
        }
        auto layout = OutputLayoutFor(request_.settings.channels, source);
        const int rate = OutputSampleRateFor(frame.sample_rate);
        const WavFormat format{layout.Channels(), rate, WavChannelMask(layout.Get())};
        writer_.Begin(format);
        const auto gain = static_cast<float>(GainFactorFromDb(request_.settings.gainDb));
        converter_.emplace(std::move(layout), rate, gain);
        StartLead(format);
        fileBytes_ = static_cast<std::int64_t>(writer_.FileBytes());
    }

    // The silence of a positive lead goes out now; a negative one is cut from what follows.
    void StartLead(const WavFormat& format) {
        const std::uint64_t frames = static_cast<std::uint64_t>(
            std::llabs(request_.leadMs) * static_cast<std::int64_t>(format.sampleRate) / 1000);
        const std::uint64_t bytes = frames * static_cast<std::uint64_t>(format.BlockAlign());
        if (request_.leadMs < 0) {
            bytesToCut_ = bytes;
            return;
        }
        const std::vector<std::uint8_t> silence(std::min<std::uint64_t>(bytes, 1 << 16), 0);
        for (std::uint64_t left = bytes; left > 0;) {
            const auto chunk =
                static_cast<std::size_t>(std::min<std::uint64_t>(left, silence.size()));
            writer_.Write({silence.data(), chunk});
            left -= chunk;
        }
        silenceBytes_ = bytes;
    }

    void WriteSamples(std::span<const std::uint8_t> samples) {
        const auto cut =
            static_cast<std::size_t>(std::min<std::uint64_t>(bytesToCut_, samples.size()));
        bytesToCut_ -= cut;
        cutBytes_ += cut;
        writer_.Write(samples.subspan(cut));
        fileBytes_ = static_cast<std::int64_t>(writer_.FileBytes());
    }

    // A track that starts late (an audio delay) declares its end, not its length.
    void NoteFirstTimestamp(const AVPacket& packet) {
        if (firstSeconds_ || packet.pts == AV_NOPTS_VALUE) return;
        firstSeconds_ =
            static_cast<double>(packet.pts) * av_q2d(format_->streams[streamIndex_]->time_base);
    }

    void CheckNothingWentMissing() const {
        const auto declaredEnd = media::DeclaredTrackSeconds(*format_->streams[streamIndex_]);
        if (!declaredEnd) return;
        const double declared = *declaredEnd - std::max(0.0, firstSeconds_.value_or(0.0));
        const auto& format = writer_.Format();
        const double decoded =
            static_cast<double>(writer_.DataBytes() - silenceBytes_ + cutBytes_) /
            (static_cast<double>(format.BlockAlign()) * format.sampleRate);
        if (decoded + media::kMissingAudioToleranceSeconds < declared) {
            throw DecodeError("the source is damaged: only " + Seconds(decoded) + " of the " +
                              Seconds(declared) + " of audio its track declares could be read" +
                              " from " + request_.source);
        }
    }

    static std::string Seconds(double seconds) {
        char text[32];
        std::snprintf(text, sizeof text, "%.1f s", seconds);
        return text;
    }

    std::string LastDecoderErrorText() const {
        return lastDecoderError_ < 0 ? " (" + media::LibavErrorText(lastDecoderError_) + ")" : "";
    }

    const DecodeRequest& request_;
    std::atomic<std::int64_t>& fileBytes_;
    const std::function<bool()>& stopRequested_;
    WavFileWriter writer_;
    media::FormatContextPtr format_;
    media::CodecContextPtr codec_;
    media::PacketPtr packet_;
    media::FramePtr frame_;
    std::optional<PcmConverter> converter_;
    int streamIndex_ = -1;
    int lastDecoderError_ = 0;
    std::optional<double> firstSeconds_;
    std::uint64_t silenceBytes_ = 0;  // written before the first sample
    std::uint64_t bytesToCut_ = 0;    // of the track's beginning, still to leave out
    std::uint64_t cutBytes_ = 0;
};

}  // namespace

WavFormat DecodeAudioTrack(const DecodeRequest& request, std::atomic<std::int64_t>& fileBytes,
                           const std::function<bool()>& stopRequested) {
    SilenceLibavLog();
    fileBytes = 0;
    try {
        return AudioTrackDecoder(request, fileBytes, stopRequested).Run();
    } catch (...) {
        fileBytes = 0;  // the writer has removed the unfinished file
        throw;
    }
}

}  // namespace kestrun
