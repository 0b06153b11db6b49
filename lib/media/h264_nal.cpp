#include "media/h264_nal.h"

#include <cstring>

#include "media/byte_order.h"

namespace kestrun::media::h264 {

size_t AfterNextStartCode(const uint8_t* data, size_t size, size_t from) {
    // memchr finds the 01 that ends a start code; the two bytes before it must be zeros.
    for (size_t i = from + 2; i < size; ++i) {
        const void* one = std::memchr(data + i, 1, size - i);
        if (!one) break;
        i = static_cast<size_t>(static_cast<const uint8_t*>(one) - data);
        if (data[i - 1] == 0 && data[i - 2] == 0) return i + 1;
    }
    return size;
}

std::vector<uint32_t> StartCodeOffsets(const uint8_t* data, size_t size) {
    std::vector<uint32_t> offsets;
    for (size_t after = AfterNextStartCode(data, size, 0); after < size;
         after = AfterNextStartCode(data, size, after))
        offsets.push_back(static_cast<uint32_t>(after - 3));
    return offsets;
}

void ToLengthPrefixed(std::vector<uint8_t>& data, const std::vector<uint32_t>& startCodes) {
    // Unit i runs from after its start code to the next one, less a zero byte just before that.
    const size_t count = startCodes.size();
    const auto unitBegin = [&](size_t i) { return size_t{startCodes[i]} + 3; };
    const auto unitEnd = [&](size_t i) {
        if (i + 1 == count) return data.size();
        const size_t next = startCodes[i + 1];
        return data[next - 1] == 0 ? next - 1 : next;
    };
    size_t outSize = 0;
    bool inPlace = true;
    for (size_t i = 0; i < count; ++i) {
        inPlace = inPlace && outSize + 4 == unitBegin(i);
        outSize += 4 + unitEnd(i) - unitBegin(i);
    }
    if (inPlace) {
        for (size_t i = 0; i < count; ++i)
            WriteBe32(data.data() + unitBegin(i) - 4,
                      static_cast<uint32_t>(unitEnd(i) - unitBegin(i)));
        data.resize(outSize);  // the same size, or none for a buffer without a start code
        return;
    }
    std::vector<uint8_t> out(outSize);
    uint8_t* at = out.data();
    for (size_t i = 0; i < count; ++i) {
        const size_t length = unitEnd(i) - unitBegin(i);
        WriteBe32(at, static_cast<uint32_t>(length));
        std::memcpy(at + 4, data.data() + unitBegin(i), length);
        at += 4 + length;
    }
    data.swap(out);
}

namespace {

// Visits NAL units in order until `visit` returns false.
void VisitNalUnits(const uint8_t* data, size_t size, const std::function<bool(NalUnit)>& visit) {
    size_t begin = AfterNextStartCode(data, size, 0);
    while (begin < size) {
        const size_t next = AfterNextStartCode(data, size, begin);
        size_t end = next == size ? size : next - 3;
        while (end > begin && data[end - 1] == 0)
            --end;  // the zero of a four-byte start code, or trailing zero bytes
        if (end > begin && !visit(NalUnit{data + begin, end - begin})) return;
        begin = next;
    }
}

}  // namespace

void ForEachNalUnit(const uint8_t* data, size_t size, const std::function<void(NalUnit)>& visit) {
    VisitNalUnits(data, size, [&](NalUnit unit) {
        visit(unit);
        return true;
    });
}

int FirstSliceNalType(const uint8_t* data, size_t size) {
    // Looks only at each unit's header byte, so the slice's own data is never scanned.
    for (size_t begin = AfterNextStartCode(data, size, 0); begin < size;
         begin = AfterNextStartCode(data, size, begin + 1)) {
        const int type = NalTypeOf(data[begin]);
        if (type >= kNalSlice && type <= kNalIdrSlice) return type;
    }
    return -1;
}

std::vector<NalUnit> SplitNalUnits(const uint8_t* data, size_t size) {
    std::vector<NalUnit> units;
    ForEachNalUnit(data, size, [&](NalUnit unit) { units.push_back(unit); });
    return units;
}

std::vector<uint8_t> RemoveEmulationPrevention(const uint8_t* data, size_t size) {
    std::vector<uint8_t> rbsp;
    rbsp.reserve(size);
    int zeros = 0;
    for (size_t i = 0; i < size; ++i) {
        const uint8_t byte = data[i];
        if (zeros >= 2 && byte == 0x03) {
            zeros = 0;
            continue;
        }
        zeros = byte == 0 ? zeros + 1 : 0;
        rbsp.push_back(byte);
    }
    return rbsp;
}

}  // namespace kestrun::media::h264
