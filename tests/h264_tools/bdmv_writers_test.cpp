// The Blu-ray navigation files byte by byte, against layouts that libbluray and players accept.
#include <gtest/gtest.h>

#include "tsmuxer/bdmv_clip_info.h"
#include "tsmuxer/bdmv_folder.h"
#include "tsmuxer/bdmv_index.h"
#include "tsmuxer/bdmv_playlist.h"

namespace kestrun::test {
namespace {
using namespace standin::ts;

std::vector<uint8_t> Hex(const std::string& text) {
    std::vector<uint8_t> bytes;
    std::string digits;
    for (char c : text)
        if (std::isxdigit(static_cast<unsigned char>(c))) digits += c;
    for (size_t i = 0; i + 1 < digits.size(); i += 2)
        bytes.push_back(static_cast<uint8_t>(std::stoi(digits.substr(i, 2), nullptr, 16)));
    return bytes;
}

std::vector<uint8_t> Slice(const std::vector<uint8_t>& bytes, size_t from, size_t count) {
    if (from + count > bytes.size()) return {};
    return {bytes.begin() + from, bytes.begin() + from + count};
}

uint32_t U32(const std::vector<uint8_t>& b, size_t at) {
    return (uint32_t{b[at]} << 24) | (b[at + 1] << 16) | (b[at + 2] << 8) | b[at + 3];
}

StreamAttributes Video720p() {
    StreamAttributes v;
    v.pid = 0x1011;
    v.codingType = kCodingH264;
    v.video = true;
    v.videoFormat = 5;
    v.frameRate = 1;
    return v;
}

StreamAttributes StereoAc3() {
    StreamAttributes a;
    a.pid = 0x1100;
    a.codingType = kCodingAc3;
    a.presentation = 3;
    a.samplingFrequency = 1;
    a.language = "eng";
    return a;
}

TEST(BdmvWriters, IndexAndMovieObject) {
    const auto index = IndexBdmv();
    ASSERT_EQ(index.size(), 120u);
    EXPECT_EQ(Slice(index, 0, 16), Hex("494E4458 30323030 0000004E 00000000"));
    EXPECT_EQ(U32(index, 40), 34u);
    EXPECT_EQ(Slice(index, 78, 42),
              Hex("00000026 400000000000000000000000 400000004000FFFF00000000 "
                  "0001 400000000000000000000000"));
    EXPECT_EQ(MovieObjectBdmv(),
              Hex("4D4F424A 30323030 00000000" + std::string(56, '0') +
                  "00000016 00000000 0001 8000 0001 22800000 00000000 00000000"));
}

TEST(BdmvWriters, PlaylistItemStreamsAndMarks) {
    const auto mpls = PlaylistMpls({{"00000", 0xF618, 0x8A49C8}, {"00001", 0x8A49C8, 0x9A0000}},
                                   {Video720p(), StereoAc3()}, {{0, 0xF618}, {1, 0x900000}});
    EXPECT_EQ(Slice(mpls, 0, 8), Hex("4D504C53 30323030"));
    EXPECT_EQ(U32(mpls, 8), 0x3Au);
    const uint32_t marks = U32(mpls, 12);
    // PlayList: length, reserved, 2 items, no sub-paths, then the first item as tested.
    EXPECT_EQ(Slice(mpls, 0x3A + 4, 6), Hex("0000 0002 0000"));
    EXPECT_EQ(Slice(mpls, 0x3A + 10, 82),
              Hex("0050 3030303030 4D325453 0001 00 0000F618 008A49C8 0000000000000000 00 00 "
                  "0000 002E 0000 01 01 00 00 00 00 00 00 00000000 09 01 1011 000000000000 "
                  "05 1B 51 000000 09 01 1100 000000000000 05 81 31 656E67"));
    // The second item joins seamlessly (connection condition 6).
    EXPECT_EQ(Slice(mpls, 0x3A + 10 + 82 + 11, 2), Hex("0006"));
    EXPECT_EQ(U32(mpls, 0x3A), marks - 0x3A - 4);
    EXPECT_EQ(Slice(mpls, marks, 34), Hex("0000001E 0002 00 01 0000 0000F618 FFFF 00000000 "
                                          "00 01 0001 00900000 FFFF 00000000"));
    EXPECT_EQ(mpls.size(), marks + 34u);
}

// Entry points rebuilt from an EP map the way players read it.
std::vector<std::pair<int64_t, uint32_t>> ReadEpMap(const std::vector<uint8_t>& clpi) {
    const uint32_t cpi = U32(clpi, 16);
    const size_t map = cpi + 6;
    const uint64_t counts =
        (uint64_t{clpi[map + 4]} << 40) | (uint64_t{clpi[map + 5]} << 32) | U32(clpi, map + 6);
    const uint32_t coarseCount = (counts >> 18) & 0xFFFF, fineCount = counts & 0x3FFFF;
    const size_t table = map + U32(clpi, map + 10);
    const size_t fine = table + U32(clpi, table);
    std::vector<std::pair<int64_t, uint32_t>> entries;
    for (uint32_t c = 0; c < coarseCount; ++c) {
        const uint32_t head = U32(clpi, table + 4 + 8 * c), spn = U32(clpi, table + 8 + 8 * c);
        const uint32_t first = head >> 14;
        const uint32_t last =
            c + 1 < coarseCount ? U32(clpi, table + 4 + 8 * (c + 1)) >> 14 : fineCount;
        for (uint32_t f = first; f < last; ++f) {
            const uint32_t word = U32(clpi, fine + 4 * f);
            const int64_t pts45k =
                (int64_t{(head & 0x3FFF) & ~1u} << 18) | (int64_t{(word >> 17) & 0x7FF} << 8);
            entries.push_back({pts45k, (spn & ~0x1FFFFu) + (word & 0x1FFFF)});
        }
    }
    return entries;
}

TEST(BdmvWriters, ClipInfoHeaderAndEpMap) {
    ClipFacts clip;
    clip.sourcePackets = 320000;
    clip.firstPts = 90000;
    clip.endPts = 90000 + 200 * 90000;
    // Key frames every 1.001 s, crossing the coarse PTS step (2^19 ticks) and SPN step (2^17).
    for (int k = 0; k < 200; ++k)
        clip.entryPoints.push_back({90000 + k * 90090, static_cast<uint32_t>(3 + k * 1600), 2});
    const auto clpi = ClipInfoClpi(clip, {Video720p(), StereoAc3()}, 0x1011, 0x1011);
    EXPECT_EQ(Slice(clpi, 0, 8), Hex("48444D56 30323030"));
    EXPECT_EQ(U32(clpi, 40), 176u);
    EXPECT_EQ(Slice(clpi, 46, 2), Hex("0101"));
    EXPECT_EQ(U32(clpi, 52), 6000000u);
    EXPECT_EQ(U32(clpi, 56), 320000u);
    const uint32_t sequence = U32(clpi, 8), program = U32(clpi, 12);
    EXPECT_EQ(Slice(clpi, sequence, 22),
              Hex("00000016 00 01 00000000 01 00 1011 00000000 0000AFC8"));
    EXPECT_EQ(U32(clpi, sequence + 22), (90000u + 200 * 90000) / 2);
    EXPECT_EQ(Slice(clpi, program + 4, 10), Hex("00 01 00000000 0100 02 00"));
    EXPECT_EQ(Slice(clpi, program + 14, 6), Hex("1011 15 1B 51 30"));
    EXPECT_EQ(Slice(clpi, program + 14 + 24, 8), Hex("1100 15 81 31 656E67"));

    const auto entries = ReadEpMap(clpi);
    ASSERT_EQ(entries.size(), clip.entryPoints.size());
    for (size_t i = 0; i < entries.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(entries[i].second, clip.entryPoints[i].spn);
        // The lowest 9 bits of the 90 kHz PTS are not stored.
        EXPECT_EQ(entries[i].first, (clip.entryPoints[i].pts >> 9) << 8);
    }
}

// A clip of `seconds` seconds from PTS `first`, with a key frame every two seconds.
ClipFacts ClipOf(int64_t first, int64_t seconds) {
    ClipFacts clip;
    clip.firstPts = first;
    clip.endPts = first + seconds * 90000;
    for (int64_t s = 0; s < seconds; s += 2)
        clip.entryPoints.push_back({first + s * 90000, static_cast<uint32_t>(s * 100), 1});
    return clip;
}

TEST(BdmvWriters, ChaptersOnKeyFramesAcrossClips) {
    const auto clipOf = ClipOf;
    // 150 s then 100 s of one stream; marks every minute on the key frame at or before.
    const auto plan = PlanPlaylist({clipOf(90000, 150), clipOf(90000 + 150 * 90000, 100)}, 1);
    ASSERT_EQ(plan.items.size(), 2u);
    EXPECT_EQ(plan.items[0].outTime, plan.items[1].inTime);
    std::vector<std::pair<int, uint32_t>> marks;
    for (const auto& m : plan.marks) marks.push_back({m.playItem, m.time});
    const uint32_t in0 = 45000, in1 = 45000 + 150 * 45000;
    EXPECT_EQ(marks, (std::vector<std::pair<int, uint32_t>>{{0, in0},
                                                            {0, in0 + 60 * 45000},
                                                            {0, in0 + 120 * 45000},
                                                            {1, in1 + 30 * 45000},
                                                            {1, in1 + 90 * 45000}}));
    EXPECT_EQ(PlanPlaylist({clipOf(90000, 150)}, 0).marks.size(), 1u);
}

TEST(BdmvWriters, ChaptersFromTheSourceOnTheKeyFrameAtOrAfter) {
    using Marks = std::vector<std::pair<int, uint32_t>>;
    const std::vector<ClipFacts> clips = {ClipOf(90000, 9), ClipOf(90000 + 9 * 90000, 10)};
    const uint32_t in0 = 45000, in1 = 45000 + 9 * 45000;
    constexpr int64_t kS = 45000;
    const struct {
        std::vector<int64_t> starts;
        Marks marks;
    } rows[] = {
        // The first chapter is the start, whatever its time; 3 s goes to the key frame at 4 s.
        {{0, 3 * kS, 7 * kS + kS / 2}, {{0, in0}, {0, in0 + 4 * kS}, {0, in0 + 8 * kS}}},
        {{kS / 2, 4 * kS}, {{0, in0}, {0, in0 + 4 * kS}}},
        // After the last key frame of the first clip: the start of the next; then marks in it.
        {{0, 8 * kS + kS / 2, 12 * kS}, {{0, in0}, {1, in1}, {1, in1 + 4 * kS}}},
        // A key frame less than half a second before wins over one (or the next clip) further on.
        {{0, 6 * kS + kS / 4, 8 * kS + kS / 4}, {{0, in0}, {0, in0 + 6 * kS}, {0, in0 + 8 * kS}}},
        // Two chapters on one key frame give one mark; none past the end.
        {{0, 5 * kS, 6 * kS, 30 * kS}, {{0, in0}, {0, in0 + 6 * kS}}},
    };
    for (const auto& row : rows) {
        const auto plan = PlanPlaylist(clips, 5, row.starts);
        Marks marks;
        for (const auto& m : plan.marks) marks.push_back({m.playItem, m.time});
        EXPECT_EQ(marks, row.marks) << row.starts.size() << " starts from " << row.starts[1];
    }
    // A playlist holds at most 999 marks, however many chapters the source has.
    std::vector<int64_t> many;
    for (int64_t s = 0; s < 5000; s += 2) many.push_back(s * kS);
    EXPECT_EQ(PlanPlaylist({ClipOf(90000, 5000)}, 5, many).marks.size(), 999u);
}

TEST(BdmvWriters, KeyPictureSizeClasses) {
    const std::pair<int64_t, int> rows[] = {{0, 1},      {131071, 1},  {131072, 2},
                                            {589823, 4}, {1310719, 6}, {1310720, 7}};
    for (const auto& [bytes, sizeClass] : rows) EXPECT_EQ(KeyPictureSizeClass(bytes), sizeClass);
}

}  // namespace
}  // namespace kestrun::test
