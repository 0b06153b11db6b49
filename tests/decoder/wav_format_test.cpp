// The WAV header and the sample conversion, byte for byte.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <limits>

#include "decoder/pcm_converter.h"
#include "decoder/wav_header.h"

namespace kestrun {
namespace {

std::uint32_t U32At(const std::vector<std::uint8_t>& bytes, std::size_t at) {
    return bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 |
           static_cast<std::uint32_t>(bytes[at + 3]) << 24;
}
std::uint16_t U16At(const std::vector<std::uint8_t>& bytes, std::size_t at) {
    return static_cast<std::uint16_t>(bytes[at] | bytes[at + 1] << 8);
}
std::string TagAt(const std::vector<std::uint8_t>& bytes, std::size_t at) {
    return std::string(bytes.begin() + at, bytes.begin() + at + 4);
}

TEST(WavHeader, StereoIsThePlainPcmHeader) {
    const auto header = MakeWavHeader({2, 44100, 0}, 1000);
    ASSERT_EQ(header.size(), 44u);
    EXPECT_EQ(TagAt(header, 0), "RIFF");
    EXPECT_EQ(U32At(header, 4), 36u + 1000u);
    EXPECT_EQ(TagAt(header, 8), "WAVE");
    EXPECT_EQ(TagAt(header, 12), "fmt ");
    EXPECT_EQ(U32At(header, 16), 16u);
    EXPECT_EQ(U16At(header, 20), 1);        // PCM
    EXPECT_EQ(U16At(header, 22), 2);        // channels
    EXPECT_EQ(U32At(header, 24), 44100u);   // sample rate
    EXPECT_EQ(U32At(header, 28), 176400u);  // bytes per second
    EXPECT_EQ(U16At(header, 32), 4);        // block align
    EXPECT_EQ(U16At(header, 34), 16);       // bits
    EXPECT_EQ(TagAt(header, 36), "data");
    EXPECT_EQ(U32At(header, 40), 1000u);
}

TEST(WavHeader, SurroundIsExtensibleWithItsSpeakerMask) {
    const WavFormat format{6, 48000, 0x60F};
    const auto header = MakeWavHeader(format, 12);
    ASSERT_EQ(header.size(), WavHeaderSize(format));
    ASSERT_EQ(header.size(), 68u);
    EXPECT_EQ(U32At(header, 4), 60u + 12u);
    EXPECT_EQ(U32At(header, 16), 40u);
    EXPECT_EQ(U16At(header, 20), 0xFFFE);
    EXPECT_EQ(U16At(header, 32), 12);      // block align
    EXPECT_EQ(U16At(header, 36), 22);      // extension size
    EXPECT_EQ(U16At(header, 38), 16);      // valid bits
    EXPECT_EQ(U32At(header, 40), 0x60Fu);  // channel mask
    EXPECT_EQ(U32At(header, 44), 1u);      // sub-format: PCM GUID 00000001-0000-0010-...
    EXPECT_EQ(U16At(header, 50), 0x0010);
    EXPECT_EQ(TagAt(header, 60), "data");
    EXPECT_EQ(U32At(header, 64), 12u);
}

TEST(WavHeader, SizesBeyondFourGigabytesAreCapped) {
    const WavFormat stereo{2, 48000, 0};
    const std::uint64_t fits = 0xFFFFFFFFull - 36;
    EXPECT_EQ(U32At(MakeWavHeader(stereo, fits), 4), 0xFFFFFFFFu);
    EXPECT_EQ(U32At(MakeWavHeader(stereo, fits), 40), fits);
    const auto huge = MakeWavHeader(stereo, 5'000'000'000ull);
    EXPECT_EQ(U32At(huge, 4), kWavSizeUnknown);
    EXPECT_EQ(U32At(huge, 40), kWavSizeUnknown);
}

std::vector<std::int16_t> Samples(const std::vector<std::uint8_t>& bytes) {
    std::vector<std::int16_t> samples;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        samples.push_back(static_cast<std::int16_t>(bytes[i] | bytes[i + 1] << 8));
    }
    return samples;
}

TEST(PcmSamples, RoundClipAndGain) {
    std::vector<std::uint8_t> bytes;
    const float nan = std::numeric_limits<float>::quiet_NaN();
    AppendS16le(std::vector<float>{0.0f, 0.5f, -1.0f, 1.0f, 2.0f, -3.0f, nan, 1.0f / 65536}, 1.0f,
                bytes);
    EXPECT_EQ(Samples(bytes),
              (std::vector<std::int16_t>{0, 16384, -32768, 32767, 32767, -32768, 0, 0}));
    EXPECT_EQ(bytes[2], 0x00);  // 16384 little-endian
    EXPECT_EQ(bytes[3], 0x40);

    bytes.clear();
    AppendS16le(std::vector<float>{0.5f, -0.5f}, 0.5f, bytes);
    EXPECT_EQ(Samples(bytes), (std::vector<std::int16_t>{8192, -8192}));
    AppendS16le(std::vector<float>{0.5f}, 4.0f, bytes);  // appends, and clips after the gain
    EXPECT_EQ(Samples(bytes), (std::vector<std::int16_t>{8192, -8192, 32767}));
}

media::ChannelLayout Native(std::uint64_t mask) { return media::ChannelLayout::FromMask(mask); }

TEST(OutputLayout, SettingsChooseAndSourceLayoutsBecomeWavSpeakers) {
    const auto surround = Native(AV_CH_LAYOUT_5POINT1_BACK);
    const auto asSource = OutputLayoutFor(OutputChannels::AsSource, surround.Get());
    EXPECT_EQ(WavChannelMask(asSource.Get()), AV_CH_LAYOUT_5POINT1_BACK);
    EXPECT_EQ(OutputLayoutFor(OutputChannels::Stereo, surround.Get()).Channels(), 2);
    EXPECT_EQ(OutputLayoutFor(OutputChannels::Mono, surround.Get()).Channels(), 1);
    EXPECT_EQ(
        WavChannelMask(
            OutputLayoutFor(OutputChannels::Surround51, Native(AV_CH_LAYOUT_STEREO).Get()).Get()),
        AV_CH_LAYOUT_5POINT1);

    // Unordered channels, and speakers WAV has no bit for, get the default positions.
    AVChannelLayout unordered{};
    unordered.order = AV_CHANNEL_ORDER_UNSPEC;
    unordered.nb_channels = 6;
    EXPECT_EQ(
        std::popcount(WavChannelMask(OutputLayoutFor(OutputChannels::AsSource, unordered).Get())),
        6);
    const auto downmixPair = Native(AV_CH_STEREO_LEFT | AV_CH_STEREO_RIGHT);
    EXPECT_EQ(WavChannelMask(downmixPair.Get()), 0u);
    EXPECT_EQ(WavChannelMask(OutputLayoutFor(OutputChannels::AsSource, downmixPair.Get()).Get()),
              AV_CH_LAYOUT_STEREO);
}

// A frame of `samples` interleaved 16-bit samples, every one `value`.
media::FramePtr ConstantFrame(std::uint64_t mask, int rate, int samples, std::int16_t value) {
    media::FramePtr frame(av_frame_alloc());
    frame->format = AV_SAMPLE_FMT_S16;
    frame->sample_rate = rate;
    frame->nb_samples = samples;
    av_channel_layout_from_mask(&frame->ch_layout, mask);
    EXPECT_EQ(av_frame_get_buffer(frame.get(), 0), 0);
    auto* data = reinterpret_cast<std::int16_t*>(frame->data[0]);
    std::fill(data, data + samples * frame->ch_layout.nb_channels, value);
    return frame;
}

TEST(PcmConverter, KeepsOneOutputFormatWhenTheStreamChanges) {
    PcmConverter converter(Native(AV_CH_LAYOUT_STEREO), 48000, 1.0f);
    auto out = converter.Convert(*ConstantFrame(AV_CH_LAYOUT_STEREO, 48000, 256, 1000));
    auto samples = Samples({out.begin(), out.end()});
    ASSERT_EQ(samples.size(), 512u);
    EXPECT_EQ(samples.front(), 1000);
    EXPECT_EQ(samples.back(), 1000);

    // A mono stretch: still two channels, carrying the sound.
    out = converter.Convert(*ConstantFrame(AV_CH_LAYOUT_MONO, 48000, 256, 1000));
    samples = Samples({out.begin(), out.end()});
    EXPECT_EQ(samples.size(), 512u);
    EXPECT_GT(samples.back(), 500);

    // A stretch at half the rate comes out at the output rate: about twice the samples once
    // the resampler has been drained.
    std::size_t resampled = 0;
    out = converter.Convert(*ConstantFrame(AV_CH_LAYOUT_STEREO, 24000, 1200, 1000));
    resampled += out.size();
    out = converter.Drain();
    resampled += out.size();
    EXPECT_NEAR(static_cast<double>(resampled) / 4, 2400.0, 40.0);
}

// What AC-3 takes at most: more than six channels are mixed down to 5.1, the back pair folded
// into the sides rather than dropped; rates above 48 kHz come down to 48 or 44.1 kHz.
TEST(PcmConverter, SevenOneComesDownToFiveOneAndHighRatesTo48k) {
    const auto layout =
        OutputLayoutFor(OutputChannels::AsSource, Native(AV_CH_LAYOUT_7POINT1).Get());
    ASSERT_EQ(WavChannelMask(layout.Get()), AV_CH_LAYOUT_5POINT1);
    media::FramePtr frame = ConstantFrame(AV_CH_LAYOUT_7POINT1, 48000, 256, 0);
    auto* data = reinterpret_cast<std::int16_t*>(frame->data[0]);
    for (int i = 0; i < 256; ++i) data[i * 8 + 4] = 8000;  // back left only
    PcmConverter converter(layout, 48000, 1.0f);
    const auto out = converter.Convert(*frame);
    const auto samples = Samples({out.begin(), out.end()});
    ASSERT_EQ(samples.size(), 256u * 6);
    const std::int16_t* last = &samples[samples.size() - 6];  // FL FR FC LFE SL SR
    EXPECT_GT(last[4], 1000);                                 // side left carries it
    for (int c : {0, 1, 2, 3, 5}) EXPECT_EQ(last[c], 0) << c;

    for (const auto& [in, out] : {std::pair{44100, 44100},
                                  {48000, 48000},
                                  {32000, 32000},
                                  {88200, 44100},
                                  {96000, 48000},
                                  {192000, 48000}})
        EXPECT_EQ(OutputSampleRateFor(in), out) << in;
}

}  // namespace
}  // namespace kestrun
