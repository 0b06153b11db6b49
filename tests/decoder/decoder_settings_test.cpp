// The "AC3Filter Options" settings file.
#include "decoder/decoder_settings.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/temp_folder.h"

namespace kestrun {
namespace {

using test::ReadWholeFile;
using test::TempFolder;

TEST(DecoderSettings, SaveThenLoadGivesTheSameSettings) {
    TempFolder folder;
    const auto path = folder / std::string(kDecoderSettingsFile);
    for (const auto channels : {OutputChannels::AsSource, OutputChannels::Mono,
                                OutputChannels::Stereo, OutputChannels::Surround51}) {
        DecoderSettings settings;
        settings.channels = channels;
        settings.gainDb = -4.5;
        settings.dynamicRangeCompression = true;
        ASSERT_TRUE(settings.Save(path));
        EXPECT_EQ(DecoderSettings::Load(path), settings);
    }
    EXPECT_EQ(ReadWholeFile(path), "channels=5.1\ngain_db=-4.50\ndynamic_range_compression=1\n");
}

TEST(DecoderSettings, MissingOrDamagedFilesGiveDefaults) {
    TempFolder folder;
    EXPECT_EQ(DecoderSettings::Load(folder / "none.conf"), DecoderSettings{});

    const auto path = folder.Write("odd.conf",
                                   "# written by hand\r\n"
                                   "channels = stereo\r\n"
                                   "gain_db=loud\n"
                                   "dynamic_range_compression=maybe\n"
                                   "volume=11\n"
                                   "no equals sign\n");
    DecoderSettings expected;
    expected.channels = OutputChannels::Stereo;
    EXPECT_EQ(DecoderSettings::Load(path), expected);

    folder.Write("far.conf", "gain_db=99\nchannels=7.1\n");
    const auto clamped = DecoderSettings::Load(folder / "far.conf");
    EXPECT_EQ(clamped.gainDb, DecoderSettings::kMaxGainDb);
    EXPECT_EQ(clamped.channels, OutputChannels::AsSource);
}

TEST(DecoderSettings, FailedSaveKeepsTheOldFileAndSaysSo) {
    TempFolder folder;
    EXPECT_FALSE(DecoderSettings{}.Save(folder / "no/such/folder/ac3filter.conf"));

    // A folder where the file should be: nothing is replaced and no temporary file is left.
    std::filesystem::create_directory(folder / "taken.conf");
    EXPECT_FALSE(DecoderSettings{}.Save(folder / "taken.conf"));
    EXPECT_TRUE(std::filesystem::is_directory(folder / "taken.conf"));
    EXPECT_FALSE(std::filesystem::exists(folder / "taken.conf.tmp"));
}

}  // namespace
}  // namespace kestrun
