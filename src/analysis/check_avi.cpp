#include "analysis/check_avi.h"

#include "model/context.h"
#include "platform/file_api.h"
#include "platform/tool_table.h"
#include "platform/work_files.h"

namespace kestrun {
namespace {

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

}  // namespace

// Every path is quoted: a program or work folder with a blank would otherwise split into several
// arguments, and the AVI would count as incompatible for no reason.
std::string AviTestCutCommand(const Context& ctx, const std::string& source,
                              const std::string& workFolder) {
    return Quoted(ctx.ToolPath(tool::kMEncoder)) + " -endpos 10mb -ovc copy -oac copy " +
           Quoted(source) + " -o " + Quoted(workFolder + std::string(work::kTestAvi));
}

std::string AviReportCommand(const std::string& mmclPath, const std::string& workFolder) {
    return Quoted(mmclPath) + " --info " + Quoted(workFolder + std::string(work::kTestAvi));
}

bool CheckAviVideo(Context& ctx, const std::string& source, const std::string& mmclPath,
                   const std::string& workFolder) {
    ctx.runner.RunCapture(AviTestCutCommand(ctx, source, workFolder), true, false, true);
    const std::string report =
        ctx.runner.RunCapture(AviReportCommand(mmclPath, workFolder), true, false, true);
    const bool playable = report.find(kQpelNoPhrase) != std::string::npos &&
                          report.find(kGmcNoPhrase) != std::string::npos;
    DeleteFileNoForce(workFolder + std::string(work::kTestAvi));
    return playable;
}

}  // namespace kestrun
