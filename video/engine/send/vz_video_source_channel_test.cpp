#include "video/engine/send/vz_video_source_channel.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <future>
#include <map>
#include <thread>
#include <memory>
#include <vector>

#include "contracts/vzh264_codec.h"
#include "platform/big_endian.h"
#include "platform/module_loader.h"
#include "video/engine/core/engine_clock.h"
#include "video/engine/core/engine_test_objects_testlib.h"
#include "video/engine/core/vz_video_sample_allocator.h"
#include "video/engine/rtp/rtp_packet.h"
#include "video/engine/rtp/rtp_session_svc.h"
#include "video/engine/send/encode_param_generator.h"

namespace {

constexpr int kW = 640, kH = 360;

struct Transport final : IVideoPacketTransport {
  int32_t SendRtpPacket(int32_t kind, const uint8_t* data, int32_t length) override {
    packets.emplace_back(data, data + length);
    kinds.push_back(kind);
    return 0;
  }
  int32_t SendRtcpPacket(const uint8_t*, int32_t, int32_t) override { return 0; }
  std::vector<std::vector<uint8_t>> packets;
  std::vector<int32_t> kinds;
};

struct Sink final : IVideoSourceChannelSink {
  int32_t OnKeyFrameRequested(uint32_t) override { return 0; }
  int32_t OnSourceParameterChanged(uint32_t, int32_t kind, int32_t) override {
    kinds.push_back(kind);
    return 0;
  }
  int32_t OnSendRate(int32_t kbps) override {
    rates.push_back(kbps);
    return 0;
  }
  int32_t OnNotifySourceBitrateInfo(int32_t minimum, int32_t maximum) override {
    bitrate_info.push_back({minimum, maximum});
    return 0;
  }
  std::vector<int32_t> kinds, rates;
  std::vector<std::pair<int32_t, int32_t>> bitrate_info;
};

// The receiving side: NAL units rebuilt per frame (RTP time stamp).
struct Receiver final : IRtpSessionSink {
  void OnNalUnit(std::unique_ptr<CVseRtpPacket> packet) override {
    std::vector<uint8_t>& au = frames[packet->timestamp()];
    au.insert(au.end(), packet->Payload(), packet->Payload() + packet->PayloadLength());
  }
  std::map<uint32_t, std::vector<uint8_t>> frames;
};

std::vector<uint8_t> MovingPicture(int frame) {
  std::vector<uint8_t> yuv(static_cast<size_t>(kW) * kH * 3 / 2);
  for (int y = 0; y < kH; ++y) {
    for (int x = 0; x < kW; ++x) {
      int v = (x + 4 * frame) * 190 / kW + y * 40 / kH;
      const int sx = (frame * 3) % (kW - 80);
      if (x >= sx && x < sx + 80 && y >= 100 && y < 180) v = 230;
      yuv[static_cast<size_t>(y) * kW + x] = static_cast<uint8_t>(16 + v % 220);
    }
  }
  for (size_t i = static_cast<size_t>(kW) * kH; i < yuv.size(); ++i) yuv[i] = static_cast<uint8_t>(110 + i % 30);
  return yuv;
}

double LumaPsnr(const uint8_t* a, const uint8_t* b, int stride) {
  double sq = 0;
  for (int y = 0; y < kH; ++y) {
    for (int x = 0; x < kW; ++x) {
      const double d = double(a[y * kW + x]) - double(b[y * stride + x]);
      sq += d * d;
    }
  }
  const double mse = sq / (double(kW) * kH);
  return mse == 0 ? 99 : 10 * std::log10(255.0 * 255.0 / mse);
}

EncodeParams Level(int index) {
  std::unique_ptr<CVseBaseEncodeParamGenerator> g(CVseEncodeParamFactory::Create(1));
  EncodeParams p;
  g->GetLevel(index, &p.level);
  return p;
}

class SourceChannelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    VZSE_::SetEngineClockForTest(&clock_);
    channel_ = new CVzVideoSourceChannel(0x5151);
    channel_->AddRef();
    ASSERT_EQ(channel_->Initialize(1, false, false), VSE_S_OK);
    channel_->SetPacketTransport(&transport_);
    channel_->SetSink(&sink_);
    NetworkOption option;
    option.default_bw = 20000000;
    option.min_bw = 32000;
    option.max_bw = 20000000;
    ASSERT_EQ(channel_->SetNetworkOption(&option), VSE_S_OK);
    OutputRecord output{kW, kH, 30.0f, 0};
    ASSERT_EQ(channel_->ConfigureOutputs(1, &output), 0);
  }
  void TearDown() override {
    channel_->Release();
    VZSE_::SetEngineClockForTest(nullptr);
  }
  // A frame every 34 ms, the pacer ticking in between.
  VseResult Frame(int index) {
    const std::vector<uint8_t> yuv = MovingPicture(index);
    VideoFormat f{2, kW, kH, 30.0f, 0};
    const VseResult r = channel_->InputFrame(&f, yuv.data(), static_cast<int32_t>(yuv.size()));
    for (int k = 0; k < 4; ++k) {
      clock_.AdvanceUs(8500);
      channel_->PumpSendController();
    }
    return r;
  }

  VZSE_::FakeEngineClock clock_;
  CVzVideoSourceChannel* channel_ = nullptr;
  Transport transport_;
  Sink sink_;
};

