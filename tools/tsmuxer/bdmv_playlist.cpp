#include "bdmv_playlist.h"

#include <algorithm>
#include <functional>

#include "byte_writer.h"

namespace standin::ts {
namespace {

constexpr uint8_t kConnectionFirst = 1;
constexpr uint8_t kConnectionSeamless = 6;  // the next piece of one continuous stream

void StreamEntry(ByteWriter& w, const StreamAttributes& s) {
    w.U8(9);  // entry length
    w.U8(1);  // a stream of the main clip
    w.U16(s.pid);
    w.Zeros(6);
    w.U8(5);  // attributes length
    w.U8(s.codingType);
    if (s.video) {
        w.U8((s.videoFormat << 4) | s.frameRate);
        w.Zeros(3);
    } else if (s.pg) {
        std::string language = s.language;
        language.resize(3, ' ');
        w.Text(language);
        w.U8(0);
    } else {
        w.U8((s.presentation << 4) | s.samplingFrequency);
        std::string language = s.language;
        language.resize(3, ' ');
        w.Text(language);
    }
}

void StreamTable(ByteWriter& w, const std::vector<StreamAttributes>& streams) {
    const size_t length = w.OpenLength16();
    w.U16(0);
    auto isAudio = [](const StreamAttributes& s) { return !s.video && !s.pg; };
    auto isPg = [](const StreamAttributes& s) { return s.pg; };
    auto isVideo = [](const StreamAttributes& s) { return s.video; };
    w.U8(std::count_if(streams.begin(), streams.end(), isVideo));
    w.U8(std::count_if(streams.begin(), streams.end(), isAudio));
    w.U8(std::count_if(streams.begin(), streams.end(), isPg));
    w.Zeros(5);  // IG, secondary audio, secondary video, PiP PG, reserved
    w.Zeros(4);
    for (const auto& kind :
         {std::function<bool(const StreamAttributes&)>(isVideo), {isAudio}, {isPg}})
        for (const auto& s : streams)
            if (kind(s)) StreamEntry(w, s);
    w.CloseLength16(length);
}

void PlayItemEntry(ByteWriter& w, const PlayItem& item, bool first,
                   const std::vector<StreamAttributes>& streams) {
    const size_t length = w.OpenLength16();
    std::string name = item.clipName;
    name.resize(5, '0');
    w.Text(name);
    w.Text("M2TS");
    w.U16(first ? kConnectionFirst : kConnectionSeamless);
    w.U8(0);  // ref_to_STC_id
    w.U32(item.inTime);
    w.U32(item.outTime);
    w.Zeros(8);  // no user operation masked
    w.U8(0);
    w.U8(0);  // no still
    w.U16(0);
    StreamTable(w, streams);
    w.CloseLength16(length);
}

}  // namespace

std::vector<uint8_t> PlaylistMpls(const std::vector<PlayItem>& items,
                                  const std::vector<StreamAttributes>& streams,
                                  const std::vector<ChapterMark>& marks) {
    ByteWriter w;
    w.Text("MPLS");
    w.Text(kBdmvVersion);
    const size_t addresses = w.Size();
    w.Zeros(12);  // PlayList, PlayListMark, ExtensionData start addresses
    w.Zeros(20);
    const size_t appInfo = w.OpenLength32();
    w.U8(0);
    w.U8(1);  // sequential playback
    w.U16(0);
    w.Zeros(8);  // no user operation masked
    w.U16(0);
    w.CloseLength32(appInfo);

    w.PutU32At(addresses, static_cast<uint32_t>(w.Size()));
    const size_t playList = w.OpenLength32();
    w.U16(0);
    w.U16(static_cast<uint32_t>(items.size()));
    w.U16(0);  // no sub-paths
    for (size_t i = 0; i < items.size(); ++i) PlayItemEntry(w, items[i], i == 0, streams);
    w.CloseLength32(playList);

    w.PutU32At(addresses + 4, static_cast<uint32_t>(w.Size()));
    const size_t markList = w.OpenLength32();
    w.U16(static_cast<uint32_t>(marks.size()));
    for (const ChapterMark& mark : marks) {
        w.U8(0);
        w.U8(1);  // entry mark (chapter)
        w.U16(mark.playItem);
        w.U32(mark.time);
        w.U16(0xFFFF);  // no entry ES
        w.U32(0);       // duration: up to the next mark
    }
    w.CloseLength32(markList);
    return w.Bytes();
}

}  // namespace standin::ts
