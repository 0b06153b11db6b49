#pragma once
// The texts the program shows to people: captions, titles, messages. One place for each.
#include <string_view>

namespace kestrun::msg {

inline constexpr std::string_view kAppTitle = "Kestrun";
inline constexpr std::string_view kWindowCaption = "Kestrun 0.24 B3";

// Captions that rules switch between.
inline constexpr std::string_view kSafeSync = "Safe Sync";
inline constexpr std::string_view kFastMux = "Fast Mux";

// Dialogs.
inline constexpr std::string_view kSelectMkvTitle = "Select the MKV";
inline constexpr std::string_view kSelectSubtitleTitle = "Select the Subtitle file";
inline constexpr std::string_view kSelectOutputFolder =
    "Please select a folder where the converted file is stored.";
inline constexpr std::string_view kSelectBatchFolder =
    "Please select a folder with MKV files to be converted.";
inline constexpr std::string_view kStoreInSourceFolder = "Store resulting files in source folder ?";

// Paths that the tools' command lines cannot carry.
inline constexpr std::string_view kQuoteInPath =
    "This path holds a double quote (\"), a line break or ends with a backslash, which the "
    "tools' command lines cannot carry. "
    "Please rename it: ";

// Shown by outputs that this build does not make yet.

// The frame rate or picture size of a source whose track report could not give it.
inline constexpr std::string_view kUnknown = "unknown";

}  // namespace kestrun::msg

