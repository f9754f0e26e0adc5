// A scripted video conference through the library's exports: the fake
// session plays the server from a transport thread, the owner thread's run
// loop (on a fake clock) delivers the controller's messages and ticks the
// client's timers.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "platform/camera/emulated/v4l2_emulation.h"
#include "platform/clock.h"
#include "platform/run_loop.h"
#include "video/devices/capture/capture_backend.h"
#include "video/devices/capture/test_camera.h"
#include "video/engine/client/fake_video_conference_testlib.h"
#include "video/engine/client/video_client_controller.h"
#include "video/engine/client/video_controller.h"
#include "video/engine/core/engine_clock.h"
#include "video/engine/core/video_factories.h"

extern "C" IAVProvider* VideoCreateInstance(IAVProviderSink* sink);
extern "C" int32_t VideoDeleteInstance(IAVProvider* provider);

namespace {

// The meeting client's side: records each call and the thread it came on.
class RecordingSink : public IAVProviderSink {
 public:
  int32_t OnAVStatusNotification(int32_t status, int32_t) override {
    Note("status " + std::to_string(status));
    if (on_status) on_status(status);
    return 1;
  }
  int32_t OnAVVideoBroadcasted(int32_t b, const char*) override {
    Note("broadcasted " + std::to_string(b));
    return 1;
  }
  int32_t OnAVVideoErrorCode(int32_t code, int32_t type) override {
    Note("error " + std::to_string(code) + "," + std::to_string(type));
    return 1;
  }
  int32_t OnAVMyStatusChanged(const char16_t*, int32_t status) override {
    Note("my status " + std::to_string(status));
    return 1;
  }
  void Note(std::string call) {
    calls.push_back(std::move(call));
    threads.push_back(std::this_thread::get_id());
  }
  std::vector<std::string> Take() {
    std::vector<std::string> out;
    out.swap(calls);
    return out;
  }

  std::vector<std::string> calls;
  std::vector<std::thread::id> threads;
  std::function<void(int32_t)> on_status;
};

// On another thread, as the transport calls.
void OnTransportThread(const std::function<void()>& work) { std::thread(work).join(); }

class VideoConferenceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    VZSE_::SetEngineClockForTest(&engine_clock_);
    previous_devices_ = SetVideoDeviceFactories(TestCameraFactories(false));
  }
  void TearDown() override {
    if (provider_ != nullptr) VideoDeleteInstance(provider_);
    loop_.RunUntilIdle();
    SetVideoDeviceFactories(previous_devices_);
    VZSE_::SetEngineClockForTest(nullptr);
  }

  CVideoController* controller() { return static_cast<CVideoController*>(provider_); }
  CVideoClientController* client() { return controller()->client(); }
  FakeVideoSession* session() { return FakeVideoSession::live; }
  FakeVideoEngine* engine() { return FakeVideoEngine::live; }

  // One second of the owner thread.
  void Tick() {
    clock_.AdvanceMs(1000);
    engine_clock_.AdvanceMs(1000);
    loop_.RunUntilIdle();
  }

  // Created, joined as "alice" and confirmed with SSRC 0x1111.
  void Join(int32_t quality = 1) {
    provider_ = VideoCreateInstance(&sink_);
    ASSERT_NE(provider_, nullptr);
    AVSessionConfig join = MakeJoin("alice", 0, quality);
    ASSERT_EQ(provider_->JoinVideo(nullptr, &join, nullptr, 0), 1);
    RosterRecord me = MakeRoster("alice");
    provider_->AppRosterJoined(&me, 1);
    OnTransportThread([this] { session()->sink()->OnSessionJoin(1, 0x1111); });
    loop_.RunUntilIdle();
  }

  ScopedFakeConference fakes_;
  vz::FakeClock clock_{1000};
  vz::RunLoop loop_{clock_};
  VZSE_::FakeEngineClock engine_clock_;
  const VideoDeviceFactories* previous_devices_ = nullptr;
  RecordingSink sink_;
  IAVProvider* provider_ = nullptr;
};

