// The panel's windows on the headless window system with the shipped
// resource bundle: placement, the toolbar's sizes and states, tiles drawn
// from the model, the thumbnail menu, full screen and Escape, minimise and
// restore, and teardown.
#include "video/devices/ui/video_main_panel_window.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/log_capture_testlib.h"
#include "outside/vzres/vzres.h"
#include "platform/clock.h"
#include "platform/run_loop.h"
#include "platform/text.h"
#include "platform/ui/headless.h"
#include "video/devices/ui/panel_testlib.h"

namespace vzpanel {
namespace {

using testing::FakeClient;
using testing::FakeRenderService;
using testing::Participant;

class PanelWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(vzres::LoadResourceLibrary("vzres"));
    panel_ = std::make_unique<VideoMainPanelWindow>(nullptr, &render_, &client_, u"me", system_.get(), clock_);
  }
  void TearDown() override {
    panel_.reset();
    loop_.RunUntilIdle();
    vzres::UnloadResourceLibrary();
  }
  void Join(const std::vector<VideoRosterInfo>& people) {
    for (size_t i = 0; i < people.size(); ++i) panel_->mainView()->addVideoRoster(&people[i], i + 1 == people.size());
    panel_->refresh();
  }
  vz::Color PixelAt(vz::Window* top, vz::Point p) { return system_->Render(top).GetPixel(p.x, p.y) | 0xFF000000; }

  vz::FakeClock clock_{1000};
  vz::RunLoop loop_{clock_};
  std::unique_ptr<vz::HeadlessWindowSystem> system_ = vz::HeadlessWindowSystem::Create({1920, 1080});
  FakeRenderService render_;
  FakeClient client_;
  std::unique_ptr<VideoMainPanelWindow> panel_;
};

TEST_F(PanelWindowTest, OpensAtItsDefaultPlaceWithTheViewFillingIt) {
  ASSERT_TRUE(panel_->createVideoWindow(0, 0));
  EXPECT_EQ(panel_->window()->bounds(), vz::Rect::FromXYWH(320, 300, 640, 480));
  EXPECT_EQ(panel_->mainScreenViewForTesting()->window()->bounds(), (vz::Rect{0, 0, 640, 480}));
  panel_->setTitle(u"Meeting 123 45 678");
  EXPECT_EQ(panel_->window()->GetTitle(), "Meeting 123 45 678");
  // The toolbar sits at the large view's bottom left.
  const vz::Rect large = panel_->mainView()->layout().large;
  EXPECT_EQ(panel_->panelToolbar()->window()->bounds(),
            vz::Rect::FromXYWH(large.left + 1, large.bottom - 31, 120, 30));
}

TEST_F(PanelWindowTest, TheToolbarsWidthFollowsItsButtonsAndLogo) {
  ASSERT_TRUE(panel_->createVideoWindow(0, 0));
  VideoMainPanelToolbar* toolbar = panel_->panelToolbar();
  EXPECT_EQ(toolbar->preferredSize(), (vz::Size{12 + 3 * 36, 30}));
  toolbar->setLogo(true);
  EXPECT_EQ(toolbar->preferredSize(), (vz::Size{96 + 36 + 3 * 36, 30}));
  EXPECT_EQ(toolbar->ButtonPlaces(30).at(vzres::IDC_VIDEO_MY_VIDEO).left, 96 + 36);
  toolbar->setLogo(false);
  toolbar->setInvisibleMode();
  EXPECT_EQ(toolbar->preferredSize(), (vz::Size{48, 30}));
  EXPECT_EQ(toolbar->status(), 8);
  EXPECT_TRUE(toolbar->button(vzres::IDC_VIDEO_STATUS)->IsWindowEnabled());
  EXPECT_EQ(toolbar->ButtonPlaces(30).at(vzres::IDC_VIDEO_STATUS).left, 12);
  for (int32_t state : {1, 5, 6}) {
    toolbar->setStatus(state);
    EXPECT_FALSE(toolbar->button(vzres::IDC_VIDEO_STATUS)->IsWindowEnabled()) << state;
  }
  toolbar->setStatus(3);
  EXPECT_EQ(toolbar->button(vzres::IDC_VIDEO_STATUS)->GetCurrentImageForTesting(), 3u);
  EXPECT_EQ(VideoMainPanelToolbar::StatusImage(4), vzres::IDB_VIDEO_STATUS1);
  EXPECT_EQ(VideoMainPanelToolbar::StatusImage(9), 0u);
}

