// Removing the intermediate files a chain knows of once its final file is written. Each list
// fits its chain; nothing else in the work folder is touched, and read-only files stay. Subtitle
// tracks are written as movie.SSA / movie.ASS, so both spellings go.
#include "model/context.h"
#include "pipeline/conversion.h"
#include "pipeline/stages.h"
#include "platform/work_files.h"

namespace kestrun {
namespace {

void DeleteAll(Context& ctx, std::initializer_list<std::string_view> names) {
    for (std::string_view name : names) DeleteWork(ctx, name);
}

}  // namespace

void CleanupAfterMp4(Context& ctx) {
    using namespace work;
    DeleteAll(ctx, {kMovieAac, kMovieH264, kMovieAvi, kMovieVideoH264, kMovieVideoCmp, kMovieSrt,
                    kMovieSsa, kMovieSsaUpper, kMovieAss, kMovieAssUpper, kMovieAc3, kMovieDts,
                    kMovieMp3, kMovieMp2, kMovieOgg, kMovieSup, kMovieIdx, kMovieSub});
}

void CleanupAfterVc1(Context& ctx) {
    using namespace work;
    DeleteAll(ctx, {kMovieAvi, kMovieWav, kMovieAc3, kMovieVc1, kMovieSrt, kMovieMeta});
}

void CleanupAfterTs(Context& ctx) {
    using namespace work;
    DeleteAll(ctx, {kMovieAac,      kMovieH264,    kMovieAvi, kMovieVideoH264, kMovieVideoCmp,
                    kMovieMeta,     kMovieSrt,     kMovieSsa, kMovieSsaUpper,  kMovieAss,
                    kMovieAssUpper, kMovieAc3,     kMovieDts, kMovieMp3,       kMovieMp2,
                    kMovieOgg,      kMovieRawH264, kMovieSup, kMovieIdx,       kMovieSub});
}

}  // namespace kestrun
