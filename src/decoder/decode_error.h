#pragma once
// The one exception of the decoder: its text is the sentence the caller shows. It never leaves
// the decoder's entry points, which turn it into a failed DecodeResult.
#include <stdexcept>

namespace kestrun {

class DecodeError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

}  // namespace kestrun
