#pragma once
// Where every outside tool lies under the program folder. A tool's path is always the program
// folder followed by one of these sub-paths; nothing here is configurable.
#include <array>
#include <string>
#include <string_view>

namespace kestrun::tool {

inline constexpr std::string_view kMkvInfo = "/MKVToolnix/mkvinfo";
inline constexpr std::string_view kMkvExtract = "/MKVToolnix/mkvextract";
inline constexpr std::string_view kMkvMerge = "/MKVToolnix/mkvmerge";
inline constexpr std::string_view kSsa2Srt = "/ssa2srt/ssa2srt";
inline constexpr std::string_view kFFmpeg = "/FFMpeg/FFmpeg";
inline constexpr std::string_view kFaad = "/FFMpeg/faad";
inline constexpr std::string_view kMP4Box = "/MP4Box/MP4Box";
inline constexpr std::string_view kMpgtx = "/MP4Box/mpgtx";
inline constexpr std::string_view kH264Info = "/h264info/h264info";
inline constexpr std::string_view kH264InfoIni = "/h264info/h264info.ini";
inline constexpr std::string_view kBeSweet = "/besweet/BeSweet";
inline constexpr std::string_view kSoundStretch = "/Sounds/soundstretch";
inline constexpr std::string_view kTsMuxer = "/TS/tsmuxer";
inline constexpr std::string_view kAsf2Vc1 = "/TS/asf2vc1";
inline constexpr std::string_view kAften = "/aften/aften";
inline constexpr std::string_view kValdec = "/ac3filter/valdec";
inline constexpr std::string_view kMEncoder = "/Mencoder/Mencoder";
inline constexpr std::string_view kMEncoderFont = "/Mencoder/font.ttf";
inline constexpr std::string_view kAviMux = "/avimux/avimux_gui";
inline constexpr std::string_view kAviMuxTemplate = "/avimux/kestrun.amg";
inline constexpr std::string_view kX264Checker = "/Checker/x264_checker";
inline constexpr std::string_view kMmcl = "/Checker/mmcl";
// Probed in this order; none is shipped.
inline constexpr std::array<std::string_view, 3> kNeroAacEnc = {"/neroAacEnc_SSE2", "/neroAacEnc",
                                                                "/neroAacEnc_SSE"};

// Fixed files of the program folder. The ones the program writes move to the user's folders
// where the program folder is not writable (ProgramFiles decides).
inline constexpr std::string_view kConfigFile = "/Kestrun.conf";
inline constexpr std::string_view kDebugLog = "/debug.log";
inline constexpr std::string_view kToolLog = "/tools.log";
inline constexpr std::string_view kInfoReport = "/info.txt";
inline constexpr std::string_view kFsfWrap = "/FSFWrap.dll";
inline constexpr std::string_view kWavDest = "/WAVDEST.AX";
inline constexpr std::string_view kRegisterBat = "/register.bat";

// programFolder (no trailing separator) followed by the sub-path.
inline std::string PathOf(const std::string& programFolder, std::string_view subPath) {
    return programFolder + std::string(subPath);
}

}  // namespace kestrun::tool
