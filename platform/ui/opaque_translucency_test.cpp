// A translucent window on a display without per-pixel alpha: strokes below
// half alpha must stay visible and edges must not darken.
#include "platform/ui/opaque_translucency.h"

#include <gtest/gtest.h>

namespace vz {
namespace {

int KeptIn4x4(uint8_t alpha) {
  int kept = 0;
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 4; ++x) kept += StippleKeeps(alpha, x, y) ? 1 : 0;
  }
  return kept;
}

TEST(OpaqueTranslucency, TheShapeKeepsAShareOfPixelsThatFollowsAlpha) {
  EXPECT_EQ(KeptIn4x4(0), 0);
  EXPECT_EQ(KeptIn4x4(255), 16);
  // A highlighter (alpha 96) is not cut away whole, nor kept whole.
  EXPECT_EQ(KeptIn4x4(96), 6);
  EXPECT_EQ(KeptIn4x4(128), 8);
  for (int a = 1; a < 255; ++a) {
    EXPECT_LE(KeptIn4x4(static_cast<uint8_t>(a - 1)), KeptIn4x4(static_cast<uint8_t>(a))) << "alpha " << a;
  }

  // The mask's bit order and row stride: 9 pixels wide is 2 bytes a row.
  Image image(9, 2);
  image.SetPixel(0, 0, MakeColor(255, 0, 0, 255));
  image.SetPixel(8, 1, MakeColor(0, 0, 255, 255));
  const std::vector<uint8_t> mask = StippleMask(image);
  EXPECT_EQ(mask, (std::vector<uint8_t>{0x01, 0x00, 0x00, 0x01}));
}

TEST(OpaqueTranslucency, ColoursAreShownWithTheirAlphaUndone) {
  Image image(4, 2);
  image.SetPixel(1, 0, MakeColor(255, 0, 0, 128));      // a red edge pixel
  image.SetPixel(2, 1, MakeColor(10, 200, 30, 255));    // opaque: unchanged
  image.SetPixel(3, 1, MakeColor(255, 255, 0, 64));     // a highlighter
  const std::vector<uint32_t> all = OpaqueColours(image, Rect::FromXYWH(0, 0, 4, 2));
  ASSERT_EQ(all.size(), 8u);
  EXPECT_EQ(all[1], 0xFFFF0000u) << std::hex << all[1];
  EXPECT_EQ(all[6], 0xFF0AC81Eu);
  EXPECT_EQ(all[7] & 0xFFFF0000u, 0xFFFF0000u);
  EXPECT_GE(all[7] & 0xFF00u, 0xFB00u);
  // An area reaching outside the image is clipped to it.
  EXPECT_EQ(OpaqueColours(image, Rect::FromXYWH(3, 1, 10, 10)), (std::vector<uint32_t>{all[7]}));
}

}  // namespace
}  // namespace vz