TEST_F(VideoConferenceTest, JoinConfirmedWithAnSsrcReportsConnectingThenJoinedOnTheOwnerThread) {
  Join();
  EXPECT_EQ(sink_.Take(), (std::vector<std::string>{"status 1", "status 2"}));
  for (size_t i = 0; i < sink_.threads.size(); ++i) {
    EXPECT_EQ(sink_.threads[i], std::this_thread::get_id()) << "call " << i;
  }
  EXPECT_EQ(provider_->GetVideoStatus(), 2);
  VideoRosterInfo me;
  ASSERT_TRUE(client()->CopyMyInfo(&me));
  EXPECT_EQ(me.ssrc, 0x1111u);
  // My send channel: three layers, FEC off, not sending until someone asks.
  FakeSourceChannel* source = engine()->source();
  ASSERT_NE(source, nullptr);
  EXPECT_EQ(source->client_id, 0x1111u);
  ASSERT_EQ(source->outputs.size(), 3u);
  EXPECT_EQ(source->outputs[0].width, 160);
  EXPECT_EQ(source->outputs[1].frame_rate, 12.0f);
  EXPECT_EQ(source->outputs[2].height, 360);
  EXPECT_FALSE(source->fec);
  EXPECT_FALSE(source->sending);
  EXPECT_EQ(session()->filter, static_cast<IMediaTransportFilter*>(client()));
  EXPECT_EQ(client()->GetSessionType(), 2);
}

TEST_F(VideoConferenceTest, AJoinThatCannotStartSaysSoInsteadOfConnectingForever) {
  provider_ = VideoCreateInstance(&sink_);
  FakeVideoSession::join_result = 0;
  AVSessionConfig join = MakeJoin("alice");
  EXPECT_EQ(provider_->JoinVideo(nullptr, &join, nullptr, 0), 0);
  loop_.RunUntilIdle();
  EXPECT_EQ(sink_.Take(), (std::vector<std::string>{"status 1", "error 1,10", "status 0"}));
}

TEST_F(VideoConferenceTest, AnEmptyOwnRosterIdIsRefused) {
  provider_ = VideoCreateInstance(&sink_);
  AVSessionConfig join = MakeJoin("");
  EXPECT_EQ(provider_->JoinVideo(nullptr, &join, nullptr, 0), 0);
  loop_.RunUntilIdle();
  EXPECT_EQ(sink_.Take(), (std::vector<std::string>{"error 6,10"}));
}

TEST_F(VideoConferenceTest, NoSendChannelEndsTheJoinWithAnEngineError) {
  FakeVideoEngine::fail_source = true;
  Join();
  EXPECT_EQ(sink_.Take(), (std::vector<std::string>{"status 1", "error 1,10", "status 0"}));
}

TEST_F(VideoConferenceTest, TheServerRosterBeforeTheApplicationRosterIsAppliedWhenItComes) {
  Join();
  const ServerRoster bob{"bob", 1, 0, 0, 0x2222};
  OnTransportThread([&] { session()->sink()->OnRosterChanged(kServerRosterEntered, &bob, 1); });
  VideoRosterInfo info;
  EXPECT_FALSE(client()->CopyUser("bob", &info));
  RosterRecord record = MakeRoster("bob");
  provider_->AppRosterJoined(&record, 0);
  ASSERT_TRUE(client()->CopyUser("bob", &info));
  EXPECT_EQ(info.ssrc, 0x2222u);
  EXPECT_EQ(info.videoStatus, 1);
  // An update without an ssrc keeps the one known.
  const ServerRoster update{"bob", 0, 1, 0, 0};
  OnTransportThread([&] { session()->sink()->OnRosterChanged(kServerRosterUpdated, &update, 1); });
  ASSERT_TRUE(client()->CopyUser("bob", &info));
  EXPECT_EQ(info.ssrc, 0x2222u);
  EXPECT_EQ(info.videoStatus, 0);
  EXPECT_EQ(info.spotlight, 1);
}

