#pragma once
// The stand-ins use the names of the libraries at the bottom as their own: the media readers
// (h264::, mpeg4::, BitReader, OpenInput, ...) and the files of lib/base (PartialOutputFile).
namespace kestrun::media {}
namespace kestrun::base {}

namespace standin {
using namespace ::kestrun::media;
using namespace ::kestrun::base;
}  // namespace standin
