// The controller's own road: what it posts for the client's callbacks, what
// its owner thread hands to the panel's operations, and its join settings.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "platform/clock.h"
#include "platform/run_loop.h"
#include "video/devices/capture/test_camera.h"
#include "video/engine/client/fake_video_conference_testlib.h"
#include "video/engine/client/video_client_controller.h"
#include "video/engine/client/video_controller.h"
#include "video/engine/core/engine_clock.h"
#include "video/engine/core/video_factories.h"

namespace {

class QuietSink : public IAVProviderSink {
 public:
  int32_t OnAVStatusNotification(int32_t status, int32_t b) override {
    statuses.push_back(status);
    broadcasts.push_back(b);
    return 1;
  }
  int32_t OnAVVideoBroadcasted(int32_t, const char*) override { return 1; }
  int32_t OnAVVideoErrorCode(int32_t code, int32_t type) override {
    errors.push_back(code * 100 + type);
    return 1;
  }
  int32_t OnAVMyStatusChanged(const char16_t*, int32_t) override { return 1; }
  std::vector<int32_t> statuses, broadcasts, errors;
};

// Records what reaches the panel's operations.
class PanelController : public CVideoController {
 public:
  using CVideoController::CVideoController;
  void OnUserChanged(uint32_t msg, const VideoRosterInfo& user, intptr_t arg) override {
    events.push_back(std::to_string(msg) + " " + user.rosterId + " " + std::to_string(arg));
  }
  void OnSpotlightChanged(const VideoRosterInfo* user) override {
    events.push_back(std::string("spotlight ") + (user != nullptr ? user->rosterId : "(none)"));
  }
  void OnActiveSpeakerChanged(const VideoRosterInfo* user) override {
    events.push_back(std::string("speaker ") + (user != nullptr ? user->rosterId : "(none)"));
  }
  void OnUserVideoSizeChanged(const VideoRosterInfo& user, int32_t w, int32_t h) override {
    events.push_back("size " + user.rosterId + " " + std::to_string(w) + "x" + std::to_string(h));
  }
  std::vector<std::string> events;
};

class VideoControllerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    VZSE_::SetEngineClockForTest(&engine_clock_);
    previous_devices_ = SetVideoDeviceFactories(TestCameraFactories(false));
    controller_ = new PanelController(&sink_);
    ASSERT_TRUE(controller_->Start());
  }
  void TearDown() override {
    controller_->LeaveVideo();
    controller_->Stop();
    controller_->Release();
    loop_.RunUntilIdle();
    SetVideoDeviceFactories(previous_devices_);
    VZSE_::SetEngineClockForTest(nullptr);
  }
  void Join(int32_t broadcast = 0, int32_t quality = 1) {
    AVSessionConfig join = MakeJoin("alice", broadcast, quality);
    ASSERT_EQ(controller_->JoinVideo(nullptr, &join, nullptr, 0), 1);
    RosterRecord me = MakeRoster("alice");
    RosterRecord bob = MakeRoster("bob");
    controller_->AppRosterJoined(&me, 0);
    controller_->AppRosterJoined(&bob, 1);
    std::thread([] { FakeVideoSession::live->sink()->OnSessionJoin(1, 0x1111); }).join();
    loop_.RunUntilIdle();
  }

  ScopedFakeConference fakes_;
  vz::FakeClock clock_{1000};
  vz::RunLoop loop_{clock_};
  VZSE_::FakeEngineClock engine_clock_;
  const VideoDeviceFactories* previous_devices_ = nullptr;
  QuietSink sink_;
  PanelController* controller_ = nullptr;
};

TEST_F(VideoControllerTest, ANullMeetConfigKeepsTheDefaultsAndAnUnknownQualityKeepsTheMode) {
  Join(0, 7);
  EXPECT_EQ(controller_->meet_config().VideoQuality, 1);
  EXPECT_EQ(controller_->meet_config().HeaderBgColor, 0xff0084ffu);
  EXPECT_EQ(controller_->meet_config().ShowPoweredBy, 0);
  // Mode 1 still holds: a request for the largest size asks for the middle.
  const ServerRoster bob{"bob", 1, 0, 0, 0x2222};
  std::thread([&] { FakeVideoSession::live->sink()->OnRosterChanged(kServerRosterEntered, &bob, 1); }).join();
  FakeVideoSession::live->Take();
  EXPECT_EQ(controller_->RequestSourceVideo("bob", 2, 0), 0);
  auto requests = FakeVideoSession::live->Take();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].list[0].wantSize, 1);
}

