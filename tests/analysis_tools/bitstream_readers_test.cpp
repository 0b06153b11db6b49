// The shared readers of the stand-ins on hand-made bytes: JSON, bits, AVI RIFF, MPEG-4 VOL.
#include <gtest/gtest.h>

#include <cstring>
#include <nlohmann/json.hpp>

#include "common/json_fields.h"
#include "common/lib_names.h"
#include "media/avi_riff.h"
#include "media/bit_reader.h"
#include "media/mpeg4_vol.h"

namespace {

using standin::AviChunkWalker;
using standin::BufferSource;

TEST(JsonFields, WholeNumbersStayExactAndEachReadingTakesOnlyItsOwnType) {
    using namespace standin;
    const Json root = Json::parse(
        R"({"uid": 15682656460877432637, "n": -3, "f": 48000.5, "s": "x", "b": true, "l": [1, 2]})");
    EXPECT_EQ(UInt64Of(Member(root, "uid")), 15682656460877432637ull);
    EXPECT_EQ(TextOf(Member(root, "uid")), "15682656460877432637");
    EXPECT_FALSE(Int64Of(Member(root, "uid")));
    EXPECT_EQ(Int64Of(Member(root, "n")), -3);
    EXPECT_EQ(TextOf(Member(root, "n")), "-3");
    EXPECT_FALSE(UInt64Of(Member(root, "n")));
    EXPECT_FALSE(Int64Of(Member(root, "f")));
    EXPECT_EQ(DoubleOf(Member(root, "f")), 48000.5);
    EXPECT_FALSE(StringOf(Member(root, "b")));
    EXPECT_EQ(BoolOf(Member(root, "b")), true);
    EXPECT_FALSE(BoolOf(Member(root, "s")));
    EXPECT_EQ(ItemsOf(Member(root, "l")).size(), 2u);
    EXPECT_TRUE(ItemsOf(Member(root, "s")).empty());
    EXPECT_EQ(Member(root, "missing"), nullptr);
    EXPECT_EQ(Member(Member(root, "s"), "x"), nullptr);
    EXPECT_EQ(Member(Member(root, "missing"), "x"), nullptr);
}

TEST(BitReader, ReadsExpGolombCodesAndRefusesToReadPastTheEnd) {
    const uint8_t bytes[] = {0b10100110, 0b01000000};
    standin::BitReader bits(bytes, sizeof bytes);
    EXPECT_EQ(bits.ReadBits(1), 1u);
    EXPECT_EQ(bits.ReadUE(), 1u);  // 010
    EXPECT_EQ(bits.ReadUE(), 2u);  // 011
    EXPECT_EQ(bits.ReadSE(), 2);   // 00100 = 3 -> +2
    EXPECT_EQ(bits.BitsLeft(), 4u);
    EXPECT_THROW(bits.ReadBits(5), std::out_of_range);
    EXPECT_EQ(bits.BitsLeft(), 4u);
    const uint8_t zeros[] = {0, 0, 0, 0, 0};
    standin::BitReader endless(zeros, sizeof zeros);
    EXPECT_THROW(endless.ReadUE(), std::out_of_range);
}

// RIFF builder for the walker tests.
struct Riff {
    std::vector<uint8_t> bytes;
    void Id(const char* id) { bytes.insert(bytes.end(), id, id + 4); }
    void Le32(uint32_t v) {
        for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<uint8_t>(v >> (8 * i)));
    }
    void Chunk(const char* id, const std::vector<uint8_t>& data) {
        Id(id);
        Le32(static_cast<uint32_t>(data.size()));
        bytes.insert(bytes.end(), data.begin(), data.end());
        if (data.size() & 1) bytes.push_back(0);
    }
    size_t OpenList(const char* id, const char* form) {
        Id(id);
        const size_t at = bytes.size();
        Le32(0);
        Id(form);
        return at;
    }
    void CloseList(size_t at) {
        const uint32_t size = static_cast<uint32_t>(bytes.size() - at - 4);
        std::memcpy(bytes.data() + at, &size, 4);
    }
};

std::vector<uint8_t> StreamList(const char* type, const char* handler, const char* compression) {
    Riff list;
    std::vector<uint8_t> strh(56, 0);
    std::memcpy(strh.data(), type, 4);
    std::memcpy(strh.data() + 4, handler, 4);
    std::vector<uint8_t> strf(40, 0);
    std::memcpy(strf.data() + 16, compression, 4);
    list.Chunk("strh", strh);
    list.Chunk("strf", strf);
    return list.bytes;
}

// An AVI with an audio stream first, odd-sized chunks, a 'rec ' group and an AVIX part.
std::vector<uint8_t> SampleAvi(bool unfinishedRiffSize) {
    Riff avi;
    const size_t riff = avi.OpenList("RIFF", "AVI ");
    const size_t hdrl = avi.OpenList("LIST", "hdrl");
    avi.Chunk("avih", std::vector<uint8_t>(56, 0));
    size_t strl = avi.OpenList("LIST", "strl");
    const std::vector<uint8_t> audio = StreamList("auds", "\0\0\0\0", "\0\0\0\0");
    avi.bytes.insert(avi.bytes.end(), audio.begin(), audio.end());
    avi.CloseList(strl);
    strl = avi.OpenList("LIST", "strl");
    const std::vector<uint8_t> video = StreamList("vids", "XVID", "XVID");
    avi.bytes.insert(avi.bytes.end(), video.begin(), video.end());
    avi.CloseList(strl);
    avi.CloseList(hdrl);
    const size_t movi = avi.OpenList("LIST", "movi");
    avi.Chunk("00wb", {1, 2, 3});
    const size_t rec = avi.OpenList("LIST", "rec ");
    avi.Chunk("01dc", {9});
    avi.CloseList(rec);
    avi.Chunk("01dc", {4, 5});
    avi.CloseList(movi);
    avi.Chunk("idx1", {});
    avi.CloseList(riff);
    if (unfinishedRiffSize) std::memset(avi.bytes.data() + riff, 0, 4);
    const size_t avix = avi.OpenList("RIFF", "AVIX");
    const size_t movi2 = avi.OpenList("LIST", "movi");
    avi.Chunk("01dc", {6, 7, 8});
    avi.CloseList(movi2);
    avi.CloseList(avix);
    return avi.bytes;
}