TEST_F(PanelWindowTest, TilesAreDrawnWithTheHighlightOnTheLargeParticipant) {
  ASSERT_TRUE(panel_->createVideoWindow(0, 0));
  Join({Participant("me"), Participant("p1"), Participant("p2")});
  MainViewModel* model = panel_->mainView();
  // 640 wide: (640 - 240) / 144 = two tiles a page.
  ASSERT_EQ(model->strip().shownItems().size(), 2u);
  // Every shown tile has a window at its place and a renderer made for it.
  for (ThumbTile* tile : model->strip().shownItems()) {
    ASSERT_NE(tile->container.renderer, nullptr) << tile->record.rosterId;
  }
  const ThumbTile* large = model->strip().itemOf(model->activeView().record().rosterId);
  ASSERT_NE(large, nullptr);
  const vz::Rect strip = model->layout().strip;
  const vz::Point frame{strip.left + large->rect.left, strip.top + large->rect.top};
  EXPECT_EQ(PixelAt(panel_->window(), frame), model->highlightColour());
  // The large view's background shows round its container.
  EXPECT_EQ(PixelAt(panel_->window(), {model->layout().large.left, model->layout().large.top + 40}), 0xFF4D4D4D);
}

TEST_F(PanelWindowTest, APresentersTileClickRunsTheMenuAndItsCommand) {
  ASSERT_TRUE(panel_->createVideoWindow(0, 0));
  Join({Participant("me", true, false, true), Participant("p1"), Participant("p2")});
  std::vector<ThumbMenuItem> offered;
  panel_->mainScreenViewForTesting()->track_menu = [&](const std::vector<ThumbMenuItem>& items, vz::Point) {
    offered = items;
    return kCmdSpotlightForAll;
  };
  ThumbTile* p2 = panel_->mainView()->strip().itemOf("p1");
  ASSERT_TRUE(p2->shown);
  const vz::Rect strip = panel_->mainView()->layout().strip;
  const vz::Point at = panel_->window()->ToScreen({strip.left + p2->rect.left + 40, strip.top + p2->rect.top + 40});
  system_->ClickForTesting(at);
  loop_.RunUntilIdle();
  ASSERT_EQ(offered.size(), 2u);
  EXPECT_EQ(client_.spotlights, std::vector<std::string>{"p1"});
  EXPECT_EQ(panel_->mainView()->activeView().record().rosterId, "p1");
}

TEST_F(PanelWindowTest, FullScreenTakesTheViewsAndEscapeBringsThemBack) {
  ASSERT_TRUE(panel_->createVideoWindow(0, 0));
  Join({Participant("me"), Participant("p1"), Participant("p2")});
  panel_->toggleFullScreen();
  ASSERT_TRUE(panel_->isFullScreen());
  vz::Window* full = panel_->fullScreenWindow();
  EXPECT_EQ(full->GetTitle(), VideoMainPanelWindow::kFullScreenTitle);
  EXPECT_EQ(full->bounds(), (vz::Rect{0, 0, 1920, 1080}));
  EXPECT_FALSE(panel_->window()->IsVisible());
  EXPECT_EQ(panel_->mainView()->fullscreenButtonImage(), vzres::IDB_VIDEO_FULLSCREEN_LEAVE);
  EXPECT_EQ(panel_->mainScreenViewForTesting()->window()->TopLevel(), full);
  // The renderers came back with the new windows.
  EXPECT_NE(panel_->mainView()->activeView().container().renderer, nullptr);
  EXPECT_EQ(render_.live.size(), client_.subscriptions.size());

  full->Focus();
  system_->SendKey(vz::keys::kEscape);
  loop_.RunUntilIdle();
  EXPECT_FALSE(panel_->isFullScreen());
  EXPECT_TRUE(panel_->window()->IsVisible());
  EXPECT_EQ(panel_->mainView()->fullscreenButtonImage(), vzres::IDB_VIDEO_FULLSCREEN);
  EXPECT_EQ(panel_->mainScreenViewForTesting()->window()->TopLevel(), panel_->window());
}

