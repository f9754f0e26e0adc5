#pragma once
// Bits written most significant first into whole bytes, with the unsigned
// Exp-Golomb codes of H.264 headers and messages. Not thread-safe.
#include <cstdint>
#include <vector>

namespace vz {

class BitWriter {
 public:
  // The low `count` bits of `value` (count 0 to 32), highest first.
  void Bits(uint32_t value, int count) {
    for (int i = count - 1; i >= 0; --i) Bit((value >> i) & 1u);
  }
  void Flag(bool on) { Bit(on ? 1u : 0u); }
  // Exp-Golomb: n leading zeros, then value + 1 in n + 1 bits.
  void Ue(uint32_t value) {
    const uint64_t v = uint64_t{value} + 1;
    int bits = 0;
    while ((v >> bits) > 1) ++bits;
    Bits(0, bits);
    for (int i = bits; i >= 0; --i) Bit(static_cast<uint32_t>((v >> i) & 1u));
  }
  // The bytes so far after a closing one bit and zero bits up to the byte
  // boundary (a message payload's end).
  std::vector<uint8_t> Finish() {
    Bit(1);
    while (fill_ != 0) Bit(0);
    return bytes_;
  }

 private:
  void Bit(uint32_t b) {
    if (fill_ == 0) bytes_.push_back(0);
    if (b) bytes_.back() |= static_cast<uint8_t>(0x80 >> fill_);
    fill_ = (fill_ + 1) % 8;
  }
  std::vector<uint8_t> bytes_;
  int fill_ = 0;
};

}  // namespace vz
