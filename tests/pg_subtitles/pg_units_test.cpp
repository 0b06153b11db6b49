// The pieces of the subtitle path without a film: SRT reading, run-length coding, the display
// sets' bytes, and libass drawing on a video-sized canvas.
#include <gtest/gtest.h>

#include "support/temp_folder.h"
#include "tsmuxer/pg_canvas_fit.h"
#include "tsmuxer/pg_copy.h"
#include "tsmuxer/pg_segments.h"
#include "tsmuxer/pg_stream.h"
#include "tsmuxer/subtitle_cues.h"
#include "tsmuxer/subtitle_renderer.h"
#include "tsmuxer/vobsub_source.h"

namespace kestrun::test {
namespace {
using namespace standin::ts;
using Bytes = std::vector<uint8_t>;

TEST(SrtReader, CuesAsFilesHoldThem) {
    const auto cues = ParseSrt(
        "\xEF\xBB\xBF"
        "1\r\n00:00:01,000 --> 00:00:02,500\r\nFirst <i>line</i>\r\nsecond line\r\n\r\n"
        "2\n00:01:02.5 --> 00:01:03,000 X1:10 X2:20\n<font color=\"red\">Caf\xC3\xA9</font>\n\n\n"
        "00:00:00,100 --> 00:00:00,200\nno number\n",
        "a.srt");
    ASSERT_EQ(cues.size(), 3u);
    EXPECT_EQ(cues[0].startMs, 100);  // sorted by start
    EXPECT_EQ(cues[1].startMs, 1000);
    EXPECT_EQ(cues[1].endMs, 2500);
    EXPECT_EQ(cues[1].text, "First {\\i1}line{\\i0}\nsecond line");
    EXPECT_EQ(cues[2].startMs, 62500);
    EXPECT_EQ(cues[2].text, "Caf\xC3\xA9");
    // Windows-1252 when the file is no UTF-8.
    EXPECT_EQ(ParseSrt("1\n00:00:01,000 --> 00:00:02,000\nd\xE9j\xE0 \x80\n", "b.srt")[0].text,
              "d\xC3\xA9j\xC3\xA0 \xE2\x82\xAC");
}

TEST(SrtReader, RefusalNamesTheLine) {
    const std::pair<const char*, const char*> rows[] = {
        {"1\n00:00:01,000 -> 00:00:02,000\nx\n", "b.srt line 2:"},
        {"1\n00:00:01,000 --> 00:00:02,000\nx\n\nhello\n", "b.srt line 5:"},
        {"1\n00:00:03,000 --> 00:00:02,000\nx\n", "b.srt line 2: the cue ends before"},
        {"\n\n7\n", "b.srt line 3:"},
        {"1\n11111111111111111111:00:01,000 --> 00:00:02,000\nx\n", "b.srt line 2:"},
    };
    for (const auto& [text, expected] : rows) {
        try {
            ParseSrt(text, "b.srt");
            ADD_FAILURE() << "accepted: " << text;
        } catch (const std::invalid_argument& e) {
            EXPECT_NE(std::string(e.what()).find(expected), std::string::npos) << e.what();
        }
    }
}

TEST(SrtReader, ControlBytesAreDropped) {
    const std::string timing = "1\n00:00:01,000 --> 00:00:02,000\n";
    const std::pair<std::string, std::string> rows[] = {
        {"a\x01"
         "b",
         "ab"},
        {"x\x01/", "x/"},
        {"\x01i\x02<i>y</i>\x01", "i{\\i1}y{\\i0}"},
        {"t\tu\x7F\x1B[0m", "t\tu[0m"},
        {std::string("n\0ul", 4), "nul"},
    };
    for (const auto& [body, expected] : rows) {
        const auto cues = ParseSrt(timing + body + "\n", "c.srt");
        ASSERT_EQ(cues.size(), 1u) << body;
        EXPECT_EQ(cues[0].text, expected) << body;
        EXPECT_EQ(TextTrackCueText(body, false), expected) << body;
    }
    EXPECT_EQ(TextTrackCueText("0,0,Default,,0,0,0,,a\x01\x02{\\i1}b", true), "ab");
}

TEST(SrtReader, OverlongLinesRefusedWithTheirNumber) {
    const std::string timing = "1\n00:00:01,000 --> 00:00:02,000";
    const std::pair<std::string, std::string> rows[] = {
        {timing + std::string(300000, ' ') + "x\ny\n", "d.srt line 2: expected a time line"},
        {timing + "\n<font " + std::string(300000, 'a') + "\n", "d.srt line 3: a cue of 300006"},
    };
    for (const auto& [text, expected] : rows) {
        try {
            ParseSrt(text, "d.srt");
            ADD_FAILURE() << "accepted: " << expected;
        } catch (const std::invalid_argument& e) {
            EXPECT_NE(std::string(e.what()).find(expected), std::string::npos) << e.what();
        }
    }
    EXPECT_THROW(TextTrackCueText(std::string(kMaxCueTextBytes + 1, 'a'), false),
                 std::length_error);
}

TEST(SrtReader, AssTextReducedToText) {
    EXPECT_EQ(PlainAssText("{\\pos(10,10)\\c&H00FF00&}Hi\\Nthere\\hyou{\\i1}!"), "Hi\nthere you!");
}

TEST(PgRunLength, EveryRunForm) {
    struct Row {
        std::vector<uint8_t> pixels;
        Bytes expected;
    };
    const Row rows[] = {
        {{5}, {5, 0, 0}},
        {{5, 5}, {5, 5, 0, 0}},
        {{5, 5, 5}, {0, 0x83, 5, 0, 0}},
        {{0, 0}, {0, 2, 0, 0}},
        {std::vector<uint8_t>(70, 0), {0, 0x40, 70, 0, 0}},
        {std::vector<uint8_t>(300, 9), {0, 0xC1, 0x2C, 9, 0, 0}},
        {{0, 7, 7, 0}, {0, 1, 7, 7, 0, 1, 0, 0}},
    };
    for (const Row& row : rows) {
        PgPicture picture;
        picture.width = static_cast<int>(row.pixels.size());
        picture.height = 1;
        picture.pixels = row.pixels;
        EXPECT_EQ(PgRunLength(picture), row.expected) << picture.width;
    }
    PgPicture twoRows{0, 0, 2, 2, {1, 1, 0, 0}};
    EXPECT_EQ(PgRunLength(twoRows), (Bytes{1, 1, 0, 0, 0, 2, 0, 0}));
}

TEST(PgDisplaySets, ShowAndClearBytes) {
    PgComposition c{1920, 1080, 1, 7};
    PgPicture picture{100, 900, 2, 1, {1, 1}};
    const auto show = PgShowSet(c, picture, {{0, 16, 128, 128, 0}, {1, 235, 128, 128, 255}});
    ASSERT_EQ(show.size(), 5u);
    EXPECT_EQ(show[0].Bytes(), (Bytes{0x16, 0, 19, 0x07, 0x80, 0x04, 0x38, 0x10, 0,   7,    0x80,
                                      0,    0, 1,  0,    0,    0,    0,    0,    100, 0x03, 0x84}));
    EXPECT_EQ(show[1].Bytes(), (Bytes{0x17, 0, 10, 1, 0, 0, 100, 0x03, 0x84, 0, 2, 0, 1}));
    EXPECT_EQ(show[2].Bytes(),
              (Bytes{0x14, 0, 12, 0, 0, 0, 16, 128, 128, 0, 1, 235, 128, 128, 255}));
    EXPECT_EQ(show[3].Bytes(),
              (Bytes{0x15, 0, 15, 0, 0, 0, 0xC0, 0, 0, 8, 0, 2, 0, 1, 1, 1, 0, 0}));
    EXPECT_EQ(show[4].Bytes(), (Bytes{0x80, 0, 0}));
    const auto clear = PgClearSet(c, picture);
    ASSERT_EQ(clear.size(), 3u);
    EXPECT_EQ(clear[0].payload.size(), 11u);
    EXPECT_EQ(clear[0].payload[7], 0x00);   // normal state
    EXPECT_EQ(clear[0].payload[10], 0x00);  // no object
    EXPECT_EQ(clear[1].type, kPgWindow);
}

TEST(PgDisplaySets, LargeObjectInFragments) {
    // Alternating colours cannot be run-length coded: 2 bytes per pixel pair, 160 000 bytes.
    PgPicture picture{0, 0, 1000, 160, {}};
    for (int i = 0; i < picture.width * picture.height; ++i)
        picture.pixels.push_back(static_cast<uint8_t>(1 + (i + i / picture.width) % 2));
    const Bytes rle = PgRunLength(picture);
    const auto set = PgShowSet({1920, 1080, 1, 0}, picture, {});
    std::vector<const PgSegment*> objects;
    for (const auto& s : set)
        if (s.type == kPgObject) objects.push_back(&s);
    ASSERT_EQ(objects.size(), 3u);
    Bytes joined;
    for (size_t i = 0; i < objects.size(); ++i) {
        const Bytes& p = objects[i]->payload;
        EXPECT_LE(p.size(), kPgMaxSegmentPayload);
        const uint8_t flags = (i == 0 ? 0x80 : 0) | (i + 1 == objects.size() ? 0x40 : 0);
        EXPECT_EQ(p[3], flags) << i;
        const size_t head = i == 0 ? 11 : 4;
        if (i == 0) {
            EXPECT_EQ((p[4] << 16) | (p[5] << 8) | p[6], static_cast<int>(rle.size() + 4));
        }
        joined.insert(joined.end(), p.begin() + head, p.end());
    }
    EXPECT_EQ(joined, rle);
}

SubtitleStyle Style(int width, int height) {
    SubtitleStyle s;
    s.videoWidth = width;
    s.videoHeight = height;
    return s;
}

TEST(SubtitleRendering, CentredAtTheBottomOffset) {
    SubtitleStyle style = Style(1920, 800);
    style.bottomOffset = 180;
    SubtitleRenderer renderer(style, {{1000, 2000, "\xC3\x89t\xC3\xA9 \xC3\xA0 Paris"},
                                      {3000, 4000, "\xC3\x89t\xC3\xA9 \xC3\xA0 Paris\nsecond line"},
                                      {5000, 7000, "first"},
                                      {6000, 7000, "overlapping"}});
    EXPECT_TRUE(renderer.Render(500).Empty());
    const RgbaPicture one = renderer.Render(1500);
    ASSERT_FALSE(one.Empty());
    EXPECT_NEAR(one.x + one.width / 2.0, 960, 2);
    // The line's box, descent included, ends at the offset: letters without descenders end a
    // little above it.
    EXPECT_NEAR(one.y + one.height, 800 - 180 - 6, 6);
    EXPECT_GT(one.height, 30);
    EXPECT_EQ(one.width % 2, 0);
    EXPECT_EQ(one.height % 2, 0);
    const RgbaPicture two = renderer.Render(3500);
    EXPECT_GT(two.height, one.height * 17 / 10);  // two lines
    EXPECT_NEAR(two.y + two.height, 800 - 180 - 6, 6);
    EXPECT_GT(renderer.Render(6500).height, renderer.Render(5500).height * 17 / 10);  // stacked

    const IndexedPicture indexed = ToPalette(one, true);
    ASSERT_LE(indexed.palette.size(), 256u);
    EXPECT_EQ(indexed.palette[0].alpha, 0);
    bool white = false;
    for (const auto& e : indexed.palette) white = white || (e.y == 235 && e.alpha == 255);
    EXPECT_TRUE(white);
}

TEST(SubtitleRendering, MissingFontFallsBackAndSizeCounts) {
    SubtitleStyle small = Style(1280, 720), large = Style(1280, 720), missing = Style(1280, 720);
    large.fontSize = 84;
    missing.fontName = "No Such Font At All";
    const std::vector<SubtitleCue> cue{{0, 1000, "Hello"}};
    const int smallHeight = SubtitleRenderer(small, cue).Render(10).height;
    EXPECT_GT(SubtitleRenderer(large, cue).Render(10).height, smallHeight * 17 / 10);
    EXPECT_NEAR(SubtitleRenderer(missing, cue).Render(10).height, smallHeight, 6);
}

TEST(SubtitleLine, StyleFromTheMetaLine) {
    const MetaFile meta = ParseMetaFile(
        "S_TEXT/UTF8, \"/f.srt\" ,font-name=\"Arial\",font-size=42,font-color=0x00FFFF00,"
        "font-charset=1,bottom-offset=171.5,font-border=2,text-align=center,video-width=1920,"
        "video-height=817, , fps=25\r\n");
    const SubtitleStyle s = StyleOfLine(meta.tracks[0]);
    EXPECT_EQ(s.fontName, "Arial");
    EXPECT_EQ(s.colour, 0x00FFFF00u);
    EXPECT_EQ(s.border, 2);
    EXPECT_DOUBLE_EQ(s.bottomOffset, 171.5);
    EXPECT_EQ(s.videoHeight, 817);
    EXPECT_EQ(PgFrameRateCode("25"), 3);
    EXPECT_EQ(PgFrameRateCode("29.970"), 4);
    const MetaFile bad = ParseMetaFile("S_TEXT/UTF8, \"/f.srt\", video-width=1920, fps=25\r\n");
    EXPECT_THROW(StyleOfLine(bad.tracks[0]), std::runtime_error);
}

// One display set per change of what is on screen: PCS times and states in 90 kHz ticks.
TEST(PgSubtitleStream, DisplaySetsFollowTheChanges) {
    TempFolder folder("kestrun-pg-sets");
    const std::string srt = folder.Write(
        "cues.srt",
        "1\n00:00:01,000 --> 00:00:02,000\na\n\n2\n00:00:02,010 --> 00:00:03,000\nb\n\n"
        "3\n00:00:05,000 --> 00:00:06,000\nc\n\n4\n00:00:05,500 --> 00:00:06,000\nd\n");
    const MetaFile meta = ParseMetaFile("S_TEXT/UTF8, \"" + srt +
                                        "\", video-width=640, video-height=360, fps=25, lang=fre");
    PgSubtitleSource source(meta.tracks[0]);
    AVPacket* packet = av_packet_alloc();
    std::vector<std::pair<int64_t, int>> compositions;  // PTS, number of objects
    int lastHeight = 0, mergedHeight = 0;
    while (source.Next(*packet)) {
        if (packet->data[0] == kPgComposition)
            compositions.push_back({packet->pts, packet->data[13]});
        if (packet->data[0] == kPgWindow) {
            lastHeight = (packet->data[8] << 8) | packet->data[9];
            if (packet->pts == 5500 * 90) mergedHeight = lastHeight;
        }
    }
    av_packet_free(&packet);
    const std::vector<std::pair<int64_t, int>> expected = {
        {90000, 1}, {2010 * 90, 1}, {270000, 0}, {450000, 1}, {5500 * 90, 1}, {540000, 0}};
    EXPECT_EQ(compositions, expected);
    EXPECT_GT(mergedHeight, 50);  // "c" and "d" stacked in one object
}

}  // namespace
}  // namespace kestrun::test

