// The main view's participant model: layout arithmetic per mode, selection
// and menus for presenters and attendees, renderers and subscriptions that
// follow the page, minimise and restore, the idle overlay, and the mended
// faults (a menu tile gone before its command, zero columns, a subscription
// without renderer, a stale presenter flag).
#include "video/devices/ui/main_view_model.h"

#include <gtest/gtest.h>

#include "outside/vzres/vzres_ids.h"
#include "video/devices/ui/panel_testlib.h"

namespace vzpanel {
namespace {

using testing::FakeClient;
using testing::FakeRenderService;
using testing::Participant;

class MainViewTest : public ::testing::Test {
 protected:
  MainViewTest() { view.setClientSize({1280, 720}); }

  // Adds participants the way the meeting client announces them: refresh on
  // the last one only.
  void Join(const std::vector<VideoRosterInfo>& records) {
    for (size_t i = 0; i < records.size(); ++i) view.addVideoRoster(&records[i], i + 1 == records.size());
  }
  std::vector<VideoRosterInfo> People(int count, bool with_me = true) {
    std::vector<VideoRosterInfo> out;
    if (with_me) out.push_back(Participant("me"));
    for (int i = 1; static_cast<int>(out.size()) < count; ++i) out.push_back(Participant("p" + std::to_string(i)));
    return out;
  }
  // Every tile with a renderer, by roster id.
  std::vector<std::string> Rendered() {
    std::vector<std::string> ids;
    for (ThumbTile* tile : view.strip().allItems()) {
      if (tile->container.renderer != nullptr) ids.push_back(tile->record.rosterId);
    }
    return ids;
  }
  std::vector<std::string> Shown() {
    std::vector<std::string> ids;
    for (ThumbTile* tile : view.strip().shownItems()) ids.push_back(tile->record.rosterId);
    return ids;
  }

