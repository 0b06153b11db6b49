#include "common/fail.h"

#include <iostream>

namespace standin {

void Fail(const std::string& tool, const std::string& message) {
    std::cerr << tool << ": " << message << std::endl;
}

}  // namespace standin
