// The names of the results in the output folder, as the chains write them and the folder batch
// looks for them.
#include "pipeline/result_names.h"

#include <gtest/gtest.h>

#include "model/form1.h"

namespace kestrun::test {
namespace {

TEST(ResultNames, EveryKindIsNamedAfterTheSource) {
    struct Case {
        const char* source;
        const char* mp4;
        const char* avchd;
        const char* mpg;
        const char* avi;
    };
    const Case cases[] = {
        {"/films/Film.2008.mkv", "Film_2008.mp4", "Film.2008", "Film.2008.mpg", "Film.2008.avi"},
        {"The.Film.2008.720p.x264.mkv", "The_Film_2008_720p_x264.mp4", "The.Film.2008.720p.x264",
         "The.Film.2008.720p.x264.mpg", "The.Film.2008.720p.x264.avi"},
        {"/a.b/LOUD.MKV", "LOUD.mp4", "LOUD", "LOUD.mpg", "LOUD.avi"},
    };
    for (const Case& c : cases) {
        const std::string base = ResultBaseName(c.source);
        EXPECT_EQ(ResultName(ResultKind::Mp4, base), c.mp4);
        EXPECT_EQ(ResultName(ResultKind::AvchdFolder, base), c.avchd);
        EXPECT_EQ(ResultName(ResultKind::Mpg, base), c.mpg);
        EXPECT_EQ(ResultName(ResultKind::Avi, base), c.avi);
    }
    EXPECT_EQ(ResultBaseName("/films/.mkv"), "");
    EXPECT_EQ(ResultBaseName("mkv"), "");
}

TEST(ResultNames, TheWindowsChoicesPickTheKindAndTheMpgOfAnMpeg2SourceStaysPossible) {
    struct Case {
        const char* choices;
        bool avchd, m2ts, recode;
        int recodeFormat;  // place in the re-encode list
        std::vector<std::string> names;
    };
    const std::vector<Case> cases = {
        {"MP4", false, false, false, -1, {"Film_2008.mp4", "Film.2008.mpg"}},
        {"AVCHD", true, false, false, -1, {"Film.2008", "Film.2008.mpg"}},
        {"M2TS", false, true, false, -1, {"Film.2008.mpg"}},
        {"MPEG-2 re-encode", false, false, true, 0, {"Film.2008.mpg"}},
        {"H.264 re-encode into MP4", false, false, true, 1, {"Film_2008.mp4", "Film.2008.mpg"}},
        {"H.264 re-encode into AVCHD", true, false, true, 1, {"Film.2008", "Film.2008.mpg"}},
        {"Xvid re-encode", false, false, true, 2, {"Film.2008.avi", "Film.2008.mpg"}},
        // "MPEG2 Recode" without a format re-encodes nothing.
        {"recode without a format", false, false, true, -1, {"Film_2008.mp4", "Film.2008.mpg"}},
    };
    for (const Case& c : cases) {
        Analysis analysis;
        Form1 form(analysis);
        form.chkAVCHD.SetValue(c.avchd ? 1 : 0);
        form.chkVob.SetValue(c.m2ts ? 1 : 0);
        form.chkMP2.SetValue(c.recode ? 1 : 0);
        form.cmdConv.SetSelectedIndex(c.recodeFormat);
        EXPECT_EQ(PossibleResultNames(form, "/films/Film.2008.mkv"), c.names) << c.choices;
    }
}

}  // namespace
}  // namespace kestrun::test
