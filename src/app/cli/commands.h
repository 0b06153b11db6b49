#pragma once
// The sub-commands of kestrun-cli. Each adds itself, with its options, to the program's CLI11
// parser and returns what runs it once the arguments are parsed; the run returns the process
// exit code. A bad argument never reaches a run: the parser names it and the program exits 2.
#include <functional>

namespace CLI {
class App;
}

namespace kestrun {

class CliHost;
struct Context;

struct SubCommand {
    CLI::App* parser;
    std::function<int(Context&, CliHost&)> run;
};

// info SOURCE: the analysis of one source as one JSON object on standard output.
SubCommand AddInfoCommand(CLI::App& program);

// check [--platform P]... [--json] FILE...: the console rules on each file's headers; 0 when
// every file was read, 1 when one could not be.
SubCommand AddCheckCommand(CLI::App& program);

// The exit code of convert and batch when a finished result breaks a rule of the chosen console.
inline constexpr int kExitResultBreaksRule = 3;

// The exit codes, as the help of the program and of its commands lists them.
inline constexpr const char* kExitCodesHelp =
    "Exit codes:\n"
    "  0    done: the result exists and passed the console rules (check: every file was read)\n"
    "  1    the conversion failed or was refused, a file could not be read, or a source of a\n"
    "       batch failed\n"
    "  2    a bad option, or an option or source refused before any work (info: the source\n"
    "       cannot be used)\n"
    "  3    a finished result breaks a rule of the chosen console\n"
    "  130  interrupted (Ctrl+C); the tools were stopped";

// convert [options] SOURCE: one conversion; 0 when it finished, its output is not empty and it
// passed the console rules.
SubCommand AddConvertCommand(CLI::App& program);
// batch [options] FOLDER: every MKV file of the folder in turn; 1 when any file failed, else
// kExitResultBreaksRule when a converted result breaks a rule.
SubCommand AddBatchCommand(CLI::App& program);

// True when the last conversion reached its success text and its output exists, not empty.
bool FinishedWithOutput(const Context& ctx);

}  // namespace kestrun