namespace kestrun::msg {

// ---- MKV conversion: progress texts
inline constexpr std::string_view kExtracting = "Extracting video/audio stream";
inline constexpr std::string_view kAdjustingHeader = "Adjusting header";
inline constexpr std::string_view kAdjustingHeaderTs = "Adjusting Header";
inline constexpr std::string_view kWaitingForAnalysis =
    "Waiting for another conversion to finish reading its source";
inline constexpr std::string_view kWaitingForH264Info =
    "Waiting for another conversion to finish its header adjustment";
inline constexpr std::string_view kBackupExtraction = "Extracting audio with backup method.";
inline constexpr std::string_view kEncodingAudio = "Encoding Audio";
inline constexpr std::string_view kConvertingAudio = "Converting Audio";
inline constexpr std::string_view kCreatingMp4 = "Creating MP4";
inline constexpr std::string_view kCleaning = "Cleaning temporary files";
inline constexpr std::string_view kConversionDone = "Conversion done";
inline constexpr std::string_view kConversionDoneVc1 = "Conversion Done";
inline constexpr std::string_view kConversionErrorMp4 = "Conversion Error";
inline constexpr std::string_view kConversionErrorRecode = "Conversion error.";
inline constexpr std::string_view kCreatingAvchd = "Creating AVCHD";
inline constexpr std::string_view kMuxingM2ts = "Muxing M2TS";
inline constexpr std::string_view kBytesWavWritten = " Bytes WAV written";
// + the source's frame rate
inline constexpr std::string_view kFps25NotBelow25 =
    "25 FPS output skipped: it speeds up only films below 25 fps (23.976, 24). The film keeps its "
    "frame rate of ";
// kFps25Refused + the source's frame rate: the command line's --fps25 on such a film.
inline constexpr std::string_view kFps25Refused =
    "--fps25 speeds up only films below 25 fps (23.976, 24); this source has ";
inline constexpr std::string_view kFps25Kept =
    "25 FPS output skipped: the sound cannot follow (its audio is not decoded here, or the frame "
    "rate is unknown). The film keeps its frame rate of ";

// ---- Re-encoding: progress texts
inline constexpr std::string_view kEncodingH264 = "Encoding H264";
inline constexpr std::string_view kEncodingMpeg2Audio = "Encoding mpeg2.";
inline constexpr std::string_view kEncodingMpeg2 = "Encoding Mpeg2";
inline constexpr std::string_view kEncodingXvidStart = "Encoding Xvid.";
inline constexpr std::string_view kEncodingXvid = "Encoding Xvid";
inline constexpr std::string_view kRepackingVob = "Repacking to mpeg2 container";
inline constexpr std::string_view kSplittingMkv = "Splitting MKV";
inline constexpr std::string_view kSplitConversion = "Performing Split file conversion";
inline constexpr std::string_view kRecodingAudio = "Recoding audio.";
inline constexpr std::string_view kRecodingVideo = "Recoding video.";
inline constexpr std::string_view kConversionDoneAvi = "Conversion done.";
// The encoder's progress after the stage's text: " 40% (3 min left)".
inline constexpr std::string_view kPercentSuffix = "% (";
inline constexpr std::string_view kMinutesLeftSuffix = " min left)";
// A chain whose final file was not written: kOutputMissingHead + file + kOutputMissingTail.
inline constexpr std::string_view kOutputMissingHead = "Error creating ";
inline constexpr std::string_view kOutputMissingTail =
    ", quitting attempt. Temp files not deleted.";
inline constexpr std::string_view kEncodingErrorTitle = "Encoding error";
inline constexpr std::string_view kSplitFailed =
    "mkvmerge wrote no pieces of the source; nothing was converted.";

// ---- MKV conversion: messages and their titles
inline constexpr std::string_view kOutputFolderMissing = "Output folder does not exist.";
// A batch into a folder that is not there: + the folder.
inline constexpr std::string_view kBatchOutputFolderMissing =
    "The output folder does not exist; nothing was converted: ";
inline constexpr std::string_view kFolderErrorTitle = "Folder error";
inline constexpr std::string_view kAacError = "Error during aac conversion.";
inline constexpr std::string_view kAudioErrorTitle = "Audio error";
inline constexpr std::string_view kAudioExtractionError =
    "Error during audio extraction. Temp files not deleted.";
inline constexpr std::string_view kMp4ErrorTitle = "MP4box error";
// "Error creating " + file + kMp4ErrorTail
inline constexpr std::string_view kMp4ErrorHead = "Error creating ";
inline constexpr std::string_view kMp4ErrorTail =
    ", quitting attempt. Temp files (movie.h264 + movie.aac) not deleted.";
inline constexpr std::string_view kUnknownAudioFormat =
    "The chosen audio track is in none of the formats that can be converted "
    "(AC3, DTS, OGG, MP3, AAC, MP2, or another that FFmpeg decodes). Nothing was converted.";
// Video no console decodes: kOnlyRecodeConverts + reason ("HEVC", "10-bit H.264"), and when no
// re-encode is chosen kChooseRecode after it.
// A source with several video tracks: kVideoTracksLeftOut + "track 3 (V_MPEG2)".
inline constexpr std::string_view kVideoTracksLeftOut =
    "Only the first video track is converted; left out: ";
// A source whose frames change their rate along the way: kVariableFrameRate + the rate the
// window shows + kVariableFrameRateTail.
inline constexpr std::string_view kVariableFrameRate =
    "The video's frame rate varies: it is re-encoded at one rate of ";
inline constexpr std::string_view kVariableFrameRateTail =
    " fps, with frames repeated or dropped to keep the source's length";
inline constexpr std::string_view kOnlyRecodeConverts =
    "Only a re-encode can convert this source: ";
inline constexpr std::string_view kChooseRecode =
    ". Tick \"MPEG2 Recode\" and choose MPEG2, H264 or Xvid; the video is never copied.";
inline constexpr std::string_view kVideoErrorTitle = "Video error";
// Sources no conversion can take: kSourceRefused + reason.
inline constexpr std::string_view kSourceRefused = "This source cannot be converted: ";
inline constexpr std::string_view kNoVideoTrack = "it holds no video track";
inline constexpr std::string_view kMpeg4NotInTransportStream =
    "MPEG-4 Part 2 video does not play in an AVCHD folder or an M2TS stream";
inline constexpr std::string_view kMpeg2NeedsRecodeForContainer =
    "MPEG-2 video is repacked unchanged into a VOB (\".mpg\") only; an AVCHD folder or an M2TS "
    "stream needs an H.264 re-encode. Tick \"MPEG2 Recode\" and choose H264, or untick the "
    "container. Nothing was converted.";
// The warning when such a source is chosen: the head names the reason (kVideoNotPlayableHead +
// reason + kVideoNotPlayableTail) or the decoded picture buffer (kDpbNotPlayable); the advice
// lines follow, each after a carriage return.
inline constexpr std::string_view kDpbNotPlayable =
    "This AVC file is not playable on PS3 (black screen) or 360 (extreme artifacts).";
inline constexpr std::string_view kVideoNotPlayableHead = "This ";
inline constexpr std::string_view kVideoNotPlayableTail = " file is not playable on PS3 or 360.";
inline constexpr std::string_view kRecodeAdvice =
    "\rRecode to Xvid(both), MPEG2(PS3) or h264(both), to be able to play this file."
    "\rThe normal output format (MP4/AVCHD/M2TS) is  kept when recoding to h264.";
inline constexpr std::string_view kResultExists =
    "The result of an earlier conversion is in the way; move or rename it and convert again: ";
// The work folder of a conversion that did not end with its result, named after this text.
inline constexpr std::string_view kWorkFolderKept = "The intermediate files stay in: ";
inline constexpr std::string_view kWorkFolderNotMade = "Cannot make a work folder: ";
inline constexpr std::string_view kResultNotMoved =
    "The result could not be moved into the output folder: ";
// Head + name + " (" + length + kNameTooLongMiddle + limit + kNameTooLongTail.
inline constexpr std::string_view kNameTooLongHead =
    "This name is too long for the output folder; rename the source and convert again: ";
inline constexpr std::string_view kNameTooLongMiddle = " bytes; the folder takes at most ";
inline constexpr std::string_view kNameTooLongTail = ")";
inline constexpr std::string_view kSourceMissing = "The source file cannot be found: ";
inline constexpr std::string_view kSourceErrorTitle = "Source error";
// A source named ".mkv" whose content is not Matroska: + the path.
inline constexpr std::string_view kNotMatroska =
    "This file is named .mkv but is not an MKV (Matroska) file; nothing was converted: ";
inline constexpr std::string_view kVc1Error =
    "The VC-1 conversion did not write its files (the video stream and movie.wma); the "
    "intermediate files stay in the work folder.";
inline constexpr std::string_view kVc1ErrorTitle = "VC-1 error";
inline constexpr std::string_view kWorkFolderBusy =
    "Another conversion is writing into this output folder. Wait until it has ended, or choose "
    "another output folder: ";
// "Error: " + result + " was not created." with the title "info" (AVCHD, M2TS and WMV chains).
inline constexpr std::string_view kNotCreatedHead = "Error: ";
inline constexpr std::string_view kNotCreatedTail = " was not created.";
inline constexpr std::string_view kInfoTitle = "info";
// A file that no chain takes by its content (neither Matroska, AVI nor ASF): kNotASource + path.
inline constexpr std::string_view kNotASource =
    "This file is neither an MKV, an AVI nor a WMV (ASF) file by its content, so it cannot be "
    "converted: ";
// An AVI with more than one audio track: kAviAudioHead + count + kAviAudioTail.
inline constexpr std::string_view kAviAudioHead = "This AVI holds ";
inline constexpr std::string_view kAviAudioTail =
    " audio tracks: the first one is converted, the others are left out.";
// What the WMV chain cannot take: kWmvRefused + reason.
inline constexpr std::string_view kWmvRefused = "This WMV source cannot be converted: ";
// kWmvVideoHead + the video's codec + kWmvVideoTail.
inline constexpr std::string_view kWmvVideoHead = "its video is ";
inline constexpr std::string_view kWmvVideoTail =
    ". Only VC-1 Advanced Profile (WVC1) video is copied into the AVCHD folder, and no re-encode "
    "of WMV sources is built. Nothing was converted.";
inline constexpr std::string_view kWmvNoRecode =
    "WMV sources are not re-encoded; untick \"MPEG2 Recode\". Nothing was converted.";
inline constexpr std::string_view kWmvAvchdOnly =
    "a WMV source becomes an AVCHD folder only; tick \"AVCHD (BR/PS3)\". Nothing was "
    "converted.";
inline constexpr std::string_view kNoBaseName =
    "The source's name is too short to name the result after it: ";

// ---- WMV conversion: progress texts
inline constexpr std::string_view kExtractingVc1 = "Extracting VC1 data";
inline constexpr std::string_view kExtractingAudioData = "Extracting Audio data";
inline constexpr std::string_view kConvertingToAc3 = "Converting to AC3";
inline constexpr std::string_view kCreatingAvchdFormat = "Creating AVCHD format";
inline constexpr std::string_view kConversionDoneWmv = "Conversion done.";

// ---- The Qt window's own texts: the busy indicator, closing during a conversion, and the
// "AC3Filter Options" dialog.
inline constexpr std::string_view kBusyConverting = "Converting";
inline constexpr std::string_view kBusyReadingSource = "Reading the source";
inline constexpr std::string_view kStopConversionQuestion =
    "A conversion is running. Stop it and close Kestrun?\n"
    "The files made so far stay in the output folder.";
inline constexpr std::string_view kDecoderOptionsTitle = "AC3Filter Options";
inline constexpr std::string_view kDecoderChannelsLabel = "Output channels:";
inline constexpr std::string_view kDecoderChannelsAsSource = "As the source";
inline constexpr std::string_view kDecoderChannelsMono = "Mono";
inline constexpr std::string_view kDecoderChannelsStereo = "Stereo";
inline constexpr std::string_view kDecoderChannelsSurround = "5.1";
inline constexpr std::string_view kDecoderGainLabel = "Gain (dB):";
inline constexpr std::string_view kDecoderDrcCaption = "Dynamic range compression";
inline constexpr std::string_view kDecoderSaveFailed = "The decoder settings could not be saved: ";

}  // namespace kestrun::msg