// A renderer stand-in: counts the pictures it is given.
class CountingPictureSink final : public TEngineObject<IVideoDeliverer> {
 public:
  CountingPictureSink() { AddRef(); }
  VseResult DeliverSample(IVideoSample*) override {
    ++pictures;
    return VSE_S_OK;
  }
  void Drop() { Release(); }
  uintptr_t handle() { return reinterpret_cast<uintptr_t>(static_cast<IEngineUnknown*>(this)); }
  int pictures = 0;

 private:
  ~CountingPictureSink() override = default;
};

class SubscriptionTest : public VideoConferenceTest {
 protected:
  void AddBob() {
    RosterRecord record = MakeRoster("bob");
    provider_->AppRosterJoined(&record, 0);
    const ServerRoster bob{"bob", 1, 0, 0, 0x2222};
    OnTransportThread([&] { session()->sink()->OnRosterChanged(kServerRosterEntered, &bob, 1); });
    session()->Take();
  }
  void TearDown() override {
    VideoConferenceTest::TearDown();
    small_->Drop();
    large_->Drop();
  }
  CountingPictureSink* small_ = new CountingPictureSink();
  CountingPictureSink* large_ = new CountingPictureSink();
};

TEST_F(SubscriptionTest, SubscriptionsFollowTheLargestRendererWithinTheQualityMode) {
  Join(2);  // no cap
  AddBob();
  EXPECT_EQ(controller()->RequestSourceVideo("bob", 1, small_->handle()), 0);
  auto requests = session()->Take();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].kind, "subscribe");
  EXPECT_EQ(requests[0].list[0].rosterId, "bob");
  EXPECT_EQ(requests[0].list[0].wantSize, 1);
  FakeListenChannel* channel = engine()->listen_of(0x2222);
  ASSERT_NE(channel, nullptr);
  EXPECT_EQ(channel->aspect_x, 16);
  EXPECT_EQ(channel->aspect_y, 9);
  EXPECT_EQ(channel->deliverers.size(), 1u);

  EXPECT_EQ(controller()->RequestSourceVideo("bob", 2, large_->handle()), 0);
  requests = session()->Take();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].list[0].wantSize, 2);
  // The large one goes: back to the small size, same channel.
  EXPECT_EQ(controller()->UnRequestSourceVideo("bob", large_->handle()), 0);
  requests = session()->Take();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].kind, "subscribe");
  EXPECT_EQ(requests[0].list[0].wantSize, 1);
  // The last one goes: unsubscribed at the size held, channel destroyed.
  EXPECT_EQ(controller()->UnRequestSourceVideo("bob", small_->handle()), 0);
  requests = session()->Take();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].kind, "unsubscribe");
  EXPECT_EQ(requests[0].list[0].wantSize, 1);
  EXPECT_EQ(engine()->listen_of(0x2222), nullptr);
}

TEST_F(SubscriptionTest, StandardQualityCapsAtTheMiddleSizeAndSizeThreeIsRefused) {
  Join(0);
  AddBob();
  EXPECT_EQ(controller()->RequestSourceVideo("bob", 3, small_->handle()), 4);
  EXPECT_EQ(controller()->RequestSourceVideo("carol", 1, small_->handle()), 5);
  EXPECT_EQ(controller()->RequestSourceVideo("bob", 2, large_->handle()), 0);
  auto requests = session()->Take();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].list[0].wantSize, 1);
}

