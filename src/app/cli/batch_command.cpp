// kestrun-cli batch: every MKV file of a folder through the window's folder batch. The options
// of `convert` are set once beforehand, as a person sets the window before pressing "Folder";
// the results go to the output folder without the question of the "Folder" button.
#include <filesystem>
#include <iostream>

#include "app/batch.h"
#include "app/cli/cli_host.h"
#include "app/cli/commands.h"
#include "app/cli/convert_options.h"
#include "app/handlers.h"
#include "model/context.h"
#include "platform/file_api.h"

namespace kestrun {
namespace {

int BatchUsage(const std::string& problem) {
    std::cerr << "kestrun-cli batch: " << problem << "\n"
              << "usage: kestrun-cli batch [options] FOLDER (the options of convert but --audio, "
                 "--subs and --subs-file, which choose per source)\n";
    return 2;
}

// Options that name a track or a file of one source cannot hold for a whole folder.
bool ChoosesPerSource(const ConvertOptions& options) {
    return options.audio || options.subs || options.subsFile;
}

std::string AbsoluteFolder(const std::string& folder) {
    std::error_code ec;
    const auto absolute = std::filesystem::absolute(folder, ec);
    return ec ? folder : absolute.lexically_normal().string();
}

struct BatchTally {
    int converted = 0;
    int skipped = 0;
    int failed = 0;
};

}  // namespace

int RunBatchCommand(Context& ctx, CliHost& host, const std::vector<std::string>& args) {
    if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
        std::cout
            << "usage: kestrun-cli batch [options] FOLDER\n"
            << ConvertOptionsHelp()
            << "    --audio, --subs and --subs-file choose per source and are not taken here.\n";
        return 0;
    }
    std::string error;
    const auto options = ParseConvertOptions(args, &error);
    if (!options) return BatchUsage(error);
    if (options->positional.size() != 1) return BatchUsage("give exactly one FOLDER");
    if (ChoosesPerSource(*options))
        return BatchUsage(
            "--audio, --subs and --subs-file choose "
            "for one source; use convert for them");
    const std::string folder = AbsoluteFolder(options->positional.front());
    if (!FolderExists(folder)) {
        std::cerr << "kestrun-cli batch: not a folder: " << folder << std::endl;
        return 1;
    }
    if (RefuseUnquotablePath(ctx, folder)) return 1;
    if (std::string refusal = ApplyOutputFolder(ctx, *options); !refusal.empty())
        return BatchUsage(refusal);
    StartRecodeFormat(ctx, *options);
    if (std::string refusal = ApplyConvertOptions(ctx, host, *options); !refusal.empty()) {
        std::cerr << "kestrun-cli batch: " << refusal << std::endl;
        return 2;
    }

    const std::vector<std::string> names = MkvFilesIn(folder);
    if (names.empty()) {
        std::cerr << "kestrun-cli batch: no MKV files in " << folder << std::endl;
        return 0;
    }

    Form1& f = ctx.form;
    ctx.analysis.bBatchMode = true;
    f.bSplit = false;
    f.intListConv = f.chkMP2.value();
    // The counter changes once per file, just before that file is looked at.
    size_t shown = 0;
    f.lblMulti.onChange = [&](const Control& c) {
        std::cerr << "[" << c.text() << "] " << (shown < names.size() ? names[shown++] : "")
                  << std::endl;
    };
    ctx.finishedOutput.clear();

    BatchTally tally;
    BatchPass pass{folder, names, f.txtTMP.text(), true, {}};
    pass.onFileDone = [&](const std::string& source, bool converted) {
        if (!converted) {
            ++tally.skipped;
            std::cerr << "skipped, its result exists: " << source << std::endl;
        } else if (FinishedWithOutput(ctx)) {
            ++tally.converted;
            std::cout << ctx.finishedOutput << std::endl;
        } else {
            ++tally.failed;
            std::cerr << "failed: " << source << std::endl;
        }
        ctx.finishedOutput.clear();
    };
    RunBatch(ctx, pass);
    f.lblMulti.onChange = nullptr;  // it holds this function's locals

    std::cerr << tally.converted << " converted, " << tally.skipped << " skipped, " << tally.failed
              << " failed" << std::endl;
    return tally.failed > 0 ? 1 : 0;
}

}  // namespace kestrun
