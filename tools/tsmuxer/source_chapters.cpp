#include "source_chapters.h"

#include <set>
#include <string>

#include "common/lib_names.h"
#include "media/libav_handles.h"
#include "media/stream_facts.h"

namespace standin::ts {
namespace {

constexpr AVRational k45k{1, 45000};

std::vector<int64_t> ChaptersOf(const std::string& path) {
    AVFormatContext* context = nullptr;
    if (avformat_open_input(&context, AvFilePath(path).c_str(), nullptr, nullptr) < 0) return {};
    const InputPtr input(context);
    if (std::string(input->iformat->name).find("matroska") == std::string::npos ||
        input->nb_chapters == 0)
        return {};
    if (avformat_find_stream_info(context, nullptr) < 0) return {};
    return ChapterStarts(*input, k45k);
}

}  // namespace

std::vector<int64_t> SourceChapterStarts(const MetaFile& meta) {
    std::set<std::string> tried;
    for (const MetaTrack& line : meta.tracks) {
        if (!tried.insert(line.path).second) continue;
        std::vector<int64_t> starts = ChaptersOf(line.path);
        if (!starts.empty()) return starts;
    }
    return {};
}

}  // namespace standin::ts
