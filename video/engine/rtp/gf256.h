#pragma once
// GF(2^8) with the polynomial x^8 + x^4 + x^3 + x^2 + 1 (0x11D) and generator
// 2: the field of the Reed-Solomon erasure code. The tables are built once
// per process, on first use, from any thread.
#include <cstdint>

namespace vz::rtp {

struct Gf256Tables {
  uint8_t exp[510];         // exp[i] = 2^i, repeated so log sums need no reduction
  uint8_t log[256];         // log[0] = 255 (unused)
  uint8_t mul[256][256];    // products; row and column 0 are 0
  uint8_t div[256][256];    // quotients a / b; row and column 0 are 0
  uint8_t Inverse(uint8_t x) const { return div[1][x]; }
};

// The process's tables (built on the first call).
const Gf256Tables& Gf256();

}  // namespace vz::rtp
