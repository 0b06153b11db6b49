#include "pipeline/work_folder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <vector>

#include "model/context.h"
#include "model/messages.h"
#include "pipeline/conversion.h"
#include "platform/file_api.h"
#include "platform/work_files.h"

namespace kestrun {
namespace {

bool Inside(const std::string& path, const std::string& folder) {
    return !folder.empty() && path.compare(0, folder.size(), folder) == 0;
}

std::string NameOf(const std::string& path) {
    return std::filesystem::path(path).filename().string();
}

// Moves what the chain made into the output folder: everything in the result folder (an AVI cut
// into pieces has them beside it) and the finished file where the chain left it elsewhere in the
// work folder. Nothing moves while one of the names is taken.
bool PublishAll(Context& ctx, const std::string& folder) {
    const std::string results = folder + std::string(work::kResultFolder);
    std::vector<std::string> made;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(results, error))
        made.push_back(entry.path().string());
    if (!Inside(ctx.finishedOutput, results)) made.push_back(ctx.finishedOutput);
    for (const std::string& path : made) {
        const std::string target = ctx.OutputPath(NameOf(path));
        if (!NameTaken(target)) continue;
        Report(ctx, std::string(msg::kResultNotMoved) + target, std::string(msg::kAppTitle));
        return false;
    }
    std::string finished;
    for (const std::string& path : made) {
        const std::string target = PublishResult(ctx, path);
        if (target.empty()) return false;
        if (NameOf(path) == NameOf(ctx.finishedOutput)) finished = target;
    }
    ctx.finishedOutput = finished;
    return !finished.empty();
}

}  // namespace

std::string WorkResult(const Context& ctx, std::string_view name) {
    if (ctx.workFolder.empty()) return ctx.OutputPath(name);
    return ctx.WorkPath(std::string(work::kResultFolder) + std::string(name));
}

std::string PublishResult(Context& ctx, const std::string& made) {
    const std::string target = ctx.OutputPath(NameOf(made));
    std::string error;
    if (RenameNoReplace(made, target, &error)) return target;
    ctx.Log(error);
    Report(ctx, std::string(msg::kResultNotMoved) + target, std::string(msg::kAppTitle));
    return {};
}

bool RefuseLongName(Context& ctx, const std::string& name) {
    const long limit = NameLimit(ctx.form.txtTMP.text());
    if (static_cast<long>(name.size()) <= limit) return false;
    Report(ctx,
           std::string(msg::kNameTooLongHead) + name + " (" + std::to_string(name.size()) +
               std::string(msg::kNameTooLongMiddle) + std::to_string(limit) +
               std::string(msg::kNameTooLongTail),
           std::string(msg::kAppTitle));
    return true;
}

bool RefuseResultName(Context& ctx, const std::string& name, std::string_view tempSuffix,
                      std::string_view title) {
    const std::string target = ctx.OutputPath(name);
    if (NameTaken(target)) {
        Report(ctx, std::string(msg::kResultExists) + target, std::string(title));
        return true;
    }
    return RefuseLongName(ctx, name + std::string(tempSuffix));
}

void RunInWorkFolder(Context& ctx, const std::function<void()>& convert) {
    const std::string output = ctx.form.txtTMP.text();
    if (output.empty() || !FolderExists(output)) {
        convert();
        return;
    }
    std::string error;
    std::string folder = MakeFreshFolder(output, work::kWorkFolderPrefix, &error);
    const std::string results = folder + std::string(work::kResultFolder);
    if (!folder.empty() && ::mkdir(results.c_str(), 0700) != 0) {
        error = results + ": " + std::strerror(errno);
        ::rmdir(folder.c_str());
        folder.clear();
    }
    if (folder.empty()) {
        ctx.Log(error);
        Report(ctx, std::string(msg::kWorkFolderNotMade) + output,
               std::string(msg::kFolderErrorTitle));
        return;
    }
    struct Restore {
        Context& ctx;
        std::string previous;
        ~Restore() { ctx.workFolder = previous; }
    } restore{ctx, ctx.workFolder};
    ctx.workFolder = folder;
    ctx.finishedOutput.clear();
    convert();
    ctx.workFolder = restore.previous;

    if (Inside(ctx.finishedOutput, folder) && !PublishAll(ctx, folder)) ctx.finishedOutput.clear();
    if (!ctx.finishedOutput.empty()) {
        DeleteTree(folder);
        return;
    }
    // Refused before any work: nothing to keep.
    ::rmdir(results.c_str());
    if (::rmdir(folder.c_str()) == 0) return;
    Report(ctx, std::string(msg::kWorkFolderKept) + folder, std::string(msg::kAppTitle));
}

}  // namespace kestrun