namespace kestrun::msg {

// ---- Console rules: the verdict on a file, cheapest fix first.
inline constexpr std::string_view kPlaysAsIs = "plays as is";
inline constexpr std::string_view kNeedsRemux = "needs a remux";
inline constexpr std::string_view kNeedsLevelByte = "needs the level byte";
inline constexpr std::string_view kNeedsAudioConversion = "needs audio conversion";
inline constexpr std::string_view kNeedsSplit = "needs a split";
inline constexpr std::string_view kNeedsVideoReencode = "needs a video re-encode";
inline constexpr std::string_view kNoConversionFixes = "no conversion can fix it";
// kSourceCutShort + "the segment" + " declares N bytes, the file has M".
inline constexpr std::string_view kSourceCutShort = "file cut short: ";
// kSourceIncomplete + "the segment declares N bytes, the file has M (P%)" + kSourceIncompleteTail.
inline constexpr std::string_view kSourceIncomplete = "The source is incomplete: ";
inline constexpr std::string_view kSourceIncompleteTail =
    "; the result will hold only what is there";
inline constexpr std::string_view kNoConversionPlays = "no conversion makes it play";

}  // namespace kestrun::msg

namespace kestrun::msg {

// ---- The check of a finished result against the console rules.
inline constexpr std::string_view kResultVerified = "Conversion done and verified: ";
inline constexpr std::string_view kResultBreaksRule =
    "Conversion done, but the result will not play: ";
// What the check finds wrong with a result of several files (an AVCHD folder, AVI pieces).
inline constexpr std::string_view kNoPlaylist = "no playlist in BDMV/PLAYLIST";
inline constexpr std::string_view kNotAPlaylist = ": not a playlist: ";
inline constexpr std::string_view kClipsMissing = ", not in BDMV/STREAM";
inline constexpr std::string_view kResultUnreadable =
    "Conversion done, but the result cannot be read: ";

}  // namespace kestrun::msg

