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

}  // namespace kestrun