TEST_F(SubscriptionTest, PacketsReachOnlyASubscribedSendersChannel) {
  Join(2);
  AddBob();
  const auto packet = MakeRtp(0x2222);
  OnTransportThread([&] { session()->sink()->OnReceiveRtpData(packet.data(), static_cast<uint32_t>(packet.size())); });
  EXPECT_EQ(engine()->listen_of(0x2222), nullptr);  // nothing made for it

  ASSERT_EQ(controller()->RequestSourceVideo("bob", 1, small_->handle()), 0);
  FakeListenChannel* channel = engine()->listen_of(0x2222);
  ASSERT_NE(channel, nullptr);
  const auto runt = MakeRtp(0x2222, 5);
  OnTransportThread([&] {
    session()->sink()->OnReceiveRtpData(packet.data(), static_cast<uint32_t>(packet.size()));
    session()->sink()->OnReceiveRtpData(runt.data(), static_cast<uint32_t>(runt.size()));
  });
  EXPECT_EQ(channel->packets, 1);

  ASSERT_EQ(controller()->UnRequestSourceVideo("bob", small_->handle()), 0);
  // In flight after the unsubscribe: dropped, no channel touched.
  OnTransportThread([&] { session()->sink()->OnReceiveRtpData(packet.data(), static_cast<uint32_t>(packet.size())); });
  EXPECT_EQ(engine()->listen_of(0x2222), nullptr);
}

TEST_F(VideoConferenceTest, WhoSubscribesToMeDecidesTheLayersAndRecordingTurnsOnIntraRefresh) {
  Join();
  OnTransportThread([&] {
    session()->sink()->OnVideoSubscribedNotify("bob", 1);
    session()->sink()->OnVideoSubscribedNotify("bob", 2);
    session()->sink()->OnVideoSubscribedNotify("carol", 0);
    session()->sink()->OnVideoSubscribedNotify("recordingserver", 2);
    session()->sink()->OnVideoSubscribedNotify("dave", 7);
  });
  auto subscribers = client()->SubscribersForTesting();
  ASSERT_EQ(subscribers.size(), 2u);
  EXPECT_EQ(subscribers[0], (std::vector<std::string>{"carol"}));
  EXPECT_EQ(subscribers[2], (std::vector<std::string>{"bob", "recordingserver"}));
  auto sizes = [&] {
    std::vector<std::pair<int, int>> out;
    for (const SubscriptionRecord& r : client()->EncodeLayersForTesting()) out.emplace_back(r.width, r.height);
    return out;
  };
  const std::vector<std::pair<int, int>> both{{160, 90}, {640, 360}};
  EXPECT_EQ(sizes(), both);
  // Someone leaving a size does not take its layer away: the layers are
  // derived again on the next subscription only.
  OnTransportThread([&] { session()->sink()->OnVideoUnsubscribedNotify("carol", 0); });
  EXPECT_EQ(sizes(), both);
  OnTransportThread([&] { session()->sink()->OnVideoSubscribedNotify("carol", 1); });
  EXPECT_EQ(sizes(), (std::vector<std::pair<int, int>>{{320, 180}, {640, 360}}));
  OnTransportThread([&] {
    session()->sink()->OnVideoUnsubscribedNotify("bob", -1);
    session()->sink()->OnVideoUnsubscribedNotify("carol", 1);
    session()->sink()->OnVideoUnsubscribedNotify("recordingserver", 2);
  });
  EXPECT_TRUE(client()->SubscribersForTesting().empty());
  VideoRosterInfo me;
  ASSERT_TRUE(client()->CopyMyInfo(&me));
  EXPECT_EQ(me.isSubscribed, 0);
}

