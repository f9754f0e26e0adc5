// The video panel on a private X server: it opens at its place with its
// title and tool bar on the screen, the full-screen button (clicked through
// XTest) takes the views into a window over the whole screen, and Escape
// brings them back; closing the panel releases every renderer. Inside
// another program's window it fills it, follows its size and closes when it
// goes; under a window manager it shows its icon, keeps its minimum size and
// gives up its renderers while minimised. With real renderers drawing the
// test camera's pattern, the controls over the video (buttons, name labels,
// toolbar) show above it, bare and under a window manager and a compositor.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <set>

#include <cstdlib>

#include "outside/vzres/vzres.h"
#include "contracts/test_pattern.h"
#include "platform/clock.h"
#include "platform/process.h"
#include "platform/test_requirement_testlib.h"
#include "platform/text.h"
#include "platform/run_loop.h"
#include "platform/ui/display_probe.h"
#include "platform/ui/display_test_env_testlib.h"
#include "platform/ui/input_injector.h"
#include "platform/ui/window.h"
#include "platform/ui/x11_desk_testlib.h"
#include "platform/ui/x11_foreign_window_testlib.h"
#include "platform/ui/x11_full_screen_watch_testlib.h"
#include "platform/ui/x11_window_manager_testlib.h"
#include "platform/ui/x11_window_grab.h"
#include "platform/ui/xvfb_testlib.h"
#include "uikit/gdiplus_bitmap.h"
#include "video/devices/render/render_fakes_testlib.h"
#include "video/devices/render/view_window_port.h"
#include "video/devices/render/win_video_renderer.h"
#include "video/devices/ui/panel_helpers.h"
#include "video/devices/ui/panel_testlib.h"
#include "video/devices/ui/video_main_panel_window.h"

namespace vzpanel {
namespace {

using testing::Participant;

// Real renderers (the software draw) in the containers' windows, fed the
// test camera's pattern as a camera would.
class PatternRenderService : public IVideoRenderService {
 public:
  ~PatternRenderService() override {
    for (auto& [face, renderer] : live) renderer->Release();
  }
  int32_t CreateVideoRenderer(IVideoRenderer** out, void* owner) override {
    *out = nullptr;
    if (owner == nullptr) return 3;
    VideoDrawFactory software;
    software.create_first_choice = [](IVideoWindowPort*, IDrawHost*) -> IVideoDraw* { return nullptr; };
    auto* renderer = new CWinVideoRenderer(software);
    renderer->AddRef();
    if (!renderer->Init(std::make_unique<ViewWindowPort>(static_cast<vz::Window*>(owner)),
                        CWinVideoRenderer::kRenderTypeSoftware)) {
      renderer->Release();
      return 3;
    }
    *out = renderer;
    live[renderer] = renderer;
    return 0;
  }
  int32_t DestroyVideoRenderer(IVideoRenderer* renderer) override {
    auto found = live.find(renderer);
    if (found == live.end()) return 1;
    found->second->Release();
    live.erase(found);
    return 0;
  }
  int32_t SetBKColorInRenderer(IVideoRenderer*, uint32_t) override { return 0; }
  int32_t ClearRendererStream(IVideoRenderer*) override { return 0; }
  int32_t RedrawRenderer(IVideoRenderer*) override { return 0; }
  int32_t OnRendererDisplayChange(IVideoRenderer*) override { return 0; }
  int32_t OnRendererPositionChange(IVideoRenderer* renderer) override {
    auto found = live.find(renderer);
    return found != live.end() ? found->second->OnWindowPositionChange() : 1;
  }
  // One frame of the pattern to every renderer.
  void DeliverFrame() {
    constexpr int kWidth = 640, kHeight = 360;
    std::vector<uint8_t> frame(kWidth * kHeight * 3 / 2);
    FillTestPattern(frame.data(), kWidth, kHeight, counter_++);
    for (auto& [face, renderer] : live) {
      auto* sample = new TestSample(VideoFormat{2, kWidth, kHeight, 30.0f, 0}, frame);
      sample->AddRef();
      renderer->DeliverSample(sample);
      sample->Release();
    }
  }
  std::map<IVideoRenderer*, CWinVideoRenderer*> live;