namespace kestrun::msg {

// ---- Batches that resume: a source whose result is already in the output folder is skipped
// when that result verifies, and left as it is (and not converted) when it does not.
inline constexpr std::string_view kResultExistsAndVerifies = "result exists and verifies: ";
inline constexpr std::string_view kResultExistsButFails = "result exists but does not verify: ";
inline constexpr std::string_view kResultExistsUnreadable = "result exists but cannot be read: ";
inline constexpr std::string_view kResultExistsNotThisSources =
    "result exists but is not shown to be this source's: video duration ";
// Two sources of one batch that give one result name: the later one is refused.
inline constexpr std::string_view kResultNameHead = "its result name ";
inline constexpr std::string_view kResultNameOf = " is that of ";
inline constexpr std::string_view kRenameOneOfThem =
    "; it is not converted: rename one of the two and run the batch again";
inline constexpr std::string_view kCutShort = "cut short: ";
inline constexpr std::string_view kFileEndsInsideBox = "the file ends inside the box at byte ";
// kSamplesPastEnd + byte + kFileEndsAtByte + byte.
inline constexpr std::string_view kSamplesPastEnd = "the index points at samples up to byte ";
inline constexpr std::string_view kFileEndsAtByte = ", the file ends at byte ";
inline constexpr std::string_view kBoxSizeNotValid = "the box size is not valid at byte ";
inline constexpr std::string_view kSourceSkipped = "; the source is skipped";
inline constexpr std::string_view kResultLeftAsItIs =
    "; it is left as it is and the source is not converted";
inline constexpr std::string_view kPathNoToolCarries = "its path holds a character no tool takes";
// The summary of kestrun-cli batch: one row per source, then the totals.
inline constexpr std::string_view kBatchConverted = "converted";
inline constexpr std::string_view kBatchSkipped = "skipped";
inline constexpr std::string_view kBatchFailed = "failed";

}  // namespace kestrun::msg

