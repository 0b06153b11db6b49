#pragma once
// Big-endian bytes for the Blu-ray navigation files, with back-patched length fields.
#include <cstdint>
#include <string>
#include <vector>

#include "media/byte_order.h"

namespace standin::ts {

class ByteWriter {
public:
    void U8(uint32_t v) { bytes_.push_back(static_cast<uint8_t>(v)); }
    void U16(uint32_t v) {
        U8(v >> 8);
        U8(v);
    }
    void U32(uint32_t v) {
        U16(v >> 16);
        U16(v);
    }
    void Zeros(size_t count) { bytes_.insert(bytes_.end(), count, 0); }
    void Text(const std::string& text) { bytes_.insert(bytes_.end(), text.begin(), text.end()); }
    // Zeros up to the next multiple of `alignment` bytes from the start.
    void Align(size_t alignment) {
        while (bytes_.size() % alignment != 0) U8(0);
    }

    size_t Size() const { return bytes_.size(); }
    void PutU32At(size_t offset, uint32_t v) { kestrun::media::WriteBe32(&bytes_[offset], v); }
    void PutU16At(size_t offset, uint32_t v) {
        kestrun::media::WriteBe16(&bytes_[offset], static_cast<uint16_t>(v));
    }

    // A 32-bit length field counting the bytes written after it until Close().
    size_t OpenLength32() {
        const size_t at = Size();
        U32(0);
        return at;
    }
    void CloseLength32(size_t at) { PutU32At(at, static_cast<uint32_t>(Size() - at - 4)); }
    size_t OpenLength16() {
        const size_t at = Size();
        U16(0);
        return at;
    }
    void CloseLength16(size_t at) { PutU16At(at, static_cast<uint32_t>(Size() - at - 2)); }

    const std::vector<uint8_t>& Bytes() const { return bytes_; }

private:
    std::vector<uint8_t> bytes_;
};

}  // namespace standin::ts
