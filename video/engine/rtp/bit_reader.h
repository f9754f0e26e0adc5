#pragma once
// MSB-first bit reading with Exp-Golomb codes, for the SEI parser. Running
// out of data and codes longer than 32 bits are failures that stick: once
// failed, every read returns 0 and ok() stays false.
#include <cstddef>
#include <cstdint>

namespace vz::rtp {

class BitReader {
 public:
  BitReader(const uint8_t* data, size_t size) : data_(data), bits_(size * 8) {}

  uint32_t Bits(int count) {
    uint32_t value = 0;
    for (int i = 0; i < count; ++i) {
      if (position_ >= bits_) {
        ok_ = false;
        return 0;
      }
      value = (value << 1) | ((data_[position_ >> 3] >> (7 - (position_ & 7))) & 1u);
      ++position_;
    }
    return ok_ ? value : 0;
  }
  bool Flag() { return Bits(1) != 0; }
  // ue(v): n leading zeros, then value = 2^n - 1 + the next n bits.
  uint32_t Ue() {
    int zeros = 0;
    while (ok_ && Bits(1) == 0) {
      if (!ok_ || ++zeros > 31) {
        ok_ = false;
        return 0;
      }
    }
    if (!ok_) return 0;
    const uint32_t rest = Bits(zeros);
    return ok_ ? static_cast<uint32_t>((uint64_t{1} << zeros) - 1 + rest) : 0;
  }
  bool ok() const { return ok_; }

 private:
  const uint8_t* data_;
  size_t bits_;
  size_t position_ = 0;
  bool ok_ = true;
};

}  // namespace vz::rtp
