#include "analysis/h264_checker_report.h"

#include <cstdlib>
#include <sstream>

#include "media/h264_sps.h"
#include "media/h264_video_parameter_sets.h"

namespace kestrun {
namespace {

bool StartsWith(const std::string& line, const char* prefix, std::string* rest) {
    const std::string p = prefix;
    if (line.compare(0, p.size(), p) != 0) return false;
    *rest = line.substr(p.size());
    return true;
}

// "High (100)" -> name "High", number 100.
void NameAndNumber(const std::string& text, std::string* name, int* number) {
    const size_t open = text.rfind(" (");
    *name = text.substr(0, open);
    *number = open == std::string::npos ? 0 : std::atoi(text.c_str() + open + 2);
}

int64_t DpbMacroblocks(const H264Facts& h) { return int64_t{h.macroblocks} * h.dpbFrames; }

}  // namespace

std::optional<H264Facts> ParseCheckerReport(const std::string& report) {
    std::optional<H264Facts> worst;
    H264Facts current;
    std::istringstream lines(report);
    std::string line, rest;
    while (std::getline(lines, line)) {
        if (StartsWith(line, "profile: ", &rest)) {
            current = H264Facts{};
            NameAndNumber(rest, &current.profileName, &current.profileIdc);
        } else if (StartsWith(line, "level: ", &rest)) {
            NameAndNumber(rest, &current.levelName, &current.levelIdc);
        } else if (StartsWith(line, "frame size: ", &rest)) {
            const size_t comma = rest.find(", ");
            if (comma != std::string::npos)
                current.macroblocks = std::atoi(rest.c_str() + comma + 2);
        } else if (StartsWith(line, "reference frames: ", &rest)) {
            current.dpbFrames = std::atoi(rest.c_str());
        } else if (StartsWith(line, "max_dec_frame_buffering: ", &rest)) {
            if (rest != "not given") current.dpbFrames = std::atoi(rest.c_str());
            // The last line of one set's description.
            if (current.macroblocks > 0 &&
                (!worst || DpbMacroblocks(current) > DpbMacroblocks(*worst)))
                worst = current;
        }
    }
    return worst;
}

std::optional<H264Facts> ReadH264Facts(const std::string& source) {
    std::optional<H264Facts> worst;
    try {
        for (const auto& unit : media::ReadVideoParameterSets(source).sps) {
            const auto sps = media::h264::ParseSps(unit.data(), unit.size());
            H264Facts facts;
            facts.profileIdc = static_cast<int>(sps.profileIdc);
            facts.profileName = sps.ProfileName();
            facts.levelIdc = static_cast<int>(sps.levelIdc);
            facts.levelName = sps.LevelName();
            facts.macroblocks = static_cast<int>(sps.FrameSizeInMbs());
            facts.dpbFrames =
                static_cast<int>(sps.maxDecFrameBuffering.value_or(sps.maxNumRefFrames));
            if (facts.macroblocks > 0 && (!worst || DpbMacroblocks(facts) > DpbMacroblocks(*worst)))
                worst = facts;
        }
    } catch (const std::exception&) {  // no H.264 track, or parameter sets that cannot be read
    }
    return worst;
}

}  // namespace kestrun
