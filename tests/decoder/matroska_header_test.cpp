// Track numbers and the declared size, read from hand-made Matroska headers and from a file
// made by FFmpeg.
#include "media/matroska_header.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <vector>

#include "decoder/media_samples.h"
#include "media/declared_duration.h"
#include "support/temp_folder.h"

namespace kestrun {

void PrintTo(const media::MatroskaTrackEntry& entry, std::ostream* out) {
    *out << "{" << entry.number << ", " << entry.type << ", \"" << entry.codecId << "\"}";
}

namespace {

using Bytes = std::vector<std::uint8_t>;
using test::TempFolder;

Bytes Id(std::uint32_t id) {
    Bytes out;
    for (int shift = 24; shift >= 0; shift -= 8) {
        if (const auto byte = static_cast<std::uint8_t>(id >> shift); byte || !out.empty()) {
            out.push_back(byte);
        }
    }
    return out;
}

// An element with an eight-byte size field (or the "unknown" size).
Bytes Element(std::uint32_t id, const Bytes& body, bool unknownSize = false) {
    Bytes out = Id(id);
    out.push_back(0x01);
    for (int shift = 48; shift >= 0; shift -= 8) {
        out.push_back(unknownSize ? 0xFF : static_cast<std::uint8_t>(body.size() >> shift));
    }
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

Bytes Join(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const auto& part : parts) out.insert(out.end(), part.begin(), part.end());
    return out;
}

Bytes Text(const std::string& text) { return Bytes(text.begin(), text.end()); }

Bytes Entry(std::uint8_t number, std::uint8_t type, const std::string& codec) {
    return Element(
        0xAE, Join({Element(0xD7, {number}), Element(0x83, {type}), Element(0x86, Text(codec))}));
}

const Bytes kEbmlHeader = Element(0x1A45DFA3, Element(0x4282, Text("matroska")));
const Bytes kCluster = Element(0x1F43B675, Bytes(64, 0));

std::string WriteFile(const TempFolder& folder, const Bytes& bytes) {
    const auto path = folder / "header.mkv";
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<long>(bytes.size()));
    return path;
}

TEST(MatroskaHeader, ReadsTrackNumbersInFileOrder) {
    TempFolder folder;
    const Bytes tracks = Element(
        0x1654AE6B,
        Join({Entry(1, 1, "V_MPEG4/ISO/AVC"), Entry(7, 2, "A_AC3"), Entry(3, 2, "A_DTS\0\0")}));
    // Unknown segment size, as a file written live has.
    const auto path =
        WriteFile(folder, Join({kEbmlHeader, Element(0x18538067, Join({tracks, kCluster}), true)}));

    EXPECT_EQ(media::ReadMatroskaTrackEntries(path),
              (std::vector<media::MatroskaTrackEntry>{
                  {1, 1, "V_MPEG4/ISO/AVC"}, {7, 2, "A_AC3"}, {3, 2, "A_DTS"}}));
    EXPECT_FALSE(media::MatroskaDeclaredEnd(path).has_value());
}

TEST(MatroskaHeader, FindsTracksBehindTheClustersThroughTheSeekHead) {
    TempFolder folder;
    const Bytes tracks = Element(0x1654AE6B, Entry(5, 2, "A_VORBIS"));
    Bytes seekHead =
        Element(0x114D9B74,
                Element(0x4DBB, Join({Element(0x53AB, Id(0x1654AE6B)), Element(0x53AC, {0, 0})})));
    // The seek position is relative to the segment's data: after the seek head and a cluster.
    const auto tracksAt = static_cast<std::uint16_t>(seekHead.size() + kCluster.size());
    seekHead[seekHead.size() - 2] = static_cast<std::uint8_t>(tracksAt >> 8);
    seekHead[seekHead.size() - 1] = static_cast<std::uint8_t>(tracksAt);
    const Bytes segment = Element(0x18538067, Join({seekHead, kCluster, tracks}));
    const auto path = WriteFile(folder, Join({kEbmlHeader, segment}));

    EXPECT_EQ(media::ReadMatroskaTrackEntries(path),
              (std::vector<media::MatroskaTrackEntry>{{5, 2, "A_VORBIS"}}));
    EXPECT_EQ(media::MatroskaDeclaredEnd(path), kEbmlHeader.size() + segment.size());
}

TEST(MatroskaHeader, OtherAndDamagedFilesGiveNothing) {
    TempFolder folder;
    EXPECT_TRUE(media::ReadMatroskaTrackEntries(folder / "missing.mkv").empty());
    EXPECT_TRUE(media::ReadMatroskaTrackEntries(folder.Write("a.txt", "RIFF....WAVEfmt ")).empty());
    EXPECT_FALSE(media::MatroskaDeclaredEnd(folder / "a.txt").has_value());

    // Tracks whose declared size runs past the end of the file.
    Bytes cut =
        Join({kEbmlHeader, Element(0x18538067, Element(0x1654AE6B, Entry(2, 2, "A_AAC")), true)});
    cut.resize(cut.size() - 5);
    EXPECT_TRUE(media::ReadMatroskaTrackEntries(WriteFile(folder, cut)).empty());
}

TEST(MatroskaHeader, AudioOrdinalCountsOnlyTracksTheDemuxerMakesAudio) {
    const std::vector<media::MatroskaTrackEntry> entries{
        {1, 1, "V_MS/VFW/FOURCC"},
        {2, 2, "V_BROKEN"},  // skipped by the demuxer
        {9, 2, "A_AC3"},
        {4, 17, "S_TEXT/UTF8"},
        {3, 2, "A_AAC"}};
    EXPECT_EQ(media::DemuxedAudioOrdinal(entries, 9), 0);
    EXPECT_EQ(media::DemuxedAudioOrdinal(entries, 3), 1);
    EXPECT_FALSE(media::DemuxedAudioOrdinal(entries, 2).has_value());
    EXPECT_FALSE(media::DemuxedAudioOrdinal(entries, 1).has_value());
    EXPECT_EQ(media::CountDemuxedAudioTracks(entries), 2);
}

TEST(MatroskaHeader, TrackDurationTagsAreClockTimes) {
    EXPECT_DOUBLE_EQ(*media::ParseClockDuration("00:00:03.008000000"), 3.008);
    EXPECT_DOUBLE_EQ(*media::ParseClockDuration("01:02:03.5"), 3723.5);
    EXPECT_DOUBLE_EQ(*media::ParseClockDuration("100:00:00"), 360000.0);
    for (const char* bad : {"", "3.008", "00:03.008", "00:61:00", "00:00:1x", "00:00:01.",
                            "-1:00:00", "00:00:01.1234567890"}) {
        EXPECT_FALSE(media::ParseClockDuration(bad).has_value()) << bad;
    }
}

TEST(MatroskaHeader, ReadsAFileMadeByFfmpeg) {
    TempFolder folder;
    const auto path = folder / "made.mkv";
    test::MakeSample(
        "-f lavfi -i testsrc=size=64x48:rate=25:duration=1 -f lavfi -i sine=duration=1 "
        "-map 0 -map 1 -map 1 -c:v mpeg4 -c:a:0 ac3 -c:a:1 libvorbis",
        path);
    test::RenumberMatroskaTracks(path, {{3, 12}});
    EXPECT_EQ(media::ReadMatroskaTrackEntries(path),
              (std::vector<media::MatroskaTrackEntry>{
                  {1, 1, "V_MPEG4/ISO/ASP"}, {2, 2, "A_AC3"}, {12, 2, "A_VORBIS"}}));
    EXPECT_EQ(media::MatroskaDeclaredEnd(path), std::filesystem::file_size(path));
}

}  // namespace
}  // namespace kestrun
