#pragma once
// Fixed names of the intermediate files in the work folder: a private folder each conversion
// makes inside the output folder and removes again once its result is there. A name is appended
// directly to the work folder, which always ends with '/'.
#include <string_view>

namespace kestrun::work {

inline constexpr std::string_view kMovieH264 = "movie.h264";
inline constexpr std::string_view kMovieRawH264 = "movie_raw.h264";
inline constexpr std::string_view kMovieVideoH264 = "movie_video.h264";
// MP4Box's raw stream of an AVI holding MPEG-4 Part 2 video (XviD, DivX).
inline constexpr std::string_view kMovieVideoCmp = "movie_video.cmp";
inline constexpr std::string_view kMovieMpg = "movie.mpg";
inline constexpr std::string_view kMovieAvi = "movie.avi";
inline constexpr std::string_view kMovieWvc1 = "movie.wvc1";
inline constexpr std::string_view kMovieVc1 = "movie.vc1";
inline constexpr std::string_view kMovieAc3 = "movie.ac3";
inline constexpr std::string_view kMovieDts = "movie.dts";
inline constexpr std::string_view kMovieAac = "movie.aac";
inline constexpr std::string_view kMovieOgg = "movie.ogg";
inline constexpr std::string_view kMovieMp3 = "movie.mp3";
inline constexpr std::string_view kMovieMp2 = "movie.mp2";
inline constexpr std::string_view kMovieWav = "movie.wav";
inline constexpr std::string_view kMovie2Wav = "movie2.wav";
inline constexpr std::string_view kMovieWma = "movie.wma";
inline constexpr std::string_view kMovieSrt = "movie.srt";
inline constexpr std::string_view kMovieSsa = "movie.ssa";
inline constexpr std::string_view kMovieAss = "movie.ass";
// SSA and ASS tracks are extracted under their upper-case format text.
inline constexpr std::string_view kMovieSsaUpper = "movie.SSA";
inline constexpr std::string_view kMovieAssUpper = "movie.ASS";
// Image subtitle tracks: PGS as extracted, VobSub as its index and its pictures.
inline constexpr std::string_view kMovieSup = "movie.sup";
inline constexpr std::string_view kMovieIdx = "movie.idx";
inline constexpr std::string_view kMovieSub = "movie.sub";
inline constexpr std::string_view kMovieMeta = "movie.meta";
inline constexpr std::string_view kMovieMp4 = "movie.mp4";
inline constexpr std::string_view kAviMuxScript = "kestrun.amg";
inline constexpr std::string_view kTestAvi = "test.avi";
inline constexpr std::string_view kSplitFolder = "split";
// The work folder's own name in the output folder: this prefix and six characters of mkdtemp.
inline constexpr std::string_view kWorkFolderPrefix = ".kestrun-work-";
// Inside the work folder: where the results are made before they go into the output folder, so
// that no result name (a source named movie.mkv gives movie.mpg) meets an intermediate one.
inline constexpr std::string_view kResultFolder = "result/";
// What the tools add to a name they write through a temporary file: the stand-ins' ".partial",
// and MP4Box's rewrite of an MP4 whose index did not fit in front.
inline constexpr std::string_view kPartialSuffix = ".partial";
inline constexpr std::string_view kRewritePartialSuffix = ".rewrite.partial";
// Held with flock while a conversion writes into the folder; no clean-up removes it.
inline constexpr std::string_view kWorkFolderLock = "kestrun.lock";
// "movie." followed by an audio extension ("ac3", "dts", ...).
inline constexpr std::string_view kMoviePrefix = "movie.";

}  // namespace kestrun::work
