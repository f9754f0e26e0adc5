#include "video/engine/engine/vse_engine.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <future>
#include <memory>
#include <thread>
#include <vector>

#include "common/log_capture_testlib.h"
#include "video/engine/core/com_task_thread.h"
#include "video/engine/core/engine_clock.h"
#include "video/engine/core/engine_test_objects_testlib.h"
#include "video/engine/core/vz_timer.h"
#include "common/budgeted_log.h"
#include "video/engine/send/multimedia_tick.h"
#include "video/engine/core/vz_video_sample_allocator.h"
#include "video/engine/send/encode_param_generator.h"
#include "platform/big_endian.h"

namespace {

struct Transport final : IVideoPacketTransport {
  int32_t SendRtpPacket(int32_t, const uint8_t*, int32_t) override { return 0; }
  int32_t SendRtcpPacket(const uint8_t* data, int32_t length, int32_t) override {
    rtcp.emplace_back(data, data + length);
    return 0;
  }
  std::vector<std::vector<uint8_t>> rtcp;
};

struct SourceSink final : IVideoSourceChannelSink {
  int32_t OnKeyFrameRequested(uint32_t ssrc) override {
    key_frames.push_back(ssrc);
    return 0;
  }
  int32_t OnSourceParameterChanged(uint32_t, int32_t, int32_t) override { return 0; }
  int32_t OnSendRate(int32_t) override { return 0; }
  int32_t OnNotifySourceBitrateInfo(int32_t, int32_t) override { return 0; }
  std::vector<uint32_t> key_frames;
};

IVideoDecoderSink* g_sink = nullptr;
bool g_fail = false;

struct NullDecoder final : IVideoDecoder {
  VseResult Init(int32_t, int32_t) override { return g_fail ? VSE_E_FAIL : VSE_S_OK; }
  VseResult Uninit() override { return VSE_S_OK; }
  VseResult SetOption(int32_t, void*) override { return VSE_S_OK; }
  VseResult GetOption(int32_t, void*) override { return VSE_S_OK; }
  VseResult DecodeFrame(uint32_t, const uint8_t*, int32_t) override { return VSE_S_OK; }
  VseResult SetLossRecovery(int32_t) override { return VSE_S_OK; }
};

std::unique_ptr<IVideoDecoder> MakeNull(IVideoDecoderSink* sink, IVideoSampleAllocator*) {
  g_sink = sink;
  return std::make_unique<NullDecoder>();
}

class EngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    VZSE_::SetEngineClockForTest(&clock_);
    previous_ = SetListenDecoderMaker(&MakeNull);
    allocator_ = new CVzVideoSampleAllocator(64, 0, 0);
    allocator_->AddRef();
    ASSERT_EQ(CreateVseEngine(&engine_), VSE_S_OK);
    imp_ = static_cast<CVseEngineImp*>(engine_);
    imp_->SetChannelsThreadless(true);
    engine_->SetTransportSink(&transport_);
  }
  void TearDown() override {
    EXPECT_EQ(DestroyVseEngine(engine_), VSE_S_OK);
    allocator_->Release();
    SetListenDecoderMaker(previous_);
    g_fail = false;
    VZSE_::SetEngineClockForTest(nullptr);
  }
  VZSE_::FakeEngineClock clock_;
  ListenDecoderMaker previous_ = nullptr;
  CVzVideoSampleAllocator* allocator_ = nullptr;
  IVseEngine* engine_ = nullptr;
  CVseEngineImp* imp_ = nullptr;
  Transport transport_;
};

