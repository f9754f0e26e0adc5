#pragma once
// Wrap-around order of the 16- and 32-bit counters of RTP (sequence numbers,
// timestamps): a is later than b when a - b lies in 1 .. half the range.
#include <cstdint>

namespace vz::rtp {

inline bool IsLater16(uint16_t a, uint16_t b) {
  const uint16_t d = static_cast<uint16_t>(a - b);
  return d != 0 && d <= 0x8000;
}
inline bool IsLater32(uint32_t a, uint32_t b) {
  const uint32_t d = a - b;
  return d != 0 && d <= 0x80000000u;
}

}  // namespace vz::rtp
