#pragma once
// The parameter sets an H.264 track carries outside its frames: the AVCDecoderConfigurationRecord
// (avcC) of Matroska's CodecPrivate and of MP4, or an Annex B header block as some muxers store.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace kestrun::media::h264 {

struct ParameterSets {
    std::vector<std::vector<uint8_t>> sps;  // NAL units, header byte first
    std::vector<std::vector<uint8_t>> pps;
};

// Reads an avcC record (first byte 1) or an Annex B block (starting with a start code).
// Throws std::runtime_error for data that is neither or that ends inside a unit.
ParameterSets ReadParameterSets(const uint8_t* data, size_t size);

// The SPS and PPS units found in an Annex B buffer (for example the first frames of a stream).
ParameterSets ParameterSetsInAnnexB(const uint8_t* data, size_t size);

// The units as an Annex B block: 00 00 00 01 before each SPS, then each PPS.
std::vector<uint8_t> ToAnnexB(const ParameterSets& sets);

// The avcC record FFmpeg's MP4 writer makes of an Annex B header block (every SPS, PPS and SPS
// extension in it, with the chroma format and bit depths for the high profiles), so that it can
// be handed the record and length-prefixed frames instead; nullopt for a block it would refuse or
// store as it is, and for one whose fields this reader does not take in the same way.
std::optional<std::vector<uint8_t>> AvcConfigurationOfAnnexB(const uint8_t* data, size_t size);

}  // namespace kestrun::media::h264