TEST_F(VideoConferenceTest, MyVideoIsAnnouncedOnTheThirdTickAndSentOnlyWhileSomeoneSubscribes) {
  Join();
  sink_.Take();
  ASSERT_EQ(provider_->StartMyVideo(0), 1);  // the test camera; reports started at once
  FakeSourceChannel* source = engine()->source();
  ASSERT_NE(source, nullptr);
  // A subscriber before the delay is over: still not sending.
  OnTransportThread([&] { session()->sink()->OnVideoSubscribedNotify("bob", 1); });
  EXPECT_FALSE(source->sending);
  session()->Take();
  Tick();
  Tick();
  EXPECT_TRUE(session()->Take().empty());
  EXPECT_FALSE(source->sending);
  Tick();
  auto requests = session()->Take();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].kind, "start");
  EXPECT_TRUE(source->sending);
  Tick();
  EXPECT_TRUE(session()->Take().empty());  // once
  EXPECT_EQ(provider_->IsMyVideoStarted(), 1);

  // Packets out: sent while subscribed, not for a dropped verdict or paused.
  const auto packet = MakeRtp(0x1111);
  EXPECT_EQ(client()->SendRtpPacket(100, packet.data(), static_cast<int32_t>(packet.size())), 0);
  EXPECT_EQ(client()->SendRtpPacket(200, packet.data(), static_cast<int32_t>(packet.size())), 0);
  provider_->PauseMyVideo();
  EXPECT_EQ(client()->SendRtpPacket(100, packet.data(), static_cast<int32_t>(packet.size())), 0);
  provider_->ResumeMyVideo();
  EXPECT_EQ(session()->rtp.size(), 1u);

  // The last subscriber goes: sending stops and packets are dropped.
  OnTransportThread([&] { session()->sink()->OnVideoUnsubscribedNotify("bob", 1); });
  EXPECT_FALSE(source->sending);
  EXPECT_EQ(client()->SendRtpPacket(100, packet.data(), static_cast<int32_t>(packet.size())), 0);
  EXPECT_EQ(session()->rtp.size(), 1u);
  EXPECT_EQ(client()->SendRtpPacket(100, nullptr, 0), 1);
}

// The capture engines the factory made, so a test can make them produce.
IVideoCapEngine* g_made_engine = nullptr;
VseResult RecordingEngineMaker(IVideoCapDevice* device, const VideoFormat* format, IVideoSampleAllocator* allocator,
                               IVideoCapEngine** out) {
  const VseResult result = MakeTestCameraEngine(device, format, allocator, false, out);
  g_made_engine = result == VSE_S_OK ? *out : nullptr;
  return result;
}

TEST_F(VideoConferenceTest, ACameraFrameReachesMySendChannelThroughTheCropper) {
  VideoDeviceFactories recording = *TestCameraFactories(false);
  recording.make_cap_engine = &RecordingEngineMaker;
  SetVideoDeviceFactories(&recording);
  Join();
  EXPECT_EQ(provider_->GetCurrentCaptureDevice(), kTestCameraDeviceType);
  ASSERT_EQ(provider_->StartMyVideo(0), 1);
  ASSERT_NE(g_made_engine, nullptr);
  FakeSourceChannel* source = engine()->source();
  ASSERT_TRUE(TestCameraProduceFrame(g_made_engine));
  EXPECT_EQ(source->samples, 1);
  // Stopped: the camera is released and the channel gets no more.
  provider_->StopMyVideo();
  EXPECT_EQ(provider_->IsMyVideoStarted(), 0);
  g_made_engine = nullptr;
}

TEST_F(VideoConferenceTest, StartingMyVideoWithoutACameraReportsTheCameraError) {
  VideoDeviceFactories none = *TestCameraFactories(false);
  none.make_device_enumerator = [](IVideoCapDeviceEnumerator**) -> VseResult { return VSE_E_FAIL; };
  SetVideoDeviceFactories(&none);
  Join();
  sink_.Take();
  EXPECT_EQ(provider_->GetCurrentCaptureDevice(), -1);
  EXPECT_EQ(provider_->StartMyVideo(0), 0);
  loop_.RunUntilIdle();
  EXPECT_EQ(sink_.Take(), (std::vector<std::string>{"error 31,10"}));
}

