#include "analysis/check_avi.h"

namespace kestrun {

// Placeholder until the AVI check lands.
bool CheckAviVideo(Context&, const std::string&, const std::string&, const std::string&) {
    return false;
}

}  // namespace kestrun
