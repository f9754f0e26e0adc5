// The video panel on a private X server: it opens at its place with its
// title and tool bar on the screen, the full-screen button (clicked through
// XTest) takes the views into a window over the whole screen, and Escape
// brings them back; closing the panel releases every renderer.
#include <gtest/gtest.h>

#include "outside/vzres/vzres.h"
#include "platform/clock.h"
#include "platform/run_loop.h"
#include "platform/ui/display_probe.h"
#include "platform/ui/display_test_env.h"
#include "platform/ui/input_injector.h"
#include "platform/ui/window.h"
#include "video/devices/ui/panel_test_support.h"
#include "video/devices/ui/video_main_panel_window.h"

namespace vzpanel {
namespace {

using testing::Participant;

class PanelDisplayTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!env_.available()) GTEST_SKIP() << env_.why();
    ASSERT_TRUE(vzres::LoadResourceLibrary("vzres"));
    system_ = vz::OpenDisplayWindowSystem(env_.display().c_str());
    ASSERT_TRUE(system_);
  }
  void TearDown() override { vzres::UnloadResourceLibrary(); }
  bool Settle(const std::function<bool()>& done) {
    return env_.RunUntil(loop_, [&] {
      system_->Sync();
      return done();
    });
  }
  bool Viewable(vz::Window* window) {
    for (const vz::DisplayWindowInfo& info : vz::ListDisplayWindows(env_.display().c_str())) {
      if (info.id == window->NativeId()) return info.viewable;
    }
    return false;
  }

  vz::DisplayTestEnv& env_ = vz::DisplayTestEnv::Get();
  vz::RunLoop& loop_ = vz::RunLoop::ForCurrentThread();
  std::unique_ptr<vz::WindowSystem> system_;
  testing::FakeRenderService render_;
  testing::FakeClient client_;
};

TEST_F(PanelDisplayTest, OpensWithItsToolbarAndEscapeLeavesFullScreen) {
  auto panel = std::make_unique<VideoMainPanelWindow>(nullptr, &render_, &client_, u"me", system_.get(),
                                                      vz::SystemClock());
  ASSERT_TRUE(panel->createVideoWindow(0, 0));
  const std::vector<VideoRosterInfo> people = {Participant("me"), Participant("p1"), Participant("p2")};
  for (size_t i = 0; i < people.size(); ++i) panel->mainView()->addVideoRoster(&people[i], i + 1 == people.size());
  panel->setTitle(u"Meeting 123 45 678");
  panel->refresh();
  ASSERT_TRUE(Settle([&] { return Viewable(panel->window()); }));

  // The tool bar's background shows at its place on the screen.
  const vz::Rect toolbar = panel->panelToolbar()->window()->bounds();
  const vz::Point toolbar_on_screen = panel->window()->ToScreen({toolbar.left + 2, toolbar.top + 2});
  std::optional<vz::Image> screen;
  ASSERT_TRUE(Settle([&] {
    screen = vz::CaptureDisplayArea(env_.display().c_str(),
                                    vz::Rect::FromXYWH(toolbar_on_screen.x, toolbar_on_screen.y, 1, 1));
    return screen && screen->GetPixel(0, 0) == 0xFF151515u;
  })) << (screen ? screen->GetPixel(0, 0) : 0u);
  bool titled = false;
  for (const vz::DisplayWindowInfo& info : vz::ListDisplayWindows(env_.display().c_str())) {
    titled |= info.id == panel->window()->NativeId() && info.title == "Meeting 123 45 678";
  }
  EXPECT_TRUE(titled);

  // The full-screen button, clicked as a user would.
  std::unique_ptr<vz::InputInjector> injector = vz::InputInjector::Open(env_.display().c_str());
  ASSERT_TRUE(injector);
  const vz::Rect button = panel->mainView()->layout().fullscreen_button;
  injector->Click(panel->window()->ToScreen({button.left + button.Width() / 2, button.top + button.Height() / 2}));
  injector->Sync();
  ASSERT_TRUE(Settle([&] { return panel->isFullScreen() && Viewable(panel->fullScreenWindow()); }));
  EXPECT_EQ(panel->mainView()->fullscreenButtonImage(), vzres::IDB_VIDEO_FULLSCREEN_LEAVE);

  injector->Tap(vz::keys::kEscape);
  injector->Sync();
  ASSERT_TRUE(Settle([&] { return !panel->isFullScreen() && Viewable(panel->window()); }));
  EXPECT_EQ(panel->mainView()->fullscreenButtonImage(), vzres::IDB_VIDEO_FULLSCREEN);

  panel.reset();
  EXPECT_TRUE(render_.live.empty());
  EXPECT_TRUE(client_.subscriptions.empty());
}

}  // namespace
}  // namespace vzpanel
