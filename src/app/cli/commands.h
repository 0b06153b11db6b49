#pragma once
// The sub-commands of kestrun-cli. Each takes the arguments after its name and returns the
// process exit code.
#include <string>
#include <vector>

namespace kestrun {

class CliHost;
struct Context;

// info SOURCE: the analysis of one source as one JSON object on standard output.
int RunInfoCommand(Context& ctx, CliHost& host, const std::vector<std::string>& args);

// check [--platform P] [--json] FILE...: the console rules on each file's headers; 0 when every
// file was read, 1 when one could not be.
int RunCheckCommand(Context& ctx, CliHost& host, const std::vector<std::string>& args);

// The exit code of convert and batch when a finished result breaks a rule of the chosen console.
inline constexpr int kExitResultBreaksRule = 3;

// convert [options] SOURCE: one conversion; 0 when it finished, its output is not empty and it
// passed the console rules.
int RunConvertCommand(Context& ctx, CliHost& host, const std::vector<std::string>& args);
// batch [options] FOLDER: every MKV file of the folder in turn; 1 when any file failed, else
// kExitResultBreaksRule when a converted result breaks a rule.
int RunBatchCommand(Context& ctx, CliHost& host, const std::vector<std::string>& args);

// True when the last conversion reached its success text and its output exists, not empty.
bool FinishedWithOutput(const Context& ctx);

}  // namespace kestrun