TEST_F(SourceChannelTest, ThreeHundredFramesDecodeBackAboveThirtyDecibels) {
  const EncodeParams params = Level(19);  // 160/320/640 at up to 30 fps
  ASSERT_EQ(channel_->SetEncodeParam(&params), VSE_S_OK);
  ASSERT_EQ(channel_->StartSend(), VSE_S_OK);
  std::vector<uint32_t> stamps;
  for (int i = 0; i < 300; ++i) {
    if (i == 150) {
      ASSERT_EQ(channel_->RequestKeyFrame(), VSE_S_OK);
    }
    ASSERT_EQ(Frame(i), VSE_S_OK) << i;
    stamps.push_back(channel_->last_time_stamp());
  }
  for (int k = 0; k < 20; ++k) {
    clock_.AdvanceMs(10);
    channel_->PumpSendController();
  }
  for (size_t i = 1; i < stamps.size(); ++i) ASSERT_GT(stamps[i], stamps[i - 1]) << "frame " << i;

  // Every packet arrives; the receive session rebuilds the NAL units.
  Receiver receiver;
  CMMRTPSession4SVC session(&receiver, 0x5151);
  uint32_t arrival = 0;
  int media = 0, parameter_sets = 0;
  for (size_t i = 0; i < transport_.packets.size(); ++i) {
    const auto& p = transport_.packets[i];
    session.Input(p.data(), static_cast<int>(p.size()), arrival += 1);
    if (transport_.kinds[i] == IVideoPacketTransport::kMediaPacket) ++media;
    if (transport_.kinds[i] == IVideoPacketTransport::kParameterSetPacket) ++parameter_sets;
  }
  for (uint32_t ts : stamps) session.FlushFrameForTesting(ts * 90);
  EXPECT_GT(media, 300);
  EXPECT_GE(parameter_sets, 2);  // at the start and at the requested key frame

  vz::ModuleHandle module = vz::LoadModule(vzh264::kLibraryName).module;
  ASSERT_NE(module, nullptr);
  auto create = reinterpret_cast<vzh264::CreateDecoderFn>(vz::GetModuleSymbol(module, vzh264::kCreateDecoderName));
  auto destroy = reinterpret_cast<vzh264::DestroyDecoderFn>(vz::GetModuleSymbol(module, vzh264::kDestroyDecoderName));
  vzh264::IH264Decoder* decoder = nullptr;
  ASSERT_EQ(create(&decoder), 0);
  vzh264::DecoderParam dp;
  ASSERT_EQ(decoder->Initialize(&dp, nullptr), 0);
  int decoded = 0;
  std::vector<int> idr_frames;
  for (int i = 0; i < 300; ++i) {
    auto it = receiver.frames.find(stamps[static_cast<size_t>(i)] * 90);
    ASSERT_NE(it, receiver.frames.end()) << "frame " << i;
    const std::vector<uint8_t>& au = it->second;
    for (size_t k = 0; k + 4 < au.size(); ++k) {
      if (au[k] == 0 && au[k + 1] == 0 && au[k + 2] == 0 && au[k + 3] == 1 && (au[k + 4] & 0x1F) == 5) {
        idr_frames.push_back(i);
        break;
      }
    }
    uint8_t* planes[3];
    vzh264::DecodeBufferInfo info;
    ASSERT_EQ(decoder->DecodeFrame(au.data(), static_cast<int32_t>(au.size()), planes, &info), 0) << i;
    ASSERT_EQ(decoder->DecodeFrame(nullptr, 0, planes, &info), 0) << i;
    ASSERT_EQ(info.picture_ready, 1) << i;
    ASSERT_EQ(info.width, kW) << i;
    const std::vector<uint8_t> source = MovingPicture(i);
    EXPECT_GT(LumaPsnr(source.data(), planes[0], info.strides[0]), 30.0) << "frame " << i;
    ++decoded;
  }
  destroy(decoder);
  vz::FreeModule(module);
  EXPECT_EQ(decoded, 300);
  EXPECT_EQ(idr_frames, std::vector<int>({0, 150}));
  EXPECT_FALSE(sink_.rates.empty());
}