 private:
  uint32_t counter_ = 1;
};

// A compositor on the test's display, ended on every path.
class Compositor {
 public:
  explicit Compositor(const std::string& display, std::string* error)
      : pid_(vz::SpawnProcess("/usr/bin/xcompmgr", {"xcompmgr", "-d", display}, error)) {}
  ~Compositor() {
    if (pid_ <= 0) return;
    vz::KillProcess(pid_);
    vz::WaitForProcess(pid_, 30000, nullptr);
  }
  bool started() const { return pid_ > 0; }

 private:
  int pid_;
};

class PanelDisplayTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!env_.available()) VZ_SKIP_TEST_WITHOUT(vz::kNeedsXvfb) << env_.why();
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

// Where a window lies in its top-level window.
vz::Rect InTopLevel(vz::Window* window) {
  const vz::Point origin = window->ToScreen({0, 0});
  const vz::Point top = window->TopLevel()->ToScreen({0, 0});
  return vz::Rect::FromXYWH(origin.x - top.x, origin.y - top.y, window->bounds().Width(), window->bounds().Height());
}

// The share of `area` in the grab whose pixels are `colour`.
double ShareOf(const vz::Image& grab, const vz::Rect& area, vz::Color colour) {
  int hits = 0;
  for (int y = area.top; y < area.bottom; ++y)
    for (int x = area.left; x < area.right; ++x) hits += (grab.GetPixel(x, y) | 0xFF000000) == colour ? 1 : 0;
  return area.IsEmpty() ? 0 : static_cast<double>(hits) / (area.Width() * area.Height());
}

// The share of the image's opaque pixels that the grab shows at `at`.
double ImageShown(const vz::Image& grab, const vz::Image& image, vz::Point at) {
  int opaque = 0, hits = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) {
      const vz::Color pixel = image.GetPixel(x, y);
      if ((pixel >> 24) != 0xFF) continue;
      ++opaque;
      hits += (grab.GetPixel(at.x + x, at.y + y) | 0xFF000000) == pixel ? 1 : 0;
    }
  return opaque == 0 ? 0 : static_cast<double>(hits) / opaque;
}

