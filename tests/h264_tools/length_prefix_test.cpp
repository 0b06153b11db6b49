// Raw H.264 handed to the MP4 writer as an MP4 stores it (avcC record, length-prefixed units):
// the units cut as the writer cuts Annex B itself, and files the same byte for byte either way.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "common/raw_h264_source.h"
#include "h264_tools/media_fixture.h"
#include "media/h264_nal.h"
#include "media/h264_parameter_sets.h"
#include "media/h264_timed_reader.h"
#include "mp4box/mp4_writer.h"
#include "support/temp_folder.h"

namespace kestrun::test {
namespace {

namespace h264 = standin::h264;
using Bytes = std::vector<uint8_t>;

TEST(LengthPrefixedUnits, CutAsTheMp4WriterCutsAnnexB) {
    struct Case {
        const char* what;
        Bytes annexB;
        Bytes expected;
    };
    const Case cases[] = {
        {"four-byte start codes",
         {0, 0, 0, 1, 9, 0xF0, 0, 0, 0, 1, 0x65, 0x88, 0x84},
         {0, 0, 0, 2, 9, 0xF0, 0, 0, 0, 3, 0x65, 0x88, 0x84}},
        {"three-byte start codes",
         {0, 0, 1, 0x67, 0xAA, 0, 0, 1, 0x68, 0xBB},
         {0, 0, 0, 2, 0x67, 0xAA, 0, 0, 0, 2, 0x68, 0xBB}},
        {"bytes before the first start code",
         {0x12, 0x34, 0, 0, 1, 0x65, 1},
         {0, 0, 0, 2, 0x65, 1}},
        {"zeros before a start code beyond the one it takes",
         {0, 0, 0, 1, 0x65, 0xAA, 0, 0, 0, 0, 0, 1, 0x41, 0xBB},
         {0, 0, 0, 4, 0x65, 0xAA, 0, 0, 0, 0, 0, 2, 0x41, 0xBB}},
        {"trailing zeros of the last unit",
         {0, 0, 0, 1, 0x65, 0xAA, 0, 0},
         {0, 0, 0, 4, 0x65, 0xAA, 0, 0}},
        {"a start code ending the buffer",
         {0, 0, 0, 1, 0x65, 0xAA, 0, 0, 1},
         {0, 0, 0, 5, 0x65, 0xAA, 0, 0, 1}},
        {"an empty unit", {0, 0, 1, 0, 0, 1, 0x65}, {0, 0, 0, 0, 0, 0, 0, 1, 0x65}},
        {"no start code", {0x12, 0x34, 0x56}, {}},
        {"nothing", {}, {}},
    };
    for (const Case& c : cases) {
        Bytes bytes = c.annexB;
        h264::ToLengthPrefixed(bytes, h264::StartCodeOffsets(bytes.data(), bytes.size()));
        EXPECT_EQ(bytes, c.expected) << c.what;
    }
}

TEST(LengthPrefixedUnits, AvcRecordOfAHeaderBlock) {
    const Bytes mainSps = {0x67, 77, 0x40, 41, 0xEC, 0xA0};
    const Bytes highSps = {0x67, 100, 0x00, 41, 0xAC, 0xD9};  // id 0, chroma 1, depths 8
    const Bytes pps = {0x68, 0xEE, 0x3C, 0x80};
    const auto block = [&](const Bytes& sps) {
        return h264::ToAnnexB(h264::ParameterSets{{sps}, {pps}});
    };
    Bytes mainBlock = block(mainSps);
    Bytes mainRecord = {1, 77, 0x40, 41, 0xFF, 0xE1, 0, 6};
    mainRecord.insert(mainRecord.end(), mainSps.begin(), mainSps.end());
    mainRecord.insert(mainRecord.end(), {1, 0, 4});
    mainRecord.insert(mainRecord.end(), pps.begin(), pps.end());
    EXPECT_EQ(h264::AvcConfigurationOfAnnexB(mainBlock.data(), mainBlock.size()), mainRecord);

    // The high profiles add chroma format, bit depths and a count of SPS extensions.
    Bytes highBlock = block(highSps);
    const auto high = h264::AvcConfigurationOfAnnexB(highBlock.data(), highBlock.size());
    ASSERT_TRUE(high);
    EXPECT_EQ(Bytes(high->end() - 4, high->end()), (Bytes{0xFD, 0xF8, 0xF8, 0}));

    // Blocks the writer would refuse or store as they are.
    const Bytes spsOnly = h264::ToAnnexB(h264::ParameterSets{{mainSps}, {}});
    const Bytes notAnnexB = {1, 77, 0x40, 41, 0xFF, 0xE1, 0, 6};
    const Bytes cutHigh = block(Bytes(highSps.begin(), highSps.begin() + 4));
    for (const Bytes& refused : {spsOnly, notAnnexB, cutHigh, Bytes{0, 0, 0, 1, 0x67}})
        EXPECT_FALSE(h264::AvcConfigurationOfAnnexB(refused.data(), refused.size()));
}

// Each stream muxed with the writer converting Annex B itself and with the units handed over
// length-prefixed: the files must not differ in a byte.
TEST(LengthPrefixedUnits, Mp4FilesAreTheSameEitherWay) {
    TempFolder folder{"kestrun-length-prefix"};
    const std::string encoded = folder / "encoded.h264";
    struct Stream {
        const char* what;
        std::vector<std::string> x264;
        bool unevenStartCodes;  // three-byte start codes, extra zeros and empty units written in
    };
    const Stream streams[] = {
        {"main profile with B-frames", {"-profile:v", "main", "-bf", "3"}, false},
        {"high profile, two slices", {"-profile:v", "high", "-x264-params", "slices=2"}, false},
        {"baseline, uneven start codes", {"-profile:v", "baseline"}, true},
        {"high 4:4:4", {"-profile:v", "high444", "-pix_fmt", "yuv444p"}, true},
    };
    for (const Stream& stream : streams) {
        EncodeH264(encoded, 160, 96, 20, stream.x264);
        Bytes bytes = ReadBytes(encoded);
        if (stream.unevenStartCodes) {
            // Every other start code after the first loses a zero, every third gains two, and a
            // few follow an empty unit.
            Bytes uneven(bytes.begin(), bytes.begin() + 4);
            const auto codes = h264::StartCodeOffsets(bytes.data(), bytes.size());
            for (size_t i = 1; i <= codes.size(); ++i) {
                const size_t from = codes[i - 1] + 3;
                size_t to = i < codes.size() ? codes[i] : bytes.size();
                if (i < codes.size() && bytes[to - 1] == 0) --to;
                uneven.insert(uneven.end(), bytes.begin() + from, bytes.begin() + to);
                if (i == codes.size()) break;
                if (i % 3 == 0) uneven.insert(uneven.end(), {0, 0});
                if (i % 7 == 1) uneven.insert(uneven.end(), {0, 0, 1});  // an empty unit
                uneven.insert(uneven.end(), {0, 0, 1});
                if (i % 2 == 0) uneven.insert(uneven.end() - 3, 0);
            }
            bytes = uneven;
        }
        const std::string raw = folder / "movie.h264";
        WriteBytes(raw, bytes);
        const Bytes header = h264::TimedFrameReader(raw).HeaderBlock();
        ASSERT_TRUE(h264::AvcConfigurationOfAnnexB(header.data(), header.size())) << stream.what;
        Bytes written[2];
        for (const bool lengthPrefixed : {false, true}) {
            std::vector<std::unique_ptr<standin::PacketSource>> sources;
            sources.push_back(std::make_unique<standin::RawH264Source>(raw, "23.976", std::nullopt,
                                                                       lengthPrefixed));
            const std::string mp4 = folder / (lengthPrefixed ? "prefixed.mp4" : "annexb.mp4");
            standin::WriteMp4(sources, mp4);
            written[lengthPrefixed] = ReadBytes(mp4);
        }
        EXPECT_FALSE(written[0].empty()) << stream.what;
        EXPECT_TRUE(written[0] == written[1]) << stream.what;
    }
}

}  // namespace
}  // namespace kestrun::test
