#include "uikit/pixel_tables.h"

#include <algorithm>

namespace {

PixelTables Build() {
  PixelTables t{};
  for (uint32_t a = 0; a < 256; ++a) {
    for (uint32_t c = 0; c < 256; ++c) {
      t.unpremultiply[a][c] = a == 0 ? 0 : a == 255 ? static_cast<uint8_t>(c)
                                                     : static_cast<uint8_t>(std::min(255u, (c * 255 + a / 2) / a));
      t.premultiply[a][c] = a == 255 ? static_cast<uint8_t>(c) : static_cast<uint8_t>((c * a + 127) / 255);
    }
  }
  return t;
}

}  // namespace

const PixelTables& GetPixelTables() {
  static const PixelTables* tables = new PixelTables(Build());
  return *tables;
}