TEST_F(EngineTest, TheSameListenChannelTwiceAndOneDestroyRemovesIt) {
  IVideoListenChannel* a = nullptr;
  IVideoListenChannel* b = nullptr;
  ASSERT_EQ(engine_->CreateVideoListenChannel(7, 1, 7, 1, allocator_, &a), VSE_S_OK);
  ASSERT_EQ(engine_->CreateVideoListenChannel(7, 1, 7, 1, allocator_, &b), VSE_S_OK);
  EXPECT_EQ(a, b);
  EXPECT_EQ(a->GetRefCount(), 3);  // the map's and two callers'
  EXPECT_EQ(imp_->monitors()->size_for_testing(), 1u);
  EXPECT_EQ(engine_->DestroyVideoListenChannel(7), VSE_S_OK);
  EXPECT_EQ(imp_->listen_channel_count_for_testing(), 0u);
  EXPECT_EQ(imp_->monitors()->size_for_testing(), 0u);
  EXPECT_EQ(engine_->DestroyVideoListenChannel(7), VSE_S_OK) << "unknown: nothing to do";
  EXPECT_EQ(a->Release(), 1);
  EXPECT_EQ(b->Release(), 0);
  EXPECT_EQ(engine_->CreateVideoListenChannel(8, 1, 7, 1, nullptr, &a), VSE_E_POINTER);
  EXPECT_EQ(engine_->CreateVideoListenChannel(8, 1, 7, 1, allocator_, nullptr), VSE_E_POINTER);
}

TEST_F(EngineTest, AFailedInitialiseLeavesNothingBehind) {
  g_fail = true;
  IVideoListenChannel* out = reinterpret_cast<IVideoListenChannel*>(&transport_);
  EXPECT_EQ(engine_->CreateVideoListenChannel(9, 1, 7, 1, allocator_, &out), VSE_E_FAIL);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(imp_->listen_channel_count_for_testing(), 0u);
  EXPECT_EQ(imp_->monitors()->size_for_testing(), 0u);
  EXPECT_EQ(allocator_->GetRefCount(), 1) << "the failed channel gave its allocator reference back";
}

TEST_F(EngineTest, RtcpReachesTheChannelItNames) {
  CVzVideoSourceChannel* first = nullptr;
  CVzVideoSourceChannel* second = nullptr;
  ASSERT_EQ(engine_->CreateVideoSourceChannel(0x100, 1, &transport_, allocator_, &first), VSE_S_OK);
  ASSERT_EQ(engine_->CreateVideoSourceChannel(0x200, 1, &transport_, allocator_, &second), VSE_S_OK);
  SourceSink sink1, sink2;
  first->SetSink(&sink1);
  second->SetSink(&sink2);
  // A listen channel's key-frame request leaves as a PLI naming its stream.
  IVideoListenChannel* listen = nullptr;
  ASSERT_EQ(engine_->CreateVideoListenChannel(0x200, 1, 7, 1, allocator_, &listen), VSE_S_OK);
  g_sink->RequestKeyFrame();
  ASSERT_EQ(transport_.rtcp.size(), 1u);
  const std::vector<uint8_t> pli = transport_.rtcp[0];
  ASSERT_EQ(pli.size(), 12u);
  EXPECT_EQ(pli[0], 0x81);
  EXPECT_EQ(pli[1], 206);
  EXPECT_EQ(vz::Load32(&pli[4]), 0u);
  EXPECT_EQ(vz::Load32(&pli[8]), 0x200u);
  // Received, it reaches the send channel of that SSRC only.
  EXPECT_EQ(engine_->InputRtcpPacket(pli.data(), static_cast<int32_t>(pli.size()), 0), VSE_S_OK);
  first->RunTimerRound();
  second->RunTimerRound();
  EXPECT_TRUE(sink1.key_frames.empty());
  EXPECT_EQ(sink2.key_frames, std::vector<uint32_t>({0x200}));
  EXPECT_EQ(engine_->InputRtcpPacket(nullptr, 12, 0), VSE_E_INVALIDARG);
  EXPECT_EQ(engine_->InputRtcpPacket(pli.data(), 0, 0), VSE_E_INVALIDARG);
  // Refresh and decoder events leave as application feedback of 16 and 12 bytes.
  const uint8_t refresh[16] = {0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0, 4};
  const uint8_t event[12] = {0, 0, 0, 5, 0, 0, 0, 6, 0, 0, 0, 7};
  g_sink->RequestRefresh(refresh);
  g_sink->ReportDecoderEvent(event);
  ASSERT_EQ(transport_.rtcp.size(), 3u);
  EXPECT_EQ(transport_.rtcp[1].size(), 12u + 16u);
  EXPECT_EQ(transport_.rtcp[2].size(), 12u + 12u);
  EXPECT_EQ(transport_.rtcp[1][0] & 0x1F, 15);
  EXPECT_EQ(vz::Load32(&transport_.rtcp[2][12]), 5u);
  listen->Release();
  first->Release();
  second->Release();
}

