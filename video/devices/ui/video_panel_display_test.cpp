// The video panel on a private X server: it opens at its place with its
// title and tool bar on the screen, the full-screen button (clicked through
// XTest) takes the views into a window over the whole screen, and Escape
// brings them back; closing the panel releases every renderer. Inside
// another program's window it fills it, follows its size and closes when it
// goes; under a window manager it shows its icon, keeps its minimum size and
// gives up its renderers while minimised.
#include <gtest/gtest.h>

#include <cstdlib>

#include "outside/vzres/vzres.h"
#include "platform/clock.h"
#include "platform/run_loop.h"
#include "platform/ui/display_probe.h"
#include "platform/ui/display_test_env.h"
#include "platform/ui/input_injector.h"
#include "platform/ui/window.h"
#include "platform/ui/x11_foreign_window_testlib.h"
#include "platform/ui/xvfb_testlib.h"
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

// A picture of what a test sees, for a person to look at: only when
// VZ_TEST_PICTURES names a folder.
void KeepPicture(const std::string& display, const vz::Rect& area, const char* name) {
  const char* folder = std::getenv("VZ_TEST_PICTURES");
  if (folder == nullptr || *folder == 0) return;
  if (std::optional<vz::Image> picture = vz::CaptureDisplayArea(display.c_str(), area)) {
    picture->WritePngFile(std::string(folder) + "/" + name);
  }
}

TEST_F(PanelDisplayTest, InsideAContainerItFillsItFollowsItsSizeAndClosesWhenItGoes) {
  const vz::Rect place = vz::Rect::FromXYWH(60, 40, 700, 520);
  std::unique_ptr<vz::X11ForeignWindow> container = vz::X11ForeignWindow::Create(env_.display(), place, 0xC0C0C0);
  ASSERT_TRUE(container);
  auto panel = std::make_unique<VideoMainPanelWindow>(nullptr, &render_, &client_, u"me", system_.get(),
                                                      vz::SystemClock());
  ASSERT_TRUE(panel->createVideoWindow(container->id(), 0));
  EXPECT_EQ(panel->container(), container->id());
  EXPECT_EQ(container->Children(), std::vector<uint64_t>{panel->window()->NativeId()});
  EXPECT_EQ(panel->window()->bounds(), (vz::Rect{0, 0, 700, 520}));
  const std::vector<VideoRosterInfo> people = {Participant("me"), Participant("p1"), Participant("p2")};
  for (size_t i = 0; i < people.size(); ++i) panel->mainView()->addVideoRoster(&people[i], i + 1 == people.size());
  panel->refresh();

  // The tool bar shows where the panel says it is: inside the container.
  vz::Rect area = place;
  auto toolbar_shown = [&] {
    const vz::Rect toolbar = panel->panelToolbar()->window()->bounds();
    const vz::Point at = panel->window()->ToScreen({toolbar.left + 2, toolbar.top + 2});
    std::optional<vz::Image> pixel =
        vz::CaptureDisplayArea(env_.display().c_str(), vz::Rect::FromXYWH(at.x, at.y, 1, 1));
    return area.Contains(at) && pixel && pixel->GetPixel(0, 0) == 0xFF151515u;
  };
  ASSERT_TRUE(Settle(toolbar_shown));
  KeepPicture(env_.display(), place, "panel-in-container.png");

  // The container grows: the panel and its view follow, the tool bar with them.
  container->Resize(900, 600);
  area = vz::Rect::FromXYWH(place.left, place.top, 900, 600);
  ASSERT_TRUE(Settle([&] { return panel->window()->bounds().GetSize() == vz::Size{900, 600}; }));
  EXPECT_EQ(panel->mainScreenView()->window()->bounds(), (vz::Rect{0, 0, 900, 600}));
  ASSERT_TRUE(Settle(toolbar_shown));
  KeepPicture(env_.display(), area, "panel-in-container-grown.png");

  // The container goes: the panel's views and renderers go with it, and the
  // process goes on (the display connection still answers).
  container->Destroy();
  ASSERT_TRUE(Settle([&] { return panel->window() == nullptr; }));
  EXPECT_TRUE(render_.live.empty());
  EXPECT_TRUE(client_.subscriptions.empty());
  panel.reset();
  system_->Sync();
  vz::WindowParams params;
  params.bounds = vz::Rect::FromXYWH(0, 0, 20, 20);
  struct Nobody : vz::WindowDelegate {
    void OnPaint(vz::Canvas&) override {}
  } nobody;
  EXPECT_NE(system_->CreateWindow(params, &nobody), nullptr);
}

