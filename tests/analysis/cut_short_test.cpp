// Sources and results cut short: the sizes their headers declare, read without decoding, and
// the frames' timing that tells a variable frame rate.
#include <gtest/gtest.h>

#include <filesystem>

#include "analysis/console_rules.h"
#include "analysis/declared_size.h"
#include "analysis/frame_timing.h"
#include "analysis/media_probe.h"
#include "model/context.h"
#include "support/samples.h"
#include "support/scripted_host.h"
#include "support/temp_folder.h"

namespace kestrun::test {
namespace {
namespace fs = std::filesystem;

std::string Le32(uint32_t v) { return {char(v), char(v >> 8), char(v >> 16), char(v >> 24)}; }
std::string Chunk(const char* id, uint32_t size, const std::string& body) {
    return id + Le32(size) + body;
}

TEST(DeclaredSize, RiffChunksAndTheMoviList) {
    const std::string hdrl = Chunk("LIST", 8, "hdrl" + std::string(4, '\0'));
    const std::string movi = Chunk("LIST", 20, "movi" + std::string(16, '\0'));
    const std::string whole = Chunk("RIFF", 4 + 16 + 28, "AVI " + hdrl + movi);
    const std::string second = Chunk("RIFF", 12, "AVIX" + std::string(8, '\0'));
    const struct {
        const char* name;
        std::string bytes;
        uint64_t fileSize;
        std::optional<uint64_t> declared;
        const char* by;
    } cases[] = {
        {"whole", whole, whole.size(), 56, "the RIFF chunk"},
        {"cut in the movi list", whole, 40, 56, "the RIFF chunk"},
        // A writer that never came back to the RIFF size: the movi list still tells.
        {"movi past the RIFF size", Chunk("RIFF", 20, "AVI " + hdrl + movi), 40, 56,
         "the movi list"},
        {"OpenDML second chunk cut", whole + second, whole.size() + 14, 76, "the RIFF chunk"},
        {"not RIFF", "RIFX" + whole.substr(4), whole.size(), std::nullopt, ""},
        {"shorter than a header", whole.substr(0, 6), 6, std::nullopt, ""},
    };
    for (const auto& c : cases) {
        const auto declared = RiffDeclaredSize(c.bytes, c.fileSize);
        ASSERT_EQ(declared.has_value(), c.declared.has_value()) << c.name;
        if (!declared) continue;
        EXPECT_EQ(declared->bytes, *c.declared) << c.name;
        EXPECT_EQ(declared->declaredBy, c.by) << c.name;
    }
}

TEST(FrameTiming, StepsAgainstTheDeclaredFrameDuration) {
    // Start times in milliseconds, as Matroska stores them.
    const auto steps = [](std::initializer_list<std::pair<int, int>> runs) {
        std::vector<int64_t> starts{0};
        for (auto [count, step] : runs)
            for (int i = 0; i < count; ++i) starts.push_back(starts.back() + step);
        return starts;
    };
    std::vector<int64_t> ntsc{0};  // 23.976 fps rounded to whole milliseconds
    for (int i = 1; i < 200; ++i) ntsc.push_back(i * 1001 / 24);
    std::vector<int64_t> reordered = steps({{60, 40}});
    std::swap(reordered[3], reordered[5]);  // B-frames come out of order
    const struct {
        const char* name;
        std::vector<int64_t> starts;
        std::optional<double> frameSeconds;
        bool variable;
    } cases[] = {
        {"25 fps", steps({{100, 40}}), 0.040, false},
        {"23.976 fps in milliseconds", ntsc, 1.001 / 24, false},
        {"B-frames out of order", reordered, 0.040, false},
        {"25, 50 and 30 fps", steps({{33, 40}, {33, 20}, {33, 33}}), 0.020, true},
        {"no declared duration", steps({{50, 40}, {50, 20}}), std::nullopt, true},
        {"one odd step", steps({{100, 40}, {1, 80}, {100, 40}}), 0.040, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(VariableFrameTiming(c.starts, 0.001, c.frameSeconds), c.variable) << c.name;
}

class CutSources : public ::testing::Test {
protected:
    TempFolder temp{"kestrun-cut"};
    ScriptedHost host;
    Context ctx{host, temp.path().string()};

    std::string CutCopy(const std::string& sample, const std::string& name) {
        const std::string path = temp / name;
        fs::copy_file(sample, path);
        fs::resize_file(path, fs::file_size(path) / 2);
        return path;
    }
};

// A download broken off: the rule "file whole" fails and no conversion fixes it; what the file
// holds is read from its packets.
TEST_F(CutSources, TheFileWholeRuleAndWhatTheFileHolds) {
    const std::vector<std::string> picture = {"-f", "lavfi", "-i", "testsrc=size=320x240:rate=25",
                                              "-f", "lavfi", "-i", "sine=frequency=440",
                                              "-t", "3"};
    auto with = [&](std::vector<std::string> codecs) {
        std::vector<std::string> args = picture;
        args.insert(args.end(), codecs.begin(), codecs.end());
        return args;
    };
    const std::string mkv = FfmpegSample(
        with({"-pix_fmt", "yuv420p", "-c:v", "libx264", "-preset", "ultrafast", "-c:a", "ac3"}),
        "mkv");
    const std::string avi = FfmpegSample(with({"-c:v", "mpeg4", "-c:a", "libmp3lame"}), "avi");
    for (const auto& [sample, by] : {std::pair{mkv, "the segment"}, {avi, "the RIFF chunk"}}) {
        std::string error;
        const auto whole = ReadMediaFacts(ctx, sample, &error);
        ASSERT_TRUE(whole) << error;
        EXPECT_FALSE(CutShort(*whole)) << sample;
        const std::string cut = CutCopy(sample, "cut." + fs::path(sample).extension().string());
        auto facts = ReadMediaFacts(ctx, cut, &error);
        ASSERT_TRUE(facts) << error;
        ASSERT_TRUE(CutShort(*facts)) << cut;
        const Route route = CheckAsTarget(*facts, Console::Ps3, Target::Mp4);
        EXPECT_EQ(route.verdict, Fix::NoConversion) << cut;
        const auto rule = std::find_if(route.results.begin(), route.results.end(),
                                       [](const RuleResult& r) { return r.rule == "file whole"; });
        ASSERT_NE(rule, route.results.end());
        EXPECT_EQ(rule->measured, "file cut short: " + std::string(by) + " declares " +
                                      std::to_string(*facts->declaredSize) +
                                      " bytes, the file has " + std::to_string(facts->fileSize));
        ASSERT_TRUE(MeasureWhatItHolds(*facts));
        ASSERT_TRUE(facts->video && facts->video->seconds && facts->video->frames);
        EXPECT_LT(*facts->video->seconds, 2.5) << cut;
        EXPECT_GT(*facts->video->seconds, 0.5) << cut;
        EXPECT_LT(*facts->video->frames, 65) << cut;
    }
}

}  // namespace
}  // namespace kestrun::test
