#pragma once
// The streams named by the meta file's track lines, as packet sources on one common timeline on
// which the first shown video frame is at 0: a raw H.264 file (timed from its picture order),
// or tracks of a file FFmpeg reads (an MKV, a raw AC-3 or DTS file, a VC-1 stream). Tracks of
// one file are read together in one pass. An MKV track keeps its place against the MKV's video,
// so an audio delay in the source stays; `timeshift=` on a line moves that track further.
#include <memory>
#include <vector>

#include "common/packet_source.h"
#include "meta_file.h"

namespace standin::ts {

// Opens every line: audio and video tracks, and subtitles as PG streams (pg_stream.h, pg_copy.h,
// vobsub_source.h). Throws std::runtime_error naming the line for a missing file, a file FFmpeg
// cannot read, or a `track=` that names no track of the right kind.
std::vector<std::unique_ptr<PacketSource>> OpenMuxInputs(const MetaFile& meta);

}  // namespace standin::ts