TEST_F(VideoConferenceTest, AdjustmentsArePassedOnOnceASecondWithTheLatestValues) {
  Join();
  FakeSourceChannel* source = engine()->source();
  IMediaTransportFilter* filter = session()->filter;
  OnTransportThread([&] {
    filter->OnAdjustment(1, 50, 7, 0.5f, 20, 1000);
    engine_clock_.AdvanceMs(100);
    filter->OnAdjustment(2, 100, 9, 0.0123f, 81, 2000);
  });
  Tick();
  Tick();  // nothing new
  std::lock_guard<std::mutex> hold(source->lock);
  ASSERT_EQ(source->uplinks.size(), 1u);
  const UplinkStat& stat = source->uplinks[0];
  EXPECT_EQ(stat.loss_rate, 12);
  EXPECT_EQ(stat.rtt, 40);
  EXPECT_EQ(stat.jitter, 9);
  EXPECT_EQ(stat.reserved, 0);
  EXPECT_EQ(stat.bandwidth, 800);
  EXPECT_EQ(stat.status, 2);
}

TEST_F(VideoConferenceTest, ALeaveConfirmedTwiceReportsLeftOnceAndDropsTheClient) {
  Join();
  sink_.Take();
  OnTransportThread([&] {
    session()->sink()->OnSessionLeave(0, 0);
    session()->sink()->OnSessionLeave(0, 0);  // the transport's confirmation
  });
  loop_.RunUntilIdle();
  EXPECT_EQ(sink_.Take(), (std::vector<std::string>{"status 4"}));
  EXPECT_EQ(controller()->client(), nullptr);
  EXPECT_EQ(provider_->LeaveVideo(), 0);
}

TEST_F(VideoConferenceTest, ALeaveWithAReasonReportsTheErrorFirst) {
  Join();
  sink_.Take();
  OnTransportThread([&] { session()->sink()->OnSessionLeave(2, 7); });
  loop_.RunUntilIdle();
  EXPECT_EQ(sink_.Take(), (std::vector<std::string>{"error 2,7", "status 4"}));
}

TEST_F(VideoConferenceTest, OwnLeaveThenTheTransportsConfirmationThenDestruction) {
  Join();
  RosterRecord bob = MakeRoster("bob");
  provider_->AppRosterJoined(&bob, 0);
  provider_->LeaveVideo();  // own leave: the session reports at once
  loop_.RunUntilIdle();
  EXPECT_EQ(provider_->LeaveVideo(), 0);
  VideoDeleteInstance(provider_);
  provider_ = nullptr;
  loop_.RunUntilIdle();
}

TEST_F(VideoConferenceTest, TheSinkMayDeleteTheInstanceInsideTheLeftStatus) {
  Join();
  sink_.on_status = [this](int32_t status) {
    if (status == 4) {
      VideoDeleteInstance(provider_);
      provider_ = nullptr;
    }
  };
  OnTransportThread([&] {
    session()->sink()->OnSessionLeave(0, 0);
    // Posted behind the status: must be dropped (and freed) with the object.
    session()->sink()->OnStartBroadcastNotify("alice");
  });
  loop_.RunUntilIdle();
  EXPECT_EQ(provider_, nullptr);
}

TEST_F(VideoConferenceTest, AReconnectMovesMySendChannelAndReannouncesOnlyWhatWasSent) {
  Join();
  OnTransportThread([&] { session()->sink()->OnReconnecting(); });
  loop_.RunUntilIdle();
  session()->Take();
  OnTransportThread([&] { session()->sink()->OnSessionJoin(1, 0x3333); });
  loop_.RunUntilIdle();
  EXPECT_TRUE(session()->Take().empty());  // my video was off
  ASSERT_NE(engine()->source(), nullptr);
  EXPECT_EQ(engine()->source()->client_id, 0x3333u);
  EXPECT_EQ(sink_.Take(), (std::vector<std::string>{"status 1", "status 2", "status 1", "status 2"}));
}

}  // namespace

