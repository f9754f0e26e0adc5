// The platform video controller with a fake panel: the panel's life across
// join and leave, a join that does not start, the toolbar's modes, the
// title, the order of the broadcast reports, and the participants' changes
// of one turn laid out once.
#include "video/devices/ui/win_video_controller.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "outside/vzres/vzres.h"
#include "platform/clock.h"
#include "platform/run_loop.h"
#include "platform/text.h"
#include "platform/ui/headless.h"
#include "video/devices/ui/video_main_panel_window.h"
#include "video/devices/capture/test_camera.h"
#include "video/engine/client/fake_video_conference_testlib.h"
#include "video/engine/core/engine_clock.h"
#include "video/engine/core/video_factories.h"

namespace vzpanel {
namespace {

using Log = std::vector<std::string>;

class RecordingSink : public IAVProviderSink {
 public:
  explicit RecordingSink(Log* log) : log_(log) {}
  int32_t OnAVStatusNotification(int32_t status, int32_t) override {
    log_->push_back("status " + std::to_string(status));
    return 1;
  }
  int32_t OnAVVideoBroadcasted(int32_t started, const char* id) override {
    log_->push_back("broadcasted " + std::to_string(started) + " " + id);
    return 1;
  }
  int32_t OnAVVideoErrorCode(int32_t, int32_t) override { return 1; }
  int32_t OnAVMyStatusChanged(const char16_t* id, int32_t status) override {
    log_->push_back("my status " + vz::Utf16ToUtf8(id) + " " + std::to_string(status));
    return 1;
  }

 private:
  Log* log_;
};

class FakeToolbar : public IVideoPanelToolbar {
 public:
  explicit FakeToolbar(Log* log) : log_(log) {}
  void setInvisibleMode() override { log_->push_back("toolbar invisible"); }
  void setLogo(bool on) override { log_->push_back(std::string("toolbar logo ") + (on ? "on" : "off")); }
  void setHeaderColors(uint32_t, uint32_t) override {}
  void setStatus(int32_t state) override { log_->push_back("toolbar status " + std::to_string(state)); }

 private:
  Log* log_;
};

class FakePanel : public IVideoPanel {
 public:
  FakePanel(Log* log, vz::Clock& clock, IMainViewClient* client, std::string me)
      : log_(log), toolbar_(log), model_(nullptr, client, std::move(me), clock) {}
  ~FakePanel() override { log_->push_back("panel deleted"); }
  bool createVideoWindow(uint64_t container, int32_t layout) override {
    container_ = container;
    log_->push_back("window layout " + std::to_string(layout));
    return true;
  }
  MainViewModel* mainView() override { return destroyed_ ? nullptr : &model_; }
  IVideoPanelToolbar* toolbar() override { return has_toolbar_ ? &toolbar_ : nullptr; }
  void removeToolbar() override {
    has_toolbar_ = false;
    log_->push_back("toolbar removed");
  }
  void setMyVideoStatus(bool started) override { log_->push_back(std::string("my video ") + (started ? "1" : "0")); }
  void setTitle(const std::u16string& title) override { title_ = title; }
  void activate() override {}
  void onOptionsCommand() override { log_->push_back("options"); }
  void refresh() override { progress_seen_ = model_.progressShown(); }
  void destroyVideoWindow() override {
    destroyed_ = true;
    model_.cleanUp();
  }
  std::u16string title_;
  bool progress_seen_ = false;
  uint64_t container_ = 0;

 private:
  Log* log_;
  FakeToolbar toolbar_;
  MainViewModel model_;
  bool has_toolbar_ = true;
  bool destroyed_ = false;
};

class WinVideoControllerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(vzres::LoadResourceLibrary("vzres"));
    VZSE_::SetEngineClockForTest(&engine_clock_);
    previous_devices_ = SetVideoDeviceFactories(TestCameraFactories(false));
    controller_ = new CWinVideoController(&sink_, [this](CWinVideoController* c, const std::u16string& me) {
      ++panels_made_;
      auto panel = std::make_unique<FakePanel>(&log_, clock_, c, vz::Utf16ToUtf8(me));
      panel_ = panel.get();
      return panel;
    });
    ASSERT_TRUE(controller_->Start());
  }
  void TearDown() override {
    controller_->LeaveVideo();
    controller_->Stop();
    controller_->Release();
    loop_.RunUntilIdle();
    SetVideoDeviceFactories(previous_devices_);
    VZSE_::SetEngineClockForTest(nullptr);
    vzres::UnloadResourceLibrary();
  }
  int32_t Join(AVSessionConfig join) { return controller_->JoinVideo(nullptr, &join, nullptr, 0); }
  AVSessionConfig Config(int32_t toolbar = 1, int32_t invisible = 0) {
    AVSessionConfig join = MakeJoin("alice");
    join.VideoToolbar = toolbar;
    join.IsInvisible = invisible;
    join.Layout = 0;
    return join;
  }
  bool Logged(const std::string& line) const { return std::find(log_.begin(), log_.end(), line) != log_.end(); }