// On a desk of two monitors, full screen covers the one the panel is on, in
// the window layer's full-screen state, and leaving it puts the panel back
// where it was.
TEST_F(PanelWindowTest, FullScreenCoversThePanelsMonitorAndLeavingPutsThePanelBack) {
  system_->SetMonitors({{vz::Rect{0, 0, 1920, 1080}, {}, true, "left"},
                        {vz::Rect{1920, 0, 3200, 1024}, {}, false, "right"}});
  ASSERT_TRUE(panel_->createVideoWindow(0, 0));
  Join({Participant("me"), Participant("p1")});
  const vz::Rect placed = vz::Rect::FromXYWH(1800, 200, 640, 480);  // most of it on the right
  panel_->window()->SetBounds(placed);
  panel_->toggleFullScreen();
  vz::Window* full = panel_->fullScreenWindow();
  ASSERT_NE(full, nullptr);
  EXPECT_TRUE(full->IsFullScreen());
  EXPECT_EQ(full->bounds(), (vz::Rect{1920, 0, 3200, 1024}));
  EXPECT_EQ(panel_->mainScreenViewForTesting()->window()->bounds(), (vz::Rect{0, 0, 1280, 1024}));

  panel_->toggleFullScreen();
  EXPECT_EQ(panel_->fullScreenWindow(), nullptr);
  EXPECT_TRUE(panel_->window()->IsVisible());
  EXPECT_FALSE(panel_->window()->IsFullScreen());
  EXPECT_EQ(panel_->window()->bounds(), placed);
  EXPECT_EQ(panel_->mainScreenViewForTesting()->window()->bounds(), (vz::Rect{0, 0, 640, 480}));
}

// The tool bar's windows are made again on every full-screen change: the
// status, its enabled state and the hidden buttons stay as the controller
// set them.
TEST_F(PanelWindowTest, TheToolbarKeepsItsStateAcrossFullScreenChanges) {
  ASSERT_TRUE(panel_->createVideoWindow(0, 0));
  Join({Participant("me"), Participant("p1")});
  auto check = [&](const char* where, int32_t status, bool enabled, bool others_shown) {
    SCOPED_TRACE(where);
    VideoMainPanelToolbar* toolbar = panel_->panelToolbar();
    CGdipButton* button = toolbar->button(vzres::IDC_VIDEO_STATUS);
    EXPECT_EQ(button->GetCurrentImageForTesting(), static_cast<uint32_t>(status));
    EXPECT_EQ(button->IsWindowEnabled(), enabled);
    EXPECT_TRUE(button->window()->IsVisible());
    for (uint32_t id : {vzres::IDC_VIDEO_MY_VIDEO, vzres::IDC_VIDEO_OPTIONS}) {
      EXPECT_EQ(toolbar->button(id)->window()->IsVisible(), others_shown) << id;
      EXPECT_EQ(toolbar->buttonVisible(id), others_shown) << id;
    }
  };
  // A disabled state (grey) of an attendee with every button.
  panel_->toolbar()->setStatus(5);
  panel_->setMyVideoStatus(true);
  for (int round = 0; round < 2; ++round) {
    panel_->toggleFullScreen();
    check("full screen", 5, false, true);
    EXPECT_EQ(panel_->panelToolbar()->button(vzres::IDC_VIDEO_MY_VIDEO)->GetCurrentImageForTesting(),
              vzres::IDB_VIDEO_STARTED)
        << "round " << round;
    panel_->toggleFullScreen();
    check("back", 5, false, true);
  }
  // The invisible attendee: the status button alone, in state 8.
  panel_->toolbar()->setInvisibleMode();
  panel_->toggleFullScreen();
  check("invisible, full screen", 8, true, false);
  panel_->toggleFullScreen();
  check("invisible, back", 8, true, false);
  EXPECT_EQ(panel_->panelToolbar()->preferredSize(), (vz::Size{48, 30}));
}

