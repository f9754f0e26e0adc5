#include "platform/screen/screen_double_testlib.h"

#include <gtest/gtest.h>

#include <string>

namespace vz {
namespace {

TEST(ScreenDoubleTest, ReadsCarryBgraBytesAtTheirOwnStride) {
  ScreenDouble screen(64, 48);
  screen.Fill({10, 5, 4, 3}, 0xFF112233u);
  screen.SetRowPadding(12);
  ScreenPixels pixels;
  ASSERT_TRUE(screen.ReadPixels({9, 5, 6, 3}, &pixels));
  EXPECT_EQ(pixels.width, 6);
  EXPECT_EQ(pixels.height, 3);
  EXPECT_EQ(pixels.stride, 6 * 4 + 12);
  ASSERT_EQ(pixels.bytes.size(), static_cast<size_t>(pixels.stride) * 3);
  for (int y = 0; y < 3; ++y) {
    SCOPED_TRACE("row " + std::to_string(y));
    const uint8_t* row = pixels.Row(y);
    // Column 0 is outside the filled box, columns 1..4 inside, 5 outside.
    EXPECT_EQ(row[0], 0);
    EXPECT_EQ(row[3], 0xFF);
    EXPECT_EQ(row[4 + 0], 0x33);  // B
    EXPECT_EQ(row[4 + 1], 0x22);  // G
    EXPECT_EQ(row[4 + 2], 0x11);  // R
    EXPECT_EQ(row[4 + 3], 0xFF);  // A
    EXPECT_EQ(row[5 * 4], 0);
  }
}

TEST(ScreenDoubleTest, RectanglesOutsideOrEmptyOrOverflowingAreRefused) {
  ScreenDouble screen(64, 48);
  ScreenPixels pixels;
  EXPECT_TRUE(screen.ReadPixels({0, 0, 64, 48}, &pixels));
  EXPECT_FALSE(screen.ReadPixels({1, 0, 64, 48}, &pixels));
  EXPECT_FALSE(screen.ReadPixels({-1, 0, 2, 2}, &pixels));
  EXPECT_FALSE(screen.ReadPixels({0, 0, 0, 5}, &pixels));
  EXPECT_FALSE(screen.ReadPixels({0, 0, 5, -1}, &pixels));
  // x + width wraps a 32-bit int; the check must not be fooled.
  EXPECT_FALSE(screen.ReadPixels({10, 0, 0x7FFFFFF8, 1}, &pixels));
  EXPECT_EQ(screen.reads(), 6);
}

TEST(ScreenDoubleTest, RequestedFailuresEndAndFillsClipToTheScreen) {
  ScreenDouble screen(8, 8);
  screen.Fill({-4, -4, 6, 6}, 0xFFABCDEFu);
  EXPECT_EQ(screen.Pixel(0, 0), 0xFFABCDEFu);
  EXPECT_EQ(screen.Pixel(1, 1), 0xFFABCDEFu);
  EXPECT_EQ(screen.Pixel(2, 2), 0xFF000000u);
  EXPECT_EQ(screen.Pixel(9, 9), 0u);
  screen.FailNextReads(2);
  ScreenPixels pixels;
  EXPECT_FALSE(screen.ReadPixels({0, 0, 2, 2}, &pixels));
  EXPECT_FALSE(screen.ReadPixels({0, 0, 2, 2}, &pixels));
  EXPECT_TRUE(screen.ReadPixels({0, 0, 2, 2}, &pixels));
}

TEST(ScreenDoubleTest, MonitorsCursorAndWindowsAreWhatTheTestSet) {
  ScreenDouble screen(200, 100);
  ASSERT_EQ(screen.Monitors().size(), 1u);
  EXPECT_TRUE(screen.Monitors()[0].primary);
  EXPECT_EQ(screen.Monitors()[0].bounds, (ScreenRect{0, 0, 200, 100}));
  screen.SetMonitors({{{0, 0, 100, 100}, "left", false}, {{100, 0, 100, 100}, "right", true}});
  EXPECT_EQ(screen.Monitors()[1].name, "right");

  ScreenCursor cursor;
  EXPECT_FALSE(screen.ReadCursor(&cursor));
  screen.SetCursor({7, 2, 2, 1, 1, {1, 2, 3, 4}});
  ASSERT_TRUE(screen.ReadCursor(&cursor));
  EXPECT_EQ(cursor.serial, 7u);
  EXPECT_EQ(cursor.argb.size(), 4u);
  screen.HideCursorSource();
  EXPECT_FALSE(screen.ReadCursor(&cursor));

  screen.SetWindows({{1, {0, 0, 10, 10}, "below", 11, true, 0, "", false, ScreenWindowKind::kNormal},
                     {2, {5, 5, 10, 10}, "above", 12, true, 1, "dialog", false, ScreenWindowKind::kNormal}});
  ASSERT_EQ(screen.Windows().size(), 2u);
  EXPECT_EQ(screen.Windows().back().title, "above");
}

}  // namespace
}  // namespace vz
