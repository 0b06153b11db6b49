// The mkvinfo stand-in's reading of mkvmerge's identification: later format versions are taken,
// an identification without what the report needs fails with a message, and a video track whose
// rate or size nothing gives is reported as unknown.
#include "mkvinfo/identification.h"

#include <gtest/gtest.h>

#include <string>

#include "mkvinfo/legacy_report.h"

namespace kestrun::test {
namespace {

using standin::mkvinfo::IdentificationError;
using standin::mkvinfo::ReadIdentification;

const std::string kTrack =
    R"({"id": 0, "type": "video", "properties": {"number": 1, "codec_id": "V_MPEG4/ISO/AVC"}})";

std::string Identification(
    const std::string& version, const std::string& tracks = "[" + kTrack + "]",
    const std::string& container = R"({"recognized": true, "type": "Matroska"})") {
    return R"({"identification_format_version": )" + version + R"(, "container": )" + container +
           R"(, "tracks": )" + tracks + "}";
}

TEST(MkvmergeIdentification, TakesTheFormatItWasWrittenForAndLaterOnes) {
    for (const char* version : {"17", "18", "25"})
        EXPECT_EQ(ReadIdentification(Identification(version)).tracks.size(), 1u) << version;
    EXPECT_THROW(ReadIdentification(Identification("16")), IdentificationError);
}

TEST(MkvmergeIdentification, WhatTheReportNeedsMustBeThere) {
    const std::string missing[] = {
        R"({"tracks": [], "container": {"recognized": true, "type": "Matroska"}})",
        Identification("17", R"({"a": 1})"),
        Identification("17", "[" + kTrack + "]", "{}"),
        Identification("17", R"([{"id": 0, "type": "video"}])"),
        Identification("17", R"([{"id": 0, "properties": {"number": 1, "codec_id": "A_AC3"}}])"),
        Identification("17", R"([{"id": 0, "type": "audio", "properties": {"number": 1}}])"),
        Identification("17",
                       R"([{"id": 0, "type": "audio", "properties": {"codec_id": "A_AC3"}}])"),
        "2e505",  // a number no double holds
    };
    for (const std::string& json : missing) {
        try {
            ReadIdentification(json);
            ADD_FAILURE() << "accepted " << json;
        } catch (const IdentificationError& e) {
            EXPECT_NE(std::string(e.what()), "") << json;
        }
    }
}

TEST(MkvmergeIdentification, RateAndSizeNothingGivesAreReportedAsUnknown) {
    const auto segment = ReadIdentification(Identification("17"));
    const std::string report = standin::mkvinfo::FormatLegacyReport(segment);
    for (const char* line : {"|  + Default duration: unknown (unknown fps for a video track)\n",
                             "|   + Pixel width: unknown\n", "|   + Pixel height: unknown\n",
                             "|   + Display width: unknown\n"})
        EXPECT_NE(report.find(line), std::string::npos) << line << report;
}

}  // namespace
}  // namespace kestrun::test
