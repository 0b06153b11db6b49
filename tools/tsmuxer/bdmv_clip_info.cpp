#include "bdmv_clip_info.h"

#include "byte_writer.h"

namespace standin::ts {
namespace {

constexpr size_t kCodingInfoLength = 21;

uint32_t To45k(int64_t pts90k) { return static_cast<uint32_t>((pts90k / 2) & 0xFFFFFFFF); }

void ClipInfo(ByteWriter& w, const ClipFacts& clip) {
    const size_t length = w.OpenLength32();
    w.U16(0);
    w.U8(1);   // AV stream
    w.U8(1);   // main TS of a movie
    w.U32(0);  // no ATC delta
    w.U32(kTsRecordingRate);
    w.U32(clip.sourcePackets);
    w.Zeros(128);
    w.U16(30);  // TS type info block
    w.U8(0x80);
    w.Text("HDMV");
    w.Zeros(25);
    w.CloseLength32(length);
}

void SequenceInfo(ByteWriter& w, const ClipFacts& clip, uint16_t pcrPid) {
    const size_t length = w.OpenLength32();
    w.U8(0);
    w.U8(1);  // one ATC sequence
    w.U32(0);
    w.U8(1);  // one STC sequence
    w.U8(0);
    w.U16(pcrPid);
    w.U32(0);
    w.U32(To45k(clip.firstPts));
    w.U32(To45k(clip.endPts));
    w.CloseLength32(length);
}

void CodingInfo(ByteWriter& w, const StreamAttributes& s) {
    w.U16(s.pid);
    w.U8(kCodingInfoLength);
    const size_t start = w.Size();
    w.U8(s.codingType);
    if (s.video) {
        w.U8((s.videoFormat << 4) | s.frameRate);
        w.U8(s.aspect << 4);
    } else if (s.pg) {
        std::string language = s.language;
        language.resize(3, ' ');
        w.Text(language);
    } else {
        w.U8((s.presentation << 4) | s.samplingFrequency);
        std::string language = s.language;
        language.resize(3, ' ');
        w.Text(language);
    }
    w.Zeros(kCodingInfoLength - (w.Size() - start));
}

void ProgramInfo(ByteWriter& w, const std::vector<StreamAttributes>& streams) {
    const size_t length = w.OpenLength32();
    w.U8(0);
    w.U8(1);  // one program sequence
    w.U32(0);
    w.U16(kPmtPid);
    w.U8(static_cast<uint32_t>(streams.size()));
    w.U8(0);
    for (const auto& s : streams)
        if (s.video) CodingInfo(w, s);
    for (const auto& s : streams)
        if (!s.video && !s.pg) CodingInfo(w, s);
    for (const auto& s : streams)
        if (s.pg) CodingInfo(w, s);
    w.CloseLength32(length);
}

struct CoarseEntry {
    uint32_t fineIndex;
    const EntryPoint* entry;
};

// A coarse entry starts at the first entry and wherever the high PTS or SPN bits change.
std::vector<CoarseEntry> CoarseEntries(const std::vector<EntryPoint>& entries) {
    std::vector<CoarseEntry> coarse;
    for (size_t i = 0; i < entries.size(); ++i) {
        const EntryPoint& e = entries[i];
        if (i == 0 || (e.pts >> 19) != (entries[i - 1].pts >> 19) ||
            (e.spn >> 17) != (entries[i - 1].spn >> 17))
            coarse.push_back({static_cast<uint32_t>(i), &e});
    }
    return coarse;
}

void EpMap(ByteWriter& w, const std::vector<EntryPoint>& entries, uint16_t videoPid) {
    const size_t mapStart = w.Size();
    const std::vector<CoarseEntry> coarse = CoarseEntries(entries);
    w.U8(0);
    w.U8(1);  // one stream: the video
    w.U16(videoPid);
    // 10 reserved bits, EP_stream_type 1 (video), 16 bits coarse count, 18 bits fine count.
    const uint64_t counts =
        (uint64_t{1} << 34) | (uint64_t{coarse.size() & 0xFFFF} << 18) | (entries.size() & 0x3FFFF);
    w.U16(static_cast<uint32_t>(counts >> 32) & 0xFFFF);
    w.U32(static_cast<uint32_t>(counts));
    const size_t tableAddress = w.Size();
    w.U32(0);
    w.PutU32At(tableAddress, static_cast<uint32_t>(w.Size() - mapStart));
    w.U32(static_cast<uint32_t>(4 + 8 * coarse.size()));  // fine table start
    for (const CoarseEntry& c : coarse) {
        w.U32((c.fineIndex << 14) | ((c.entry->pts >> 19) & 0x3FFF));
        w.U32(c.entry->spn);
    }
    for (const EntryPoint& e : entries)
        w.U32((uint32_t{e.iEndClass & 7u} << 28) | (((e.pts >> 9) & 0x7FF) << 17) |
              (e.spn & 0x1FFFF));
}

void Cpi(ByteWriter& w, const ClipFacts& clip, uint16_t videoPid) {
    const size_t length = w.OpenLength32();
    w.U16(1);  // EP map
    EpMap(w, clip.entryPoints, videoPid);
    w.CloseLength32(length);
}

}  // namespace

uint8_t KeyPictureSizeClass(int64_t bytes) {
    constexpr int64_t kLimits[] = {131072, 262144, 393216, 589824, 917504, 1310720};
    uint8_t sizeClass = 1;
    for (int64_t limit : kLimits) {
        if (bytes < limit) return sizeClass;
        ++sizeClass;
    }
    return 7;
}

std::vector<uint8_t> ClipInfoClpi(const ClipFacts& clip,
                                  const std::vector<StreamAttributes>& streams, uint16_t pcrPid,
                                  uint16_t videoPid) {
    ByteWriter w;
    w.Text("HDMV");
    w.Text(kBdmvVersion);
    const size_t addresses = w.Size();
    w.Zeros(20);  // SequenceInfo, ProgramInfo, CPI, ClipMark, ExtensionData start addresses
    w.Zeros(12);
    ClipInfo(w, clip);
    w.Align(4);
    w.PutU32At(addresses, static_cast<uint32_t>(w.Size()));
    SequenceInfo(w, clip, pcrPid);
    w.Align(4);
    w.PutU32At(addresses + 4, static_cast<uint32_t>(w.Size()));
    ProgramInfo(w, streams);
    w.Align(4);
    w.PutU32At(addresses + 8, static_cast<uint32_t>(w.Size()));
    Cpi(w, clip, videoPid);
    w.Align(4);
    w.PutU32At(addresses + 12, static_cast<uint32_t>(w.Size()));
    w.U32(0);  // no clip marks
    return w.Bytes();
}

}  // namespace standin::ts
