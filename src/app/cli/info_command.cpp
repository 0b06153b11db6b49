#include <iostream>

#include "app/cli/commands.h"

namespace kestrun {

// Placeholder until the analysis lands.
int RunInfoCommand(Context&, CliHost&, const std::vector<std::string>&) {
    std::cerr << "kestrun-cli info: not available yet" << std::endl;
    return 2;
}

}  // namespace kestrun