// The large view's name label sits above the opaque tool bar while that
// shows, and at the view's bottom left while it does not; a long name ends
// where the strip beside it begins.
TEST_F(PanelWindowTest, TheNameLabelOfTheLargeViewIsNeverUnderTheToolbarOrTheStrip) {
  ASSERT_TRUE(panel_->createVideoWindow(0, 0));
  std::vector<VideoRosterInfo> people = {Participant("me"), Participant("p1"), Participant("p2")};
  vz::CopyUtf16(people[1].head.Name, 128, u"Al");
  vz::CopyUtf16(people[2].head.Name, 128, u"Participant with a rather long name that goes on and on");
  Join(people);
  auto on_screen = [](vz::Window* window) {
    const vz::Point origin = window->ToScreen({0, 0});
    return vz::Rect::FromXYWH(origin.x, origin.y, window->bounds().Width(), window->bounds().Height());
  };
  CVzActiveVideoView& large = panel_->mainScreenViewForTesting()->activeViewForTesting();
  panel_->mainView()->setSpotlightRoster(&people[1]);
  panel_->refresh();
  ASSERT_TRUE(panel_->mainView()->toolbarShown());
  ASSERT_TRUE(large.labelForTesting().window()->IsVisible());
  const vz::Rect label = on_screen(large.labelForTesting().window());
  const vz::Rect toolbar = on_screen(panel_->panelToolbar()->window());
  EXPECT_TRUE(label.Intersect(toolbar).IsEmpty()) << label.left << "," << label.top << " " << toolbar.left << ","
                                                  << toolbar.top;
  EXPECT_EQ(label.bottom, toolbar.top - 2);
  EXPECT_EQ(label.left, on_screen(large.window()).left + 2);

  // The tool bar hides when idle; the next participant's name goes to the bottom.
  clock_.AdvanceMs(kOverlayIdleMs);
  ASSERT_TRUE(panel_->mainView()->onIdleTick(std::nullopt));
  panel_->mainView()->setSpotlightRoster(&people[2]);
  panel_->refresh();
  ASSERT_FALSE(panel_->mainView()->toolbarShown());
  ASSERT_TRUE(large.labelForTesting().window()->IsVisible());
  EXPECT_EQ(on_screen(large.labelForTesting().window()).bottom, on_screen(large.window()).bottom - 3);
  const vz::Rect strip = panel_->mainView()->layout().strip.Offset(
      on_screen(panel_->mainScreenViewForTesting()->window()).left,
      on_screen(panel_->mainScreenViewForTesting()->window()).top);
  ASSERT_TRUE(panel_->mainView()->stripShown());
  ASSERT_LT(strip.top, on_screen(large.labelForTesting().window()).bottom);
  EXPECT_LE(on_screen(large.labelForTesting().window()).right, strip.left);
  EXPECT_GT(on_screen(large.labelForTesting().window()).Width(), 20);
}

// The log says when the overlay controls show and hide, whatever showed
// them: a roster event as well as the pointer. (Someone who waits for the
// controls reads it.)
TEST_F(PanelWindowTest, EveryShowAndHideOfTheOverlayIsLoggedOnce) {
  vz::LogLineCapture log;
  // Whether the last line of the overlay controls since the last asking
  // says `what`.
  auto said = [&log](const char* what) {
    const std::vector<std::string> overlay = log.Matching("overlay controls", vz::kNarrowFileLines);
    log.Clear();
    return !overlay.empty() && overlay.back().find(what) != std::string::npos;
  };
  ASSERT_TRUE(panel_->createVideoWindow(0, 0));
  Join({Participant("me"), Participant("p1"), Participant("p2")});
  ASSERT_TRUE(panel_->mainView()->fullscreenButtonShown());
  EXPECT_TRUE(said("overlay controls shown"));
  clock_.AdvanceMs(kOverlayIdleMs);
  ASSERT_TRUE(panel_->mainView()->onIdleTick(std::nullopt));
  panel_->refresh();
  EXPECT_TRUE(said("overlay controls hidden"));
  // The pointer over the video, moving.
  const vz::Point at = panel_->window()->ToScreen({300, 200});
  system_->SendMouse(vz::MouseAction::kMove, vz::MouseButton::kNone, at);
  system_->SendMouse(vz::MouseAction::kMove, vz::MouseButton::kNone, {at.x + 5, at.y});
  loop_.RunUntilIdle();
  EXPECT_TRUE(panel_->mainView()->fullscreenButtonShown());
  EXPECT_TRUE(said("overlay controls shown"));
  // A roster event while they show says nothing more.
  const VideoRosterInfo p3 = Participant("p3");
  panel_->mainView()->addVideoRoster(&p3, true);
  panel_->refresh();
  EXPECT_FALSE(log.Has("overlay controls", vz::kNarrowFileLines));
}

