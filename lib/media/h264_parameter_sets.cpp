#include "media/h264_parameter_sets.h"

#include <algorithm>
#include <array>
#include <stdexcept>

#include "media/bit_reader.h"
#include "media/byte_order.h"
#include "media/h264_nal.h"

namespace kestrun::media::h264 {
namespace {

class RecordReader {
public:
    RecordReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    uint8_t Byte() {
        Require(1);
        return data_[pos_++];
    }

    std::vector<uint8_t> LengthPrefixedUnit() {
        Require(2);
        const size_t length = ReadBe16(data_ + pos_);
        pos_ += 2;
        Require(length);
        std::vector<uint8_t> unit(data_ + pos_, data_ + pos_ + length);
        pos_ += length;
        return unit;
    }

private:
    void Require(size_t n) const {
        if (n > size_ - pos_) throw std::runtime_error("the H.264 configuration record ends early");
    }

    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
};

bool StartsWithStartCode(const uint8_t* data, size_t size) {
    return (size >= 3 && data[0] == 0 && data[1] == 0 && data[2] == 1) ||
           (size >= 4 && data[0] == 0 && data[1] == 0 && data[2] == 0 && data[3] == 1);
}

ParameterSets ReadAvcConfigurationRecord(const uint8_t* data, size_t size) {
    RecordReader record(data, size);
    record.Byte();  // configurationVersion
    record.Byte();  // AVCProfileIndication
    record.Byte();  // profile_compatibility
    record.Byte();  // AVCLevelIndication
    record.Byte();  // lengthSizeMinusOne
    ParameterSets sets;
    const int spsCount = record.Byte() & 0x1F;
    for (int i = 0; i < spsCount; ++i) sets.sps.push_back(record.LengthPrefixedUnit());
    const int ppsCount = record.Byte();
    for (int i = 0; i < ppsCount; ++i) sets.pps.push_back(record.LengthPrefixedUnit());
    return sets;
}

bool IsHighProfileFamily(uint32_t profile) {
    for (const uint32_t high : {100, 110, 122, 244, 44, 83, 86, 118, 128, 138, 139, 134}) {
        if (profile == high) return true;
    }
    return false;
}

// The record's last fields for profiles other than Baseline, Main and Extended: chroma format and
// bit depths as read from the start of the first SPS (after its header byte; `sps` may run into
// the units after it); nullopt when they do not read cleanly.
std::optional<std::array<uint8_t, 3>> ChromaFields(const uint8_t* sps, size_t size) {
    try {
        const std::vector<uint8_t> rbsp = RemoveEmulationPrevention(sps, size);
        BitReader bits(rbsp);
        const uint32_t profile = bits.ReadBits(8);
        bits.SkipBits(16);  // constraint flags, level
        bits.ReadUE();      // seq_parameter_set_id
        uint32_t chroma = 1, lumaDepth = 0, chromaDepth = 0;
        if (IsHighProfileFamily(profile)) {
            chroma = bits.ReadUE();
            if (chroma == 3) bits.SkipBits(1);  // separate_colour_plane_flag
            lumaDepth = bits.ReadUE();
            chromaDepth = bits.ReadUE();
        }
        if (chroma > 0xFF || lumaDepth > 0xFF || chromaDepth > 0xFF) return std::nullopt;
        return std::array<uint8_t, 3>{static_cast<uint8_t>(0xFC | chroma),
                                      static_cast<uint8_t>(0xF8 | lumaDepth),
                                      static_cast<uint8_t>(0xF8 | chromaDepth)};
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

}  // namespace

std::optional<std::vector<uint8_t>> AvcConfigurationOfAnnexB(const uint8_t* data, size_t size) {
    if (size <= 6 || !StartsWithStartCode(data, size)) return std::nullopt;
    std::vector<uint8_t> units(data, data + size);
    ToLengthPrefixed(units, StartCodeOffsets(units.data(), units.size()));

    // Each kind's units, each behind its size in two bytes.
    std::vector<uint8_t> sps, pps, spsExt;
    int spsCount = 0, ppsCount = 0, spsExtCount = 0;
    for (size_t at = 0; units.size() - at > 4;) {
        const size_t length = std::min<size_t>(ReadBe32(units.data() + at), units.size() - at - 4);
        at += 4;
        std::vector<uint8_t>* list = nullptr;
        int limit = 0;
        int* count = nullptr;
        switch (NalTypeOf(units[at])) {
            case kNalSps:
                list = &sps, count = &spsCount, limit = 32;
                break;
            case kNalPps:
                list = &pps, count = &ppsCount, limit = 256;
                break;
            case kNalSpsExtension:
                list = &spsExt, count = &spsExtCount, limit = 256;
                break;
            default:
                break;
        }
        if (list) {
            if (length > 0xFFFF || ++*count >= limit) return std::nullopt;
            list->push_back(static_cast<uint8_t>(length >> 8));
            list->push_back(static_cast<uint8_t>(length));
            list->insert(list->end(), units.begin() + at, units.begin() + at + length);
        }
        at += length;
    }
    if (sps.size() < 6 || pps.empty()) return std::nullopt;

    std::vector<uint8_t> record = {1,      sps[3], sps[4],
                                   sps[5], 0xFF,   static_cast<uint8_t>(0xE0 | spsCount)};
    record.insert(record.end(), sps.begin(), sps.end());
    record.push_back(static_cast<uint8_t>(ppsCount));
    record.insert(record.end(), pps.begin(), pps.end());
    if (sps[3] != 66 && sps[3] != 77 && sps[3] != 88) {
        const auto fields = ChromaFields(sps.data() + 3, sps.size() - 3);
        if (!fields) return std::nullopt;
        record.insert(record.end(), fields->begin(), fields->end());
        record.push_back(static_cast<uint8_t>(spsExtCount));
        record.insert(record.end(), spsExt.begin(), spsExt.end());
    }
    return record;
}

ParameterSets ParameterSetsInAnnexB(const uint8_t* data, size_t size) {
    ParameterSets sets;
    ForEachNalUnit(data, size, [&](NalUnit unit) {
        if (unit.type() == kNalSps)
            sets.sps.emplace_back(unit.data, unit.data + unit.size);
        else if (unit.type() == kNalPps)
            sets.pps.emplace_back(unit.data, unit.data + unit.size);
    });
    return sets;
}

ParameterSets ReadParameterSets(const uint8_t* data, size_t size) {
    if (size > 0 && data[0] == 1) return ReadAvcConfigurationRecord(data, size);
    if (StartsWithStartCode(data, size)) return ParameterSetsInAnnexB(data, size);
    throw std::runtime_error("the codec private data is not an H.264 configuration record");
}

std::vector<uint8_t> ToAnnexB(const ParameterSets& sets) {
    std::vector<uint8_t> block;
    for (const auto* list : {&sets.sps, &sets.pps}) {
        for (const auto& unit : *list) {
            block.insert(block.end(), {0, 0, 0, 1});
            block.insert(block.end(), unit.begin(), unit.end());
        }
    }
    return block;
}

}  // namespace kestrun::media::h264