// A member's packets must not fill this member's log: the per-packet lines
// (decoder events, refreshes, key-frame requests that find no stream) come
// in a burst, then one now and then counting what was left out.
TEST_F(EngineTest, AFloodOfAMembersFeedbackWritesABurstOfLinesNotOneAPacket) {
  // A decoder event as a listen channel sends it: application feedback of
  // 12 bytes naming the stream 0x300.
  IVideoListenChannel* listen = nullptr;
  ASSERT_EQ(engine_->CreateVideoListenChannel(0x300, 1, 7, 1, allocator_, &listen), VSE_S_OK);
  const uint8_t words[12] = {0, 0, 0, 5, 0, 0, 0, 6, 0, 0, 0, 7};
  g_sink->ReportDecoderEvent(words);
  ASSERT_EQ(transport_.rtcp.size(), 1u);
  const std::vector<uint8_t> event = transport_.rtcp[0];
  vz::LogLineCapture log;
  for (int i = 0; i < 5000; ++i) {
    ASSERT_EQ(engine_->InputRtcpPacket(event.data(), static_cast<int32_t>(event.size()), 0), VSE_S_OK);
  }
  const size_t lines = log.Count("decoder event for ssrc 768");
  EXPECT_GE(lines, 1u);
  EXPECT_LE(lines, static_cast<size_t>(vz::kBudgetedLogBurst));
  listen->Release();
}

TEST_F(EngineTest, SourceChannelsByKeyWithByeAndPeriodicReports) {
  CVzVideoSourceChannel* ch = nullptr;
  EXPECT_EQ(engine_->CreateVideoSourceChannel(1, 2, &transport_, allocator_, &ch), VSE_E_INVALIDARG);
  EXPECT_EQ(engine_->CreateVideoSourceChannel(1, 1, &transport_, allocator_, nullptr), VSE_E_POINTER);
  ASSERT_EQ(engine_->CreateVideoSourceChannel(1, 1, &transport_, allocator_, &ch), VSE_S_OK);
  CVzVideoSourceChannel* again = nullptr;
  ASSERT_EQ(engine_->CreateVideoSourceChannel(1, 1, &transport_, allocator_, &again), VSE_S_OK);
  EXPECT_EQ(again, ch);
  again->Release();
  // Network class: loss over 100 per mille wins over the delay.
  const int32_t lossy[4] = {150, 600, 0, 0};
  const int32_t slow[4] = {50, 600, 0, 0};
  const int32_t calm[4] = {0, 100, 0, 0};
  EXPECT_EQ(engine_->SetNetworkStatus(1, lossy), VSE_S_OK);
  EXPECT_EQ(imp_->network_class_for_testing(), 1);
  EXPECT_EQ(engine_->SetNetworkStatus(1, slow), VSE_S_OK);
  EXPECT_EQ(imp_->network_class_for_testing(), 2);
  EXPECT_EQ(engine_->SetNetworkStatus(1, calm), VSE_S_OK);
  EXPECT_EQ(imp_->network_class_for_testing(), 0);
  EXPECT_EQ(engine_->SetNetworkStatus(99, calm), VSE_E_FAIL);
  EXPECT_EQ(engine_->RequestSourceKeyFrame(99), VSE_E_FAIL);
  // A new key: unknown old keys change nothing.
  EXPECT_EQ(engine_->UpdateVideoSourceChannel(5, 77), VSE_S_OK);
  EXPECT_EQ(engine_->SetNetworkStatus(5, calm), VSE_E_FAIL);
  EXPECT_EQ(engine_->UpdateVideoSourceChannel(5, 1), VSE_S_OK);
  EXPECT_EQ(engine_->SetNetworkStatus(1, calm), VSE_E_FAIL);
  EXPECT_EQ(engine_->SetNetworkStatus(5, calm), VSE_S_OK);
  // SDES at most every five seconds, and only with RTCP on.
  EXPECT_EQ(imp_->SendPeriodicReport(VZSE_::NowMs(), 5), VSE_E_FAIL);
  engine_->SetRtcpEnabled(true);
  transport_.rtcp.clear();
  EXPECT_EQ(imp_->SendPeriodicReport(VZSE_::NowMs(), 5), VSE_S_OK);
  EXPECT_EQ(imp_->SendPeriodicReport(VZSE_::NowMs() + 4999, 5), VSE_E_FAIL);
  EXPECT_EQ(imp_->SendPeriodicReport(VZSE_::NowMs() + 5000, 5), VSE_S_OK);
  ASSERT_EQ(transport_.rtcp.size(), 2u);
  EXPECT_EQ(transport_.rtcp[0][1], 202);
  // Going away says goodbye for the stream.
  transport_.rtcp.clear();
  EXPECT_EQ(engine_->DestroyVideoSourceChannel(5), VSE_S_OK);
  ASSERT_EQ(transport_.rtcp.size(), 1u);
  EXPECT_EQ(transport_.rtcp[0][1], 203);
  EXPECT_EQ(vz::Load32(&transport_.rtcp[0][4]), 5u);
  EXPECT_EQ(engine_->DestroyVideoSourceChannel(5), VSE_E_FAIL);
  ch->Release();
}

