// The names of the results in the output folder, as the chains write them and the folder batch
// looks for them.
#include "pipeline/result_names.h"

#include <gtest/gtest.h>

#include "model/form1.h"

namespace kestrun::test {
namespace {

TEST(ResultNames, EveryKindIsNamedAfterTheSource) {
    const std::vector<std::vector<std::string>> cases = {
        // source, MP4, AVCHD folder, ".mpg", ".avi"
        {"/films/Film.2008.mkv", "Film_2008.mp4", "Film.2008", "Film.2008.mpg", "Film.2008.avi"},
        {"The.Film.720p.x264.mkv", "The_Film_720p_x264.mp4", "The.Film.720p.x264",
         "The.Film.720p.x264.mpg", "The.Film.720p.x264.avi"},
        {"/a.b/LOUD.MKV", "LOUD.mp4", "LOUD", "LOUD.mpg", "LOUD.avi"},
    };
    for (const auto& c : cases) {
        const std::string base = ResultBaseName(c[0]);
        EXPECT_EQ(
            (std::vector<std::string>{
                c[0], ResultName(ResultKind::Mp4, base), ResultName(ResultKind::AvchdFolder, base),
                ResultName(ResultKind::Mpg, base), ResultName(ResultKind::Avi, base)}),
            c);
    }
    EXPECT_EQ(ResultBaseName("/films/.mkv"), "");
}

TEST(ResultNames, OnlyTheNameTheChainWritesCounts) {
    const struct {
        const char* codec;
        bool avchd, m2ts, recode;
        int recodeFormat;  // place in the re-encode list: MPEG-2, H.264, Xvid
        const char* name;
    } cases[] = {
        {"avc", false, false, false, -1, "Film_2008.mp4"},
        {"avc", true, false, false, -1, "Film.2008"},
        {"avc", false, true, false, -1, "Film.2008.mpg"},
        {"avc", false, false, true, 0, "Film.2008.mpg"},
        {"avc", true, false, true, 1, "Film.2008"},
        {"avc", false, false, true, 2, "Film.2008.avi"},
        // "MPEG2 Recode" without a format re-encodes nothing.
        {"avc", false, false, true, -1, "Film_2008.mp4"},
        // MPEG-2 video is repacked whatever the choices.
        {"mpeg2", false, false, false, -1, "Film.2008.mpg"},
        {"mpeg2", true, false, true, 2, "Film.2008.mpg"},
        // VC-1 video left as streams for the user gives no result of the source's name.
        {"vc1", false, false, false, -1, ""},
        {"vc1", false, true, false, -1, ""},
        {"vc1", true, false, false, -1, "Film.2008"},
        {"vc1", false, false, true, 2, "Film.2008.avi"},
        {"", false, false, false, -1, "Film_2008.mp4"},
    };
    for (const auto& c : cases) {
        Analysis analysis;
        Form1 form(analysis);
        form.chkAVCHD.SetValue(c.avchd ? 1 : 0);
        form.chkVob.SetValue(c.m2ts ? 1 : 0);
        form.chkMP2.SetValue(c.recode ? 1 : 0);
        form.cmdConv.SetSelectedIndex(c.recodeFormat);
        EXPECT_EQ(SourceResultName(form, c.codec, "/films/Film.2008.mkv"), c.name)
            << c.codec << " " << c.avchd << c.m2ts << c.recode << c.recodeFormat;
    }
}

}  // namespace
}  // namespace kestrun::test
