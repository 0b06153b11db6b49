// Sources and outputs the decoder must refuse: each fails quickly with a readable reason and
// leaves no WAV behind.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iostream>

#include "decoder/decode_to_wav.h"
#include "decoder/media_samples.h"
#include "support/temp_folder.h"

namespace kestrun {
namespace {

using test::MakeSample;
using test::TempFolder;
namespace fs = std::filesystem;

constexpr auto kQuickly = std::chrono::seconds(5);

// Exits 0 when the decode failed cleanly: no success reported, no file left; prints the error.
[[noreturn]] void DecodeWithFileSizeLimit(const std::string& source, const std::string& work,
                                          rlim_t bytes) {
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{bytes, bytes};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    const auto result = DecodeAc3ToWav(source, work, 0, DecoderSettings{}, {});
    std::cerr << result.error << std::endl;
    std::_Exit(!result.ok && !fs::exists(work + "movie.wav") ? 0 : 1);
}

class DecodeBadInput : public ::testing::Test {
protected:
    // Decodes into the test's folder and checks what every failure must do.
    void ExpectFailure(const std::string& source, const std::string& reason,
                       const std::string& workFolder = {}) {
        const auto work = workFolder.empty() ? folder.slash() : workFolder;
        const auto started = std::chrono::steady_clock::now();
        const auto result = DecodeAc3ToWav(source, work, 0, DecoderSettings{}, {});
        EXPECT_LT(std::chrono::steady_clock::now() - started, kQuickly);
        EXPECT_FALSE(result.ok);
        EXPECT_EQ(result.bytesWritten, 0);
        EXPECT_TRUE(result.error.starts_with("AC3Filter: ")) << result.error;
        EXPECT_NE(result.error.find(reason), std::string::npos) << result.error;
        EXPECT_FALSE(fs::exists(work + "movie.wav") && fs::is_regular_file(work + "movie.wav"));
    }

    std::string Sample(const std::string& name, const std::string& arguments) {
        const auto path = folder / name;
        MakeSample(arguments, path);
        return path;
    }

    TempFolder folder{"kestrun-decoder"};
};

TEST_F(DecodeBadInput, UnusableSourcesAreNamed) {
    ExpectFailure(folder / "missing.mkv", "source file not found");
    ExpectFailure(folder.Write("empty.mkv", ""), "source file is empty");
    ExpectFailure(folder.Write("notes.mkv", "just some text, not a film\n"), "as a media file");
    ExpectFailure(folder.path().string(), "not a regular file");
}

TEST_F(DecodeBadInput, SourceWithoutAudioFails) {
    const auto silent =
        Sample("silent.mkv", "-f lavfi -i testsrc=size=64x48:rate=25:duration=1 -c:v mpeg4");
    ExpectFailure(silent, "no audio track");
}

TEST_F(DecodeBadInput, TruncatedMatroskaIsReportedNotDecodedInPart) {
    const auto full = Sample("full.mkv", "-f lavfi -i sine=duration=3 -ac 6 -c:a ac3");
    const auto cut = folder / "cut.mkv";
    fs::copy_file(full, cut);
    fs::resize_file(cut, fs::file_size(full) / 2);
    ExpectFailure(cut, "truncated");
    fs::resize_file(cut, 300);  // cut inside the header
    ExpectFailure(cut, "truncated");
}

TEST_F(DecodeBadInput, DamageThatLosesSecondsOfAudioIsReported) {
    const auto good = Sample("good.mkv", "-f lavfi -i sine=duration=3 -ac 6 -c:a ac3");
    const auto damaged = folder / "damaged.mkv";
    fs::copy_file(good, damaged);
    {
        // Noise over a stretch of the only cluster: the demuxer drops the rest of it.
        std::fstream file(damaged, std::ios::in | std::ios::out | std::ios::binary);
        file.seekp(static_cast<std::streamoff>(fs::file_size(damaged) / 3));
        unsigned state = 1;
        for (int i = 0; i < 4000; ++i) {
            state = state * 1103515245u + 12345u;
            file.put(static_cast<char>(state >> 16));
        }
    }
    ExpectFailure(damaged, "the source is damaged");
}

TEST_F(DecodeBadInput, FifoSourceDoesNotBlock) {
    const auto fifo = folder / "pipe.mkv";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    ExpectFailure(fifo, "not a regular file");
}

TEST_F(DecodeBadInput, UnwritableOutputsFailBeforeDecoding) {
    const auto source = Sample("a.mkv", "-f lavfi -i sine=duration=1 -c:a ac3");
    ExpectFailure(source, "output folder does not exist", folder.slash() + "no/such/folder/");
    fs::create_directory(folder / "movie.wav");
    ExpectFailure(source, "not a regular file");
    fs::remove(folder / "movie.wav");
    if (::geteuid() != 0) {  // permissions do not bind root
        const auto locked = folder / "locked";
        fs::create_directory(locked);
        fs::permissions(locked, fs::perms::owner_read | fs::perms::owner_exec);
        ExpectFailure(source, "cannot create", locked + "/");
    }
}

TEST_F(DecodeBadInput, FailureRemovesAnOlderWav) {
    folder.Write("movie.wav", "RIFF left over from an earlier conversion");
    ExpectFailure(folder.Write("notes.mkv", "text"), "as a media file");
}

TEST_F(DecodeBadInput, SourceNamedLikeTheOutputIsLeftAlone) {
    const auto source = Sample("movie.wav", "-f lavfi -i sine=duration=1 -c:a ac3 -f matroska");
    const auto size = fs::file_size(source);
    const auto result = DecodeAc3ToWav(source, folder.slash(), 0, DecoderSettings{}, {});
    EXPECT_FALSE(result.ok);
    EXPECT_NE(result.error.find("is the source itself"), std::string::npos) << result.error;
    EXPECT_EQ(fs::file_size(source), size);
}

TEST_F(DecodeBadInput, FullDiskFailsAndRemovesThePartialFile) {
    const auto source = Sample("long.mkv", "-f lavfi -i sine=duration=3 -ac 6 -c:a ac3");
    const auto work = folder.slash();
    // In a child process, a file size limit plays the full disk.
    EXPECT_EXIT(DecodeWithFileSizeLimit(source, work, 64 * 1024), ::testing::ExitedWithCode(0),
                "AC3Filter: writing .*movie.wav failed");
}

TEST_F(DecodeBadInput, CancelStopsTheDecode) {
    const auto source = Sample("a.mkv", "-f lavfi -i sine=duration=1 -c:a ac3");
    std::atomic<bool> cancel{true};
    DecodeCallbacks callbacks;
    callbacks.cancel = &cancel;
    const auto result = DecodeAc3ToWav(source, folder.slash(), 0, DecoderSettings{}, callbacks);
    EXPECT_FALSE(result.ok);
    EXPECT_NE(result.error.find("cancelled"), std::string::npos) << result.error;
    EXPECT_FALSE(fs::exists(folder / "movie.wav"));
}

TEST_F(DecodeBadInput, OddCharactersInPathsAreJustNames) {
    const auto plain = Sample("plain.mkv", "-f lavfi -i sine=duration=1 -c:a ac3");
    const auto odd = folder / "file: a \"b\" 'c' ü;$(x).mkv";
    fs::rename(plain, odd);
    const auto work = folder / "out put:";
    fs::create_directory(work);
    const auto result = DecodeAc3ToWav(odd, work + "/", 0, DecoderSettings{}, {});
    EXPECT_TRUE(result.ok) << result.error;
    EXPECT_TRUE(fs::exists(work + "/movie.wav"));
}

}  // namespace
}  // namespace kestrun
