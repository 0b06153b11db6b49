#pragma once
// Real Matroska and AVI samples for the analysis tests, made once per test binary, and a
// program folder whose tools are the built stand-ins.
#include <string>

#include "support/temp_folder.h"

namespace kestrun::test {

// The path of a sample, made on first use within this process: main.mkv (H.264 320x240 at
// 23.976 fps, AC-3 "eng", DTS "ger", SRT "eng", ASS "und"), wide.mkv (1440x1080 shown 1920
// wide), mpeg2.mkv, xvid.mkv (VFW mode), vc1.mkv (VFW mode with FourCC WVC1), dpb.mkv (1080p with
// 16 reference frames), forty.mkv (40 audio tracks), plain.avi / qpel.avi / gmc.avi (MPEG-4 Part
// 2 in AVI).
std::string AnalysisSample(const std::string& name);

// A program folder under `root` holding the built mkvinfo, x264_checker and mmcl stand-ins.
std::string MakeStandInProgramFolder(const TempFolder& root);

}  // namespace kestrun::test