namespace kestrun::msg {

// ---- The settings file read at start-up: a line that is missing or not valid for its control
// leaves that control as it was, and the progress line says so once:
// kConfigDamagedHead + path + kConfigDamagedTail + the problems, "; " between them, +
// kConfigDefaultsKept. A problem is "line N missing", "lines N to M missing" or
// "line N (name) " + what is wrong.
inline constexpr std::string_view kConfigDamagedHead = "The settings file ";
inline constexpr std::string_view kConfigDamagedTail = " is damaged: ";
inline constexpr std::string_view kConfigDefaultsKept = ". Those settings keep their defaults.";
inline constexpr std::string_view kConfigLine = "line ";
inline constexpr std::string_view kConfigLines = "lines ";
inline constexpr std::string_view kConfigLinesTo = " to ";
inline constexpr std::string_view kConfigMissing = " missing";
// kConfigTooLong + length + kConfigTooLongLimit + limit + ")"
inline constexpr std::string_view kConfigTooLong = "is too long: ";
inline constexpr std::string_view kConfigTooLongLimit = " characters (at most ";
inline constexpr std::string_view kConfigControlCharacters = "holds control characters";
// The line's text (quoted) + one of these.
inline constexpr std::string_view kConfigNotABoxValue = " is not 0 or 1";
inline constexpr std::string_view kConfigNotAnIndex = " is not an index from -1 to ";
// What each line holds, in line order.
inline constexpr std::string_view kConfigLineNames[] = {
    "mkvextract path",  "FFmpeg path",
    "MP4Box path",      "output folder",
    "Mux to Vob (PS3)", "Split > 4GB ?",
    "source folder",    "x264 option string",
    "recode format",    "subtitle option string",
    "Target",           "AVCHD (BR/PS3)",
    "MPEG2 Recode",     "Priority"};

// ---- A conversion with no target chosen in the list is made for the Xbox 360.
inline constexpr std::string_view kNoTargetChosen = "No target chosen: converting for the Xbox 360";

}  // namespace kestrun::msg