TEST(AviRiff, FindsTheVideoStreamAndWalksEveryMoviPart) {
    BufferSource source(SampleAvi(false));
    const standin::AviHeaders headers = standin::ReadAviHeaders(source);
    ASSERT_EQ(headers.streams.size(), 2u);
    ASSERT_EQ(headers.videoStream, 1u);
    EXPECT_EQ(headers.streams[1].handler, "XVID");
    EXPECT_EQ(headers.streams[1].compression, "XVID");

    AviChunkWalker walker(source);
    std::vector<std::pair<std::string, uint32_t>> seen;
    while (auto chunk = walker.Next()) {
        if (standin::IsVideoChunkOf(*chunk, 1)) seen.emplace_back(chunk->id, chunk->size);
    }
    const std::vector<std::pair<std::string, uint32_t>> expected = {
        {"01dc", 1}, {"01dc", 2}, {"01dc", 3}};
    EXPECT_EQ(seen, expected);
}

TEST(AviRiff, UnfinishedAndTruncatedFilesEndTheWalkCleanly) {
    std::vector<uint8_t> bytes = SampleAvi(true);
    {
        BufferSource source(bytes);
        AviChunkWalker walker(source);
        int video = 0;
        while (auto chunk = walker.Next()) video += standin::IsVideoChunkOf(*chunk, 1);
        EXPECT_GE(video, 2);
    }
    for (size_t cut = 0; cut < bytes.size(); cut += 7) {
        BufferSource source(std::vector<uint8_t>(bytes.begin(), bytes.begin() + cut));
        try {
            standin::ReadAviHeaders(source);
        } catch (const standin::AviError&) {
        }
        AviChunkWalker walker(source);
        int guard = 0;
        while (walker.Next() && ++guard < 100) {
        }
        EXPECT_LT(guard, 100);
    }
}

// VOL of an Xvid qpel encode: verid 2, rectangular 176x144, quarter_sample 1.
std::vector<uint8_t> XvidQpelVol() {
    // Written field by field (see the table in ISO/IEC 14496-2 6.2.3).
    std::vector<int> bits;
    auto put = [&](uint32_t value, int n) {
        for (int i = n - 1; i >= 0; --i) bits.push_back((value >> i) & 1);
    };
    put(0, 1);     // random_accessible_vol
    put(17, 8);    // Advanced Simple
    put(1, 1);     // is_object_layer_identifier
    put(2, 4);     // verid
    put(1, 3);     // priority
    put(1, 4);     // square pixels
    put(0, 1);     // vol_control_parameters
    put(0, 2);     // rectangular
    put(1, 1);     // marker
    put(25, 16);   // vop_time_increment_resolution
    put(1, 1);     // marker
    put(1, 1);     // fixed_vop_rate
    put(1, 5);     // fixed_vop_time_increment (5 bits for 25)
    put(1, 1);     // marker
    put(176, 13);  // width
    put(1, 1);     // marker
    put(144, 13);  // height
    put(1, 1);     // marker
    put(0, 1);     // interlaced
    put(1, 1);     // obmc_disable
    put(0, 2);     // sprite_enable
    put(0, 1);     // not_8_bit
    put(0, 1);     // quant_type
    put(1, 1);     // quarter_sample
    put(1, 1);     // complexity_estimation_disable
    std::vector<uint8_t> bytes((bits.size() + 7) / 8, 0);
    for (size_t i = 0; i < bits.size(); ++i)
        if (bits[i]) bytes[i / 8] |= static_cast<uint8_t>(0x80 >> (i % 8));
    return bytes;
}

TEST(Mpeg4Vol, ReadsTheFieldsUpToQuarterSample) {
    const std::vector<uint8_t> vol = XvidQpelVol();
    const standin::mpeg4::VolHeader header = standin::mpeg4::ParseVolHeader(vol.data(), vol.size());
    EXPECT_EQ(header.verid, 2);
    EXPECT_EQ(header.width, 176);
    EXPECT_EQ(header.height, 144);
    EXPECT_EQ(header.timeIncrementBits, 5);
    EXPECT_EQ(header.sprite, standin::mpeg4::SpriteMode::None);
    EXPECT_TRUE(header.quarterSample);
}

TEST(Mpeg4Vol, CutHeadersThrowAndTimeBitsFollowTheResolution) {
    const std::vector<uint8_t> vol = XvidQpelVol();
    for (size_t size = 0; size + 1 < vol.size(); ++size)
        EXPECT_THROW(standin::mpeg4::ParseVolHeader(vol.data(), size), std::out_of_range) << size;
    EXPECT_EQ(standin::mpeg4::TimeIncrementBits(1), 1);
    EXPECT_EQ(standin::mpeg4::TimeIncrementBits(2), 1);
    EXPECT_EQ(standin::mpeg4::TimeIncrementBits(25), 5);
    EXPECT_EQ(standin::mpeg4::TimeIncrementBits(30000), 15);
    EXPECT_EQ(standin::mpeg4::TimeIncrementBits(65535), 16);
}

}  // namespace
