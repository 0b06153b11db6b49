// The H.264 readers of the stand-ins: NAL units, emulation prevention, the sequence parameter set,
// the parameter-set records, and the level patch of a stream that arrives in chunks.
#include <cstring>
#include <stdexcept>

#include "fuzz_support.h"
#include "h264info/level_rewrite.h"
#include "media/h264_level_patcher.h"
#include "media/h264_nal.h"
#include "media/h264_parameter_sets.h"
#include "media/h264_sps.h"

namespace h264 = kestrun::media::h264;

namespace {

void ReadSps(const uint8_t* nal, size_t size) {
    try {
        const h264::SequenceParameterSet sps = h264::ParseSps(nal, size);
        sps.Width();
        sps.Height();
        sps.ProfileName();
        sps.LevelName();
        h264::ExceedsConsoleDpb(sps);
        h264::MaxDpbFrames(h264::MaxDpbMbsForLevel(sps.levelIdc, sps.constraintFlags),
                           sps.FrameSizeInMbs());
    } catch (const std::runtime_error&) {
    }
}

// The units of an Annex B buffer behind their lengths as the MP4 writer cuts them, a byte at a
// time: the next 00 00 01 that a byte follows, one zero byte before it taken along.
std::vector<uint8_t> LengthPrefixedByteByByte(const uint8_t* data, size_t size) {
    const auto nextStartCode = [&](size_t from) {
        size_t at = from;
        while (at + 3 < size && !(data[at] == 0 && data[at + 1] == 0 && data[at + 2] == 1)) ++at;
        if (at + 3 >= size) return size;
        return at > from && data[at - 1] == 0 ? at - 1 : at;
    };
    std::vector<uint8_t> out;
    size_t start = nextStartCode(0);
    for (;;) {
        while (start < size && data[start++] == 0) {
        }
        if (start == size) break;
        const size_t end = nextStartCode(start);
        const size_t length = end - start;
        for (const int shift : {24, 16, 8, 0}) out.push_back(static_cast<uint8_t>(length >> shift));
        out.insert(out.end(), data + start, data + end);
        start = end;
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<uint8_t> prefixed(data, data + size);
    h264::ToLengthPrefixed(prefixed, h264::StartCodeOffsets(data, size));
    if (prefixed != LengthPrefixedByteByByte(data, size)) std::abort();
    h264::AvcConfigurationOfAnnexB(data, size);

    h264::FirstSliceNalType(data, size);
    for (const h264::NalUnit& unit : h264::SplitNalUnits(data, size)) {
        h264::RemoveEmulationPrevention(unit.data, unit.size);
        if (unit.type() == h264::kNalSps) ReadSps(unit.data, unit.size);
    }
    ReadSps(data, size);
    try {
        const h264::ParameterSets sets = h264::ReadParameterSets(data, size);
        for (const auto& sps : sets.sps) ReadSps(sps.data(), sps.size());
        h264::ToAnnexB(sets);
    } catch (const std::runtime_error&) {
    }
    h264::ToAnnexB(h264::ParameterSetsInAnnexB(data, size));

    // The level patch: the same bytes whether the stream comes whole or cut in two anywhere.
    if (size == 0) return 0;
    const size_t cut = data[0] % size;
    std::vector<uint8_t> whole(data, data + size);
    std::vector<uint8_t> pieces = whole;
    h264::SpsLevelPatcher wholePatcher(41);
    wholePatcher.Patch(whole.data(), whole.size());
    h264::SpsLevelPatcher piecePatcher(41);
    piecePatcher.Patch(pieces.data(), cut);
    piecePatcher.Patch(pieces.data() + cut, size - cut);
    if (whole != pieces || wholePatcher.SpsCount() != piecePatcher.SpsCount()) std::abort();
    size_t changed = 0;
    for (size_t i = 0; i < size; ++i) changed += whole[i] != data[i];
    if (changed != wholePatcher.ChangedCount()) std::abort();

    const std::string input = kestrun::fuzz::WriteInput("stream.h264", data, size);
    try {
        standin::RewriteSpsLevels(input, kestrun::fuzz::ScratchFolder() + "/patched.h264", 41);
    } catch (const std::runtime_error&) {
    }
    return 0;
}