TEST_F(VideoControllerTest, JoinedWithBroadcastStartsTheCameraBeforeTheSinkHearsJoined) {
  Join(1);
  EXPECT_EQ(sink_.statuses, (std::vector<int32_t>{1, 2}));
  EXPECT_EQ(sink_.broadcasts.back(), 1);
  EXPECT_EQ(controller_->IsMyVideoStarted(), 1);
  EXPECT_TRUE(sink_.errors.empty());
}

TEST_F(VideoControllerTest, JoinedWithBroadcastAndNoCameraReportsTheCameraError) {
  VideoDeviceFactories none = *TestCameraFactories(false);
  none.make_device_enumerator = [](IVideoCapDeviceEnumerator**) -> VseResult { return VSE_E_FAIL; };
  SetVideoDeviceFactories(&none);
  // The camera is picked when the controller is made.
  controller_->OnCameraNotify(nullptr, 1);
  Join(1);
  EXPECT_EQ(sink_.errors, (std::vector<int32_t>{3110}));
  EXPECT_EQ(controller_->IsMyVideoStarted(), 0);
}

TEST_F(VideoControllerTest, ParticipantEventsReachThePanelWithCopiesOfTheirRecords) {
  Join();
  controller_->events.clear();
  std::thread([] {
    IVZVideoSessionSink* s = FakeVideoSession::live->sink();
    s->OnStartBroadcastNotify("bob");
    s->OnActiveSpeakerNotify("bob");
    s->OnSetSpotlightNotify("bob");
    s->OnSetSpotlightNotify("nobody");
    s->OnUnsetSpotlightNotify();
    s->OnStartBroadcastNotify("nobody");  // unknown: nothing
  }).join();
  RosterRecord bob = MakeRoster("bob");
  controller_->AppRosterLeft(&bob);
  RosterRecord me = MakeRoster("alice");
  controller_->AppRosterLeft(&me);  // myself: kept
  loop_.RunUntilIdle();
  EXPECT_EQ(controller_->events, (std::vector<std::string>{"1136 bob 0", "speaker bob", "spotlight bob",
                                                           "spotlight (none)", "spotlight (none)", "1137 bob 0"}));
  VideoRosterInfo mine;
  ASSERT_NE(controller_->client(), nullptr);
  EXPECT_TRUE(controller_->client()->CopyMyInfo(&mine));
  EXPECT_TRUE(controller_->client()->CopyUser("alice", &mine));
  EXPECT_EQ(mine.ssrc, 0x1111u);
}

// Every reconnection of another member was a post to the owner thread for
// each announcement, and the panel redrawn for each: a member the server
// announces again as it was, or whose video it says starts again while it
// runs, costs the panel nothing; a change still reaches it, and a stop with
// the return after it, though merged, reaches it as both (the return needs
// new renderers: its channel is new).
TEST_F(VideoControllerTest, AMemberAnnouncedAgainAsItWasCostsThePanelNothing) {
  Join();
  const ServerRoster bob{"bob", 1, 0, 0, 0x2222};
  std::thread([&] { FakeVideoSession::live->sink()->OnRosterChanged(kServerRosterEntered, &bob, 1); }).join();
  loop_.RunUntilIdle();
  controller_->events.clear();
  std::thread([&] {
    IVZVideoSessionSink* s = FakeVideoSession::live->sink();
    for (int i = 0; i < 100; ++i) {
      s->OnRosterChanged(kServerRosterEntered, &bob, 1);
      s->OnStartBroadcastNotify("bob");
    }
  }).join();
  loop_.RunUntilIdle();
  EXPECT_TRUE(controller_->events.empty()) << controller_->events.size() << " panel updates";
  std::thread([] { FakeVideoSession::live->sink()->OnStopBroadcastNotify("bob"); }).join();
  const ServerRoster moved{"bob", 1, 0, 0, 0x3333};
  std::thread([&] { FakeVideoSession::live->sink()->OnRosterChanged(kServerRosterEntered, &moved, 1); }).join();
  loop_.RunUntilIdle();
  EXPECT_EQ(controller_->events, (std::vector<std::string>{"1136 bob 0", "1136 bob 0"}));
}