namespace kestrun::test {
namespace {
using namespace standin::ts;
using Bytes = std::vector<uint8_t>;

TEST(PgsBlocks, SplitIntoSegmentsOrRefused) {
    struct Row {
        Bytes block;
        std::vector<std::pair<uint8_t, size_t>> segments;  // type, payload size
        const char* refusal;
    };
    const Row rows[] = {
        {{}, {}, nullptr},
        {{0x16, 0, 2, 7, 7, 0x80, 0, 0}, {{0x16, 2}, {0x80, 0}}, nullptr},
        {{0x16, 0, 3, 7, 7}, {}, "a PG segment of 3 bytes at byte 0 runs past the end"},
        {{0x80, 0, 0, 0x16}, {}, "header cut short at byte 3 of a 4-byte block"},
        {{0x80, 0, 0, 0x15, 0xFF, 0xFF}, {}, "a PG segment of 65535 bytes at byte 3"},
    };
    for (const Row& row : rows) {
        try {
            const auto segments = SplitPgSegments(row.block.data(), row.block.size());
            EXPECT_EQ(row.refusal, nullptr) << "accepted";
            ASSERT_EQ(segments.size(), row.segments.size());
            Bytes joined;
            for (size_t i = 0; i < segments.size(); ++i) {
                EXPECT_EQ(segments[i].type, row.segments[i].first);
                EXPECT_EQ(segments[i].payload.size(), row.segments[i].second);
                const Bytes bytes = segments[i].Bytes();
                joined.insert(joined.end(), bytes.begin(), bytes.end());
            }
            EXPECT_EQ(joined, row.block);  // as they were
        } catch (const std::invalid_argument& e) {
            ASSERT_NE(row.refusal, nullptr) << e.what();
            EXPECT_NE(std::string(e.what()).find(row.refusal), std::string::npos) << e.what();
        }
    }
}

// A decoded DVD subpicture: one bitmap at (x, y) with a palette of ARGB colours.
struct Subpicture {
    AVSubtitleRect rect{};
    AVSubtitleRect* rects[1] = {&rect};
    AVSubtitle subtitle{};
    Bytes indexes;
    std::vector<uint32_t> palette;

