#pragma once
// An MSB-first reader over a byte buffer, for bitstream headers (MPEG-4 Part 2 VOL, H.264 SPS).
// It never reads past the end of its buffer: every read that would throws std::out_of_range.
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <vector>

namespace kestrun::media {

class BitReader {
public:
    BitReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    explicit BitReader(const std::vector<uint8_t>& bytes) : BitReader(bytes.data(), bytes.size()) {}

    // Reads n bits (0..32) as an unsigned number, most significant bit first.
    uint32_t ReadBits(int n) {
        if (n < 0 || n > 32) throw std::invalid_argument("BitReader: bit count out of range");
        Require(static_cast<size_t>(n));
        uint32_t value = 0;
        for (int i = 0; i < n; ++i) {
            const uint8_t byte = data_[position_ >> 3];
            const int bit = (byte >> (7 - (position_ & 7))) & 1;
            value = (value << 1) | static_cast<uint32_t>(bit);
            ++position_;
        }
        return value;
    }

    bool ReadFlag() { return ReadBits(1) != 0; }

    // Exp-Golomb unsigned code, ue(v). Codes longer than 32 bits are refused.
    uint32_t ReadUE() {
        int leadingZeros = 0;
        while (ReadBits(1) == 0) {
            if (++leadingZeros > 31) throw std::out_of_range("BitReader: Exp-Golomb code too long");
        }
        if (leadingZeros == 0) return 0;
        const uint64_t suffix = ReadBits(leadingZeros);
        return static_cast<uint32_t>((uint64_t{1} << leadingZeros) - 1 + suffix);
    }

    // Exp-Golomb signed code, se(v): 0, 1, -1, 2, -2 ...
    int32_t ReadSE() {
        const uint32_t code = ReadUE();
        const int64_t magnitude = (static_cast<int64_t>(code) + 1) / 2;
        return static_cast<int32_t>((code & 1) ? magnitude : -magnitude);
    }

    void SkipBits(size_t n) {
        Require(n);
        position_ += n;
    }

    // Moves to the next byte boundary (nothing when already on one).
    void AlignToByte() {
        position_ = (position_ + 7) & ~size_t{7};
        if (position_ > size_ * 8) position_ = size_ * 8;
    }

    size_t BitsLeft() const { return size_ * 8 - position_; }
    size_t BitPosition() const { return position_; }

private:
    void Require(size_t n) const {
        if (n > BitsLeft()) throw std::out_of_range("BitReader: read past the end of the data");
    }

    const uint8_t* data_;
    size_t size_;
    size_t position_ = 0;
};

}  // namespace kestrun::media
