#include <gtest/gtest.h>

#include "platform/tool_runner.h"

namespace kestrun {
namespace {

using Args = std::vector<std::string>;

TEST(SplitCommandLine, BlanksSeparateAndQuotesGroup) {
    EXPECT_EQ(SplitCommandLine(R"("a b c" d e)"), (Args{"a b c", "d", "e"}));
    EXPECT_EQ(SplitCommandLine(" \t a \t b  "), (Args{"a", "b"}));
    EXPECT_EQ(SplitCommandLine(R"(d"e f"g h)"), (Args{"de fg", "h"}));
    EXPECT_EQ(SplitCommandLine(R"("unterminated quote)"), (Args{"unterminated quote"}));
    EXPECT_TRUE(SplitCommandLine("").empty());
    EXPECT_TRUE(SplitCommandLine("  \t ").empty());
}

TEST(SplitCommandLine, BackslashesCountOnlyBeforeAQuote) {
    EXPECT_EQ(SplitCommandLine(R"(a\\\b)"), (Args{R"(a\\\b)"}));         // no quote: literal
    EXPECT_EQ(SplitCommandLine(R"(a\\\"b c)"), (Args{R"(a\"b)", "c"}));  // 2n+1: literal quote
    EXPECT_EQ(SplitCommandLine(R"(a\\\\"b c" d)"), (Args{R"(a\\b c)", "d"}));  // 2n: toggle
    EXPECT_EQ(SplitCommandLine(R"("ab\"c" "\\" d)"), (Args{"ab\"c", "\\", "d"}));
    EXPECT_EQ(SplitCommandLine(R"(/path/ends\ x)"), (Args{R"(/path/ends\)", "x"}));
}

TEST(SplitCommandLine, EmptyArgumentsAndDoubledQuotes) {
    EXPECT_EQ(SplitCommandLine(R"(tool "" x "")"), (Args{"tool", "", "x", ""}));
    EXPECT_EQ(SplitCommandLine(R"("")"), (Args{""}));
    // Inside quotes "" is one literal quote and the quoted part goes on.
    EXPECT_EQ(SplitCommandLine(R"(a"b"" c d)"), (Args{"ab\" c d"}));
    EXPECT_EQ(SplitCommandLine(R"("say ""hi""" x)"), (Args{"say \"hi\"", "x"}));
}

TEST(SplitCommandLine, ToolCommandLinesAsTheStagesBuildThem) {
    EXPECT_EQ(SplitCommandLine(R"("/opt/My Tools/MKVToolnix/mkvextract" tracks )"
                               R"("/v/Film d'été.mkv" 1:"/v/out/movie.h264" )"
                               R"(2:"/v/out/movie.ac3")"),
              (Args{"/opt/My Tools/MKVToolnix/mkvextract", "tracks", "/v/Film d'été.mkv",
                    "1:/v/out/movie.h264", "2:/v/out/movie.ac3"}));
    EXPECT_EQ(SplitCommandLine(R"("/p/FFMpeg/FFmpeg" -i "/w/movie.wav" -ab 224kb -y "/w/a.ac3")"),
              (Args{"/p/FFMpeg/FFmpeg", "-i", "/w/movie.wav", "-ab", "224kb", "-y", "/w/a.ac3"}));
}

}  // namespace
}  // namespace kestrun