TEST_F(VideoControllerTest, ALeavingParticipantsChannelIsDestroyed) {
  Join();
  const ServerRoster bob{"bob", 1, 0, 0, 0x2222};
  std::thread([&] { FakeVideoSession::live->sink()->OnRosterChanged(kServerRosterEntered, &bob, 1); }).join();
  ASSERT_EQ(controller_->RequestSourceVideo("bob", 1, 0), 0);
  ASSERT_NE(FakeVideoEngine::live->listen_of(0x2222), nullptr);
  RosterRecord record = MakeRoster("bob");
  controller_->AppRosterLeft(&record);
  EXPECT_EQ(FakeVideoEngine::live->listen_of(0x2222), nullptr);
  EXPECT_EQ(FakeVideoEngine::live->listen_destroyed, 1);
}

TEST_F(VideoControllerTest, MessagesQueuedWhenTheControllerStopsAreFreedUnhandled) {
  Join();
  controller_->events.clear();
  std::thread([] {
    IVZVideoSessionSink* s = FakeVideoSession::live->sink();
    s->OnStartBroadcastNotify("bob");
    s->OnSetSpotlightNotify("bob");
  }).join();
  controller_->Stop();  // the records go with the queue (the leak checker watches)
  loop_.RunUntilIdle();
  EXPECT_TRUE(controller_->events.empty());
}

TEST_F(VideoControllerTest, AVideoSizeFromAListenChannelReachesThePanel) {
  Join();
  const ServerRoster bob{"bob", 1, 0, 0, 0x2222};
  std::thread([&] { FakeVideoSession::live->sink()->OnRosterChanged(kServerRosterEntered, &bob, 1); }).join();
  ASSERT_EQ(controller_->RequestSourceVideo("bob", 1, 0), 0);
  loop_.RunUntilIdle();
  controller_->events.clear();
  IVideoListenChannelSink* channel_sink = FakeVideoEngine::live->listen_of(0x2222)->sink;
  ASSERT_NE(channel_sink, nullptr);
  std::thread([&] {
    channel_sink->OnListenParameterChanged(0x2222, 4, (320 << 16) + 180);
    channel_sink->OnListenParameterChanged(0x9999, 4, (320 << 16) + 180);  // nobody's
  }).join();
  loop_.RunUntilIdle();
  EXPECT_EQ(controller_->events, (std::vector<std::string>{"size bob 320x180"}));
}

}  // namespace

namespace {

// The options window as the controller drives it.
struct OptionsWindowLog {
  std::vector<std::string> calls;
  IVideoOptionsHost* host = nullptr;
  IVideoRenderService* renderers = nullptr;
};
OptionsWindowLog* g_options = nullptr;

class FakeOptionsWindow final : public IVideoOptionsWindow {
 public:
  int32_t InitializeWindow(void*, IVideoCapDevice* device) override {
    g_options->calls.push_back(device != nullptr ? "open with camera" : "open without camera");
    return 0;
  }
  int32_t UninitializeWindow() override {
    g_options->calls.push_back("close");
    return 0;
  }
  int32_t OnCameraModify(IVideoCapDevice*, int32_t kind) override {
    g_options->calls.push_back("camera " + std::to_string(kind));
    return 0;
  }
};

VseResult MakeOptionsWindow(IVideoOptionsHost* host, IVideoRenderService* renderers, IVideoOptionsSink*,
                            IVideoOptionsWindow** out) {
  g_options->host = host;
  g_options->renderers = renderers;
  *out = new FakeOptionsWindow;
  return VSE_S_OK;
}

class PreviewRenderer final : public TEngineObject<IVideoRenderer, IVideoWindowEvents> {
 public:
  VseResult DeliverSample(IVideoSample*) override { return VSE_S_OK; }
  VseResult SetBKColor(uint32_t colour) override { return colour == 0xBAD ? VSE_E_FAIL : VSE_S_OK; }
  VseResult ClearStream() override { return VSE_S_OK; }
  VseResult SetMirror(bool) override { return VSE_S_OK; }
  VseResult Redraw() override { return VSE_E_FAIL; }
  VseResult SetSampleAllocator(IVideoSampleAllocator* a) override {
    allocator = a;
    return VSE_S_OK;
  }
  int32_t GetVideoWidth() override { return 0; }
  int32_t GetVideoHeight() override { return 0; }
  VseResult DrawHeldSample() override { return VSE_S_OK; }
  int32_t GetRenderFormat() override { return 0; }
  int32_t IsFormatDirect(const VideoFormat*) override { return 0; }
  VseResult ConvertAndDraw(IVideoSample*, VideoFormat*) override { return VSE_S_OK; }
  int32_t OnDisplayChange() override { return ++display_changes > 1 ? 5 : 0; }
  int32_t OnWindowPositionChange() override { return 0; }
  IVideoSampleAllocator* allocator = nullptr;
  int display_changes = 0;

