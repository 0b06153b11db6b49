#include "dpb_report.h"

#include <sstream>

namespace standin {

std::string DescribeSps(const h264::SequenceParameterSet& sps) {
    const uint32_t allowed = h264::MaxDpbFrames(h264::kConsoleMaxDpbMbs, sps.FrameSizeInMbs());
    std::ostringstream text;
    text << "profile: " << sps.ProfileName() << " (" << sps.profileIdc << ")\n"
         << "level: " << sps.LevelName() << " (" << sps.levelIdc << ")\n"
         << "frame size: " << sps.Width() << "x" << sps.Height() << " (coded " << sps.CodedWidth()
         << "x" << sps.CodedHeight() << ", " << sps.FrameSizeInMbs() << " macroblocks"
         << (sps.frameMbsOnly ? "" : ", interlaced") << ")\n"
         << "reference frames: " << sps.maxNumRefFrames << "\n"
         << "max_dec_frame_buffering: ";
    if (sps.maxDecFrameBuffering)
        text << *sps.maxDecFrameBuffering << "\n";
    else
        text << "not given\n";
    text << "level 4.1 allows: " << allowed << " frames at this size\n";
    if (sps.FrameSizeInMbs() > h264::kConsoleMaxFrameMbs)
        text << "note: the frame is larger than level 4.1 allows (" << h264::kConsoleMaxFrameMbs
             << " macroblocks)\n";
    return text.str();
}

std::string DpbReport(const std::vector<h264::SequenceParameterSet>& sets) {
    std::string report;
    bool failed = false;
    for (size_t i = 0; i < sets.size(); ++i) {
        if (sets.size() > 1)
            report += "sequence parameter set " + std::to_string(sets[i].id) + ":\n";
        report += DescribeSps(sets[i]);
        failed = failed || h264::ExceedsConsoleDpb(sets[i]);
    }
    report += failed ? kDpbFailedLine : kDpbOkLine;
    report += "\n";
    return report;
}

}  // namespace standin