TEST_F(PanelWindowTest, WithoutAToolbarFullScreenAndTeardownStillWork) {
  ASSERT_TRUE(panel_->createVideoWindow(0, 0));
  Join({Participant("me"), Participant("p1")});
  panel_->removeToolbar();
  EXPECT_EQ(panel_->toolbar(), nullptr);
  panel_->toggleFullScreen();
  panel_->toggleFullScreen();
  EXPECT_FALSE(panel_->isFullScreen());
  panel_->destroyVideoWindow();
  EXPECT_EQ(panel_->mainView(), nullptr);
  EXPECT_TRUE(render_.live.empty());
  EXPECT_TRUE(client_.subscriptions.empty());
  panel_->destroyVideoWindow();  // the destructor runs it once more
}

// What the window layer reports of a minimise: the panel gives up every
// renderer and subscription, and a restore brings the large view's and the
// page's tiles back; a second report of the same state changes nothing.
TEST_F(PanelWindowTest, MinimisedItReleasesEveryRendererAndRestoredItTakesThemBack) {
  ASSERT_TRUE(panel_->createVideoWindow(0, 0));
  Join({Participant("me"), Participant("p1"), Participant("p2")});
  const size_t shown = render_.live.size();
  ASSERT_EQ(shown, 3u);  // the large view and the others' tiles
  panel_->OnMinimize(true);
  EXPECT_TRUE(panel_->isHiddenForTesting());
  EXPECT_TRUE(render_.live.empty());
  EXPECT_TRUE(client_.subscriptions.empty());
  const int unrequests = client_.unrequests;
  panel_->OnMinimize(true);
  EXPECT_EQ(client_.unrequests, unrequests);

  panel_->OnMinimize(false);
  EXPECT_FALSE(panel_->isHiddenForTesting());
  EXPECT_NE(panel_->mainView()->activeView().container().renderer, nullptr);
  EXPECT_EQ(render_.live.size(), shown);
  EXPECT_EQ(client_.subscriptions.size(), shown);
  panel_->OnMinimize(false);
  EXPECT_EQ(render_.live.size(), shown);
}

TEST_F(PanelWindowTest, InFullScreenAMinimiseOfThePanelWindowKeepsTheRenderers) {
  ASSERT_TRUE(panel_->createVideoWindow(0, 0));
  Join({Participant("me"), Participant("p1")});
  panel_->toggleFullScreen();
  const size_t shown = render_.live.size();
  panel_->OnMinimize(true);
  EXPECT_EQ(render_.live.size(), shown);
  EXPECT_FALSE(panel_->isHiddenForTesting());
}

// Headless there are no other programs' windows: a named container is
// refused and the panel opens as its own window at its usual place.
TEST_F(PanelWindowTest, AContainerTheDisplayDoesNotHaveLeavesThePanelOnItsOwn) {
  ASSERT_TRUE(panel_->createVideoWindow(0x2a00007, 0));
  EXPECT_EQ(panel_->container(), 0u);
  EXPECT_EQ(panel_->window()->bounds(), vz::Rect::FromXYWH(320, 300, 640, 480));
  EXPECT_TRUE(panel_->window()->IsVisible());
}

}  // namespace
}  // namespace vzpanel
