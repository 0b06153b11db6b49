#pragma once
// The stand-ins use the media library's readers as their own names (h264::, mpeg4::, BitReader,
// OpenInput, ...).
namespace kestrun::media {}

namespace standin {
using namespace ::kestrun::media;
}  // namespace standin
