// kestrun-cli convert: one source through the window's own path, without a window. It starts
// from the design defaults, chooses the source as "File" does, sets the options as clicks would
// and presses Convert (which also saves the settings).
#include <CLI/CLI.hpp>
#include <iostream>
#include <memory>

#include "analysis/read_info.h"
#include "app/cli/cli_host.h"
#include "app/cli/commands.h"
#include "app/cli/convert_options.h"
#include "app/handlers.h"
#include "app/source_verdict.h"
#include "model/context.h"
#include "model/messages.h"
#include "platform/file_api.h"
#include "platform/tool_runner.h"

namespace kestrun {

bool FinishedWithOutput(const Context& ctx) {
    if (ctx.finishedOutput.empty()) return false;
    if (FolderExists(ctx.finishedOutput)) return true;  // an AVCHD structure, checked by its chain
    const std::int64_t size = FileSizeForOutput(ctx.finishedOutput);
    return size > 0 && size != kInvalidFileSize;
}

namespace {

int RunConvert(Context& ctx, CliHost& host, const ConvertOptions& options) {
    ConvertOptions checked = options;
    for (const std::string& problem : {ApplyOutputFolder(ctx, checked), CheckSubtitleFile(checked)})
        if (!problem.empty()) {
            std::cerr << "kestrun-cli convert: " << problem << std::endl;
            return 2;
        }
    const std::string& source = checked.positional.front();
    if (!FileFound(source)) {
        std::cerr << "kestrun-cli convert: the source cannot be read: " << source << std::endl;
        return 1;
    }
    StartRecodeFormat(ctx, checked);
    ChooseSource(ctx, source);
    if (ctx.form.strType.empty()) return 1;  // refused with a message
    // The 25 fps output would slow a film of 25 fps or more down: refused before any work.
    if (checked.fps25 && !SpeedsUpTo25Fps(ctx.form.txtSFPS.text())) {
        std::cerr << "kestrun-cli convert: " << msg::kFps25Refused << ctx.form.txtSFPS.text()
                  << " fps" << std::endl;
        return 2;
    }
    if (!ctx.analysis.strVideoRecodeReason.empty())
        std::cerr << "kestrun-cli convert: " << msg::kOnlyRecodeConverts
                  << ctx.analysis.strVideoRecodeReason << std::endl;
    if (std::string refusal = ApplyConvertOptions(ctx, host, checked); !refusal.empty()) {
        std::cerr << "kestrun-cli convert: " << refusal << std::endl;
        return 2;
    }
    // The verdict shown on choosing the source was for the window's console before the options.
    if (options.platform || options.container) ShowSourceVerdict(ctx, source);
    Command2_Click(ctx);
    if (FinishedWithOutput(ctx)) {
        std::cout << ctx.finishedOutput << std::endl;
        return ctx.finishedOutputPlays == false ? kExitResultBreaksRule : 0;
    }
    return 1;
}

}  // namespace

SubCommand AddConvertCommand(CLI::App& program) {
    CLI::App* command = program.add_subcommand("convert", "convert one source");
    auto options = std::make_shared<ConvertOptions>();
    AddConvertOptions(*command, *options, true);
    command->add_option("SOURCE", options->positional, "the MKV, AVI or WMV file")
        ->required()
        ->expected(1);
    return {command,
            [options](Context& ctx, CliHost& host) { return RunConvert(ctx, host, *options); }};
}

}  // namespace kestrun