  ScopedFakeConference fakes_;
  vz::FakeClock clock_{1000};
  vz::RunLoop loop_{clock_};
  VZSE_::FakeEngineClock engine_clock_;
  const VideoDeviceFactories* previous_devices_ = nullptr;
  Log log_;
  RecordingSink sink_{&log_};
  CWinVideoController* controller_ = nullptr;
  FakePanel* panel_ = nullptr;
  int panels_made_ = 0;
};

TEST_F(WinVideoControllerTest, JoinMakesThePanelOnceAndLeaveDestroysIt) {
  EXPECT_EQ(controller_->JoinVideo(nullptr, nullptr, nullptr, 0), 0);
  EXPECT_EQ(panels_made_, 0);
  EXPECT_EQ(Join(Config()), 1);
  ASSERT_NE(controller_->panelForTesting(), nullptr);
  EXPECT_TRUE(panel_->progress_seen_);
  EXPECT_TRUE(Logged("window layout 0"));
  EXPECT_TRUE(Logged("toolbar logo off"));
  EXPECT_FALSE(Logged("toolbar invisible"));
  EXPECT_EQ(Join(Config()), 1);  // a second join keeps the panel
  EXPECT_EQ(panels_made_, 1);
  EXPECT_EQ(controller_->LeaveVideo(), 1);
  EXPECT_EQ(controller_->panelForTesting(), nullptr);
  EXPECT_TRUE(Logged("panel deleted"));
}

TEST_F(WinVideoControllerTest, AJoinThatDoesNotStartIsReportedAsFailedAndTakesThePanel) {
  FakeVideoSession::join_result = 0;
  EXPECT_EQ(Join(Config()), 0);
  EXPECT_EQ(controller_->panelForTesting(), nullptr);
  EXPECT_TRUE(Logged("panel deleted"));
  // With no conference client at all (after a leave) too.
  FakeVideoSession::join_result = 1;
  controller_->LeaveVideo();
  EXPECT_EQ(Join(Config()), 0);
  EXPECT_EQ(controller_->panelForTesting(), nullptr);
}

TEST_F(WinVideoControllerTest, TheToolbarFollowsTheJoinRequest) {
  ASSERT_EQ(Join(Config(1, 1)), 1);
  EXPECT_TRUE(Logged("toolbar invisible"));
  controller_->LeaveVideo();
  log_.clear();

  ScopedFakeConference again;
  CWinVideoController* second = new CWinVideoController(&sink_, [this](CWinVideoController* c, const std::u16string&) {
    auto panel = std::make_unique<FakePanel>(&log_, clock_, c, "alice");
    panel_ = panel.get();
    return panel;
  });
  ASSERT_TRUE(second->Start());
  AVSessionConfig join = Config(0);
  ASSERT_EQ(second->JoinVideo(nullptr, &join, nullptr, 0), 1);
  EXPECT_TRUE(Logged("toolbar removed"));
  // A change of my own record with no toolbar: nothing to show it on.
  VideoRosterInfo me;
  me.rosterId = "alice";
  me.videoStatus = 1;
  me.head.AudioStatus = 3;
  second->OnUserChanged(WMVC_USER_UPDATED, me, 0);
  EXPECT_FALSE(Logged("toolbar status 3"));
  second->LeaveVideo();
  second->Stop();
  second->Release();
}

TEST_F(WinVideoControllerTest, MyRecordsChangesReachTheToolbarsStatus) {
  ASSERT_EQ(Join(Config()), 1);
  VideoRosterInfo me;
  me.rosterId = "alice";
  me.head.AudioStatus = 5;
  controller_->OnUserChanged(WMVC_USER_UPDATED, me, 0);
  EXPECT_TRUE(Logged("toolbar status 5"));
}

