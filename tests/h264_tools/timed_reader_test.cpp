// Display times of raw H.264 frames, checked against mkvmerge, which rebuilds them from the
// picture order counts on its own.
#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <sstream>
#include <stdexcept>

#include "common/lib_names.h"
#include "h264_tools/media_fixture.h"
#include "media/h264_nal.h"
#include "media/h264_timed_reader.h"
#include "support/temp_folder.h"

namespace kestrun::test {
namespace {

using standin::h264::TimedFrame;
using standin::h264::TimedFrameReader;

std::vector<TimedFrame> ReadAll(const std::string& path, int* delay = nullptr) {
    TimedFrameReader reader(path);
    if (delay) *delay = reader.ReorderDelay();
    std::vector<TimedFrame> frames;
    TimedFrame frame;
    while (reader.Next(frame)) {
        // The start codes found on the way are every one a scan of the frame finds.
        EXPECT_EQ(frame.startCodes,
                  standin::h264::StartCodeOffsets(frame.data.data(), frame.data.size()))
            << "frame " << frames.size();
        frames.push_back(std::move(frame));
    }
    return frames;
}

// Display rank of each frame in decode order, as mkvmerge times the same raw stream.
std::vector<int64_t> DisplayRanksByMkvmerge(const std::string& raw, const std::string& mkv) {
    const auto merged =
        RunProgram({"/usr/bin/mkvmerge", "-q", "-o", mkv, "--default-duration", "0:25fps", raw});
    if (merged.exitCode != 0) throw std::runtime_error("mkvmerge failed: " + merged.out);
    const auto probe = RunProgram({"/usr/bin/ffprobe", "-v", "error", "-select_streams", "v:0",
                                   "-show_entries", "packet=pts", "-of", "csv=p=0", mkv});
    std::vector<int64_t> pts;
    std::istringstream lines(probe.out);
    std::string line;
    while (std::getline(lines, line)) pts.push_back(std::stoll(line));
    std::vector<size_t> order(pts.size());
    std::iota(order.begin(), order.end(), 0);
    std::sort(order.begin(), order.end(), [&](size_t a, size_t b) { return pts[a] < pts[b]; });
    std::vector<int64_t> ranks(pts.size());
    for (size_t rank = 0; rank < order.size(); ++rank)
        ranks[order[rank]] = static_cast<int64_t>(rank);
    return ranks;
}

class TimedFrames : public ::testing::Test {
protected:
    void ExpectSameOrderAsMkvmerge(const std::vector<std::string>& x264, int frameCount) {
        const std::string raw = folder_ / "movie.h264";
        EncodeH264(raw, 160, 96, frameCount, x264);
        int delay = -1;
        const auto frames = ReadAll(raw, &delay);
        ASSERT_EQ(frames.size(), static_cast<size_t>(frameCount));
        const auto expected = DisplayRanksByMkvmerge(raw, folder_ / "movie.mkv");
        ASSERT_EQ(expected.size(), frames.size());
        for (size_t i = 0; i < frames.size(); ++i) {
            EXPECT_EQ(frames[i].decodeIndex, static_cast<int64_t>(i));
            EXPECT_EQ(frames[i].displayIndex, expected[i]) << "frame " << i;
            EXPECT_GE(frames[i].displayIndex, frames[i].decodeIndex - delay) << "frame " << i;
        }
    }

    TempFolder folder_{"kestrun-timed"};
};

TEST_F(TimedFrames, BFramePyramidKeepsEveryFrameInDisplayOrder) {
    ExpectSameOrderAsMkvmerge({"-bf", "3", "-x264-params", "b-pyramid=normal:keyint=10:b-adapt=0"},
                              33);
}

TEST_F(TimedFrames, OpenGopLeadingBFramesStayBeforeTheirIFrame) {
    ExpectSameOrderAsMkvmerge(
        {"-bf", "2", "-x264-params", "open-gop=1:keyint=8:min-keyint=8:b-adapt=0:scenecut=0"}, 30);
}

TEST_F(TimedFrames, StreamWithoutBFramesNeedsNoReorderDelay) {
    const std::string raw = folder_ / "movie.h264";
    EncodeH264(raw, 160, 96, 12, {"-bf", "0", "-x264-params", "keyint=5"});
    int delay = -1;
    const auto frames = ReadAll(raw, &delay);
    EXPECT_EQ(delay, 0);
    ASSERT_EQ(frames.size(), 12u);
    int keyFrames = 0;
    for (const auto& frame : frames) {
        EXPECT_EQ(frame.displayIndex, frame.decodeIndex);
        keyFrames += frame.keyFrame;
    }
    EXPECT_EQ(keyFrames, 3);
    EXPECT_TRUE(frames[0].keyFrame && frames[5].keyFrame && frames[10].keyFrame);
}

TEST_F(TimedFrames, StreamsThatAreNoRawH264AreRefused) {
    EXPECT_THROW(TimedFrameReader(folder_ / "missing.h264"), std::runtime_error);
    EXPECT_THROW(TimedFrameReader(folder_.Write("empty.h264", "")), std::runtime_error);
    EXPECT_THROW(TimedFrameReader(folder_.Write("text.h264", "hello\n")), std::runtime_error);

    // A stream cut before its first frame's headers end cannot be timed or decoded.
    const std::string raw = folder_ / "movie.h264";
    EncodeH264(raw, 160, 96, 3, {});
    auto bytes = ReadBytes(raw);
    const auto headerless = std::vector<uint8_t>(bytes.begin() + 40, bytes.end());
    WriteBytes(folder_ / "cut.h264", headerless);
    EXPECT_THROW(TimedFrameReader(folder_ / "cut.h264"), std::runtime_error);
}

TEST_F(TimedFrames, StartCodesSplitByTheEndOfAReadBlockAreFound) {
    // A filler NAL unit after the first frame moves the second frame's start code, and the slice
    // header bytes after it, across the end of the reader's first 8 MiB read.
    constexpr size_t kBlock = size_t{8} << 20;
    const std::string raw = folder_ / "movie.h264";
    EncodeH264(raw, 160, 96, 6, {"-bf", "2", "-x264-params", "slices=2"});
    const auto plain = ReadAll(raw);
    const auto bytes = ReadBytes(raw);
    const size_t firstSize = plain.front().data.size();
    for (int shift = -6; shift <= 3; ++shift) {
        std::vector<uint8_t> filler{0, 0, 1, 12};
        filler.resize(kBlock + shift - firstSize - 1, 0xFF);
        filler.push_back(0x80);
        std::vector<uint8_t> padded(bytes.begin(), bytes.begin() + firstSize);
        padded.insert(padded.end(), filler.begin(), filler.end());
        padded.insert(padded.end(), bytes.begin() + firstSize, bytes.end());
        WriteBytes(folder_ / "padded.h264", padded);
        const auto frames = ReadAll(folder_ / "padded.h264");
        ASSERT_EQ(frames.size(), plain.size()) << "shift " << shift;
        EXPECT_EQ(frames[0].data.size(), firstSize + filler.size()) << "shift " << shift;
        for (size_t i = 1; i < frames.size(); ++i) {
            EXPECT_EQ(frames[i].data, plain[i].data) << "shift " << shift << " frame " << i;
            EXPECT_EQ(frames[i].displayIndex, plain[i].displayIndex) << "shift " << shift;
        }
    }
}

}  // namespace
}  // namespace kestrun::test
