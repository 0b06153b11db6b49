// x264_checker "SOURCE": reads the H.264 parameter sets of SOURCE's video track and reports
// whether its decoded picture buffer fits level 4.1, the level the consoles decode; the last
// line reads "dpb check: [FAILED]" or "dpb check: [OK]". A source without readable H.264
// video gives a line on standard error, exit status 1 and no verdict.
extern "C" {
#include <libavutil/log.h>
}

#include <iostream>
#include <stdexcept>
#include <vector>

#include "common/fail.h"
#include "common/lib_names.h"
#include "dpb_report.h"
#include "media/h264_sps.h"
#include "media/h264_video_parameter_sets.h"

namespace {

constexpr const char* kTool = "x264_checker";

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        standin::Fail(kTool, "usage: x264_checker SOURCE");
        return 2;
    }
    av_log_set_level(AV_LOG_QUIET);
    try {
        const std::string source = argv[1];
        const auto headers = kestrun::media::ReadVideoParameterSets(source);
        std::vector<standin::h264::SequenceParameterSet> sets;
        for (const auto& unit : headers.sps)
            sets.push_back(standin::h264::ParseSps(unit.data(), unit.size()));
        std::cout << "source: " << source << "\n"
                  << "video stream: " << headers.streamIndex << " (H.264)\n"
                  << standin::DpbReport(sets) << std::flush;
        return 0;
    } catch (const std::exception& e) {
        standin::Fail(kTool, e.what());
        return 1;
    }
}