// A member reconnecting in a loop (its video stops, it comes back with a new
// SSRC) while the owner thread is busy: the panel takes all of it in one
// turn, laid out once, and ends showing every member as it last was, its
// tiles in the order they were last added.
TEST_F(WinVideoControllerTest, ChangesOfOneTurnAreLaidOutOnceAndTheLastStateWins) {
  ASSERT_EQ(Join(Config()), 1);
  for (const char* id : {"alice", "bob", "carol"}) {
    RosterRecord record = MakeRoster(id);
    ASSERT_EQ(controller_->AppRosterJoined(&record, 1), 1);
  }
  std::thread([] { FakeVideoSession::live->sink()->OnSessionJoin(1, 0x1111); }).join();
  loop_.RunUntilIdle();
  MainViewModel* view = panel_->mainView();
  ASSERT_NE(view, nullptr);
  const int layouts = view->layoutsForTesting();
  constexpr uint32_t kReconnections = 100;
  constexpr uint32_t kFirstSsrc = 0x2000;
  std::thread([] {
    IVZVideoSessionSink* s = FakeVideoSession::live->sink();
    ServerRoster bob{"bob", 1, 0, 0, kFirstSsrc};
    s->OnRosterChanged(kServerRosterEntered, &bob, 1);
    for (uint32_t i = 1; i < kReconnections; ++i) {
      s->OnRosterChanged(kServerRosterLeft, &bob, 1);
      bob.ssrc = kFirstSsrc + i;
      s->OnRosterChanged(kServerRosterEntered, &bob, 1);
    }
    // Carol's tile comes after bob's last return, before his last change.
    const ServerRoster carol{"carol", 1, 0, 0, 0x3000};
    s->OnRosterChanged(kServerRosterEntered, &carol, 1);
    bob.active = 1;
    s->OnRosterChanged(kServerRosterUpdated, &bob, 1);
  }).join();
  loop_.RunUntilIdle();
  EXPECT_EQ(view->layoutsForTesting() - layouts, 1);
  const std::vector<ThumbTile*>& tiles = view->strip().allItems();
  ASSERT_EQ(tiles.size(), 2u);
  EXPECT_EQ(tiles[0]->record.rosterId, "bob");
  EXPECT_EQ(tiles[1]->record.rosterId, "carol");
  EXPECT_EQ(tiles[0]->record.ssrc, kFirstSsrc + kReconnections - 1);
  EXPECT_EQ(tiles[0]->record.active, 1);
  // The last change is its leaving: nothing of it stays.
  std::thread([] {
    IVZVideoSessionSink* s = FakeVideoSession::live->sink();
    const ServerRoster bob{"bob", 1, 0, 0, kFirstSsrc + kReconnections};
    s->OnRosterChanged(kServerRosterEntered, &bob, 1);
    s->OnRosterChanged(kServerRosterLeft, &bob, 1);
  }).join();
  loop_.RunUntilIdle();
  ASSERT_EQ(view->strip().allItems().size(), 1u);
  EXPECT_EQ(view->strip().allItems()[0]->record.rosterId, "carol");
}

TEST_F(WinVideoControllerTest, OperationsWithoutAPanelAnswerZero) {
  EXPECT_EQ(controller_->StartMyVideo(0), 0);
  EXPECT_EQ(controller_->IsMyVideoStarted(), 0);
  int32_t grid[2] = {2, 2};
  EXPECT_EQ(controller_->SetVideoLayoutMode(2, grid), 0);
  EXPECT_EQ(controller_->SelectCaptureDevice(nullptr), 1);
  EXPECT_EQ(controller_->PreviewCapture(0), 0);
}

TEST_F(WinVideoControllerTest, ABroadcastChangeIsReportedThenTheProgressStopsThenTheButtonFollows) {
  ASSERT_EQ(Join(Config()), 1);
  controller_->SetProgressingStatus(1);
  log_.clear();
  VideoRosterInfo me;
  me.rosterId = "alice";
  controller_->OnUserBroadcastChanged(me, 1);
  ASSERT_EQ(log_.size(), 2u);
  EXPECT_EQ(log_[0], "broadcasted 1 alice");
  EXPECT_EQ(log_[1], "my video 1");
  EXPECT_FALSE(panel_->mainView()->progressShown());
}

TEST_F(WinVideoControllerTest, TheTitleGroupsTheMeetingIdThroughTheBundlesFormat) {
  ASSERT_EQ(Join(Config()), 1);
  const std::u16string format = vzres::LoadResString(vzres::IDS_VIDEO_PANEL_TITLE);
  controller_->SetVideoTitle(u"12345678");
  EXPECT_EQ(panel_->title_, FormatPanelTitle(format, u"123 45 678"));
  EXPECT_NE(panel_->title_.find(u"123 45 678"), std::u16string::npos);
  controller_->SetVideoTitle(nullptr);  // kept
  EXPECT_NE(panel_->title_.find(u"123 45 678"), std::u16string::npos);
}

