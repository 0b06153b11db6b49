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

// One PlayItem per clip; the clips of a cut stream join where the next begins. A chapter mark
// every `chapterMinutes` of playing time (only the first when 0), each on the key frame at or
// before its time.
PlaylistPlan PlanPlaylist(const std::vector<ClipFacts>& clips, int chapterMinutes);

// Writes the navigation files and their BACKUP copies.
void WriteBdmvNavigation(const std::filesystem::path& root, const std::vector<ClipFacts>& clips,
                         const std::vector<StreamAttributes>& streams, int chapterMinutes);

}  // namespace standin::ts