// The engine's source channel offers the periodic report with its frames:
// the first encoded frame sends the SDES of its SSRC, the next ones within
// the period send none, and one after the period sends the next.
TEST_F(EngineTest, EncodedFramesOfASourceChannelSendThePeriodicReport) {
  CVzVideoSourceChannel* ch = nullptr;
  ASSERT_EQ(engine_->CreateVideoSourceChannel(9, 1, &transport_, allocator_, &ch), VSE_S_OK);
  engine_->SetRtcpEnabled(true);
  std::unique_ptr<CVseBaseEncodeParamGenerator> generator(CVseEncodeParamFactory::Create(1));
  EncodeParams params;
  generator->GetLevel(0, &params.level);
  ASSERT_EQ(ch->SetEncodeParam(&params), VSE_S_OK);
  ASSERT_EQ(ch->StartSend(), VSE_S_OK);
  const int top = params.level.layer_count - 1;
  const int width = params.level.widths[top], height = params.level.heights[top];
  std::vector<uint8_t> picture(static_cast<size_t>(width) * height * 3 / 2, 128);
  VideoFormat format{2, width, height, 15.0f, 0};
  auto sdes_count = [&] {
    int count = 0;
    for (const std::vector<uint8_t>& packet : transport_.rtcp) {
      if (packet.size() >= 8 && packet[1] == 202 && vz::Load32(&packet[4]) == 9u) ++count;
    }
    return count;
  };
  transport_.rtcp.clear();
  ASSERT_EQ(ch->InputFrame(&format, picture.data(), static_cast<int32_t>(picture.size())), VSE_S_OK);
  EXPECT_EQ(sdes_count(), 1);
  clock_.AdvanceMs(100);
  ASSERT_EQ(ch->InputFrame(&format, picture.data(), static_cast<int32_t>(picture.size())), VSE_S_OK);
  EXPECT_EQ(sdes_count(), 1);
  clock_.AdvanceMs(5000);
  ASSERT_EQ(ch->InputFrame(&format, picture.data(), static_cast<int32_t>(picture.size())), VSE_S_OK);
  EXPECT_EQ(sdes_count(), 2);
  // Once the engine let the channel go, its frames report nothing.
  EXPECT_EQ(engine_->DestroyVideoSourceChannel(9), VSE_S_OK);
  clock_.AdvanceMs(6000);
  ASSERT_EQ(ch->InputFrame(&format, picture.data(), static_cast<int32_t>(picture.size())), VSE_S_OK);
  EXPECT_EQ(sdes_count(), 2);
  ch->Release();
}

