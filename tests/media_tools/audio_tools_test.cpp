// aften, valdec, BeSweet and Debian's faad and soundstretch, on the command lines of the audio
// conversion stages.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "media_tools/media_test_support.h"
#include "media_tools/samples.h"

namespace media_test {
namespace {

using AudioToolsTest = StagedAudioTest;

// The frequency of the strongest tone between `from` and `to` Hz in all channels together: a
// Hann-windowed DFT evaluated every 0.1 Hz (Goertzel).
double PeakFrequency(const Pcm16& pcm, double from, double to) {
    const size_t frames = pcm.samples.size() / pcm.channels;
    std::vector<double> x(frames);
    for (size_t n = 0; n < frames; ++n) {
        for (int c = 0; c < pcm.channels; ++c) x[n] += pcm.samples[n * pcm.channels + c];
        x[n] *= 0.5 - 0.5 * std::cos(2 * M_PI * n / (frames - 1));
    }
    double best = from, bestPower = -1;
    for (double f = from; f <= to; f += 0.1) {
        const double k = 2 * std::cos(2 * M_PI * f / pcm.sampleRate);
        double s1 = 0, s2 = 0;
        for (const double v : x) {
            const double s0 = v + k * s1 - s2;
            s2 = s1;
            s1 = s0;
        }
        const double power = s1 * s1 + s2 * s2 - k * s1 * s2;
        if (power > bestPower) {
            bestPower = power;
            best = f;
        }
    }
    return best;
}

int PeakOf(const Pcm16& pcm) {
    int peak = 0;
    for (const int16_t s : pcm.samples) peak = std::max(peak, std::abs(static_cast<int>(s)));
    return peak;
}

TEST_F(AudioToolsTest, AftenEncodesWavToAc3At640) {
    const std::string wav = Stage("wav", "movie.wav");
    const auto result = RunProgram({BuiltTool("aften/aften"), wav, "-b", "640", In("movie.ac3")});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    auto ac3 = Probe(In("movie.ac3"));
    EXPECT_EQ(ac3["codec_name"], "ac3");
    EXPECT_EQ(ac3["format_name"], "ac3");
    EXPECT_EQ(Number(ac3, "channels"), 6);
    EXPECT_EQ(Number(ac3, "bit_rate"), 640000);
    EXPECT_NEAR(Number(ac3, "duration"), 1.0, 0.05);
}

TEST_F(AudioToolsTest, AftenRefusesWhatItCannotDo) {
    const std::string wav = Stage("wav", "movie.wav");
    const std::string empty = In("empty.wav");
    WriteText(empty, "");
    const std::vector<std::vector<std::string>> lines = {
        {wav, "-b", "650", In("movie.ac3")},  // not an AC-3 bitrate
        {wav, "-b", "640"},                   // no output
        {empty, "-b", "640", In("movie.ac3")},
        {In("missing.wav"), "-b", "640", In("movie.ac3")},
        {wav, "-b", "640", wav},          // would overwrite its input
        {wav, "-b", "640", "/dev/full"},  // the disk is full
    };
    for (auto line : lines) {
        line.insert(line.begin(), BuiltTool("aften/aften"));
        const auto result = RunProgram(line);
        EXPECT_NE(result.exitCode, 0) << line.back();
        EXPECT_NE(result.err.find("aften: "), std::string::npos) << result.err;
        EXPECT_FALSE(FileExists(In("movie.ac3")));
    }
    EXPECT_EQ(Probe(wav)["codec_name"], "pcm_s16le");
}

TEST_F(AudioToolsTest, ValdecDecodesDtsAsStored) {
    // The AC-3 preparation of the re-encode chains: " -wav ... -spk:0 -fmt:0".
    const std::string dts = Stage("dts", "movie.dts");
    const auto result = RunProgram(
        {BuiltTool("ac3filter/valdec"), dts, "-wav", In("movie.wav"), "-spk:0", "-fmt:0"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    auto wav = Probe(In("movie.wav"));
    EXPECT_EQ(wav["codec_name"], "pcm_s16le");
    EXPECT_EQ(Number(wav, "channels"), 6);
    EXPECT_EQ(Number(wav, "sample_rate"), 48000);
    EXPECT_NEAR(Number(wav, "duration"), 1.0, 0.05);
}

TEST_F(AudioToolsTest, ValdecBackupFormsSetLayoutAndRaiseTheLevelWithoutClipping) {
    const std::string ac3 = Stage("ac3", "movie.ac3");
    ASSERT_NO_THROW(Ffmpeg({"-i", ac3, "-c:a", "pcm_s16le", In("plain.wav")}));
    const auto plain = ReadPcm16Wav(In("plain.wav"));
    ASSERT_TRUE(plain);

    for (const std::string speakers : {"2", "6"}) {
        SCOPED_TRACE("-spk:" + speakers);
        const auto result =
            RunProgram({BuiltTool("ac3filter/valdec"), ac3, "-wav", In("movie.wav"),
                        "-spk:" + speakers, "-fmt:0", "-drc+", "-gain:8", "-drc_power:8"});
        ASSERT_EQ(result.exitCode, 0) << result.err;
        const auto pcm = ReadPcm16Wav(In("movie.wav"));
        ASSERT_TRUE(pcm);
        EXPECT_EQ(pcm->channels, std::stoi(speakers));
        EXPECT_EQ(pcm->sampleRate, 48000);
        EXPECT_NEAR(static_cast<double>(pcm->samples.size()) / pcm->channels, 48000, 48000 * 0.05);
        EXPECT_GT(PeakOf(*pcm), PeakOf(*plain));  // +8 dB of gain
        EXPECT_LT(PeakOf(*pcm), 32767);           // limited, not clipped
        std::filesystem::remove(In("movie.wav"));
    }
}

TEST_F(AudioToolsTest, ValdecRefusesLinesItCannotHonour) {
    const std::string ac3 = Stage("ac3", "movie.ac3");
    const std::vector<std::vector<std::string>> lines = {
        {ac3},  // would play through a sound card
        {ac3, "-wav", In("movie.wav"), "-spk:9"},
        {ac3, "-wav", In("movie.wav"), "-fmt:4"},  // big-endian samples in a WAV
        {ac3, "-wav", In("movie.wav"), "-gain:loud"},
        {ac3, "-wav", In("movie.wav"), "-unknown"},
        {In("gone.dts"), "-wav", In("movie.wav"), "-fmt:0"},
    };
    for (auto line : lines) {
        line.insert(line.begin(), BuiltTool("ac3filter/valdec"));
        const auto result = RunProgram(line);
        EXPECT_NE(result.exitCode, 0) << line.back();
        EXPECT_NE(result.err.find("valdec: "), std::string::npos) << result.err;
        EXPECT_FALSE(FileExists(In("movie.wav")));
    }
}

TEST_F(AudioToolsTest, BeSweetSpeedsAudioUpFor25FramesAndRaisesThePitchWithIt) {
    const std::string input = Stage("wav", "movie2.wav");
    const auto result =
        RunProgram({BuiltTool("besweet/BeSweet"), "-core(", "-input", input, "-2ch", "-output",
                    In("movie.wav"), ")", "-ota(", "-r", "23976", "25000", ")"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const auto before = ReadPcm16Wav(input);
    const auto after = ReadPcm16Wav(In("movie.wav"));
    ASSERT_TRUE(before && after);
    EXPECT_EQ(after->channels, 2);
    EXPECT_EQ(after->sampleRate, before->sampleRate);
    const double framesBefore = static_cast<double>(before->samples.size()) / before->channels;
    const double framesAfter = static_cast<double>(after->samples.size()) / after->channels;
    EXPECT_NEAR(framesAfter / framesBefore, 23976.0 / 25000.0, 0.01);
    // A resample: the 440 Hz tone comes out at 440 * 25000 / 23976 = 458.8 Hz.
    EXPECT_NEAR(PeakFrequency(*after, 400, 500), 458.8, 0.5);
}

TEST_F(AudioToolsTest, TheTwentyFiveFramesChainLowersThenRaisesThePitch) {
    // soundstretch -pitch=-1 takes 440 Hz to 415.3 Hz; the speed-up then to 433.0 Hz, near the
    // pitch the film had (a tempo change that kept the pitch would end a semitone flat).
    Stage("wav", "movie.wav");
    ASSERT_EQ(RunProgram({BuiltTool("Sounds/soundstretch"), In("movie.wav"), In("movie2.wav"),
                          "-pitch=-1"})
                  .exitCode,
              0);
    std::filesystem::remove(In("movie.wav"));
    const auto result =
        RunProgram({BuiltTool("besweet/BeSweet"), "-core(", "-input", In("movie2.wav"), "-2ch",
                    "-output", In("movie.wav"), ")", "-ota(", "-r", "23976", "25000", ")"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const auto lowered = ReadPcm16Wav(In("movie2.wav"));
    const auto result25 = ReadPcm16Wav(In("movie.wav"));
    ASSERT_TRUE(lowered && result25);
    EXPECT_NEAR(PeakFrequency(*lowered, 400, 480), 415.3, 0.5);
    EXPECT_NEAR(PeakFrequency(*result25, 400, 480), 433.0, 0.5);
}

TEST_F(AudioToolsTest, BeSweetRefusesBadLines) {
    const std::string input = Stage("wav", "movie2.wav");
    const std::string out = In("movie.wav");
    const std::vector<std::vector<std::string>> lines = {
        {"-core(", "-input", input, "-output", out, ")", "-ota(", "-r", "25", "25000", ")"},
        {"-core(", "-input", input, "-output", out},
        {"-core(", "-input", input, ")"},
        {"-core(", "-input", input, "-output", out, ")", "-azid(", "-s", "surround", ")"},
        {"-core(", "-input", In("gone.wav"), "-output", out, ")"},
        {"-core(", "-input", input, "-output", input, ")"},
    };
    for (auto line : lines) {
        line.insert(line.begin(), BuiltTool("besweet/BeSweet"));
        const auto result = RunProgram(line);
        EXPECT_NE(result.exitCode, 0);
        EXPECT_NE(result.err.find("BeSweet: "), std::string::npos) << result.err;
        EXPECT_FALSE(FileExists(out));
    }
}

TEST_F(AudioToolsTest, DebianFaadAndSoundstretchTakeTheLinesUnchanged) {
    // "faad -d movie.aac -o movie.wav": 5.1 down-matrixed to stereo.
    const std::string aac = Stage("aac", "movie.aac");
    auto faad = RunProgram({BuiltTool("FFMpeg/faad"), "-d", aac, "-o", In("movie.wav")});
    ASSERT_EQ(faad.exitCode, 0) << faad.err;
    auto wav = Probe(In("movie.wav"));
    EXPECT_EQ(wav["codec_name"], "pcm_s16le");
    EXPECT_EQ(Number(wav, "channels"), 2);

    // "soundstretch movie.wav movie2.wav -pitch=-1": a semitone lower, same length.
    const auto stretch = RunProgram(
        {BuiltTool("Sounds/soundstretch"), In("movie.wav"), In("movie2.wav"), "-pitch=-1"});
    ASSERT_EQ(stretch.exitCode, 0) << stretch.err;
    const auto before = ReadPcm16Wav(In("movie.wav"));
    const auto after = ReadPcm16Wav(In("movie2.wav"));
    ASSERT_TRUE(before && after);
    EXPECT_NEAR(after->samples.size(), before->samples.size(), before->samples.size() * 0.02);
    EXPECT_LT(ZeroCrossingsPerSecond(*after), ZeroCrossingsPerSecond(*before) * 0.97);

    EXPECT_TRUE(FileExists(BuiltTool("MP4Box/mpgtx")));
}

}  // namespace
}  // namespace media_test