TEST_F(WinVideoControllerTest, TheToolbarsButtonsReachTheController) {
  ASSERT_EQ(Join(Config()), 1);
  RosterRecord me = MakeRoster("alice");
  ASSERT_EQ(controller_->AppRosterJoined(&me, 1), 1);
  auto system = vz::HeadlessWindowSystem::Create({1920, 1080});
  VideoMainPanelWindow panel(controller_, controller_, controller_, u"alice", system.get(), clock_);
  ASSERT_TRUE(panel.createVideoWindow(0, 0));
  panel.panelToolbar()->setInvisibleMode();
  log_.clear();
  auto centre = [](CGdipButton* button) {
    const vz::Rect r = button->window()->ClientRect();
    return button->window()->ToScreen({r.Width() / 2, r.Height() / 2});
  };
  // The status button sends a copy of my record with its state.
  system->ClickForTesting(centre(panel.panelToolbar()->button(vzres::IDC_VIDEO_STATUS)));
  loop_.RunUntilIdle();
  EXPECT_TRUE(Logged("my status alice 8"));
  // The my-video button starts my video through the controller (no camera
  // here: the controller reports that, and my video stays off).
  panel.panelToolbar()->showButton(vzres::IDC_VIDEO_MY_VIDEO, true);
  system->ClickForTesting(centre(panel.panelToolbar()->button(vzres::IDC_VIDEO_MY_VIDEO)));
  loop_.RunUntilIdle();
  EXPECT_EQ(controller_->IsMyVideoStarted(), 0);
  // The frame's close box asks the controller to leave.
  panel.OnCloseRequest();
  loop_.RunUntilIdle();
  EXPECT_TRUE(Logged("status 4"));
  panel.destroyVideoWindow();
}

// The meeting client names its container window (an X window id) with the
// join; when that window goes, the panel asks the controller to leave, as
// its close box does.
TEST_F(WinVideoControllerTest, TheContainerReachesThePanelAndItsGoingLeavesTheConference) {
  AVSessionConfig join = Config();
  ASSERT_EQ(controller_->JoinVideo(nullptr, &join, nullptr, 0x2a00007), 1);
  EXPECT_EQ(panel_->container_, 0x2a00007u);

  auto system = vz::HeadlessWindowSystem::Create({1920, 1080});
  VideoMainPanelWindow panel(controller_, controller_, controller_, u"alice", system.get(), clock_);
  ASSERT_TRUE(panel.createVideoWindow(0, 0));
  controller_->OpenOptionsWindow(panel.window());
  ASSERT_EQ(controller_->IsOptionsWindowOpening(), 1);
  log_.clear();
  panel.OnHostGone();
  EXPECT_EQ(controller_->IsOptionsWindowOpening(), 0) << "closed before the panel's window goes";
  loop_.RunUntilIdle();
  EXPECT_TRUE(Logged("status 4"));
  EXPECT_EQ(panel.window(), nullptr);
}

TEST(PanelTitleTest, GroupsEightAndNineCharactersOnly) {
  EXPECT_EQ(GroupMeetingId(u"12345678"), u"123 45 678");
  EXPECT_EQ(GroupMeetingId(u"123456789"), u"123 456 789");
  EXPECT_EQ(GroupMeetingId(u"1234567890"), u"1234567890");
  EXPECT_EQ(GroupMeetingId(u""), u"");
}

TEST(PanelTitleTest, SubstitutesOnceReadsNoOtherConversionAndStopsAt127Units) {
  EXPECT_EQ(FormatPanelTitle(u"Meeting %s (100%%)", u"123 45 678"), u"Meeting 123 45 678 (100%)");
  // A second %s and a %d are copied as written: nothing else is read.
  EXPECT_EQ(FormatPanelTitle(u"%s %s %d", u"x"), u"x %s %d");
  const std::u16string long_format = std::u16string(200, u'a') + u"%s";
  EXPECT_EQ(FormatPanelTitle(long_format, u"id").size(), 127u);
  // Never half a surrogate pair at the cut.
  std::u16string pairs;
  for (int i = 0; i < 70; ++i) pairs += u"\U0001F600";
  const std::u16string cut = FormatPanelTitle(pairs, u"");
  EXPECT_EQ(cut.size(), 126u);
  EXPECT_TRUE(cut.back() >= 0xDC00 && cut.back() <= 0xDFFF);
}

}  // namespace
}  // namespace vzpanel