// The number of distinct colours in an area: the pattern's gradient gives
// many, a flat fill one.
size_t ColoursIn(const vz::Image& grab, const vz::Rect& area) {
  std::set<vz::Color> colours;
  for (int y = area.top; y < area.bottom; ++y)
    for (int x = area.left; x < area.right; ++x) colours.insert(grab.GetPixel(x, y) | 0xFF000000);
  return colours.size();
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

TEST_F(PanelDisplayTest, ControlsOverTheVideoShowAboveItBareUnderAManagerAndUnderACompositor) {
  CGdiPlusBitmapResource fullscreen_image;
  ASSERT_TRUE(fullscreen_image.Load(vzres::IDB_VIDEO_FULLSCREEN));

  std::unique_ptr<vz::X11WindowManager> twm;
  std::unique_ptr<Compositor> compositor;
  for (const std::string round : {"bare", "twm", "twm+xcompmgr"}) {
    SCOPED_TRACE(round);
    std::string why;
    if (round == "twm") {
      twm = vz::X11WindowManager::Start("twm", env_.display(), 30000, &why);
      if (!twm) VZ_SKIP_TEST_WITHOUT(vz::NeedsPackage("twm")) << why;
    } else if (round == "twm+xcompmgr") {
      if (::access("/usr/bin/xcompmgr", X_OK) != 0) {
        VZ_SKIP_TEST_WITHOUT(vz::kNeedsXcompmgr) << "xcompmgr is not installed";
      }
      compositor = std::make_unique<Compositor>(env_.display(), &why);
      ASSERT_TRUE(compositor->started()) << why;
    }
    PatternRenderService render;
    vz::FakeClock clock(1000);  // the overlay controls stay shown
    auto panel = std::make_unique<VideoMainPanelWindow>(nullptr, &render, &client_, u"me", system_.get(), clock);
    ASSERT_TRUE(panel->createVideoWindow(0, 0));
    std::vector<VideoRosterInfo> people = {Participant("me"), Participant("p1"), Participant("p2")};
    // A long name: the label takes half the view's width.
    vz::CopyUtf16(people[1].head.Name, 128, u"Participant with a rather long name");
    for (size_t i = 0; i < people.size(); ++i) panel->mainView()->addVideoRoster(&people[i], i + 1 == people.size());
    panel->setTitle(u"Meeting 123 45 678");
    // A spotlight on p1: the large view shows the spotlight mark and, the
    // participant having changed, the name label.
    panel->mainView()->setSpotlightRoster(&people[1]);
    panel->refresh();
    // Under a manager the panel may be placed and sized anew: wait until it
    // is shown and its renderers are made.
    ASSERT_TRUE(env_.RunUntil(loop_, [&] {
      system_->Sync();
      // (A managed window is listed under its frame: the grab tells it is shown.)
      return vz::GrabX11Window(env_.display(), panel->window()->NativeId()).has_value() && render.live.size() >= 2;
    }, 60000));

    CVzMainScreenView& view = *panel->mainScreenViewForTesting();
    ASSERT_TRUE(view.model().fullscreenButtonShown());
    CVzActiveVideoView& large = view.activeViewForTesting();
    ASSERT_TRUE(large.labelForTesting().window() && large.labelForTesting().window()->IsVisible());
    ASSERT_TRUE(large.buttonForTesting().window() && large.buttonForTesting().window()->IsVisible());
    const vz::Rect video = InTopLevel(large.container().window());
    const vz::Rect label = InTopLevel(large.labelForTesting().window());
    const vz::Rect button = InTopLevel(large.buttonForTesting().window());
    const vz::Rect toolbar = InTopLevel(panel->panelToolbar()->window());
    // The label lies above the tool bar, which would hide it.
    ASSERT_LE(label.bottom, toolbar.top);
    const vz::Rect main = InTopLevel(view.window());
    const vz::Rect fs = view.model().layout().fullscreen_button.Offset(main.left, main.top);
    // The strip lies over the large view: its first tile's name line.
    ASSERT_FALSE(view.model().strip().shownItems().empty());
    const vz::Rect strip = view.model().layout().strip.Offset(main.left, main.top);
    const vz::Rect tile = view.model().strip().shownItems()[0]->rect.Offset(strip.left, strip.top);
    const vz::Rect tile_label{tile.left + 1, tile.bottom - kTileLabelHeight, tile.right - 1, tile.bottom};

    // Frames keep coming, as from a camera, while the picture settles.
    std::optional<vz::Image> grab;
    double fs_shown = 0, label_shown = 0, button_shown = 0, toolbar_shown = 0, tile_label_shown = 0;
    size_t video_colours = 0;
    const vz::Rect open_video = vz::Rect::FromXYWH(video.left + video.Width() / 3, video.top + video.Height() / 3,
                                                   video.Width() / 3, 8);
    const bool settled = env_.RunUntil(loop_, [&] {
      render.DeliverFrame();
      system_->Sync();
      grab = vz::GrabX11Window(env_.display(), panel->window()->NativeId());
      if (!grab || grab->width() < main.right || grab->height() < main.bottom) return false;
      fs_shown = ImageShown(*grab, *fullscreen_image.bitmap(), {fs.left, fs.top});
      // The label's own background (the panel's) around its text.
      label_shown = ShareOf(*grab, label, kPanelBackground);
      button_shown = ShareOf(*grab, button, 0xFF2D2D2D);
      tile_label_shown = ShareOf(*grab, tile_label, kPanelBackground);
      toolbar_shown = ShareOf(*grab, {toolbar.left, toolbar.top, toolbar.left + 8, toolbar.bottom}, 0xFF151515);
      video_colours = ColoursIn(*grab, open_video);
      return fs_shown > 0.95 && label_shown > 0.3 && button_shown > 0.2 && toolbar_shown > 0.95 &&
             tile_label_shown > 0.5 && video_colours > 20;
    }, 60000);
    {
      const vz::Point origin = panel->window()->ToScreen({0, 0});
      const vz::Rect area = vz::Rect::FromXYWH(origin.x, origin.y, main.right, main.bottom);
      const std::string name = round == "twm+xcompmgr" ? "twm-xcompmgr" : round;
      KeepPicture(env_.display(), area, ("panel-controls-" + name + ".png").c_str());
    }
    EXPECT_TRUE(settled) << "full-screen button " << fs_shown << ", label " << label_shown << ", spotlight mark "
                         << button_shown << ", tile name " << tile_label_shown << ", toolbar "
                         << toolbar_shown << ", colours of the video " << video_colours;

    // The overlay hides while no frame comes (a stalled stream): the held
    // picture is drawn again where the full-screen button was.
    clock.AdvanceMs(kOverlayIdleMs + 1);
    view.model().onIdleTick(std::nullopt);
    view.Sync();
    ASSERT_FALSE(view.model().fullscreenButtonShown());
    size_t fs_colours = 0;
    EXPECT_TRUE(env_.RunUntil(loop_, [&] {
      system_->Sync();
      grab = vz::GrabX11Window(env_.display(), panel->window()->NativeId());
      if (!grab) return false;
      fs_shown = ImageShown(*grab, *fullscreen_image.bitmap(), {fs.left, fs.top});
      fs_colours = ColoursIn(*grab, fs);
      return fs_shown < 0.2 && fs_colours > 10;
    }, 60000)) << "where the full-screen button was: its image " << fs_shown << ", colours " << fs_colours;

    panel.reset();
    EXPECT_TRUE(render.live.empty());
  }
}

// The join's waiting animation and the hint over a blocked participant are
// windows over the video: with real renderers drawing, both are seen.
TEST_F(PanelDisplayTest, TheWaitingAnimationAndThePausedHintShowAboveTheVideo) {
  std::vector<vz::Image> frames;
  for (int i = 0; i < kWaitingFrameCount; ++i) {
    CGdiPlusBitmapResource frame;
    ASSERT_TRUE(frame.Load(WaitingFrameImage(i))) << "frame " << i;
    frames.push_back(*frame.bitmap());
  }
  PatternRenderService render;
  vz::FakeClock clock(1000);
  auto panel = std::make_unique<VideoMainPanelWindow>(nullptr, &render, &client_, u"me", system_.get(), clock);
  ASSERT_TRUE(panel->createVideoWindow(0, 0));
  const std::vector<VideoRosterInfo> people = {Participant("me"), Participant("p1"), Participant("p2")};
  for (size_t i = 0; i < people.size(); ++i) panel->mainView()->addVideoRoster(&people[i], i + 1 == people.size());
  panel->mainView()->showProgressingAnimation(true);
  panel->refresh();
  CVzMainScreenView& view = *panel->mainScreenViewForTesting();
  CVzActiveVideoView& large = view.activeViewForTesting();
  const VideoRosterInfo shown = panel->mainView()->activeView().record();
  panel->mainView()->setRosterVideoBlocked(&shown, true);
  panel->refresh();
  ASSERT_TRUE(env_.RunUntil(loop_, [&] {
    system_->Sync();
    return vz::GrabX11Window(env_.display(), panel->window()->NativeId()).has_value() && render.live.size() >= 3;
  }, 60000));

  // The animation is centred in the main view at its own size, the hint in
  // the large view's video.
  const vz::Rect main = InTopLevel(view.window());
  const vz::Rect spinner = vz::Rect::FromXYWH(main.left + (main.Width() - frames[0].width()) / 2,
                                              main.top + (main.Height() - frames[0].height()) / 2,
                                              frames[0].width(), frames[0].height());
  const vz::Rect video = InTopLevel(large.container().window());
  const std::string hint_text = vz::Utf16ToUtf8(vzres::LoadResString(vzres::IDS_VIDEO_HINT));
  const vz::Rect hint =
      PlaceHintLabel(video.GetSize(), hint_text, vz::DefaultTextMeasurer()).rect.Offset(video.left, video.top);
  ASSERT_TRUE(video.Contains({spinner.left, spinner.top}));
  double spinner_shown = 0, hint_shown = 0;
  size_t video_colours = 0;
  const bool seen = env_.RunUntil(loop_, [&] {
    render.DeliverFrame();
    system_->Sync();
    std::optional<vz::Image> grab = vz::GrabX11Window(env_.display(), panel->window()->NativeId());
    if (!grab || grab->width() < video.right || grab->height() < video.bottom) return false;
    spinner_shown = 0;
    for (const vz::Image& frame : frames) {
      spinner_shown = std::max(spinner_shown, ImageShown(*grab, frame, {spinner.left, spinner.top}));
    }
    hint_shown = ShareOf(*grab, hint, kHintBackground);
    video_colours = ColoursIn(*grab, vz::Rect::FromXYWH(video.left + 20, video.top + 40, video.Width() / 4, 8));
    return spinner_shown > 0.9 && hint_shown > 0.5 && video_colours > 20;
  }, 60000);
  EXPECT_TRUE(seen) << "animation " << spinner_shown << ", hint " << hint_shown << ", colours of the video "
                    << video_colours;

  // Both go when the model says so, and the video shows where they were.
  panel->mainView()->showProgressingAnimation(false);
  panel->mainView()->setRosterVideoBlocked(&shown, false);
  panel->refresh();
  EXPECT_EQ(view.progressAnimationForTesting().window(), nullptr);
  EXPECT_EQ(large.container().hintWindowForTesting(), nullptr);
  panel.reset();
  EXPECT_TRUE(render.live.empty());
}

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

// The full-screen button on a desk of two monitors, a desktop panel along
// the top of the right one (a dock that reserves its strip) and another
// program's window on it, which has the focus when the button is clicked,
// with no window manager and under twm, openbox, metacity (which keeps title
// bars on the screen), fluxbox, icewm, xfwm4 and jwm: from the moment the
// full-screen window shows, for three seconds, its client area is the whole
// monitor the panel is on, without a frame, nothing over it, the panel
// stays until it has the focus and it keeps the focus once it has it, even
// while the program is busy making renderers; the tool bar shows at its
// bottom left; Escape, and the full-screen button,
// bring the panel back where it was.
// Renderers that take a while to make, as the GPU draw's start-up does: the
// program is busy a moment after it asked for the full-screen window, and
// serves no event meanwhile.
class SlowRenderService : public testing::FakeRenderService {
 public:
  int32_t CreateVideoRenderer(IVideoRenderer** out, void* owner) override {
    vz::SleepMs(busy_ms);
    return FakeRenderService::CreateVideoRenderer(out, owner);
  }
  int busy_ms = 0;
};

class PanelFullScreenDisplayTest : public ::testing::TestWithParam<std::string> {
 protected:
  static constexpr vz::Rect kRightMonitor = vz::X11TestDesk::kRightMonitor;
  void SetUp() override {
    std::string why;
    bool missing = false;
    if (!desk_.Start(GetParam(), 30000, &why, &missing)) {
      if (missing) VZ_SKIP_TEST_WITHOUT(vz::NeedsXvfbAndManager(GetParam())) << why;
      FAIL() << why;
    }
    ASSERT_TRUE(vzres::LoadResourceLibrary("vzres"));
    system_ = vz::OpenDisplayWindowSystem(desk_.display().c_str());
    ASSERT_TRUE(system_);
  }
  void TearDown() override {
    system_.reset();
    vzres::UnloadResourceLibrary();
  }
  bool Settle(const std::function<bool()>& done) {
    return env_.RunUntil(loop_, [&] {
      system_->Sync();
      return done();
    }, 30000);
  }
  bool Viewable(vz::Window* window) { return vz::ReadX11Cover(desk_.display(), window->NativeId()).viewable; }
  // The screen's pixel at a point of a window.
  vz::Color PixelOf(vz::Window* window, vz::Point at) {
    const vz::Point p = window->ToScreen(at);
    std::optional<vz::Image> pixel = vz::CaptureDisplayArea(desk_.display().c_str(), vz::Rect::FromXYWH(p.x, p.y, 1, 1));
    return pixel ? pixel->GetPixel(0, 0) : 0;
  }

  vz::DisplayTestEnv& env_ = vz::DisplayTestEnv::Get();
  vz::RunLoop& loop_ = vz::RunLoop::ForCurrentThread();
  vz::X11TestDesk desk_;
  std::unique_ptr<vz::WindowSystem> system_;
  SlowRenderService render_;
  testing::FakeClient client_;
};

TEST_P(PanelFullScreenDisplayTest, FullScreenCoversThePanelsMonitorAboveEverythingAndEscapeOrItsButtonBringsThePanelBack) {
  vz::FakeClock clock(1000);  // the overlay controls stay shown
  auto panel = std::make_unique<VideoMainPanelWindow>(nullptr, &render_, &client_, u"me", system_.get(), clock);
  ASSERT_TRUE(panel->createVideoWindow(0, 0));
  const std::vector<VideoRosterInfo> people = {Participant("me"), Participant("p1"), Participant("p2")};
  for (size_t i = 0; i < people.size(); ++i) panel->mainView()->addVideoRoster(&people[i], i + 1 == people.size());
  // The user took the panel to the right monitor.
  const vz::Rect placed = vz::Rect::FromXYWH(880, 80, 642, 480);  // its smallest width
  panel->window()->SetBounds(placed);
  panel->refresh();
  // (A manager may settle it a moment later; jwm snaps it to the edges of
  // others near it; i3 tiles it beside the other program's window on that
  // monitor.) Where it then stays is where it was.
  const bool tiles = GetParam() == "i3";
  vz::X11Cover cover;
  auto placed_there = [&] {
    cover = vz::ReadX11Cover(desk_.display(), panel->window()->NativeId());
    const bool near = tiles ? kRightMonitor.Intersect(cover.client) == cover.client
                            : std::abs(cover.client.left - placed.left) <= 16 &&
                                  std::abs(cover.client.top - placed.top) <= 16;
    return cover.viewable && near && cover.client == panel->window()->bounds();
  };
  bool settled = false;
  for (int tries = 0; tries < 5 && !settled; ++tries) {
    ASSERT_TRUE(Settle(placed_there)) << cover.client.left << "," << cover.client.top << " " << cover.client.Width()
                                      << "x" << cover.client.Height();
    const vz::Rect seen = cover.client;
    settled = env_.HoldsFor(loop_, [&] {
      system_->Sync();
      return placed_there() && cover.client == seen;
    }, 1000);
  }
  ASSERT_TRUE(settled);
  const vz::Rect shown = cover.client;

  std::unique_ptr<vz::InputInjector> injector = vz::InputInjector::Open(desk_.display().c_str());
  ASSERT_TRUE(injector);
  // The full-screen button, in the panel or in the full-screen window,
  // clicked until the panel goes in or out of full screen: a manager that
  // focuses a window on a click may keep that click's press for itself
  // (fluxbox, while it has not yet seen the window it mapped again take
  // the focus), as a user who clicks again finds.
  auto click_button = [&] {
    const bool was_full = panel->isFullScreen();
    for (int tries = 0; tries < 3 && panel->isFullScreen() == was_full; ++tries) {
      const vz::Rect button = panel->mainView()->layout().fullscreen_button;
      injector->Click(panel->mainScreenViewForTesting()->window()->ToScreen(
          {button.left + button.Width() / 2, button.top + button.Height() / 2}));
      injector->Sync();
      env_.RunUntil(loop_, [&] { return panel->isFullScreen() != was_full; }, 5000);
    }
  };
  // Another program's window has the focus when the user clicks the button.
  ASSERT_TRUE(desk_.FocusPlainWindow(30000)) << "another program's window did not get the focus";
  // From the first moment the full-screen window shows it covers the
  // monitor, and the panel stays until the full-screen window has the
  // focus: a panel withdrawn before hands the focus back to the window that
  // had it before, and the full-screen window is kept above the dock only
  // while it is the active one.
  vz::FullScreenWatch watch;
  watch.instance = "VzFullScreenVideo";
  watch.monitor = kRightMonitor;
  watch.shown_until_focused = panel->window()->NativeId();
  vz::FullScreenWatcher watcher(desk_.display(), watch);
  render_.busy_ms = 300;
  click_button();
  render_.busy_ms = 0;
  EXPECT_EQ(watcher.Result(loop_), "");
  vz::Color toolbar_pixel = 0;
  auto covers = [&] {
    vz::Window* full = panel->fullScreenWindow();
    if (full == nullptr) return false;
    cover = vz::ReadX11Cover(desk_.display(), full->NativeId());
    if (!cover.viewable || cover.client != kRightMonitor || cover.frame != cover.client || !cover.above.empty()) {
      return false;
    }
    // The tool bar at the video's bottom left, on the screen.
    vz::Window* toolbar = panel->panelToolbar()->window();
    toolbar_pixel = PixelOf(toolbar, {2, 2});
    return toolbar->TopLevel() == full && toolbar_pixel == 0xFF151515u && !panel->window()->IsVisible() &&
           !Viewable(panel->window());
  };
  const bool covered = Settle(covers);
  EXPECT_TRUE(covered) << "client area " << cover.client.left << "," << cover.client.top << " "
                       << cover.client.Width() << "x" << cover.client.Height() << ", frame " << cover.frame.left << ","
                       << cover.frame.top << " " << cover.frame.Width() << "x" << cover.frame.Height() << ", "
                       << cover.above.size() << " above, tool bar pixel " << std::hex << toolbar_pixel;
  KeepPicture(desk_.display(), vz::Rect{0, 0, 1600, 600}, ("panel-full-screen-" + GetParam() + ".png").c_str());
  EXPECT_FALSE(panel->window()->IsVisible());

  injector->MoveTo({1200, 300});
  injector->Tap(vz::keys::kEscape);
  injector->Sync();
  ASSERT_TRUE(Settle([&] {
    cover = vz::ReadX11Cover(desk_.display(), panel->window()->NativeId());
    return !panel->isFullScreen() && cover.viewable && cover.client == shown;
  })) << "full screen " << panel->isFullScreen() << ", viewable " << cover.viewable << ", at " << cover.client.left
      << "," << cover.client.top << " " << cover.client.Width() << "x" << cover.client.Height() << ", was at "
      << shown.left << "," << shown.top;
  EXPECT_EQ(panel->mainView()->fullscreenButtonImage(), vzres::IDB_VIDEO_FULLSCREEN);

  // In again, and out with the button the full-screen window shows.
  click_button();
  ASSERT_TRUE(Settle([&] {
    vz::Window* full = panel->fullScreenWindow();
    if (full == nullptr) return false;
    cover = vz::ReadX11Cover(desk_.display(), full->NativeId());
    return cover.client == kRightMonitor;
  })) << "full screen " << panel->isFullScreen() << ", viewable " << cover.viewable << ", at " << cover.client.left
      << "," << cover.client.top << " " << cover.client.Width() << "x" << cover.client.Height() << " in a frame at "
      << cover.frame.left << "," << cover.frame.top << " " << cover.frame.Width() << "x" << cover.frame.Height();
  click_button();
  EXPECT_TRUE(Settle([&] {
    cover = vz::ReadX11Cover(desk_.display(), panel->window()->NativeId());
    return !panel->isFullScreen() && cover.viewable && cover.client == shown;
  })) << cover.client.left << "," << cover.client.top << " " << cover.client.Width() << "x" << cover.client.Height();
  panel.reset();
  EXPECT_TRUE(render_.live.empty());
}

INSTANTIATE_TEST_SUITE_P(Managers, PanelFullScreenDisplayTest,
                         ::testing::Values("none", "twm", "openbox", "metacity", "fluxbox", "icewm", "xfwm4", "jwm", "i3"),
                         [](const ::testing::TestParamInfo<std::string>& info) { return info.param; });

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
  EXPECT_EQ(panel->mainScreenViewForTesting()->window()->bounds(), (vz::Rect{0, 0, 900, 600}));
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
  if (!server.Start(&why, 1280, 1024)) VZ_SKIP_TEST_WITHOUT(vz::kNeedsXvfb) << why;
  std::unique_ptr<vz::X11WindowManager> twm = vz::X11WindowManager::Start("twm", server.display(), 30000, &why);
  if (!twm) VZ_SKIP_TEST_WITHOUT(vz::NeedsPackage("twm")) << why;
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
  EXPECT_TRUE(panel->isHiddenForTesting());

  ASSERT_TRUE(vz::MapDisplayWindow(server.display(), id));
  ASSERT_TRUE(settle([&] { return render.live.size() == shown; }));
  EXPECT_NE(panel->mainView()->activeView().container().renderer, nullptr);
  EXPECT_EQ(client.subscriptions.size(), shown);
  EXPECT_FALSE(panel->isHiddenForTesting());

  panel.reset();
  EXPECT_TRUE(render.live.empty());
  system.reset();
  vzres::UnloadResourceLibrary();
}

}  // namespace
}  // namespace vzpanel
