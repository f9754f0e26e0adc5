// The monitor set over the X11 screen of a private X server: a shared window
// with another client's window over part of it.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "capture/monitors/capture_screens.h"
#include "capture/monitors/changed_box_sender.h"
#include "capture/monitors/multi_monitor.h"
#include "capture/monitors/sharing_rgn_controller.h"
#include "platform/screen/screen_source.h"
#include "platform/screen/x11_test_windows_testlib.h"
#include "platform/ui/xvfb_testlib.h"

namespace {

class KeepingHandOver : public IChangedBoxSender {
 public:
  bool SendScreenData(int32_t, const VzRect& monitor_rect, int32_t, const VzRect& box, const uint8_t* pixels,
                      int32_t stride) override {
    box_ = box;
    pixels_.assign(pixels, pixels + static_cast<size_t>(stride) * (monitor_rect.bottom - monitor_rect.top));
    stride_ = stride;
    ++count_;
    return true;
  }
  uint32_t At(int x, int y) const {  // monitor coordinates, X byte dropped
    uint32_t pixel;
    std::memcpy(&pixel, pixels_.data() + static_cast<size_t>(y) * stride_ + x * 4, 4);
    return pixel & 0x00FFFFFFu;
  }
  VzRect box_{};
  std::vector<uint8_t> pixels_;
  int stride_ = 0;
  int count_ = 0;
};

TEST(MultiMonitorDisplayTest, TheCoveredPartOfASharedWindowArrivesInTheHeaderColour) {
  vz::XvfbServer server;
  std::string why;
  if (!server.Start(&why)) GTEST_SKIP() << why;
  auto windows = vz::X11TestWindows::Open(server.display());
  ASSERT_NE(windows, nullptr);
  const uint64_t shared = windows->Create(100, 100, 300, 200, 0x2080C0, 4242);
  const uint64_t other = windows->Create(300, 250, 200, 200, 0xC04020, 4343);
  windows->PublishStacking({shared, other});

  auto source = vz::OpenX11ScreenSource({server.display(), true});
  ASSERT_NE(source, nullptr);
  CMultiMonitor monitors(1);
  CSharingRgnController regions(1);
  CCaptureScreens screens(monitors, regions);
  const IsOwnWindowFn none = [](VzWindowHandle) { return false; };
  monitors.Reset(source.get());
  monitors.RefreshWindows(*source);
  ASSERT_EQ(monitors.ShareWindow(static_cast<VzWindowHandle>(shared), 1, source.get()), 1);
  int width = 0, height = 0;
  ASSERT_TRUE(screens.InitScreen(*source, none, &width, &height));
  KeepingHandOver hand_over;
  ASSERT_TRUE(screens.DumpAllScreens(0xff0084ff, hand_over));
  ASSERT_EQ(hand_over.count_, 1);
  EXPECT_EQ(hand_over.box_.left, 100);
  EXPECT_EQ(hand_over.box_.top, 100);
  EXPECT_EQ(hand_over.box_.right, 400);
  EXPECT_EQ(hand_over.box_.bottom, 300);
  EXPECT_EQ(hand_over.At(100, 100), 0x2080C0u);
  EXPECT_EQ(hand_over.At(299, 299), 0x2080C0u);
  EXPECT_EQ(hand_over.At(300, 250), 0xFF8400u);  // B 00, G 84, R FF
  EXPECT_EQ(hand_over.At(399, 299), 0xFF8400u);
  EXPECT_EQ(hand_over.At(300, 249), 0x2080C0u);

  // The other window moves away: the shared area changed.
  EXPECT_TRUE(screens.RegionsUnchanged(*source, none));
  windows->Move(other, 600, 250);
  windows->PublishStacking({shared, other});
  EXPECT_FALSE(screens.RegionsUnchanged(*source, none));
}

}  // namespace
