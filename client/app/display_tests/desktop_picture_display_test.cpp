// The local meeting demonstration's desktop picture on a private X server,
// read back through the capture side's own screen source: the pixels the
// presenter shares must be the ones drawn, byte order included.
#include <gtest/gtest.h>

#include "client/app/demo/desktop_picture.h"
#include "client/app/demo/frame_measures.h"
#include "platform/screen/screen_source.h"
#include "platform/ui/display_test_env.h"
#include "platform/ui/ui_types.h"

namespace {

// The colour of one screen pixel as 0xRRGGBB.
uint32_t ScreenColour(vz::ScreenSource& screen, int x, int y) {
  vz::ScreenPixels pixel;
  if (!screen.ReadPixels(vz::ScreenRect{x, y, 1, 1}, &pixel)) return 0xDEADBEEF;
  const uint8_t* p = pixel.Row(0);
  return (uint32_t{p[2]} << 16) | (uint32_t{p[1]} << 8) | p[0];
}

TEST(DesktopPictureDisplayTest, TheScreenShowsTheGradientTheClockStampAndTheMovingWindow) {
  vz::DisplayTestEnv& env = vz::DisplayTestEnv::Get();
  if (!env.available()) GTEST_SKIP() << env.why();
  std::string why;
  auto desktop = DesktopPicture::Open(env.display(), &why);
  ASSERT_NE(desktop, nullptr) << why;
  auto screen = vz::OpenX11ScreenSource(vz::X11ScreenOptions{env.display(), false});
  ASSERT_NE(screen, nullptr);
  const int w = desktop->width(), h = desktop->height();

  // The root picture's gradient row 5, exactly, in R, G, B order.
  const int t = 5 * 255 / h;
  const uint32_t gradient = (static_cast<uint32_t>(30 + t / 3) << 16) | (static_cast<uint32_t>(70 + t / 2) << 8) |
                            static_cast<uint32_t>(140 + t / 3);
  EXPECT_EQ(ScreenColour(*screen, 3, 5), gradient);

  // The stamp holds the clock's low 32 bits and reads back from the screen.
  ASSERT_TRUE(desktop->ShowTime(0x123456789ULL));
  vz::ScreenPixels cells;
  int stamp_x = 0, stamp_y = 0;
  ASSERT_TRUE(desktop->StampPlace(&stamp_x, &stamp_y));
  ASSERT_TRUE(
      screen->ReadPixels(vz::ScreenRect{stamp_x, stamp_y, StampLayout::kWidth, StampLayout::kHeight}, &cells));
  ASSERT_EQ(cells.stride, StampLayout::kWidth * 4);
  uint32_t stamp = 0;
  ASSERT_TRUE(ReadStamp(cells.bytes.data(), StampLayout::kWidth, StampLayout::kHeight, 0, 0, &stamp));
  EXPECT_EQ(stamp, 0x23456789u);

  // The moving window's title bar leaves its first place for the path's start.
  const uint32_t bar = 0xB0502A;
  EXPECT_EQ(ScreenColour(*screen, w / 3 + 5, h / 2 + 5), bar);
  desktop->Step();
  EXPECT_EQ(ScreenColour(*screen, 8 + 5, h / 2 + 5), bar);
  EXPECT_NE(ScreenColour(*screen, w / 3 + 200, h / 2 + 5), bar);

  // Gone with the object: windows destroyed, the root plain again.
  desktop.reset();
  EXPECT_EQ(ScreenColour(*screen, 3, 5), 0u);
  EXPECT_EQ(ScreenColour(*screen, 8 + 5, h / 2 + 5), 0u);
}

}  // namespace
