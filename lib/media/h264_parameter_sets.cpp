#include "media/h264_parameter_sets.h"

#include <stdexcept>

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

}  // namespace

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
