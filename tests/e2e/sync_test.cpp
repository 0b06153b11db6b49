// A source whose audio starts later or earlier than its video (a track delay written with
// mkvmerge --sync): the result shows picture and sound together as the source does, both where
// the sound goes through movie.wav (AC-3) and where the source's AAC is muxed as it is, in the
// muxing chains and in the re-encodes.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "e2e/e2e_support.h"
#include "support/temp_folder.h"

namespace kestrun::e2e {
namespace {
namespace fs = std::filesystem;

constexpr double kFrameSeconds = 1001.0 / 24000.0;

// Start time of the first stream of a type ("a", "v"), as ffprobe gives it.
double StartTime(const std::string& path, const std::string& type) {
    return std::atof(
        test::ProbeFields(path, type + ":0", "stream=start_time")["start_time"].c_str());
}

// When the beep of the sound track is heard: the track's start and the silence before the beep.
double BeepTime(const std::string& path) {
    const ProgramRun run = RunProgram({"ffmpeg", "-nostdin", "-v", "error", "-i", path, "-map",
                                       "0:a:0", "-ac", "1", "-ar", "48000", "-f", "s16le", "-"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    const auto* samples = reinterpret_cast<const std::int16_t*>(run.out.data());
    const size_t count = run.out.size() / 2;
    size_t first = 0;
    while (first < count && std::abs(samples[first]) < 3000) ++first;
    EXPECT_LT(first, count) << path << " holds no beep";
    return StartTime(path, "a") + static_cast<double>(first) / 48000.0;
}

struct SyncCase {
    std::string name;
    std::vector<std::string> audioCodec;
    std::string sync;  // mkvmerge's --sync, IDs from 0: 0 the video, 1 the audio
    std::string container = "mp4";
    std::string recode = "none";
};
void PrintTo(const SyncCase& c, std::ostream* os) { *os << c.name; }

class SyncTest : public ::testing::TestWithParam<SyncCase> {};

TEST_P(SyncTest, PictureAndSoundKeepTheirDistance) {
    const SyncCase& c = GetParam();
    test::TempFolder temp("kestrun-e2e-sync");
    const ProgramFolderCopy program(temp.path());
    const fs::path out = temp.path() / "out";
    fs::create_directories(out);
    // One second of silence, then the beep.
    std::vector<std::string> args = PictureInput("160x120");
    for (const auto& part : {std::vector<std::string>{"-f", "lavfi", "-i",
                                                      "aevalsrc=0.5*gte(t\\,1)*sin(880*2*PI*t):"
                                                      "c=stereo:s=48000"},
                             std::vector<std::string>{"-t", "3", "-map", "0:v", "-map", "1:a"},
                             H264Options(), c.audioCodec})
        args.insert(args.end(), part.begin(), part.end());
    const std::string plain = test::FfmpegSample(args, "mkv");
    const std::string delayed = test::CachedSample(
        "mkvmerge --sync " + c.sync + " " + plain, "mkv", [&](const std::string& path) {
            test::Mkvmerge({"-o", path, "--sync", c.sync, plain});
        });
    const std::string source = (temp.path() / "Delayed.mkv").string();
    fs::copy_file(delayed, source);

    const ProgramRun run = RunProgram({program.Cli(), "convert", "--out", out.string(),
                                       "--container", c.container, "--recode", c.recode, source});
    ASSERT_EQ(run.exitCode, 0) << run.err;

    std::string mp4 = (out / "Delayed.mp4").string();
    if (c.container == "m2ts" || c.recode == "mpeg2") mp4 = (out / "Delayed.mpg").string();
    if (c.recode == "xvid") mp4 = (out / "Delayed.avi").string();
    if (c.container == "avchd") {
        mp4 = (temp.path() / "title.m2ts").string();
        RunProgram({"bd_splice", "-p", "0", (out / "Delayed").string(), mp4});
    }
    const double sourceDistance = BeepTime(source) - StartTime(source, "v");
    const double resultDistance = BeepTime(mp4) - StartTime(mp4, "v");
    EXPECT_NEAR(resultDistance, sourceDistance, kFrameSeconds)
        << "source " << sourceDistance << " s, result " << resultDistance << " s";
}

const std::vector<std::string> kAc3 = {"-c:a", "ac3", "-b:a", "192k"};
const std::vector<std::string> kAac = {"-c:a", "aac", "-b:a", "128k"};
const std::vector<std::string> kDts = {"-c:a", "dca", "-strict", "-2"};

INSTANTIATE_TEST_SUITE_P(
    Delays, SyncTest,
    ::testing::Values(SyncCase{"Ac3AudioLate", kAc3, "1:500"},
                      SyncCase{"Ac3VideoLate", kAc3, "0:500"},
                      SyncCase{"AacAudioLate", kAac, "1:500"},
                      SyncCase{"AacVideoLate", kAac, "0:500"},
                      // The M2TS chain: AC-3 read from the MKV, DTS
                      // decoded by valdec and shifted by tsMuxeR.
                      SyncCase{"M2tsAc3AudioLate", kAc3, "1:500", "m2ts"},
                      SyncCase{"M2tsDtsAudioLate", kDts, "1:500", "m2ts"},
                      SyncCase{"M2tsDtsVideoLate", kDts, "0:500", "m2ts"},
                      SyncCase{"AvchdAacAudioLate", kAac, "1:500", "avchd"},
                      // The re-encodes mux movie.ac3 as it starts.
                      SyncCase{"Mpeg2Ac3AudioLate", kAc3, "1:500", "mp4", "mpeg2"},
                      SyncCase{"XvidDtsVideoLate", kDts, "0:500", "mp4", "xvid"}),
    [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace kestrun::e2e