 private:
  ~PreviewRenderer() override = default;
};

PreviewRenderer* g_renderer = nullptr;
VseResult MakeRenderer(void*, IVideoRenderer** out) {
  g_renderer = new PreviewRenderer;
  g_renderer->AddRef();
  *out = g_renderer;
  return VSE_S_OK;
}

TEST_F(VideoControllerTest, TheOptionsWindowOpensOnceClosesFromItsMailboxAndItsRenderersAreServed) {
  OptionsWindowLog log;
  g_options = &log;
  static VideoDeviceFactories with_window;  // installed until the fixture ends
  with_window = *TestCameraFactories(false);
  with_window.make_options_window = &MakeOptionsWindow;
  with_window.make_renderer = &MakeRenderer;
  SetVideoDeviceFactories(&with_window);

  controller_->OpenOptionsWindow(nullptr);
  controller_->OpenOptionsWindow(nullptr);
  EXPECT_EQ(log.calls, (std::vector<std::string>{"open with camera"}));
  EXPECT_EQ(controller_->IsOptionsWindowOpening(), 1);
  controller_->OnCameraNotify(nullptr, 1);
  EXPECT_EQ(log.calls.back(), "camera 1");

  // The window's renderer services.
  IVideoRenderService* renderers = log.renderers;
  ASSERT_NE(renderers, nullptr);
  IVideoRenderer* renderer = nullptr;
  int view = 0;
  EXPECT_EQ(renderers->CreateVideoRenderer(&renderer, nullptr), 4);
  ASSERT_EQ(renderers->CreateVideoRenderer(&renderer, &view), 0);
  ASSERT_EQ(renderer, g_renderer);
  EXPECT_NE(g_renderer->allocator, nullptr) << "pictures come from the client's allocator";
  EXPECT_EQ(renderers->SetBKColorInRenderer(renderer, 0x123), 0);
  EXPECT_EQ(renderers->SetBKColorInRenderer(renderer, 0xBAD), 1);
  EXPECT_EQ(renderers->RedrawRenderer(renderer), 1);
  EXPECT_EQ(renderers->ClearRendererStream(nullptr), 4);
  EXPECT_EQ(renderers->OnRendererDisplayChange(renderer), 0);
  EXPECT_EQ(renderers->OnRendererDisplayChange(renderer), 1) << "the event failed";
  EXPECT_EQ(g_renderer->GetRefCount(), 1) << "the window events interface was let go";
  EXPECT_EQ(renderers->DestroyVideoRenderer(renderer), 0);

  // Closing is asked from inside the window: it happens from the mailbox.
  log.host->RequestCloseOptionsWindow();
  EXPECT_EQ(controller_->IsOptionsWindowOpening(), 1);
  loop_.RunUntilIdle();
  EXPECT_EQ(controller_->IsOptionsWindowOpening(), 0);
  EXPECT_EQ(log.calls.back(), "close");

  // Leaving closes a window left open.
  Join();
  controller_->OpenOptionsWindow(nullptr);
  controller_->LeaveVideo();
  EXPECT_EQ(log.calls.back(), "close");
  EXPECT_EQ(controller_->IsOptionsWindowOpening(), 0);
  g_options = nullptr;
}

TEST_F(VideoControllerTest, WithoutAWindowBackendNothingOpens) {
  controller_->OpenOptionsWindow(nullptr);
  EXPECT_EQ(controller_->IsOptionsWindowOpening(), 0);
  EXPECT_EQ(controller_->CloseOptionsWindow(), 0);
}

}  // namespace
