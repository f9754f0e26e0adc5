// The damage watch against the test program's private X server.
// gtest comes before Xlib, whose macros (None, Bool) would break it.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

#include "platform/screen/screen_damage.h"
#include "platform/test_requirement_testlib.h"
#include "platform/ui/display_test_env_testlib.h"

#include <X11/Xlib.h>

namespace vz {
namespace {

void Draw(Display* display, int x, int y, int w, int h, unsigned long rgb) {
  Window root = DefaultRootWindow(display);
  GC gc = XCreateGC(display, root, 0, nullptr);
  XSetSubwindowMode(display, gc, IncludeInferiors);
  XSetForeground(display, gc, rgb);
  XFillRectangle(display, root, gc, x, y, w, h);
  XFreeGC(display, gc);
  XSync(display, False);
}

bool WaitFor(const std::function<bool()>& done) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::yield();
  }
  return true;
}

TEST(ScreenDamageWatchTest, DrawingInTheAreaReportsAndASecondReportWaitsForTheInterval) {
  DisplayTestEnv& env = DisplayTestEnv::Get();
  if (!env.available()) VZ_SKIP_TEST_WITHOUT(vz::kNeedsXvfb) << env.why();
  Display* client = XOpenDisplay(env.display().c_str());
  ASSERT_NE(client, nullptr);
  std::atomic<int> calls{0};
  // An interval no test run reaches: the second report must stay held.
  auto watch = WatchScreenDamage({env.display(), 600000}, [&calls] { calls.fetch_add(1); });
  ASSERT_NE(watch, nullptr);
  watch->SetArea({{100, 100, 50, 50}});
  Draw(client, 110, 110, 10, 10, 0x00FF00);
  EXPECT_TRUE(WaitFor([&] { return calls.load() == 1; }));
  Draw(client, 120, 120, 10, 10, 0xFF0000);
  Draw(client, 0, 0, 10, 10, 0x0000FF);
  // Ends at once although a report is held back.
  const auto before = std::chrono::steady_clock::now();
  const uint64_t reports = watch->reports();
  watch.reset();
  EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(30));
  EXPECT_EQ(calls.load(), 1);
  EXPECT_EQ(reports, 1u);
  XCloseDisplay(client);
}

// The report hands over where the drawing met the area; drawing elsewhere
// is not handed over, and a second take finds nothing new.
TEST(ScreenDamageWatchTest, TheDrawnRectanglesInTheAreaAreHandedOverOnce) {
  DisplayTestEnv& env = DisplayTestEnv::Get();
  if (!env.available()) VZ_SKIP_TEST_WITHOUT(vz::kNeedsXvfb) << env.why();
  Display* client = XOpenDisplay(env.display().c_str());
  ASSERT_NE(client, nullptr);
  std::atomic<int> calls{0};
  auto watch = WatchScreenDamage({env.display(), 1}, [&calls] { calls.fetch_add(1); });
  ASSERT_NE(watch, nullptr);
  watch->SetArea({{200, 200, 300, 300}});
  Draw(client, 0, 0, 10, 10, 0x0000FF);
  Draw(client, 410, 300, 20, 30, 0x00FF00);
  ASSERT_TRUE(WaitFor([&] { return calls.load() >= 1; }));
  std::vector<ScreenRect> taken = watch->TakeDamage();
  ASSERT_FALSE(taken.empty());
  bool covered = false;
  for (const ScreenRect& r : taken) {
    EXPECT_FALSE(r.x + r.width <= 200 || r.y + r.height <= 200) << "drawing outside the area";
    if (r.x <= 410 && r.y <= 300 && r.x + r.width >= 430 && r.y + r.height >= 330) covered = true;
  }
  EXPECT_TRUE(covered);
  EXPECT_TRUE(watch->TakeDamage().empty());
  watch.reset();
  XCloseDisplay(client);
}

}  // namespace
}  // namespace vz