// Under twm on a server of the test's own: the top-level panel's icon is
// PNG 309 and its minimum client size 642 x 474; minimised through the
// window manager it releases every renderer and subscription, and mapped
// again it has the large view's and the tiles' renderers back.
TEST(PanelWindowManagerTest, MinimisedItReleasesItsRenderersAndRestoredTakesThemBack) {
  vz::XvfbServer server;
  std::string why;
  if (!server.Start(&why, 1280, 1024)) GTEST_SKIP() << why;
  std::unique_ptr<vz::TwmWindowManager> twm = vz::TwmWindowManager::Start(server.display(), &why);
  if (!twm) GTEST_SKIP() << why;
  ASSERT_TRUE(vzres::LoadResourceLibrary("vzres"));
  vz::DisplayTestEnv& env = vz::DisplayTestEnv::Get();
  vz::RunLoop& loop = vz::RunLoop::ForCurrentThread();
  std::unique_ptr<vz::WindowSystem> system = vz::OpenDisplayWindowSystem(server.display().c_str());
  ASSERT_TRUE(system);
  testing::FakeRenderService render;
  testing::FakeClient client;
  auto panel = std::make_unique<VideoMainPanelWindow>(nullptr, &render, &client, u"me", system.get(),
                                                      vz::SystemClock());
  ASSERT_TRUE(panel->createVideoWindow(0, 0));
  const std::vector<VideoRosterInfo> people = {Participant("me"), Participant("p1"), Participant("p2")};
  for (size_t i = 0; i < people.size(); ++i) panel->mainView()->addVideoRoster(&people[i], i + 1 == people.size());
  panel->refresh();
  const size_t shown = render.live.size();
  ASSERT_GE(shown, 2u);
  auto settle = [&](const std::function<bool()>& done) {
    return env.RunUntil(loop, [&] {
      system->Sync();
      return done();
    }, 60000);
  };
  const uint64_t id = panel->window()->NativeId();
  auto framed = [&] {
    for (const vz::DisplayWindowInfo& info : vz::ListDisplayWindows(server.display().c_str())) {
      if (info.id == id) return false;
    }
    return true;
  };
  ASSERT_TRUE(settle(framed)) << "twm did not take the panel";

  std::optional<vz::Image> icon = vz::ReadDisplayWindowIcon(server.display(), id);
  std::optional<vz::Image> png = vz::Image::DecodePng(vzres::LoadResPng(vzres::IDI_VIDEO_PANEL));
  ASSERT_TRUE(icon.has_value());
  ASSERT_TRUE(png.has_value());
  EXPECT_EQ(icon->size(), png->size());
  EXPECT_EQ(icon->GetPixel(png->width() / 2, png->height() / 2), png->GetPixel(png->width() / 2, png->height() / 2));
  EXPECT_EQ(vz::ReadDisplayWindowMinimumSize(server.display(), id), (vz::Size{642, 474}));

  ASSERT_TRUE(vz::IconifyDisplayWindow(server.display(), id));
  ASSERT_TRUE(settle([&] { return render.live.empty(); }));
  EXPECT_TRUE(client.subscriptions.empty());
  EXPECT_TRUE(panel->isHidden());

  ASSERT_TRUE(vz::MapDisplayWindow(server.display(), id));
  ASSERT_TRUE(settle([&] { return render.live.size() == shown; }));
  EXPECT_NE(panel->mainView()->activeView().container().renderer, nullptr);
  EXPECT_EQ(client.subscriptions.size(), shown);
  EXPECT_FALSE(panel->isHidden());

  panel.reset();
  EXPECT_TRUE(render.live.empty());
  system.reset();
  vzres::UnloadResourceLibrary();
}

}  // namespace
}  // namespace vzpanel