TEST_F(SourceChannelTest, FramesAtTheSameMomentGetIncreasingTimeStamps) {
  const EncodeParams params = Level(5);
  channel_->SetEncodeParam(&params);
  channel_->StartSend();
  const std::vector<uint8_t> yuv = MovingPicture(0);
  VideoFormat f{2, kW, kH, 30.0f, 0};
  ASSERT_EQ(channel_->InputFrame(&f, yuv.data(), static_cast<int32_t>(yuv.size())), VSE_S_OK);
  const uint32_t first = channel_->last_time_stamp();
  ASSERT_EQ(channel_->InputFrame(&f, yuv.data(), static_cast<int32_t>(yuv.size())), VSE_S_OK);
  EXPECT_EQ(channel_->last_time_stamp(), first + 1);
  EXPECT_EQ(channel_->InputFrame(&f, nullptr, 5), VSE_E_POINTER);
  EXPECT_EQ(channel_->InputFrame(&f, yuv.data(), 0), VSE_E_INVALIDARG);
  channel_->StopSend();
  EXPECT_EQ(channel_->InputFrame(&f, yuv.data(), static_cast<int32_t>(yuv.size())), VSE_S_OK);
  EXPECT_EQ(channel_->last_time_stamp(), first + 1);  // stopped: nothing encoded
}

struct ReportOwner final : ISourceChannelOwner {
  VseResult SendPeriodicReport(uint32_t now_ms, uint32_t ssrc) override {
    calls.push_back({now_ms, ssrc});
    return VSE_S_OK;
  }
  std::vector<std::pair<uint32_t, uint32_t>> calls;
};

// Each frame taken for encoding offers the engine its periodic RTCP report
// with the frame's time and the channel's SSRC; the engine decides whether
// one is due. Stopped frames and a cleared owner offer nothing.
TEST_F(SourceChannelTest, EveryEncodedFrameOffersTheEnginesPeriodicReport) {
  ReportOwner owner;
  channel_->SetOwner(&owner);
  const EncodeParams params = Level(5);
  channel_->SetEncodeParam(&params);
  channel_->StartSend();
  const uint32_t start = VZSE_::NowMs();
  ASSERT_EQ(Frame(0), VSE_S_OK);
  ASSERT_EQ(Frame(1), VSE_S_OK);
  ASSERT_EQ(owner.calls.size(), 2u);
  EXPECT_EQ(owner.calls[0], std::make_pair(start, 0x5151u));
  EXPECT_EQ(owner.calls[1], std::make_pair(start + 34, 0x5151u));
  channel_->SetSourceId(0x6161);
  ASSERT_EQ(Frame(2), VSE_S_OK);
  ASSERT_EQ(owner.calls.size(), 3u);
  EXPECT_EQ(owner.calls[2].second, 0x6161u);
  channel_->StopSend();
  ASSERT_EQ(Frame(3), VSE_S_OK);
  channel_->StartSend();
  channel_->SetOwner(nullptr);
  ASSERT_EQ(Frame(4), VSE_S_OK);
  EXPECT_EQ(owner.calls.size(), 3u);
}

