#pragma once
// Muxes packet sources into Blu-ray stream files with FFmpeg's transport stream writer in its
// M2TS mode (192-byte source packets, video PID 0x1011, audio from 0x1100, PCR on the video
// PID), passing its output through M2tsOutput.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "bdmv_types.h"
#include "common/packet_source.h"

namespace standin::ts {

struct MuxResult {
    std::vector<StreamAttributes> streams;  // video first
    std::vector<ClipFacts> clips;
    std::vector<std::string> clipPaths;
    bool overLimit = false;
};

MuxResult MuxM2ts(const std::vector<std::unique_ptr<PacketSource>>& inputs,
                  const std::function<std::string(int)>& clipPath, int64_t splitBytes);

}  // namespace standin::ts
