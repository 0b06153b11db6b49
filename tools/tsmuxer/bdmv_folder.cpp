#include "bdmv_folder.h"

#include <cstdio>
#include <fstream>
#include <optional>
#include <stdexcept>

#include "bdmv_clip_info.h"
#include "bdmv_index.h"
#include "ts_packets.h"

namespace standin::ts {
namespace fs = std::filesystem;
namespace {

std::string ClipName(int clip) {
    char name[16];
    std::snprintf(name, sizeof name, "%05d", clip);
    return name;
}

uint32_t To45k(int64_t pts90k) { return static_cast<uint32_t>(pts90k / 2); }

void WriteFile(const fs::path& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) throw std::runtime_error("cannot write " + path.string());
}

// Writes the file and its copy under BDMV/BACKUP.
void WriteWithBackup(const fs::path& root, const std::string& relative,
                     const std::vector<uint8_t>& bytes) {
    WriteFile(root / "BDMV" / relative, bytes);
    WriteFile(root / "BDMV" / "BACKUP" / relative, bytes);
}

// The marks at the given starts, each on the first key frame at or after it (the start of the
// next clip when its own clip has none later), in the clip whose playing time holds it. Where
// that lies more than half a second on and a key frame less than half a second before the start
// is nearer, the mark goes on that one: the viewer sees a moment of the scene before rather than
// missing the new scene's opening.
void MarksAtStarts(PlaylistPlan& plan, const std::vector<ClipFacts>& clips,
                   const std::vector<int64_t>& starts) {
    constexpr int64_t kHalfSecond = 45000 / 2;
    constexpr size_t kMaxMarks = 999;  // what a Blu-ray playlist may hold
    plan.marks.push_back({0, plan.items.front().inTime});
    int64_t itemStart = 0;  // playing time at the start of item k, 45 kHz
    size_t next = 1;        // the first chapter keeps the mark at the start
    for (size_t k = 0; k < plan.items.size(); ++k) {
        const PlayItem& item = plan.items[k];
        const int64_t length = int64_t{item.outTime} - item.inTime;
        for (; next < starts.size() && starts[next] < itemStart + length; ++next) {
            if (starts[next] <= 0 || plan.marks.size() >= kMaxMarks) continue;
            const int64_t time = item.inTime + (starts[next] - itemStart);
            std::optional<int64_t> after, before;
            for (const EntryPoint& e : clips[k].entryPoints) {
                const int64_t key = To45k(e.pts);
                if (key >= time && key < item.outTime && (!after || key < *after)) after = key;
                if (key < time && key >= item.inTime && (!before || key > *before)) before = key;
            }
            std::optional<ChapterMark> mark;
            if (after)
                mark = ChapterMark{static_cast<uint16_t>(k), static_cast<uint32_t>(*after)};
            else if (k + 1 < plan.items.size())
                mark = ChapterMark{static_cast<uint16_t>(k + 1), plan.items[k + 1].inTime};
            const int64_t laterBy = after ? *after - time : int64_t{item.outTime} - time;
            if (before && (!mark || laterBy > kHalfSecond) && time - *before < kHalfSecond)
                mark = ChapterMark{static_cast<uint16_t>(k), static_cast<uint32_t>(*before)};
            const ChapterMark& last = plan.marks.back();
            if (mark && (mark->playItem != last.playItem || mark->time != last.time))
                plan.marks.push_back(*mark);
        }
        itemStart += length;
    }
}

}  // namespace

void CreateBdmvFolders(const fs::path& root) {
    for (const char* folder :
         {"BDMV/PLAYLIST", "BDMV/CLIPINF", "BDMV/STREAM", "BDMV/AUXDATA", "BDMV/META", "BDMV/BDJO",
          "BDMV/JAR", "BDMV/BACKUP/PLAYLIST", "BDMV/BACKUP/CLIPINF", "BDMV/BACKUP/BDJO",
          "BDMV/BACKUP/JAR", "CERTIFICATE/BACKUP"})
        fs::create_directories(root / folder);
}

std::string StreamFilePath(const fs::path& root, int clip) {
    return (root / "BDMV" / "STREAM" / (ClipName(clip) + ".m2ts")).string();
}

PlaylistPlan PlanPlaylist(const std::vector<ClipFacts>& clips, int chapterMinutes,
                          const std::vector<int64_t>& chapterStarts) {
    PlaylistPlan plan;
    for (size_t k = 0; k < clips.size(); ++k) {
        PlayItem item{ClipName(static_cast<int>(k)), To45k(clips[k].firstPts),
                      To45k(clips[k].endPts)};
        if (k + 1 < clips.size())
            item.outTime = std::max(item.inTime, To45k(clips[k + 1].firstPts));
        plan.items.push_back(item);
    }
    if (!chapterStarts.empty() && !plan.items.empty()) {
        MarksAtStarts(plan, clips, chapterStarts);
        return plan;
    }
    const int64_t step = int64_t{chapterMinutes} * 60 * 45000;
    int64_t itemStart = 0;  // playing time at the start of item k, 45 kHz
    int64_t next = 0;       // playing time of the next mark
    for (size_t k = 0; k < plan.items.size(); ++k) {
        const PlayItem& item = plan.items[k];
        const int64_t length = int64_t{item.outTime} - item.inTime;
        while (next < itemStart + length || (next == 0 && k == 0)) {
            const uint32_t time = item.inTime + static_cast<uint32_t>(next - itemStart);
            uint32_t snapped = item.inTime;
            for (const EntryPoint& e : clips[k].entryPoints)
                if (To45k(e.pts) <= time && To45k(e.pts) >= snapped) snapped = To45k(e.pts);
            plan.marks.push_back({static_cast<uint16_t>(k), next == 0 ? item.inTime : snapped});
            if (step <= 0) return plan;
            next += step;
        }
        itemStart += length;
    }
    return plan;
}

void WriteBdmvNavigation(const fs::path& root, const std::vector<ClipFacts>& clips,
                         const std::vector<StreamAttributes>& streams, int chapterMinutes,
                         const std::vector<int64_t>& chapterStarts) {
    uint16_t videoPid = kVideoPid;
    for (const auto& s : streams)
        if (s.video) videoPid = s.pid;
    for (size_t k = 0; k < clips.size(); ++k)
        WriteWithBackup(root, "CLIPINF/" + ClipName(static_cast<int>(k)) + ".clpi",
                        ClipInfoClpi(clips[k], streams, videoPid, videoPid));
    const PlaylistPlan plan = PlanPlaylist(clips, chapterMinutes, chapterStarts);
    WriteWithBackup(root, "PLAYLIST/00000.mpls", PlaylistMpls(plan.items, streams, plan.marks));
    WriteWithBackup(root, "index.bdmv", IndexBdmv());
    WriteWithBackup(root, "MovieObject.bdmv", MovieObjectBdmv());
}

}  // namespace standin::ts
