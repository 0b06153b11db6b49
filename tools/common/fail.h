#pragma once
// How every stand-in reports a failure: "<tool>: <message>" on standard error.
#include <string>

namespace standin {

void Fail(const std::string& tool, const std::string& message);

}  // namespace standin