TEST_F(SourceChannelTest, FecFollowsLossAndGoesOffAfterTheLossFreeRun) {
  UplinkStat stat;
  stat.bandwidth = 20000000;
  // The zero-loss run starts full: no FEC until a loss is seen.
  channel_->UpdateUpLinkNetStat(&stat);
  EXPECT_EQ(channel_->fec_level(), -1);
  stat.loss_rate = 200;  // per mille: class 5 after smoothing
  channel_->UpdateUpLinkNetStat(&stat);
  const int with_loss = channel_->fec_level();
  EXPECT_GT(with_loss, 0);
  stat.loss_rate = 0;
  int previous = with_loss;
  int updates = 0;
  while (channel_->fec_level() >= 0 && updates < 200) {
    channel_->UpdateUpLinkNetStat(&stat);
    EXPECT_GE(channel_->fec_level(), previous - 1) << "never more than one down per update";
    previous = channel_->fec_level();
    ++updates;
  }
  EXPECT_EQ(channel_->fec_level(), -1);
  EXPECT_GT(updates, 60);
  // One loss brings it back at once.
  stat.loss_rate = 200;
  channel_->UpdateUpLinkNetStat(&stat);
  EXPECT_GT(channel_->fec_level(), 0);
  // A TCP link never uses FEC.
  NetworkOption tcp;
  tcp.default_bw = 1000000;
  tcp.link_type = 1;
  channel_->SetNetworkOption(&tcp);
  channel_->UpdateUpLinkNetStat(&stat);
  EXPECT_EQ(channel_->fec_level(), -1);
  // Switched off likewise.
  NetworkOption udp = tcp;
  udp.link_type = 2;
  channel_->SetNetworkOption(&udp);
  channel_->SetFecSwitch(false);
  channel_->UpdateUpLinkNetStat(&stat);
  EXPECT_EQ(channel_->fec_level(), -1);
}

TEST_F(SourceChannelTest, EncodeControllerLevelsReachTheEncoder) {
  IVideoEncodeController* controller = CreateEncodeController();
  UplinkStat up;
  up.bandwidth = 3000000;
  controller->UpdateUpLinkStat(&up, 0);
  ASSERT_EQ(channel_->SetEncodeController(controller), VSE_S_OK);
  channel_->StartSend();
  for (int i = 0; i < 10; ++i) ASSERT_EQ(Frame(i), VSE_S_OK) << i;
  ASSERT_FALSE(sink_.kinds.empty());
  EXPECT_EQ(sink_.kinds[0], CVzVideoSourceChannel::kKindParametersChanged);
  int32_t status = -1;
  ASSERT_EQ(channel_->GetStatus(&status, true), VSE_S_OK);
  EXPECT_EQ(status, 1);  // below the top level
  EXPECT_FALSE(transport_.packets.empty());
  controller->Release();
}

// Pictures (by RTP time stamp) that went out as key frames: parameter sets
// go out with every key frame.
std::vector<uint32_t> KeyFrameStamps(const Transport& transport) {
  std::vector<uint32_t> key_frames;
  for (size_t i = 0; i < transport.packets.size(); ++i) {
    if (transport.kinds[i] != IVideoPacketTransport::kParameterSetPacket) continue;
    const std::vector<uint8_t>& p = transport.packets[i];
    EXPECT_GE(p.size(), 12u) << "packet " << i;
    if (p.size() < 12) continue;
    const uint32_t stamp = vz::Load32(&p[4]);
    if (key_frames.empty() || key_frames.back() != stamp) key_frames.push_back(stamp);
  }
  return key_frames;
}

