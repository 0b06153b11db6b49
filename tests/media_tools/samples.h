#pragma once
// Tiny media samples, made with FFmpeg and mkvmerge the first time a test asks for them, in one
// awkwardly named folder per test program.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/temp_folder.h"

namespace media_test {

// The folder every sample and every test output of this test program lives in; its name holds
// blanks, an apostrophe and non-ASCII letters.
const kestrun::test::TempFolder& WorkFolder();

// One second of a 440 Hz tone in the format `format`: "ac3" (5.1), "dts" (5.1), "aac" (ADTS,
// 5.1), "mp3", "mp2", "ogg" (Vorbis; all three stereo) or "wav" (16-bit, 5.1).
std::string AudioSample(const std::string& format);

// A Matroska file whose tracks are listed in this order (ID 0 to 4) with these TrackNumbers:
//   ID 0: AAC stereo     number 7
//   ID 1: ASS subtitles  number 3
//   ID 2: H.264 with B-frames, 24 frames at 23.976 fps   number 9
//   ID 3: SRT subtitles  number 2
//   ID 4: AC-3 5.1       number 5
// so that neither "ID = number - 1" nor "numbers start at 1" holds.
std::string RenumberedMkv();
inline constexpr int kVideoFrames = 24;

// A 6 s 640x360 film at 25 fps whose track 2 holds picture subtitles, kind "pgs" (S_HDMV/PGS)
// or "vobsub" (S_VOBSUB), drawn from a text track by the tsMuxeR stand-in: the cues show from
// 1.0 to 2.5 s and from 4.0 to 5.0 s, centred, their text's bottom 40 pixels above the film's.
std::string PictureSubtitleMkv(const std::string& kind);

// A work folder of its own for each test, named after it, with the chains' file names in it.
class StagedAudioTest : public ::testing::Test {
protected:
    void SetUp() override {
        work_ = WorkFolder() / ::testing::UnitTest::GetInstance()->current_test_info()->name();
        std::filesystem::create_directory(work_);
    }
    void TearDown() override { std::filesystem::remove_all(work_); }

    std::string In(const std::string& name) const { return work_ + "/" + name; }

    // Copies a sample into the work folder under the name the chains give it.
    std::string Stage(const std::string& format, const std::string& name) {
        std::filesystem::copy_file(AudioSample(format), In(name));
        return In(name);
    }

    std::string work_;
};

}  // namespace media_test