// The engine lets a send channel go (destroying it, or going itself) while
// frames wait for the channel's data thread, each holding the channel: by
// the time the call returns, the data thread has ended, the waiting frames
// are dropped, the pacing tick has stopped and the channel is gone with its
// timer. Nothing of it may run later on the data thread: its timer belongs
// to this thread's loop, which may be gone by then (at exit).
TEST(EngineRelease, ASendChannelWithFramesInFlightIsGoneWhenTheEngineLetsItGo) {
  for (const bool whole_engine : {false, true}) {
    SCOPED_TRACE(whole_engine ? "DestroyVseEngine" : "DestroyVideoSourceChannel");
    auto* allocator = new CVzVideoSampleAllocator(64, 0, 0);
    allocator->AddRef();
    std::promise<void> open;
    auto* held = new vz_test::GateSample;  // holds the data thread
    held->AddRef();
    held->opened = open.get_future().share();
    auto* waiting = new vz_test::GateSample;  // waits behind it
    waiting->AddRef();
    waiting->opened = held->opened;
    const int objects = CEngineObject::LiveCountForTesting();
    const int timers = CVzTimer::LiveCountForTesting();
    const int threads = VZSE_::BaseThread::RunningCountForTesting();
    IVseEngine* engine = nullptr;
    ASSERT_EQ(CreateVseEngine(&engine), VSE_S_OK);
    Transport transport;
    engine->SetTransportSink(&transport);
    // What stays of the engine itself when only the channel goes.
    const int engine_objects = whole_engine ? 0 : CEngineObject::LiveCountForTesting() - objects;
    const int engine_timers = whole_engine ? 0 : CVzTimer::LiveCountForTesting() - timers;

    CVzVideoSourceChannel* channel = nullptr;
    ASSERT_EQ(engine->CreateVideoSourceChannel(5, 1, &transport, allocator, &channel), VSE_S_OK);
    ASSERT_EQ(channel->DeliverSample(held), VSE_S_OK);
    ASSERT_EQ(held->entered.get_future().wait_for(std::chrono::seconds(60)), std::future_status::ready);
    ASSERT_EQ(channel->DeliverSample(waiting), VSE_S_OK);
    channel->Release();  // the engine's reference and the two frames' are left

    // The held frame goes on once the channel's timer is gone (as the
    // channel stops), or once the call returned without stopping it.
    std::atomic<bool> returned{false};
    std::thread opener([&] {
      while (CVzTimer::LiveCountForTesting() > timers + engine_timers && !returned.load()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      }
      open.set_value();
    });
    if (whole_engine) {
      EXPECT_EQ(DestroyVseEngine(engine), VSE_S_OK);
    } else {
      EXPECT_EQ(engine->DestroyVideoSourceChannel(5), VSE_S_OK);
    }
    const int objects_left = CEngineObject::LiveCountForTesting() - objects;
    const int timers_left = CVzTimer::LiveCountForTesting() - timers;
    const int threads_left = VZSE_::BaseThread::RunningCountForTesting() - threads;
    const bool tick_left = VZSE_::MultimediaTickThreadRunning();
    returned = true;
    opener.join();
    EXPECT_EQ(objects_left, engine_objects);
    EXPECT_EQ(timers_left, engine_timers);
    EXPECT_EQ(threads_left, 0);
    EXPECT_FALSE(tick_left);
    EXPECT_EQ(waiting->GetRefCount(), 1);  // dropped, not kept

    // Whatever was left ends before the next round.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (VZSE_::BaseThread::RunningCountForTesting() > threads && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    if (!whole_engine) {
      EXPECT_EQ(DestroyVseEngine(engine), VSE_S_OK);
    }
    held->Release();
    waiting->Release();
    allocator->Release();
  }
}

TEST(EngineFactory, NullArgumentsAndTheVersion) {
  EXPECT_EQ(CreateVseEngine(nullptr), VSE_E_INVALIDARG);
  EXPECT_EQ(DestroyVseEngine(nullptr), VSE_E_INVALIDARG);
  IVseEngine* engine = nullptr;
  ASSERT_EQ(CreateVseEngine(&engine), VSE_S_OK);
  char* version = engine->GetVersion();
  EXPECT_STREQ(version, "2.0");
  delete[] version;
  EXPECT_EQ(engine->SetTransportSink(nullptr), VSE_E_INVALIDARG);
  void* same = nullptr;
  EXPECT_EQ(engine->QueryInterface(&IID_IVseEngine, &same), VSE_S_OK);
  EXPECT_EQ(same, engine);
  engine->Release();
  // Without a transport the RTCP it would send is refused, not lost silently.
  EXPECT_EQ(engine->InputRtcpPacket(reinterpret_cast<const uint8_t*>("\x81"), 1, 0), VSE_S_OK);
  EXPECT_EQ(DestroyVseEngine(engine), VSE_S_OK);
}

}  // namespace
