#include "media_facts.h"

#include <stdexcept>

#include "common/lib_names.h"
#include "media/libav_handles.h"

namespace standin {
namespace {

// The file opened for reading its headers; null, with FFmpeg's reason in `error`, when it cannot
// be.
InputPtr OpenOrSay(const std::string& path, std::string* error) {
    try {
        return OpenInput(path);
    } catch (const std::runtime_error& e) {
        *error = e.what();
        return nullptr;
    }
}

}  // namespace

MediaFacts ProbeMedia(const std::string& path) {
    MediaFacts facts;
    const InputPtr input = OpenOrSay(path, &facts.error);
    if (!input) return facts;
    if (input->start_time != AV_NOPTS_VALUE) facts.startUs = input->start_time;
    if (input->duration > 0) facts.seconds = static_cast<double>(input->duration) / AV_TIME_BASE;
    for (unsigned i = 0; i < input->nb_streams; ++i) {
        const AVCodecParameters* par = input->streams[i]->codecpar;
        if (par->codec_type == AVMEDIA_TYPE_VIDEO && facts.width == 0) {
            facts.width = par->width;
            facts.height = par->height;
        } else if (par->codec_type == AVMEDIA_TYPE_AUDIO && facts.audioKbit == 0) {
            facts.audioKbit = par->bit_rate / 1000;
        }
    }
    if (facts.width == 0) facts.error = "no video stream in " + path;
    return facts;
}

SubtitleFacts ProbeSubtitles(const std::string& path) {
    SubtitleFacts facts;
    const InputPtr input = OpenOrSay(path, &facts.error);
    if (!input) return facts;
    if (input->start_time != AV_NOPTS_VALUE) facts.startUs = input->start_time;
    for (unsigned i = 0; i < input->nb_streams; ++i) {
        const AVCodecParameters* par = input->streams[i]->codecpar;
        if (par->codec_type != AVMEDIA_TYPE_SUBTITLE) continue;
        facts.width = par->width;
        facts.height = par->height;
        return facts;
    }
    facts.error = "no subtitle stream in " + path;
    return facts;
}

}  // namespace standin