  vz::FakeClock clock;
  FakeRenderService render;
  FakeClient client;
  MainViewModel view{&render, &client, "me", clock};
};

TEST_F(MainViewTest, Mode0LaysTheLargeViewAndOneRowOfTilesOut) {
  Join(People(6));
  const MainViewLayout& layout = view.layout();
  EXPECT_EQ(layout.large, (vz::Rect{1, 0, 1278, 720}));
  EXPECT_EQ(layout.cell, (vz::Size{162, 105}));
  EXPECT_EQ(layout.rows, 1);
  EXPECT_EQ(layout.columns, 6);  // (1277 - 240) / 162 = 6, and six tiles
  // The row is centred on the large view and 2 above its bottom.
  EXPECT_EQ(layout.strip, (vz::Rect{1 + (1277 - 972) / 2, 720 - 105 - 2, 1 + (1277 - 972) / 2 + 972, 718}));
  EXPECT_EQ(layout.fullscreen_button, vz::Rect::FromXYWH(1278 - 24 - 6, 6, 24, 24));
  EXPECT_EQ(Shown().size(), 6u);
  EXPECT_TRUE(view.stripShown());
  EXPECT_TRUE(view.collapseButtonShown());

  // Collapsed: one tile without label at the bottom right.
  view.onExpandCollapseButtonClicked();
  EXPECT_TRUE(view.collapsedForTesting());
  EXPECT_EQ(view.layout().cell, (vz::Size{162, 92}));
  EXPECT_EQ(view.layout().strip, (vz::Rect{1278 - 162 - 4, 720 - 92 - 6, 1278 - 4, 720 - 6}));
  EXPECT_EQ(Shown(), std::vector<std::string>{"me"});  // my tile is the one kept
  EXPECT_EQ(view.collapseButtonImage(), vzres::IDB_VIDEO_EXPAND);
}

TEST_F(MainViewTest, ASmallContainerStillGetsOneColumn) {
  view.setClientSize({300, 400});
  Join(People(3));
  // 300 wide: the large view is 297 wide, so (297 - 240) / cell would be 0.
  EXPECT_GT(view.layout().cell.width, 0);
  EXPECT_EQ(view.layout().columns, 1);
  for (ThumbTile* tile : view.strip().shownItems()) EXPECT_FALSE(tile->rect.IsEmpty()) << tile->record.rosterId;
}

TEST_F(MainViewTest, GridModeKeepsItsStoredSizeUntilAskedAgainInMode2) {
  Join(People(4));
  const int32_t three_by_three[2] = {3, 3};
  view.setLayoutMode(kLayoutGrid, three_by_three);
  EXPECT_EQ(view.gridRowsForTesting(), 2);
  EXPECT_EQ(view.gridColumnsForTesting(), 1);
  EXPECT_FALSE(view.activeViewShown());
  EXPECT_EQ(view.layout().large, (vz::Rect{0, 0, 1280, 720}));
  view.setLayoutMode(kLayoutGrid, three_by_three);
  EXPECT_EQ(view.gridRowsForTesting(), 3);
  EXPECT_EQ(view.gridColumnsForTesting(), 3);
  // Nine cells of (1280 / 3) x ((720 - 39) / 3), fitted 160 : 90 -> 404 x 227, + 13.
  EXPECT_EQ(view.layout().cell, (vz::Size{404, 240}));
  // Grid tiles are subscribed at 320 x 180.
  for (const auto& s : client.subscriptions) EXPECT_EQ(s.size_type, kVideoSize320x180) << s.roster_id;
  EXPECT_EQ(client.subscriptions.size(), 4u);

  // Five rows of one in 474 pixels: 81-pixel cells, too low to show a tile.
  view.setClientSize({642, 474});
  const int32_t five_by_one[2] = {5, 1};
  view.setLayoutMode(kLayoutGrid, five_by_one);
  EXPECT_EQ(view.layout().cell, (vz::Size{0, 13}));
  for (ThumbTile* tile : view.strip().shownItems()) EXPECT_TRUE(tile->rect.IsEmpty()) << tile->record.rosterId;
  EXPECT_TRUE(Rendered().empty());
  EXPECT_TRUE(client.subscriptions.empty());
}

TEST_F(MainViewTest, LargeOnlyModeIsANoOpWhenRepeatedAndMode0ShowsTheStripAgain) {
  Join(People(3));
  view.setLayoutMode(kLayoutLargeOnly, nullptr);
  EXPECT_FALSE(view.stripShown());
  EXPECT_EQ(view.layout().cell, (vz::Size{0, 0}));
  EXPECT_TRUE(Rendered().empty());
  const int created = render.created;
  view.setLayoutMode(kLayoutLargeOnly, nullptr);
  EXPECT_EQ(render.created, created);
  view.setLayoutMode(kLayoutLargeAndStrip, nullptr);
  EXPECT_TRUE(view.stripShown());
  EXPECT_EQ(Rendered().size(), 3u);
}

TEST_F(MainViewTest, RenderersAndSubscriptionsFollowThePage) {
  view.setClientSize({642, 474});  // (639 - 240) / cell: two columns
  Join(People(5));
  ASSERT_EQ(view.layout().columns, 2);
  EXPECT_EQ(Shown(), (std::vector<std::string>{"me", "p1"}));
  EXPECT_EQ(Rendered(), Shown());
  EXPECT_EQ(client.SizeOf("p1"), kVideoSize160x90);
  // Nobody presents or hosts: the large view shows me, at 640 x 360 beside my tile.
  ASSERT_EQ(view.activeView().record().rosterId, "me");
  int mine_large = 0;
  for (const auto& s : client.subscriptions) mine_large += s.roster_id == "me" && s.size_type == kVideoSize640x360;
  EXPECT_EQ(mine_large, 1);

  view.strip().onNextSlide();
  EXPECT_EQ(Shown(), (std::vector<std::string>{"p2", "p3"}));
  EXPECT_EQ(Rendered(), Shown());
  view.strip().onNextSlide();
  EXPECT_EQ(Shown(), (std::vector<std::string>{"p3", "p4"}));
  EXPECT_EQ(Rendered(), Shown());
  // Exactly one live subscription per renderer; the pages before gave theirs back.
  EXPECT_EQ(client.subscriptions.size(), render.live.size());
  EXPECT_EQ(client.SizeOf("p1"), -1);
}

TEST_F(MainViewTest, MinimiseReleasesEveryRendererAndRestoreBringsTheLargeOneBack) {
  Join(People(3));
  ASSERT_NE(view.activeView().container().renderer, nullptr);
  const size_t live = render.live.size();
  ASSERT_EQ(live, 4u);  // the large view and three tiles
  const int unrequests = client.unrequests;
  view.cleanAllVideoRender();
  EXPECT_TRUE(render.live.empty());
  EXPECT_TRUE(client.subscriptions.empty());
  EXPECT_EQ(client.unrequests - unrequests, 4);
  view.restoreAllVideoRender();
  EXPECT_NE(view.activeView().container().renderer, nullptr);
  EXPECT_EQ(client.SizeOf(view.activeView().record().rosterId), kVideoSize640x360);
  EXPECT_TRUE(Rendered().empty());  // tiles come back with the next layout
  view.relayoutViewContent();
  EXPECT_EQ(Rendered().size(), 3u);
}

TEST_F(MainViewTest, NoRendererMeansNoSubscription) {
  render.fail = true;
  Join(People(3));
  EXPECT_EQ(client.requests, 0);
  EXPECT_TRUE(client.subscriptions.empty());
  render.fail = false;
  view.relayoutViewContent();
  EXPECT_EQ(client.subscriptions.size(), 3u);  // the tiles; the large view at its next change
}

TEST_F(MainViewTest, WithTwoParticipantsTheOtherOneIsLarge) {
  Join({Participant("me"), Participant("other")});
  EXPECT_EQ(view.activeView().record().rosterId, "other");
  EXPECT_EQ(client.SizeOf("other"), kVideoSize640x360);
  EXPECT_TRUE(view.strip().itemOf("other")->highlighted);
}

TEST_F(MainViewTest, OnlyVisibleSendersGetATileAndVideoStartingAddsOne) {
  const VideoRosterInfo silent = Participant("silent", false);
  const VideoRosterInfo ghost = Participant("ghost", true, false, false, true);
  Join({Participant("me"), silent, ghost, Participant("p1")});
  EXPECT_EQ(view.strip().itemOf("silent"), nullptr);
  EXPECT_EQ(view.strip().itemOf("ghost"), nullptr);
  view.updateVideoRoster(Participant("silent", true));
  EXPECT_NE(view.strip().itemOf("silent"), nullptr);
  view.updateVideoRoster(Participant("silent", false));
  EXPECT_EQ(view.strip().itemOf("silent"), nullptr);
  EXPECT_EQ(client.SizeOf("silent"), -1);
}

TEST_F(MainViewTest, TheActiveSpeakerIsFollowedOnlyInSelection1AndNotInTheGrid) {
  Join(People(4));
  const VideoRosterInfo p2 = Participant("p2");
  view.setActiveSpeakerRoster(&p2);
  EXPECT_EQ(view.activeView().record().rosterId, "p2");
  // A spotlight, then its clearing: back to the last active speaker.
  const VideoRosterInfo p3 = Participant("p3");
  view.setSpotlightRoster(&p3);
  EXPECT_EQ(view.selectionForTesting(), kSelectionSpotlight);
  EXPECT_EQ(view.activeView().record().rosterId, "p3");
  const VideoRosterInfo p1 = Participant("p1");
  view.setActiveSpeakerRoster(&p1);
  EXPECT_EQ(view.activeView().record().rosterId, "p3");
  view.setSpotlightRoster(nullptr);
  EXPECT_EQ(view.selectionForTesting(), kSelectionSpeaker);
  EXPECT_EQ(view.activeView().record().rosterId, "p1");
  // I am never followed.
  const VideoRosterInfo me = Participant("me");
  view.setActiveSpeakerRoster(&me);
  EXPECT_EQ(view.activeView().record().rosterId, "p1");
}

TEST_F(MainViewTest, AnAttendeesClickChoosesLocallyUnlessASpotlightIsOn) {
  Join(People(4));
  EXPECT_TRUE(view.onThumbItemSingleTapped(view.strip().itemOf("p2")).empty());
  EXPECT_EQ(view.selectionForTesting(), kSelectionLocal);
  EXPECT_EQ(view.activeView().record().rosterId, "p2");
  EXPECT_EQ(view.activeView().button().text_id, vzres::IDS_VIDEO_FOLLOW_SPEAKER);

  const VideoRosterInfo p3 = Participant("p3");
  view.setSpotlightRoster(&p3);
  EXPECT_TRUE(view.onThumbItemSingleTapped(view.strip().itemOf("p1")).empty());
  EXPECT_EQ(view.activeView().record().rosterId, "p3");
  // An attendee's button in a spotlight: the disabled image.
  EXPECT_FALSE(view.activeView().button().enabled);
  EXPECT_EQ(view.activeView().button().image, vzres::IDB_VIDEO_SPOTLIGHT_MARK);
}

TEST_F(MainViewTest, APresentersMenuOffersSpotlightAndShowHere) {
  Join({Participant("me", true, false, true), Participant("p1"), Participant("p2")});
  ASSERT_TRUE(view.myPresenterFlagForTesting());
  auto items = view.onThumbItemSingleTapped(view.strip().itemOf("p2"));
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(items[0].command, kCmdSpotlightForAll);
  EXPECT_EQ(items[0].text_id, vzres::IDS_VIDEO_MENU_SPOTLIGHT);
  EXPECT_EQ(items[1].command, kCmdShowHere);
  view.onCommand(kCmdSpotlightForAll);
  EXPECT_EQ(client.spotlights, std::vector<std::string>{"p2"});
  EXPECT_EQ(view.selectionForTesting(), kSelectionSpotlight);
  EXPECT_EQ(view.activeView().button().text_id, vzres::IDS_VIDEO_CANCEL_SPOTLIGHT);
  EXPECT_TRUE(view.menuRosterIdForTesting().empty());

  // In a spotlight: one item, cancel on the spotlighted tile.
  items = view.onThumbItemSingleTapped(view.strip().itemOf("p2"));
  ASSERT_EQ(items.size(), 1u);
  EXPECT_EQ(items[0].command, kCmdCancelSpotlight);
  items = view.onThumbItemSingleTapped(view.strip().itemOf("p1"));
  ASSERT_EQ(items.size(), 1u);
  EXPECT_EQ(items[0].command, kCmdSpotlightForAll);
  view.onCommand(kCmdCancelSpotlight);
  EXPECT_EQ(client.spotlights.back(), "");
  EXPECT_EQ(view.selectionForTesting(), kSelectionSpeaker);

  view.onThumbItemSingleTapped(view.strip().itemOf("p1"));
  view.onCommand(kCmdShowHere);
  EXPECT_EQ(view.selectionForTesting(), kSelectionLocal);
  EXPECT_EQ(view.activeView().record().rosterId, "p1");
}

TEST_F(MainViewTest, AMenuCommandForAParticipantWhoLeftDoesNothing) {
  Join({Participant("me", true, false, true), Participant("p1"), Participant("p2"), Participant("p3")});
  view.onThumbItemSingleTapped(view.strip().itemOf("p3"));
  const VideoRosterInfo p3 = Participant("p3");
  view.removeVideoRoster(&p3);  // while the menu is open
  view.onCommand(kCmdSpotlightForAll);
  EXPECT_TRUE(client.spotlights.empty());
  EXPECT_NE(view.selectionForTesting(), kSelectionSpotlight);
}

TEST_F(MainViewTest, BecomingPresenterLaterStillGivesTheMenu) {
  Join(People(3));
  EXPECT_TRUE(view.onThumbItemSingleTapped(view.strip().itemOf("p1")).empty());
  view.updateVideoRoster(Participant("me", true, false, true));
  EXPECT_TRUE(view.myPresenterFlagForTesting());
  EXPECT_EQ(view.onThumbItemSingleTapped(view.strip().itemOf("p1")).size(), 2u);
  // Also while I send no video.
  view.updateVideoRoster(Participant("me", false, false, false));
  EXPECT_FALSE(view.myPresenterFlagForTesting());
}

TEST_F(MainViewTest, RemovingTheLargeParticipantFallsBackAndEndsItsSpotlight) {
  Join({Participant("me"), Participant("h", true, true), Participant("p1"), Participant("p2")});
  const VideoRosterInfo p2 = Participant("p2");
  view.setSpotlightRoster(&p2);
  view.removeVideoRoster(&p2);
  EXPECT_EQ(view.selectionForTesting(), kSelectionSpeaker);
  EXPECT_EQ(view.activeView().record().rosterId, "h");  // the host, by the active record rules
  EXPECT_EQ(client.SizeOf("p2"), -1);
}

TEST_F(MainViewTest, MyPictureIsMirroredOnlyFromAHardwareCamera) {
  Join(People(3));
  EXPECT_TRUE(view.strip().myItem()->container.mirror);
  EXPECT_FALSE(view.strip().itemOf("p1")->container.mirror);
  client.hardware_camera = false;
  view.refreshMyVideoMirror();
  EXPECT_FALSE(view.strip().myItem()->container.mirror);
  EXPECT_FALSE(static_cast<testing::FakeRenderer*>(view.strip().myItem()->container.renderer)->mirror);
}

TEST_F(MainViewTest, OverlayControlsHideAfterTheIdleTimeUnlessThePointerIsOverThem) {
  view.setToolbar(vz::Size{156, 30});
  Join(People(3));
  EXPECT_TRUE(view.toolbarShown());
  EXPECT_TRUE(view.fullscreenButtonShown());
  EXPECT_EQ(view.layout().toolbar, vz::Rect::FromXYWH(2, 720 - 30 - 1, 156, 30));
  clock.AdvanceMs(3499);
  EXPECT_FALSE(view.onIdleTick(vz::Point{600, 300}));
  EXPECT_TRUE(view.toolbarShown());
  clock.AdvanceMs(1);
  // Over the toolbar: the timer starts again.
  EXPECT_TRUE(view.onIdleTick(vz::Point{10, 700}));
  EXPECT_TRUE(view.toolbarShown());
  clock.AdvanceMs(3500);
  EXPECT_TRUE(view.onIdleTick(vz::Point{600, 300}));
  EXPECT_FALSE(view.toolbarShown());
  EXPECT_FALSE(view.fullscreenButtonShown());
  EXPECT_TRUE(view.collapseButtonShown());  // not hidden when idle
  // Movement brings them back.
  view.onMouseMove({5, 5});
  view.onMouseMove({6, 5});
  EXPECT_TRUE(view.toolbarShown());
  EXPECT_TRUE(view.idleTimerRunningForTesting());
}

// The page buttons belong to the overlay: a layout while it is hidden (a
// roster update, an active speaker, the panel's refresh) leaves them hidden.
TEST_F(MainViewTest, PageButtonsHideAndShowWithTheOverlay) {
  view.setClientSize({642, 474});  // two columns: five tiles make three pages
  Join(People(5));
  ASSERT_TRUE(view.strip().nextButtonShown());
  clock.AdvanceMs(kOverlayIdleMs);
  ASSERT_TRUE(view.onIdleTick(std::nullopt));
  EXPECT_FALSE(view.strip().nextButtonShown());
  view.relayoutViewContent();
  EXPECT_FALSE(view.strip().nextButtonShown());
  EXPECT_FALSE(view.strip().prevButtonShown());
  VideoRosterInfo p3 = Participant("p3");
  view.setActiveSpeakerRoster(&p3);
  vz::CopyUtf16(p3.head.Name, 128, u"Another name");
  view.updateVideoRoster(p3);
  view.relayoutViewContent();
  EXPECT_FALSE(view.strip().nextButtonShown());
  EXPECT_FALSE(view.fullscreenButtonShown());
  view.onMouseMove({5, 5});
  view.onMouseMove({6, 5});
  EXPECT_TRUE(view.strip().nextButtonShown());
  view.strip().onNextSlide();
  EXPECT_TRUE(view.strip().prevButtonShown());
  EXPECT_TRUE(view.strip().nextButtonShown());
}

TEST_F(MainViewTest, CleanUpReleasesEverythingOnce) {
  Join(People(3));
  view.cleanUp();
  EXPECT_TRUE(render.live.empty());
  EXPECT_TRUE(client.subscriptions.empty());
  const int destroyed = render.destroyed;
  view.cleanUp();
  const VideoRosterInfo p9 = Participant("p9");
  view.addVideoRoster(&p9, true);
  EXPECT_EQ(render.destroyed, destroyed);
  EXPECT_EQ(view.strip().itemOf("p9"), nullptr);
}

}  // namespace
}  // namespace vzpanel