namespace {

TEST_F(VideoConferenceTest, AReconnectWhileSendingAnnouncesMyVideoAgain) {
  Join();
  ASSERT_EQ(provider_->StartMyVideo(0), 1);
  Tick();
  Tick();
  Tick();
  ASSERT_EQ(session()->Take().size(), 1u);  // the first announcement
  OnTransportThread([&] {
    session()->sink()->OnReconnecting();
    session()->sink()->OnSessionJoin(1, 0x4444);
  });
  loop_.RunUntilIdle();
  auto requests = session()->Take();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].kind, "start");
  EXPECT_EQ(engine()->source()->client_id, 0x4444u);
}

TEST_F(VideoConferenceTest, ACameraThatFailsToStartIsReportedAndMyVideoWithdrawn) {
  Join();
  ASSERT_EQ(provider_->StartMyVideo(0), 1);
  session()->Take();
  sink_.Take();
  IVideoCapDevice* camera = NewTestCameraDevice();
  client()->OnStarted(camera, 1);
  camera->Release();
  auto requests = session()->Take();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].kind, "stop");
  EXPECT_EQ(provider_->IsMyVideoStarted(), 0);
  loop_.RunUntilIdle();
  EXPECT_EQ(sink_.Take(), (std::vector<std::string>{"error 31,10"}));
  // Nothing is announced later: the delay counter stopped with the camera.
  Tick();
  Tick();
  Tick();
  EXPECT_TRUE(session()->Take().empty());
}

class OtherCamera final : public TEngineObject<IVideoCapDevice> {
 public:
  int32_t GetDeviceType() override { return 0; }
  const char16_t* GetUniqueName() override { return u"other-camera"; }
  const char16_t* GetDisplayName() override { return u"Other Camera"; }
  VseResult GetCapability(int32_t, VideoFormat*) override { return 1; }
  bool IsSameDevice(IVideoCapDevice* other) override {
    return other != nullptr && std::u16string_view(other->GetUniqueName()) == u"other-camera";
  }
  bool IsHardwareDevice() override { return true; }
  bool IsSoftwareDevice() override { return false; }
  bool RemoveCapability(const VideoFormat&) override { return false; }
};

TEST_F(VideoConferenceTest, APreviewCameraThatFailsToStartLeavesMyVideoAlone) {
  Join();
  ASSERT_EQ(provider_->StartMyVideo(0), 1);
  session()->Take();
  sink_.Take();
  const int32_t started = provider_->IsMyVideoStarted();
  auto* preview = new OtherCamera();
  preview->AddRef();
  client()->OnStarted(preview, 1);
  preview->Release();
  EXPECT_TRUE(session()->Take().empty());
  EXPECT_EQ(provider_->IsMyVideoStarted(), started);
  loop_.RunUntilIdle();
  EXPECT_TRUE(sink_.Take().empty());
}

// The V4L2 backend over an emulated camera: a camera pulled out while my
// video streams is reported, and my video is withdrawn.
TEST_F(VideoConferenceTest, ACameraPulledOutWhileSendingIsReportedAndMyVideoWithdrawn) {
  vz::EmulatedV4l2 port;
  const std::string node = port.Plug(vz::LaptopYuyvCamera());
  vzcapture::InstallCaptureBackend(port);
  Join();
  ASSERT_EQ(provider_->StartMyVideo(0), 1);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (port.FramesFilledForTesting(node) < 2 && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  ASSERT_GE(port.FramesFilledForTesting(node), 2u);
  Tick();
  loop_.RunUntilIdle();
  ASSERT_EQ(provider_->IsMyVideoStarted(), 1);
  session()->Take();
  sink_.Take();
  port.UnplugForTesting(node);
  std::vector<FakeVideoSession::Request> requests;
  while (requests.empty() && std::chrono::steady_clock::now() < deadline) {
    loop_.RunUntilIdle();
    requests = session()->Take();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].kind, "stop");
  EXPECT_EQ(provider_->IsMyVideoStarted(), 0);
  loop_.RunUntilIdle();
  EXPECT_EQ(sink_.Take(), (std::vector<std::string>{"error 31,10"}));
}

}  // namespace
