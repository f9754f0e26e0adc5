#pragma once
// Exact lookup tables for premultiplied <-> plain channels, the same
// arithmetic as vz::PremultiplyColor and vz::UnpremultiplyPixel without a
// division per pixel.
#include <cstdint>

struct PixelTables {
  uint8_t unpremultiply[256][256];  // [alpha][premultiplied channel]
  uint8_t premultiply[256][256];    // [alpha][plain channel]
};

// Built once, on first use (thread-safe).
const PixelTables& GetPixelTables();