    Subpicture(int x, int y, int w, int h, Bytes pixels, std::vector<uint32_t> colours)
        : indexes(std::move(pixels)), palette(std::move(colours)) {
        rect.type = SUBTITLE_BITMAP;
        rect.x = x;
        rect.y = y;
        rect.w = w;
        rect.h = h;
        rect.nb_colors = static_cast<int>(palette.size());
        rect.data[0] = indexes.data();
        rect.linesize[0] = w;
        rect.data[1] = reinterpret_cast<uint8_t*>(palette.data());
        subtitle.num_rects = 1;
        subtitle.rects = rects;
    }
};

// Four 4x4 blocks side by side: opaque red, transparent black, half-transparent white, an index
// beyond the palette.
Subpicture Blocks(int x, int y) {
    constexpr uint8_t kIndexes[] = {1, 0, 2, 9};
    Bytes pixels;
    for (int row = 0; row < 4; ++row)
        for (int i = 0; i < 16; ++i) pixels.push_back(kIndexes[i / 4]);
    return Subpicture(x, y, 16, 4, pixels, {0x00000000, 0xFFFF0000, 0x80FFFFFF});
}

TEST(VobSubPictures, PlacedScaledAndColoured) {
    struct Row {
        int x, y, dvdW, dvdH, videoW, videoH;
        int left, top, width, height;  // the red and white blocks where the video shows them
        int tolerance;
    };
    const Row rows[] = {
        {100, 200, 720, 480, 720, 480, 100, 200, 12, 4, 0},
        {100, 200, 720, 480, 1440, 960, 200, 400, 24, 8, 1},
        {300, 300, 720, 576, 1920, 1080, 800, 562, 32, 8, 3},
        {100, 200, 720, 480, 360, 240, 50, 100, 6, 2, 1},
        {-6, 478, 720, 480, 720, 480, 2, 478, 4, 2, 0},  // cut at the frame's edges
    };
    for (const Row& row : rows) {
        Subpicture sub = Blocks(row.x, row.y);
        const RgbaPicture picture =
            ScaledSubpicture(sub.subtitle, row.dvdW, row.dvdH, row.videoW, row.videoH);
        ASSERT_FALSE(picture.Empty()) << row.videoW;
        EXPECT_NEAR(picture.x, row.left, row.tolerance) << row.videoW;
        EXPECT_NEAR(picture.y, row.top, row.tolerance) << row.videoW;
        EXPECT_NEAR(picture.width, row.width, row.tolerance + 1) << row.videoW;
        EXPECT_NEAR(picture.height, row.height, row.tolerance + 1) << row.videoW;
        EXPECT_EQ(picture.width % 2, 0);
        EXPECT_EQ(picture.height % 2, 0);
    }
    // Same size: every pixel as the DVD palette gives it, straight alpha.
    Subpicture sub = Blocks(100, 200);
    const RgbaPicture same = ScaledSubpicture(sub.subtitle, 720, 480, 720, 480);
    ASSERT_EQ(same.width, 12);
    const auto pixel = [&](int x, int y) {
        const uint8_t* p = &same.rgba[(size_t(y) * same.width + x) * 4];
        return std::vector<int>{p[0], p[1], p[2], p[3]};
    };
    EXPECT_EQ(pixel(0, 0), (std::vector<int>{255, 0, 0, 255}));
    EXPECT_EQ(pixel(5, 1)[3], 0);
    EXPECT_EQ(pixel(11, 3), (std::vector<int>{255, 255, 255, 128}));
    // Doubled: the blocks' insides keep their colours; the transparent block stays transparent.
    const RgbaPicture twice = ScaledSubpicture(sub.subtitle, 720, 480, 1440, 960);
    const IndexedPicture indexed = ToPalette(twice, true);
    const auto entry = [&](int videoX, int videoY) {
        const int x = videoX - indexed.picture.x, y = videoY - indexed.picture.y;
        if (x < 0 || y < 0 || x >= indexed.picture.width || y >= indexed.picture.height)
            return PgPaletteEntry{};
        return indexed.palette[indexed.picture.pixels[size_t(y) * indexed.picture.width + x]];
    };
    const PgPaletteEntry red = entry(204, 404), white = entry(220, 404);
    EXPECT_EQ(red.alpha, 255);
    EXPECT_NEAR(red.y, 63, 2);  // BT.709, limited range
    EXPECT_NEAR(red.cr, 240, 2);
    EXPECT_NEAR(white.alpha, 128, 10);
    EXPECT_NEAR(white.y, 235, 2);
    EXPECT_EQ(entry(212, 404).alpha, 0);  // the transparent block
    EXPECT_EQ(entry(228, 404).alpha, 0);  // an index beyond the palette
    // Nothing drawn, or out of the frame: no picture.
    Subpicture clear(10, 10, 2, 1, {0, 0}, {0x00FFFFFF}), outside(800, 10, 2, 1, {0, 0}, {~0u});
    EXPECT_TRUE(ScaledSubpicture(clear.subtitle, 720, 480, 1920, 1080).Empty());
    EXPECT_TRUE(ScaledSubpicture(outside.subtitle, 720, 480, 1920, 1080).Empty());
}

TEST(VobSubPictures, ShownUntilTheirEndOrTheNext) {
    using Span = std::optional<SubpictureSpan>;
    constexpr std::nullopt_t none = std::nullopt;
    const struct {
        int64_t start;
        std::optional<int64_t> end, next;
        Span span;
    } rows[] = {
        {1000, 2500, 4000, SubpictureSpan{1000, 2500}},
        {1000, none, 4000, SubpictureSpan{1000, none}},  // until the next one
        {1000, 5000, 4000, SubpictureSpan{1000, none}},  // the next one comes first
        {1000, 4000, 4000, SubpictureSpan{1000, none}},
        {1000, 1000, none, SubpictureSpan{1000, none}},  // an end that is no end
        {1000, none, none, SubpictureSpan{1000, none}},
        {-3000, 500, 4000, SubpictureSpan{0, 500}},  // on screen when the film starts
        {-3000, none, 200, SubpictureSpan{0, none}},
        {-3000, -1000, 4000, none},  // gone before the film starts
        {-3000, none, 0, none},
    };
    for (const auto& row : rows)
        EXPECT_EQ(SpanOfSubpicture(row.start, row.end, row.next), row.span) << row.start;
}

}  // namespace
}  // namespace kestrun::test

