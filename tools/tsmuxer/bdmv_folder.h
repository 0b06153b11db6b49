#pragma once
// A single-title Blu-ray folder around the muxed clips:
//   ROOT/BDMV/{index.bdmv, MovieObject.bdmv, PLAYLIST/00000.mpls, CLIPINF/NNNNN.clpi,
//              STREAM/NNNNN.m2ts, AUXDATA, META, BDJO, JAR,
//              BACKUP/{index.bdmv, MovieObject.bdmv, PLAYLIST, CLIPINF, BDJO, JAR}}
//   ROOT/CERTIFICATE/BACKUP
#include <filesystem>
#include <string>
#include <vector>

#include "bdmv_playlist.h"
#include "bdmv_types.h"

namespace standin::ts {

// Creates the empty folders; returns the path of stream file `clip`'s .m2ts.
void CreateBdmvFolders(const std::filesystem::path& root);
std::string StreamFilePath(const std::filesystem::path& root, int clip);

struct PlaylistPlan {
    std::vector<PlayItem> items;
    std::vector<ChapterMark> marks;
};

// One PlayItem per clip; the clips of a cut stream join where the next begins. The first chapter
// mark is at the start. With `chapterStarts` (45 kHz of playing time, in order) the others are
// on the key frame at or after each later start, in the clip that holds it (one less than half
// a second before it when none lies within half a second after); without, a mark
// every `chapterMinutes` of playing time (none more when 0), each on the key frame at or before.
PlaylistPlan PlanPlaylist(const std::vector<ClipFacts>& clips, int chapterMinutes,
                          const std::vector<int64_t>& chapterStarts = {});

// Writes the navigation files and their BACKUP copies.
void WriteBdmvNavigation(const std::filesystem::path& root, const std::vector<ClipFacts>& clips,
                         const std::vector<StreamAttributes>& streams, int chapterMinutes,
                         const std::vector<int64_t>& chapterStarts = {});

}  // namespace standin::ts
