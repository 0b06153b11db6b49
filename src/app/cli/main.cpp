// kestrun-cli: the conversions of the window without a window.
#include <iostream>
#include <string>
#include <vector>

#include "app/cli/cli_host.h"
#include "app/cli/commands.h"
#include "app/config.h"
#include "app/handlers.h"
#include "model/context.h"
#include "platform/program_folder.h"

namespace {

struct SubCommand {
    const char* name;
    const char* usage;
    int (*run)(kestrun::Context&, kestrun::CliHost&, const std::vector<std::string>&);
};

const SubCommand kSubCommands[] = {
    {"info", "info SOURCE            analyse a source and print what was found (JSON)",
     kestrun::RunInfoCommand},
    {"check", "check [--platform P] [--json] FILE...  will it play? the console rules, per file",
     kestrun::RunCheckCommand},
    {"convert", "convert [options] SOURCE  convert one source (see convert --help)",
     kestrun::RunConvertCommand},
    {"batch", "batch [options] FOLDER  convert every MKV file of a folder (options of convert)",
     kestrun::RunBatchCommand},
};

int Usage() {
    std::cerr << "usage: kestrun-cli <command> [options]\n";
    for (const auto& c : kSubCommands) std::cerr << "  " << c.usage << "\n";
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return Usage();
    const std::string name = argv[1];
    std::vector<std::string> args(argv + 2, argv + argc);
    for (const auto& c : kSubCommands) {
        if (name != c.name) continue;
        kestrun::CliHost host;
        kestrun::Context ctx(host, kestrun::ProgramFolder());
        host.FollowProgress(ctx.form);
        host.StopToolsOnInterrupt(ctx.runner);
        ctx.command2Click = [&ctx] { kestrun::Command2_Click(ctx); };
        // The window's settings stay the window's: only the option strings that nothing else
        // sets are taken, and the file is never written.
        kestrun::LoadOptionStrings(ctx);
        ctx.saveSettings = false;
        return c.run(ctx, host, args);
    }
    return Usage();
}
