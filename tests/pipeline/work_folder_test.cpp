// The private work folder of a conversion: the user's files in the output folder stay as they
// were, the result arrives under its own name, and the folder goes on success or stays, named in
// a message, after a failure.
#include "pipeline/work_folder.h"

#include <filesystem>
#include <functional>

#include "chains/convert_mkv.h"
#include "model/messages.h"
#include "pipeline_fixture.h"
#include "platform/file_api.h"
#include "platform/work_files.h"

namespace kestrun::test {
namespace {
namespace fs = std::filesystem;

using WorkFolder = PipelineTest;

std::vector<std::string> WorkFolders(const fs::path& folder) {
    std::vector<std::string> found;
    for (const std::string& name : FolderNames(folder))
        if (name.rfind(work::kWorkFolderPrefix, 0) == 0) found.push_back(name);
    return found;
}

TEST_F(WorkFolder, UserFilesStayAndTheResultArrivesOrTheFailureIsNamed) {
    const std::string longName(248, 'a');
    struct Case {
        const char* what;
        int audio;
        bool m2ts;
        std::vector<std::string> userFiles;
        std::function<void(RecorderRules&)> rules;
        std::string sourceName;  // empty: the fixture's Film.2008.mkv
        std::string result;      // empty: no result
        std::string message;     // a part of the first message; empty: none
        bool workKept;
    };
    const Case cases[] = {
        {"the fixed names are the user's own",
         4,
         false,
         {"movie.srt", "movie.wav", "movie.ac3", "movie.aac", "movie.h264", "movie.meta", "split"},
         [](RecorderRules& r) {
             r.Write("mkvextract", "cut:1:", 2048)
                 .Write("mkvextract", "cut:2:", 512)
                 .Write("MP4Box", "arg:-3", 4096);
         },
         "",
         "Film_2008.mp4",
         "",
         false},
        {"an M2TS stream named like the source, muxed",
         0,
         true,
         {"Film.2008.m2ts"},
         [](RecorderRules& r) { r.Write("tsmuxer", "arg:-1", 4096); },
         "",
         "Film.2008.mpg",
         "",
         false},
        {"an M2TS stream named like the source, tsMuxeR failing",
         0,
         true,
         {"Film.2008.m2ts"},
         [](RecorderRules&) {},
         "",
         "",
         "was not created",
         true},
        {"an earlier result",
         4,
         false,
         {"Film_2008.mp4"},
         [](RecorderRules&) {},
         "",
         "",
         std::string(msg::kResultExists),
         false},
        {"a name too long once MP4Box's temporary ending is added",
         4,
         false,
         {},
         [](RecorderRules&) {},
         longName + ".mkv",
         "",
         longName + ".mp4.rewrite.partial (" + std::to_string(longName.size() + 20) +
             std::string(msg::kNameTooLongMiddle) + "255)",
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        for (const std::string& name : FolderNames(work.path())) fs::remove_all(work.path() / name);
        host.messages.clear();
        RecorderRules rules(prog.Rules().Path());  // this case's rules only
        c.rules(rules);
        Prepare(c.audio, 0);
        form.chkVob.SetValue(c.m2ts ? 1 : 0);
        const std::string from = c.sourceName.empty() ? source : media.Write(c.sourceName, "x");
        form.txtFile.SetText(from);
        form.strFullname = from;
        for (const std::string& name : c.userFiles) work.Write(name, "mine: " + name);
        const size_t commandsBefore = Commands().size();

        RunInWorkFolder(ctx, [this] { ConvertMkv(ctx); });

        for (const std::string& name : c.userFiles)
            EXPECT_EQ(ReadWholeFile(W(name)), "mine: " + name);
        EXPECT_EQ(ctx.finishedOutput, c.result.empty() ? "" : W(c.result));
        if (!c.result.empty()) {
            EXPECT_GT(FileSizeForOutput(W(c.result)), 0);
        }
        if (c.message.empty()) {
            EXPECT_TRUE(host.messages.empty()) << host.messages.front().text;
        } else {
            ASSERT_FALSE(host.messages.empty());
            EXPECT_NE(host.messages.front().text.find(c.message), std::string::npos)
                << host.messages.front().text;
        }
        if (!c.message.empty() && !c.workKept) {
            EXPECT_EQ(Commands().size(), commandsBefore) << "refused before any work";
        }
        const auto kept = WorkFolders(work.path());
        ASSERT_EQ(kept.size(), c.workKept ? 1u : 0u);
        if (c.workKept) {
            EXPECT_EQ(host.messages.back().text,
                      std::string(msg::kWorkFolderKept) + W(kept[0]) + "/");
        }
        EXPECT_TRUE(ctx.workFolder.empty());
    }
}

}  // namespace
}  // namespace kestrun::test