namespace kestrun::test {
namespace {
using namespace standin::ts;

// Where a display set drawn for one frame shows on another: the composition's size, and the
// window's and its object's place (x, y) after the fit.
struct Placed {
    int width, height, windowX, windowY, objectX, objectY;
    bool operator==(const Placed&) const = default;
};
Placed PlacedOf(const std::vector<PgSegment>& set) {
    auto u16 = [](const Bytes& b, size_t at) { return (b[at] << 8) | b[at + 1]; };
    Placed placed{};
    for (const PgSegment& s : set) {
        if (s.type == kPgComposition) {
            placed.width = u16(s.payload, 0);
            placed.height = u16(s.payload, 2);
            if (s.payload[10] > 0) {
                placed.objectX = u16(s.payload, 15);
                placed.objectY = u16(s.payload, 17);
            }
        }
        if (s.type == kPgWindow) {
            placed.windowX = u16(s.payload, 2);
            placed.windowY = u16(s.payload, 4);
        }
    }
    return placed;
}

TEST(PgCanvasFit, SubtitlesOfTheFullFrameStayInACroppedFilm) {
    const struct {
        int canvasW, canvasH, videoW, videoH, x, y;
        Placed show;
    } rows[] = {
        // A 2.40:1 film cropped from 1080 to 800: 140 lines gone above and below.
        {1920, 1080, 1920, 800, 700, 500, {1920, 800, 700, 360, 700, 360}},
        // In the lower bar the disc had: moved up into the picture, its bottom on the frame's.
        {1920, 1080, 1920, 800, 700, 1000, {1920, 800, 700, 740, 700, 740}},
        // In the upper bar: down to the top.
        {1920, 1080, 1920, 800, 700, 20, {1920, 800, 700, 0, 700, 0}},
        // Cropped at the sides too.
        {1920, 1080, 1440, 1080, 100, 500, {1440, 1080, 0, 500, 0, 500}},
        // Drawn for the film's own size: as it was.
        {1920, 1080, 1920, 1080, 700, 1000, {1920, 1080, 700, 1000, 700, 1000}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::to_string(row.y) + " on " + std::to_string(row.videoH));
        PgComposition composition;
        composition.videoWidth = row.canvasW;
        composition.videoHeight = row.canvasH;
        PgPicture picture{row.x, row.y, 520, 60, std::vector<uint8_t>(520 * 60, 1)};
        std::vector<PgSegment> show = PgShowSet(composition, picture, {{1, 235, 128, 128, 255}});
        std::vector<PgSegment> clear = PgClearSet(composition, picture);
        const std::vector<PgSegment> objects(show.begin() + 3, show.end());
        PgCanvasFit fit(row.videoW, row.videoH);
        fit.Apply(show);
        fit.Apply(clear);
        EXPECT_EQ(PlacedOf(show), row.show);
        // The clear of the same window follows it; the pictures are not touched.
        EXPECT_EQ(PlacedOf(clear), (Placed{row.show.width, row.show.height, row.show.windowX,
                                           row.show.windowY, 0, 0}));
        for (size_t i = 0; i < objects.size(); ++i)
            EXPECT_EQ(show[3 + i].payload, objects[i].payload) << i;
    }
    // Segments too short for what they declare are left as they are.
    std::vector<PgSegment> cut = {{kPgComposition, {0x07, 0x80, 0x04}}, {kPgWindow, {5, 1, 2}}};
    const std::vector<PgSegment> before = cut;
    PgCanvasFit(1920, 800).Apply(cut);
    EXPECT_EQ(cut[0].payload, before[0].payload);
    EXPECT_EQ(cut[1].payload, before[1].payload);
}

}  // namespace
}  // namespace kestrun::test
