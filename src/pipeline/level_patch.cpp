// Announcing level 4.1 instead of 5.1 in a raw H.264 stream, for the consoles' decoders: in place
// on the sequence parameter sets among the first kilobytes of the stream, or through h264info for
// the transport-stream chains.
#include <array>
#include <cstdint>
#include <fstream>
#include <vector>

#include "media/h264_level_patcher.h"
#include "model/context.h"
#include "model/messages.h"
#include "pipeline/conversion.h"
#include "pipeline/stages.h"
#include "platform/file_api.h"
#include "platform/tool_table.h"
#include "platform/work_files.h"
#include "platform/work_folder_lock.h"

namespace kestrun {
namespace {

constexpr std::uint8_t kLevel51 = 0x33;
constexpr std::uint8_t kLevel41 = 0x29;

struct SpsPattern {
    std::uint8_t profile;
    std::uint8_t constraints;
    int lastStart;  // 1-based last start position scanned
};

// Tried in this order; the first that matches anywhere decides.
constexpr std::array<SpsPattern, 4> kPatterns = {{
    {0x64, 0x00, 6000},  // High
    {0x4D, 0x40, 3000},  // Main
    {0x58, 0xA0, 3000},  // Extended
    {0x42, 0xC0, 3000},  // Baseline
}};

// 0-based offsets of the level bytes that follow the pattern within its scan range, where the
// whole pattern lies inside a sequence parameter set.
std::vector<size_t> FindLevelBytes(const std::vector<std::uint8_t>& head,
                                   const std::vector<bool>& inSps, const SpsPattern& p) {
    std::vector<size_t> found;
    size_t start = 0;
    const size_t lastStart = static_cast<size_t>(p.lastStart) - 1;
    while (start <= lastStart && start + 2 < head.size()) {
        if (head[start] == p.profile && head[start + 1] == p.constraints &&
            head[start + 2] == kLevel51 && inSps[start] && inSps[start + 1] && inSps[start + 2]) {
            found.push_back(start + 2);
            start += 3;
        } else {
            ++start;
        }
    }
    return found;
}

}  // namespace

void PatchSpsLevel(const std::string& path) {
    // Only an existing stream is patched: opening a missing one must not create it.
    if (!FileFound(path)) return;
    std::vector<std::uint8_t> head(6002);
    {
        std::ifstream in(path, std::ios::binary);
        in.read(reinterpret_cast<char*>(head.data()), static_cast<std::streamsize>(head.size()));
        head.resize(static_cast<size_t>(in.gcount()));
    }
    const std::vector<bool> inSps = media::h264::SpsPayloadMask(head.data(), head.size());
    std::vector<size_t> positions;
    for (const SpsPattern& pattern : kPatterns) {
        positions = FindLevelBytes(head, inSps, pattern);
        if (!positions.empty()) break;
    }
    if (positions.empty()) return;
    // Every match is patched: a stream that repeats its headers keeps them all consistent.
    std::fstream out(path, std::ios::binary | std::ios::in | std::ios::out);
    for (size_t pos : positions) {
        out.seekp(static_cast<std::streamoff>(pos));
        out.put(static_cast<char>(kLevel41));
    }
}

void RunH264Info(Context& ctx, const std::string& workFolder) {
    const std::string toolPath = ctx.ToolPath(tool::kH264Info);
    const std::string iniPath = ctx.files.StatePath(tool::kH264InfoIni);
    // Every conversion of this program folder (or of this user) hands its paths to h264info through
    // the same file: one at a time, from writing it until h264info has ended.
    ToolTurn turn(ctx.files.TurnFolder(tool::kH264Info));
    if (!ctx.AwaitTurn(turn, msg::kWaitingForH264Info)) return;
    DeleteFileNoForce(iniPath);
    {
        std::ofstream ini(iniPath, std::ios::binary | std::ios::trunc);
        ini << "[Paths]\r\n"
            << "InputPath=" << workFolder << work::kMovieRawH264 << "\r\n"
            << "OutputPath=" << workFolder << work::kMovieH264 << "\r\n";
    }
    // Quoted, so that a program folder with blanks still names one program.
    ctx.runner.RunWaitHidden(Quoted(toolPath), ctx.Priority());
    DeleteFileNoForce(workFolder + std::string(work::kMovieRawH264));
}

}  // namespace kestrun
