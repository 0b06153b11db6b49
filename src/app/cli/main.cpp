// kestrun-cli: the conversions of the window without a window.
#include <CLI/CLI.hpp>
#include <iostream>
#include <string>

#include "app/cli/cli_host.h"
#include "app/cli/commands.h"
#include "app/config.h"
#include "app/handlers.h"
#include "model/context.h"
#include "platform/program_folder.h"

namespace {

constexpr int kExitUsage = 2;

// One message for the bad argument, naming it, then where the options are listed.
int RefuseArguments(const CLI::App& program, const CLI::ParseError& error) {
    const auto chosen = program.get_subcommands();
    if (chosen.empty()) {
        const auto unknown = program.remaining();
        std::cerr << "kestrun-cli: "
                  << (unknown.empty() ? error.what() : "not a command: " + unknown.front()) << "\n"
                  << program.help();
        return kExitUsage;
    }
    const std::string name = "kestrun-cli " + chosen.front()->get_name();
    std::cerr << name << ": " << error.what() << "\n"
              << "(" << name << " --help lists the options)" << std::endl;
    return kExitUsage;
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App program("Makes video files playable on a PS3 or an Xbox 360.", "kestrun-cli");
    program.require_subcommand(1);
    program.set_version_flag("--version", "kestrun-cli " KESTRUN_VERSION);
    program.get_formatter()->column_width(38);
    const kestrun::SubCommand commands[] = {
        kestrun::AddInfoCommand(program), kestrun::AddCheckCommand(program),
        kestrun::AddConvertCommand(program), kestrun::AddBatchCommand(program)};
    program.footer(kestrun::kExitCodesHelp);
    for (const auto& command : commands) command.parser->footer(kestrun::kExitCodesHelp);
    try {
        program.parse(argc, argv);
    } catch (const CLI::Success& help) {
        return program.exit(help);  // --help: printed on standard output, exit 0
    } catch (const CLI::ParseError& error) {
        return RefuseArguments(program, error);
    }
    for (const auto& command : commands) {
        if (!command.parser->parsed()) continue;
        kestrun::CliHost host;
        kestrun::Context ctx(host, kestrun::ProgramFilesOfThisProgram());
        host.FollowProgress(ctx.form);
        host.StopToolsOnInterrupt(ctx.runner);
        ctx.command2Click = [&ctx] { kestrun::Command2_Click(ctx); };
        // The window's settings stay the window's: only the option strings that nothing else
        // sets are taken, and the file is never written.
        kestrun::LoadOptionStrings(ctx);
        ctx.saveSettings = false;
        return command.run(ctx, host);
    }
    return kExitUsage;
}
