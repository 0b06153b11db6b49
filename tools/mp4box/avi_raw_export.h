#pragma once
// "-aviraw video": the video chunks of an AVI written one after another as a raw stream beside
// it, "<AVI path without extension>_video.<ext>". The extension follows the stream's FOURCC:
// ".h264" for H.264 (VSSH, or any code containing "264"), ".cmp" for MPEG-4 Part 2 (DIVX, DX50,
// XVID, 3IV2, FVFW, NDIG, MP4V, M4CC, PVMM, SEDG, RMP4), else the FOURCC itself. Chunks of four
// bytes or fewer (dropped frames) are skipped. H.264 frames stored with length prefixes, or
// whose parameter sets sit only in the stream header, come out as a complete Annex B stream.
#include <string>

namespace standin {

std::string RawVideoExtension(const std::string& fourcc);

std::string RawVideoPath(const std::string& aviPath, const std::string& extension);

// Returns the path written. Throws std::runtime_error when the AVI cannot be read, has no video
// frames, or the output cannot be written (nothing is then left under the output name).
std::string ExportAviVideo(const std::string& aviPath);

}  // namespace standin