// A member asking for key frames three times a frame made its sender send
// one every 500 ms to every receiver, about twice a small stream's rate.
// For ten seconds of such requests the sender makes the start's, the
// budget's burst and then one each refill; after a quiet time a single request (a
// lost picture) is answered at the next picture again.
TEST_F(SourceChannelTest, KeyFrameRequestsAreServedFromABudgetAndALossAfterAQuietTimeAtOnce) {
  constexpr uint32_t kRtpMs = 90;  // RTP time stamp units a millisecond
  const EncodeParams params = Level(19);
  ASSERT_EQ(channel_->SetEncodeParam(&params), VSE_S_OK);
  ASSERT_EQ(channel_->StartSend(), VSE_S_OK);
  int frame = 0;
  for (; frame < 296; ++frame) {  // 10 s at 34 ms a frame
    for (int k = 0; k < 3; ++k) channel_->RequestKeyFrame();  // no encoder before the first frame
    ASSERT_EQ(Frame(frame), VSE_S_OK) << frame;
  }
  std::vector<uint32_t> key_frames = KeyFrameStamps(transport_);
  // The start, the burst, then one each refill of the rest.
  constexpr uint32_t kStormMs = 296 * 34;
  EXPECT_GE(key_frames.size(), 1u + kRequestedKeyFrameBurst + kStormMs / kRequestedKeyFrameRefillMs - 2);
  EXPECT_LE(key_frames.size(), 1u + kRequestedKeyFrameBurst + kStormMs / kRequestedKeyFrameRefillMs);
  for (size_t i = 2; i < key_frames.size(); ++i) {
    EXPECT_GE(key_frames[i] - key_frames[i - 1], kRtpMs * kRequestedKeyFrameGapMs) << i;
  }
  const size_t stormed = key_frames.size();
  // Five seconds without requests (the last ones, waiting, are served in them).
  for (; frame < 296 + 148; ++frame) ASSERT_EQ(Frame(frame), VSE_S_OK) << frame;
  key_frames = KeyFrameStamps(transport_);
  ASSERT_GE(key_frames.size(), stormed);
  const size_t quiet = key_frames.size();
  const size_t packets_before = transport_.packets.size();
  channel_->RequestKeyFrame();
  ASSERT_EQ(Frame(frame), VSE_S_OK);
  key_frames = KeyFrameStamps(transport_);
  ASSERT_EQ(key_frames.size(), quiet + 1) << "a request after a quiet time waits";
  EXPECT_GT(transport_.packets.size(), packets_before);
}

using vz_test::GateSample;

// The channel's last reference goes inside its own frame task, on its data
// thread: the channel is destroyed there and the thread ends by itself
// (before the mend the thread joined itself, failed, and read freed memory).
TEST(SourceChannelThread, TheLastReferenceDroppedInsideAFrameTaskEndsTheThreadCleanly) {
  for (int round = 0; round < 3; ++round) {
    SCOPED_TRACE(testing::Message() << "round " << round);
    IVideoEncodeController* controller = CreateEncodeController();
    ASSERT_EQ(controller->GetRefCount(), 1);
    auto* channel = new CVzVideoSourceChannel(9);
    channel->AddRef();
    ASSERT_EQ(channel->Initialize(1, true, false), VSE_S_OK);
    ASSERT_EQ(channel->SetEncodeController(controller), VSE_S_OK);
    std::promise<void> open;
    auto* sample = new GateSample;
    sample->AddRef();
    sample->opened = open.get_future().share();
    std::future<void> entered = sample->entered.get_future();
    ASSERT_EQ(channel->DeliverSample(sample), VSE_S_OK);
    ASSERT_EQ(entered.wait_for(std::chrono::seconds(60)), std::future_status::ready);
    channel->Release();  // the frame task now holds the last reference
    open.set_value();
    // The controller's reference goes with the channel, on the data thread.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (controller->GetRefCount() > 1 && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_EQ(controller->GetRefCount(), 1);
    EXPECT_EQ(sample->GetRefCount(), 1);
    sample->Release();
    controller->Release();
  }
}

TEST(SourceChannelThread, OnlyTheNewestWaitingSampleIsEncodedAndEverySampleIsReleased) {
  VZSE_::FakeEngineClock clock;
  VZSE_::SetEngineClockForTest(&clock);
  auto* allocator = new CVzVideoSampleAllocator(64, 0, 0);
  allocator->AddRef();
  auto* channel = new CVzVideoSourceChannel(7);
  channel->AddRef();
  ASSERT_EQ(channel->Initialize(1, true, false), VSE_S_OK);
  Transport transport;
  channel->SetPacketTransport(&transport);
  const EncodeParams params = Level(5);
  channel->SetEncodeParam(&params);
  channel->StartSend();
  std::vector<IVideoSample*> samples;
  for (int i = 0; i < 20; ++i) {
    IVideoSample* s = nullptr;
    ASSERT_EQ(allocator->GetSample(kW * kH * 3 / 2, &s), VSE_S_OK) << "sample " << i;
    const std::vector<uint8_t> yuv = MovingPicture(i);
    void* p = nullptr;
    s->GetPointer(&p);
    std::copy(yuv.begin(), yuv.end(), static_cast<uint8_t*>(p));
    VideoFormat f{2, kW, kH, 30.0f, 0};
    s->SetFormat(&f);
    ASSERT_EQ(channel->DeliverSample(s), VSE_S_OK) << "sample " << i;
    samples.push_back(s);
    clock.AdvanceMs(34);
  }
  channel->Uninitialize();  // drains and joins the data thread
  for (size_t i = 0; i < samples.size(); ++i) {
    EXPECT_EQ(samples[i]->GetRefCount(), 1) << "sample " << i;  // the channel kept none
    samples[i]->Release();
  }
  channel->Release();
  allocator->Release();
  VZSE_::SetEngineClockForTest(nullptr);
}

}  // namespace

namespace {

struct KeySink final : IVideoSourceChannelSink {
  int32_t OnKeyFrameRequested(uint32_t ssrc) override {
    key_requests.push_back(ssrc);
    return 0;
  }
  int32_t OnSourceParameterChanged(uint32_t, int32_t kind, int32_t value) override {
    changes.push_back({kind, value});
    return 0;
  }
  int32_t OnSendRate(int32_t) override { return 0; }
  int32_t OnNotifySourceBitrateInfo(int32_t, int32_t) override { return 0; }
  int Count(int32_t kind) const {
    int n = 0;
    for (const auto& c : changes) n += c.first == kind ? 1 : 0;
    return n;
  }
  std::vector<uint32_t> key_requests;
  std::vector<std::pair<int32_t, int32_t>> changes;
};

TEST_F(SourceChannelTest, TimerRoundsReportChangedValuesAndKeyFrameRequests) {
  KeySink sink;
  channel_->SetSink(&sink);
  const EncodeParams params = Level(19);
  channel_->SetEncodeParam(&params);
  channel_->StartSend();
  for (int i = 0; i < 60; ++i) {
    ASSERT_EQ(Frame(i), VSE_S_OK) << i;
    if (i % 3 == 0) channel_->RunTimerRound();
  }
  EXPECT_GE(sink.Count(CVzVideoSourceChannel::kKindSendRate), 1);
  EXPECT_EQ(sink.Count(CVzVideoSourceChannel::kKindBandwidth), 1);  // reported once: unchanged since
  ASSERT_EQ(sink.Count(CVzVideoSourceChannel::kKindLayerSize), 1);
  for (const auto& c : sink.changes) {
    if (c.first == CVzVideoSourceChannel::kKindLayerSize) {
      EXPECT_EQ(c.second, (640 << 16) | 360);
    }
    if (c.first == CVzVideoSourceChannel::kKindSendRate) {
      EXPECT_GT(c.second, 0) << "a send rate change";
    }
  }
  EXPECT_TRUE(sink.key_requests.empty());
  channel_->NoteKeyFrameRequested();
  channel_->RunTimerRound();
  channel_->RunTimerRound();
  EXPECT_EQ(sink.key_requests, std::vector<uint32_t>({0x5151u}));
  // Stopped, the layer is not reported; sending again, it is reported anew
  // although it has not changed.
  channel_->StopSend();
  channel_->RunTimerRound();
  EXPECT_EQ(sink.Count(CVzVideoSourceChannel::kKindLayerSize), 1);
  channel_->StartSend();
  channel_->RunTimerRound();
  EXPECT_EQ(sink.Count(CVzVideoSourceChannel::kKindLayerSize), 2);
}

}  // namespace
