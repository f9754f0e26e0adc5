#include "video/engine/receive/vz_video_listen_channel.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/big_endian.h"
#include "video/engine/core/engine_clock.h"
#include "video/engine/core/va_image_content.h"
#include "video/engine/core/vz_video_sample_allocator.h"
#include "video/engine/receive/nal_temporal_id.h"

namespace {

constexpr uint32_t kSsrc = 0x11223344;

// Records each access unit and answers with a small picture carrying the
// frame's key as its time stamp.
struct FakeDecoder final : IVideoDecoder {
  explicit FakeDecoder(IVideoDecoderSink* s, IVideoSampleAllocator* a) : sink(s), allocator(a) {}
  VseResult Init(int32_t type, int32_t) override {
    ++inits;
    init_type = type;
    loss_recovery = 0;
    return fail_init ? VSE_E_FAIL : VSE_S_OK;
  }
  VseResult Uninit() override { return VSE_S_OK; }
  VseResult SetOption(int32_t id, void* value) override {
    options.push_back({id, *static_cast<int32_t*>(value)});
    return VSE_S_OK;
  }
  VseResult GetOption(int32_t id, void* value) override {
    if (id == IVideoDecoder::kOptionOutputFormat) *static_cast<uint32_t*>(value) = 0x30323449;
    return VSE_S_OK;
  }
  VseResult DecodeFrame(uint32_t ts, const uint8_t* data, int32_t length) override {
    decoded.push_back({ts, std::vector<uint8_t>(data, data + length)});
    ++decode_count;
    IVideoSample* sample = nullptr;
    if (allocator->GetSample(64, &sample) != VSE_S_OK) return VSE_E_OUTOFMEMORY;
    sink->OnDecoded(0, ts, width, 48, sample);
    sample->Release();
    return VSE_S_OK;
  }
  VseResult SetLossRecovery(int32_t on) override {
    loss_recovery = on;
    return VSE_S_OK;
  }
  IVideoDecoderSink* sink;
  int inits = 0, init_type = 0, loss_recovery = 0;
  std::vector<std::pair<int32_t, int32_t>> options;
  IVideoSampleAllocator* allocator;
  std::vector<std::pair<uint32_t, std::vector<uint8_t>>> decoded;
  int32_t width = 64;
  std::atomic<int> decode_count{0};
  static inline bool fail_init = false;
};

FakeDecoder* g_decoder = nullptr;
IVideoDecoderSink* g_sink = nullptr;

std::unique_ptr<IVideoDecoder> MakeFake(IVideoDecoderSink* sink, IVideoSampleAllocator* allocator) {
  g_sink = sink;
  auto decoder = std::make_unique<FakeDecoder>(sink, allocator);
  g_decoder = decoder.get();
  return decoder;
}

std::unique_ptr<IVideoDecoder> MakeNone(IVideoDecoderSink*, IVideoSampleAllocator*) { return nullptr; }

struct Owner final : IListenChannelOwner {
  VseResult RequestKeyFrame(uint32_t ssrc) override {
    key_frames.push_back(ssrc);
    return VSE_S_OK;
  }
  VseResult RequestRefresh(uint32_t, const vz::rtcp::Feedback16* value) override {
    last_refresh_word = value->words[3];
    ++refreshes;
    return VSE_S_OK;
  }
  VseResult ReportDecoderEvent(uint32_t, const vz::rtcp::Feedback12*) override {
    ++events;
    return VSE_S_OK;
  }
  std::vector<uint32_t> key_frames;
  int refreshes = 0, events = 0;
  uint32_t last_refresh_word = 0;
};

struct EventSink final : IVideoListenChannelSink {
  int32_t OnKeyFrameLost(uint32_t) override {
    ++key_lost;
    return 0;
  }
  int32_t OnRenderBlocked(uint32_t, int32_t blocked) override {
    blocks.push_back(blocked);
    return 0;
  }
  int32_t OnListenParameterChanged(uint32_t, int32_t kind, int32_t value) override {
    params.push_back({kind, value});
    return 0;
  }
  int key_lost = 0;
  std::vector<int32_t> blocks;
  std::vector<std::pair<int32_t, int32_t>> params;
};

// One single-NAL RTP packet: header, then a NAL unit whose header byte is
// `nal` followed by `body`.
std::vector<uint8_t> Packet(uint16_t seq, uint32_t ts90, uint8_t nal, const std::string& body,
                            uint32_t ssrc = kSsrc) {
  std::vector<uint8_t> p(13 + body.size());
  p[0] = 0x80;
  p[1] = 98;
  vz::Store16(&p[2], seq);
  vz::Store32(&p[4], ts90);
  vz::Store32(&p[8], ssrc);
  p[12] = nal;
  if (!body.empty()) std::memcpy(p.data() + 13, body.data(), body.size());
  return p;
}

const std::string kStart("\0\0\0\1", 4);

class ListenChannelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    VZSE_::SetEngineClockForTest(&clock_);
    previous_ = SetListenDecoderMaker(&MakeFake);
    allocator_ = new CVzVideoSampleAllocator(64, 0, 0);
    allocator_->AddRef();
  }
  void TearDown() override {
    if (channel_) channel_->Release();
    allocator_->Release();
    SetListenDecoderMaker(previous_);
    VZSE_::SetEngineClockForTest(nullptr);
    g_decoder = nullptr;
  }
  void Open(int32_t lctm) {
    channel_ = new CVzVideoListenChannel(&owner_, kSsrc, nullptr, allocator_);
    channel_->AddRef();
    ASSERT_EQ(channel_->Initialize(7, 1, lctm, false), VSE_S_OK);
    channel_->SetEventSink(&events_);
  }
  VseResult Send(const std::vector<uint8_t>& p) {
    return channel_->InputPacket(p.data(), static_cast<int32_t>(p.size()), VZSE_::NowMs(), 0);
  }
  std::string Decoded(size_t i) {
    const auto& d = g_decoder->decoded[i].second;
    return std::string(d.begin(), d.end());
  }

  VZSE_::FakeEngineClock clock_;
  ListenDecoderMaker previous_ = nullptr;
  CVzVideoSampleAllocator* allocator_ = nullptr;
  CVzVideoListenChannel* channel_ = nullptr;
  Owner owner_;
  EventSink events_;
};

TEST_F(ListenChannelTest, WholeFramesReachTheDecoderOnceInOrderAcrossTheSequenceWrap) {
  Open(0);
  // Five frames of three NAL units; sequence numbers run 65530 .. 65535, 0 ..
  // 8, and inside each frame the units arrive last first.
  uint16_t seq = 65530;
  for (uint32_t f = 0; f < 5; ++f) {
    const uint32_t ts = 90000 + f * 3000;
    const uint16_t first = seq;
    for (int k = 2; k >= 0; --k) {
      const std::string body = "f" + std::to_string(f) + "n" + std::to_string(k);
      ASSERT_EQ(Send(Packet(static_cast<uint16_t>(first + k), ts, 0x61, body)), VSE_S_OK) << body;
    }
    seq = static_cast<uint16_t>(seq + 3);
    clock_.AdvanceMs(33);
  }
  // The last frame waits for its successor or for a second of its own.
  ASSERT_EQ(g_decoder->decoded.size(), 4u);
  clock_.AdvanceMs(1000 - 33);
  channel_->RunDataTimer();
  EXPECT_EQ(g_decoder->decoded.size(), 4u) << "not before a full second";
  clock_.AdvanceMs(34);
  channel_->RunDataTimer();
  ASSERT_EQ(g_decoder->decoded.size(), 5u);
  for (uint32_t f = 0; f < 5; ++f) {
    EXPECT_EQ(g_decoder->decoded[f].first, (90000 + f * 3000) / 90) << "frame " << f;
    const std::string p = "\x61" "f" + std::to_string(f);
    EXPECT_EQ(Decoded(f), kStart + p + "n0" + kStart + p + "n1" + kStart + p + "n2") << "frame " << f;
  }
  // A late copy of a decoded frame's unit does not make a fragment frame.
  Send(Packet(65531, 90000 + 4 * 3000, 0x61, "late"));
  clock_.AdvanceMs(2000);
  channel_->RunDataTimer();
  EXPECT_EQ(g_decoder->decoded.size(), 5u);
  EXPECT_EQ(channel_->GetLastRenderedTimestamp(), (90000 + 4 * 3000) / 90);
}

TEST_F(ListenChannelTest, ASteadyStreamReusesItsPayloadBlocks) {
  Open(0);
  // Thirty frames of three units: at most one frame and the first unit of
  // the next are held at a time, so a handful of blocks serve them all.
  uint16_t seq = 100;
  for (uint32_t f = 0; f < 30; ++f) {
    for (int k = 0; k < 3; ++k) {
      ASSERT_EQ(Send(Packet(seq++, 90000 + f * 3000, 0x61, "frame " + std::to_string(f) + " unit " +
                                                               std::string(static_cast<size_t>(k + 1) * 300, 'x'))),
                VSE_S_OK)
          << "frame " << f << " unit " << k;
    }
    clock_.AdvanceMs(33);
  }
  clock_.AdvanceMs(1000);
  channel_->RunDataTimer();
  ASSERT_EQ(g_decoder->decoded.size(), 30u);
  std::string last;
  for (int k = 0; k < 3; ++k) last += kStart + "\x61" "frame 29 unit " + std::string(static_cast<size_t>(k + 1) * 300, 'x');
  EXPECT_EQ(Decoded(29), last);
  // Every block is back in the pool, and there are few of them.
  EXPECT_GE(channel_->free_payload_blocks_for_testing(), 3);
  EXPECT_LE(channel_->free_payload_blocks_for_testing(), 6);
}

TEST_F(ListenChannelTest, AFrameAfterAPauseWaitsForItsOwnUnits) {
  Open(0);
  Send(Packet(10, 9000, 0x65, "a"));
  clock_.AdvanceMs(1500);
  channel_->RunDataTimer();
  ASSERT_EQ(g_decoder->decoded.size(), 1u);
  // Three seconds of silence, then a frame in three packets 5 ms apart.
  clock_.AdvanceMs(3000);
  for (uint16_t k = 0; k < 3; ++k) {
    Send(Packet(static_cast<uint16_t>(11 + k), 9000 + 400000, 0x61, "b" + std::to_string(k)));
    clock_.AdvanceMs(5);
  }
  EXPECT_EQ(g_decoder->decoded.size(), 1u) << "the new frame's first unit was not decoded alone";
  Send(Packet(14, 9000 + 403000, 0x61, "c"));
  ASSERT_EQ(g_decoder->decoded.size(), 2u);
  EXPECT_EQ(Decoded(1), kStart + "\x61" "b0" + kStart + "\x61" "b1" + kStart + "\x61" "b2");
}

// A sender plays a stream, then the same stream with a wrong RTP version for
// six seconds, then the same stream again (the same sequence numbers): the
// second playing makes pictures again.
TEST_F(ListenChannelTest, AStreamPlayedAgainAfterMalformedPacketsMakesPictures) {
  Open(0);
  auto play = [this](uint8_t first_byte) {
    for (uint16_t f = 0; f < 5; ++f) {
      std::vector<uint8_t> p = Packet(static_cast<uint16_t>(500 + f), 90000 + f * 3000u, 0x61, "f" + std::to_string(f));
      p[0] = first_byte;
      Send(p);
      clock_.AdvanceMs(33);
    }
  };
  play(0x80);
  clock_.AdvanceMs(1001);
  channel_->RunDataTimer();
  ASSERT_EQ(g_decoder->decoded.size(), 5u);
  for (int round = 0; round < 6000 / (5 * 33); ++round) play(0x40);
  EXPECT_EQ(g_decoder->decoded.size(), 5u);
  play(0x80);
  // The frame decoded last is not decoded again (a late copy of it is
  // dropped); the four before it are.
  ASSERT_EQ(g_decoder->decoded.size(), 5u + 4u);
  EXPECT_EQ(Decoded(5), kStart + "\x61" "f0");
  EXPECT_EQ(Decoded(8), kStart + "\x61" "f3");
}

TEST_F(ListenChannelTest, PacketsAreCheckedBeforeAnythingIsKept) {
  channel_ = new CVzVideoListenChannel(&owner_, kSsrc, nullptr, allocator_);
  channel_->AddRef();
  const std::vector<uint8_t> good = Packet(1, 90, 0x65, "x");
  EXPECT_EQ(channel_->InputPacket(good.data(), 14, 0, 0), VSE_E_FAIL) << "before Initialize";
  ASSERT_EQ(channel_->Initialize(7, 1, 0, false), VSE_S_OK);
  EXPECT_EQ(channel_->Initialize(7, 1, 0, false), VSE_S_OK);
  EXPECT_EQ(channel_->InputPacket(good.data(), 12, 0, 0), VSE_E_INVALIDARG);
  EXPECT_EQ(channel_->InputPacket(nullptr, 40, 0, 0), VSE_E_INVALIDARG);
  EXPECT_EQ(channel_->InputPacket(good.data(), 14, 0, 3), VSE_E_INVALIDARG);
  const std::vector<uint8_t> other = Packet(1, 90, 0x65, "x", kSsrc + 1);
  EXPECT_EQ(channel_->InputPacket(other.data(), 14, 0, 0), VSE_E_FAIL);
  EXPECT_EQ(channel_->GetReceivedCount(), 0u);
  EXPECT_EQ(channel_->SetAspectRatio(0, 9), 1);
  EXPECT_FALSE(channel_->TakeAspectChangedForTesting());
  EXPECT_EQ(channel_->SetAspectRatio(4, 3), 0);
  EXPECT_FLOAT_EQ(channel_->aspect_ratio_for_testing(), 4.0f / 3.0f);
  EXPECT_TRUE(channel_->TakeAspectChangedForTesting());
  EXPECT_FALSE(channel_->TakeAspectChangedForTesting());
  EXPECT_EQ(channel_->SetAspectRatio(-4, 3), 1);
  EXPECT_FLOAT_EQ(channel_->aspect_ratio_for_testing(), 4.0f / 3.0f);
  // The provider and marker ids answer with the channel itself.
  for (const auto& [id, name] : {std::pair{&IID_IVideoListenChannel, "IVideoListenChannel"},
                                 std::pair{&IID_IVideoSampleProvider, "IVideoSampleProvider"},
                                 std::pair{&IID_IVideoListenChannelMarker, "IVideoListenChannelMarker"}}) {
    SCOPED_TRACE(name);
    void* face = nullptr;
    ASSERT_EQ(channel_->QueryInterface(id, &face), VSE_S_OK);
    EXPECT_EQ(face, static_cast<IVideoListenChannel*>(channel_));
    channel_->Release();
  }
  void* none = &none;
  EXPECT_EQ(channel_->QueryInterface(&IID_IVideoRenderer, &none), VSE_E_NOINTERFACE);
  EXPECT_EQ(none, nullptr);
  // A whole encoded frame goes to the decoder as it is.
  EXPECT_EQ(channel_->InputPacket(good.data(), static_cast<int32_t>(good.size()), 0, 1), VSE_S_OK);
  EXPECT_EQ(g_decoder->decoded.size(), 1u);
}

TEST_F(ListenChannelTest, ADecoderThatFailsToStartFailsTheChannel) {
  FakeDecoder::fail_init = true;
  channel_ = new CVzVideoListenChannel(&owner_, kSsrc, nullptr, allocator_);
  channel_->AddRef();
  EXPECT_EQ(channel_->Initialize(7, 1, 1, false), VSE_E_FAIL);
  FakeDecoder::fail_init = false;
  SetListenDecoderMaker(&MakeNone);
  EXPECT_EQ(channel_->Initialize(7, 1, 1, false), VSE_E_OUTOFMEMORY);
  SetListenDecoderMaker(&MakeFake);
  EXPECT_EQ(channel_->Initialize(7, 1, 1, false), VSE_S_OK);
}

// A sender 10 ms per packet ahead of a reader that has stopped, then caught up.
TEST_F(ListenChannelTest, LayersAreDroppedAfterASecondBehindAndComeBackAfterThreeCaughtUp) {
  Open(1);
  uint16_t seq = 100;
  uint32_t ts = 90000;
  auto step = [&](uint8_t nal) {
    clock_.AdvanceMs(10);
    ts += 900;
    return Send(Packet(seq++, ts, nal, "x"));
  };
  std::vector<std::pair<uint32_t, int>> changes;  // ms since start, level
  auto level = [&] { return (channel_->drop_t2_for_testing() ? 1 : 0) + (channel_->drop_t1_for_testing() ? 1 : 0); };
  int last = 0;
  uint32_t t = 0;
  auto note = [&] {
    if (level() != last) {
      last = level();
      changes.push_back({t, last});
    }
  };
  // Behind: the queue is never read.
  for (; t < 2700; t += 10) {
    step(0x61);
    note();
  }
  ASSERT_EQ(level(), 2);
  // The span passes 500 ms after 510 ms; each level needs more than a second.
  ASSERT_EQ(changes.size(), 2u);
  EXPECT_GE(changes[0].first, 1510u);
  EXPECT_LE(changes[0].first, 1530u);
  EXPECT_GE(changes[1].first, 2510u);
  EXPECT_LE(changes[1].first, 2540u);
  // While both levels are set, layer 1 and 2 units are dropped, layer 0 kept.
  channel_->ProcessQueuedPacketsForTesting();
  const uint64_t dropped = channel_->dropped_layer_packets_for_testing();
  step(0x21);  // nal_ref_idc 1: temporal id 1
  step(0x41);  // nal_ref_idc 2: temporal id 0
  channel_->ProcessQueuedPacketsForTesting();
  EXPECT_EQ(channel_->dropped_layer_packets_for_testing(), dropped + 1);
  // Caught up: the reader keeps one packet queued.
  const uint32_t caught = t;
  for (; t < caught + 7000; t += 10) {
    step(0x61);
    note();
    if (channel_->queued_media_packets_for_testing() > 1) {
      channel_->ProcessQueuedPacketsForTesting();
      step(0x61);
      t += 10;
      note();
    }
  }
  ASSERT_EQ(changes.size(), 4u);
  EXPECT_EQ(changes[2].second, 1);
  EXPECT_GT(changes[2].first - caught, 3000u);
  EXPECT_LT(changes[2].first - caught, 3100u);
  EXPECT_EQ(changes[3].second, 0);
  EXPECT_GT(changes[3].first - changes[2].first, 3000u);
  EXPECT_LT(changes[3].first - changes[2].first, 3100u);
}

TEST_F(ListenChannelTest, AFullQueueLosesPackets) {
  Open(1);
  channel_->SetMaxBufferedPackets(3);  // never below 500
  for (uint16_t k = 0; k < 505; ++k) Send(Packet(k, 90 * k, 0x61, "x"));
  EXPECT_EQ(channel_->queued_media_packets_for_testing(), 500u);
  channel_->ProcessQueuedPacketsForTesting();
  EXPECT_EQ(channel_->queued_media_packets_for_testing(), 0u);
  EXPECT_EQ(channel_->GetReceivedCount(), 505u);
}

TEST_F(ListenChannelTest, KeyFrameRequestsAreThrottledAndReportedOncePerRound) {
  Open(0);
  g_sink->RequestKeyFrame();
  clock_.AdvanceMs(300);
  g_sink->RequestKeyFrame();
  EXPECT_EQ(owner_.key_frames, std::vector<uint32_t>({kSsrc}));
  clock_.AdvanceMs(200);
  g_sink->RequestKeyFrame();
  EXPECT_EQ(owner_.key_frames.size(), 2u);
  channel_->RunTimerRound();
  channel_->RunTimerRound();
  EXPECT_EQ(events_.key_lost, 1);
  // Refresh requests are throttled alike; decoder events never.
  const uint8_t block[16] = {0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0, 4};
  g_sink->RequestRefresh(block);
  g_sink->RequestRefresh(block);
  g_sink->ReportDecoderEvent(block);
  g_sink->ReportDecoderEvent(block);
  EXPECT_EQ(owner_.refreshes, 1);
  EXPECT_EQ(owner_.last_refresh_word, 4u) << "the block's big-endian words";
  EXPECT_EQ(owner_.events, 2);
}

TEST_F(ListenChannelTest, BlockedAndUnblockedAreEachReportedOnce) {
  Open(0);
  channel_->RunTimerRound();
  EXPECT_TRUE(events_.blocks.empty());
  clock_.AdvanceMs(5001);
  for (int i = 0; i < 5; ++i) {
    channel_->RunTimerRound();
    clock_.AdvanceMs(30);
  }
  EXPECT_EQ(events_.blocks, std::vector<int32_t>({1}));
  Send(Packet(1, 90, 0x65, "a"));
  Send(Packet(2, 9000, 0x65, "b"));  // the first frame decodes
  for (int i = 0; i < 5; ++i) {
    channel_->RunTimerRound();
    clock_.AdvanceMs(30);
  }
  EXPECT_EQ(events_.blocks, std::vector<int32_t>({1, 0}));
  // The size was reported once, as width << 16 | height.
  int sizes = 0;
  for (auto& [kind, value] : events_.params) {
    if (kind == CVzVideoListenChannel::kKindSize) {
      ++sizes;
      EXPECT_EQ(value, (64 << 16) | 48);
    }
  }
  EXPECT_EQ(sizes, 1);
}

TEST_F(ListenChannelTest, ByteRateCoversFiveSecondsAndSilenceClearsTheFigures) {
  Open(0);
  for (int s = 0; s < 5; ++s) {
    for (int k = 0; k < 10; ++k) Send(Packet(static_cast<uint16_t>(s * 10 + k), 90u * (s * 1000 + k), 0x61,
                                             std::string(87, 'x')));  // 100 bytes each
    clock_.AdvanceMs(1000);
    channel_->RunTimerRound();
  }
  ASSERT_FALSE(events_.params.empty());
  int32_t last_rate = -1;
  for (auto& [kind, value] : events_.params) {
    if (kind == CVzVideoListenChannel::kKindByteRate) last_rate = value;
  }
  EXPECT_EQ(last_rate, 1000);  // 5,000 bytes over five seconds
  events_.params.clear();
  for (int s = 0; s < 6; ++s) {
    clock_.AdvanceMs(1000);
    channel_->RunTimerRound();
  }
  size_t zero = 0;
  while (zero < events_.params.size() &&
         events_.params[zero] != std::make_pair(CVzVideoListenChannel::kKindByteRate, 0)) {
    ++zero;
  }
  ASSERT_LE(zero + 4, events_.params.size()) << "a rate of 0 was reported";
  EXPECT_EQ(events_.params[zero + 1], std::make_pair(CVzVideoListenChannel::kKindJitter, 0));
  EXPECT_EQ(events_.params[zero + 2], std::make_pair(CVzVideoListenChannel::kKindLoss, 0));
  EXPECT_EQ(events_.params[zero + 3], std::make_pair(CVzVideoListenChannel::kKindDelay, 0));
}

class ImageSink final : public TEngineObject<IVideoDeliverer, IVideoImageSink> {
 public:
  VseResult DeliverSample(IVideoSample*) override { return VSE_S_OK; }
  VseResult GetStatus(int32_t* flags) override {
    *flags = ready ? 1 : 0;
    return VSE_S_OK;
  }
  VseResult VADeliverImage(const VAImageContent* image) override {
    kinds.push_back(image->vatype);
    if (image->info != nullptr) images.push_back(*image->info);
    return VSE_S_OK;
  }
  bool ready = true;
  std::vector<int32_t> kinds;
  std::vector<VAImageInfo> images;

 private:
  ~ImageSink() override = default;
};

TEST_F(ListenChannelTest, DecoderSettingsRenderFormatFreshStartAndDirectImages) {
  Open(0);
  EXPECT_EQ(channel_->SetRenderFormat(2), VSE_S_OK);
  ASSERT_FALSE(g_decoder->options.empty());
  EXPECT_EQ(g_decoder->options.back().first, IVideoDecoder::kOptionOutputFormat);
  // A fresh start keeps the output format and the loss recovery chosen.
  EXPECT_EQ(channel_->SetLossRecovery(1), VSE_S_OK);
  EXPECT_EQ(channel_->ClearOldData(), VSE_S_OK);
  EXPECT_EQ(g_decoder->inits, 2);
  EXPECT_EQ(g_decoder->init_type, 2);
  EXPECT_EQ(g_decoder->loss_recovery, 1);
  EXPECT_EQ(g_decoder->options.back(), std::make_pair(IVideoDecoder::kOptionOutputFormat, 0x30323449));
  // Direct images only while every image sink is ready, and only with one.
  EXPECT_EQ(channel_->SetDirectImageOutput(2), VSE_E_INVALIDARG);
  EXPECT_EQ(channel_->SetDirectImageOutput(1), VSE_S_OK);
  EXPECT_EQ(g_sink->IsRenderReady(), 1) << "no image sink: pictures stay samples";
  auto* image = new ImageSink;
  image->AddRef();
  channel_->AppendVideoDeliverer(image);
  EXPECT_EQ(g_sink->IsRenderReady(), 0);
  image->ready = false;
  EXPECT_EQ(g_sink->IsRenderReady(), 1);
  // A picture of the image path reaches the image sink as the decoder's
  // surface with the picture's rectangle, and counts as shown.
  const uint8_t plane[16] = {};
  vzh264::DecodeBufferInfo info;
  info.buffer_kind = 1;
  info.picture_ready = 1;
  info.width = 320;
  info.height = 180;
  g_sink->OnDecodedImage(4321, plane, info);
  ASSERT_EQ(image->images.size(), 1u);
  EXPECT_EQ(image->kinds[0], 1);
  EXPECT_EQ(image->images[0].shared_handle, static_cast<const void*>(plane));
  EXPECT_EQ(image->images[0].width, 320u);
  EXPECT_EQ(image->images[0].height, 180u);
  EXPECT_EQ(image->images[0].right, 320);
  EXPECT_EQ(image->images[0].bottom, 180);
  EXPECT_EQ(channel_->GetLastRenderedTimestamp(), 4321u);
  channel_->RemoveVideoDeliverer(image);
  g_sink->OnDecodedImage(4322, plane, info);
  EXPECT_EQ(image->images.size(), 1u);
  image->Release();
  EXPECT_EQ(channel_->SetDirectImageOutput(0), VSE_S_OK);
  EXPECT_EQ(g_decoder->options.back(), std::make_pair(int32_t{vzh264::kDecoderRenderReady}, 1));
}

// Records the time stamps of the pictures shown.
class Shown final : public TEngineObject<IVideoDeliverer> {
 public:
  VseResult DeliverSample(IVideoSample* sample) override {
    VideoFormat f{};
    sample->GetFormat(&f);
    stamps.push_back(f.time_stamp_ms());
    return VSE_S_OK;
  }
  std::vector<uint32_t> stamps;

 private:
  ~Shown() override = default;
};

struct Sync final : IRenderSynchronizer {
  int32_t Check(int32_t kind, int32_t reserved, uint32_t ssrc, uint32_t ts, void* user) override {
    asked.push_back({static_cast<uint32_t>(kind), static_cast<uint32_t>(reserved), ssrc, ts});
    last_user = user;
    return answer;
  }
  int32_t answer = 2;
  std::vector<std::vector<uint32_t>> asked;
  void* last_user = nullptr;
};

TEST_F(ListenChannelTest, PlayTimeHoldsFramesBeforeDecodingOrPicturesBeforeShowing) {
  // Mode 1: a synchroniser that holds the frame keeps it from the decoder.
  channel_ = new CVzVideoListenChannel(&owner_, kSsrc, nullptr, allocator_);
  channel_->AddRef();
  ASSERT_EQ(channel_->Initialize(7, 1, 1, false), VSE_S_OK);
  Sync sync;
  int user = 0;
  channel_->SetRenderSync(&sync, &user);
  Send(Packet(1, 90000, 0x61, "a"));
  Send(Packet(2, 93000, 0x61, "b"));
  channel_->ProcessQueuedPacketsForTesting();
  EXPECT_EQ(g_decoder->decoded.size(), 0u);
  ASSERT_FALSE(sync.asked.empty());
  EXPECT_EQ(sync.asked.back(), (std::vector<uint32_t>{1, 0, kSsrc, 1000}));
  EXPECT_EQ(sync.last_user, &user);
  sync.answer = 1;
  channel_->RunDataTimer();
  EXPECT_EQ(g_decoder->decoded.size(), 1u);
  channel_->SetRenderSync(nullptr, nullptr);
  channel_->Release();

  // Mode 2 with smooth play: frames that came together are decoded at once
  // and shown as their play times come, one per tick; a whole frame goes
  // first, unchecked.
  channel_ = new CVzVideoListenChannel(&owner_, kSsrc, nullptr, allocator_);
  channel_->AddRef();
  ASSERT_EQ(channel_->Initialize(7, 1, 2, false), VSE_S_OK);
  auto* shown = new Shown;
  shown->AddRef();
  channel_->AppendVideoDeliverer(shown);
  channel_->SetSmoothPlay(true);
  for (uint16_t f = 0; f < 4; ++f) Send(Packet(f, 90000 + 3000u * f, 0x61, "p"));
  channel_->ProcessQueuedPacketsForTesting();
  EXPECT_EQ(g_decoder->decoded.size(), 3u) << "decoded at once";
  EXPECT_TRUE(shown->stamps.empty()) << "shown only by the tick";
  channel_->RunDataTimer();
  ASSERT_EQ(shown->stamps.size(), 1u);
  channel_->RunDataTimer();
  EXPECT_EQ(shown->stamps.size(), 1u) << "the next picture is due 33 ms later";
  const std::vector<uint8_t> whole(20, 0x41);
  channel_->InputPacket(whole.data(), static_cast<int32_t>(whole.size()), VZSE_::NowMs(), 1);
  channel_->ProcessQueuedPacketsForTesting();
  channel_->RunDataTimer();
  ASSERT_EQ(shown->stamps.size(), 2u);
  EXPECT_EQ(shown->stamps[1], 0u) << "the whole frame, before the waiting one";
  clock_.AdvanceMs(20);
  channel_->RunDataTimer();
  ASSERT_EQ(shown->stamps.size(), 3u);
  EXPECT_EQ(shown->stamps[2], 1033u);
  channel_->Release();  // releases the picture still waiting
  channel_ = nullptr;
  shown->Release();
}

// Inverts every byte; fails on request.
struct Inverter final : IPayloadTransformer {
  int32_t Transform(const uint8_t* in, int32_t length, uint8_t** out, int32_t* out_length) override {
    if (fail) return 5;
    ++made;
    *out = new uint8_t[static_cast<size_t>(length)];
    for (int32_t i = 0; i < length; ++i) (*out)[i] = static_cast<uint8_t>(~in[i]);
    *out_length = length;
    return 0;
  }
  int32_t FreeBlock(uint8_t* block) override {
    ++freed;
    delete[] block;
    return 0;
  }
  bool fail = false;
  int made = 0, freed = 0;
};

TEST_F(ListenChannelTest, PayloadTransformKeepsTheFirstSixteenBytesAndDropsWhatFails) {
  Open(0);
  Inverter inverter;
  channel_->SetPayloadTransformer(&inverter);
  channel_->SetPayloadTransformEnabled(true);
  const std::string body = "0123456789ABCDEFGH";  // 4 + 1 + 18 = 23 bytes of payload
  Send(Packet(1, 90000, 0x61, body));
  Send(Packet(2, 90000, 0x06, body));  // SEI: as it came
  inverter.fail = true;
  Send(Packet(3, 90000, 0x61, body));  // dropped
  inverter.fail = false;
  Send(Packet(4, 93000, 0x61, "short"));  // 10 bytes: as it came
  Send(Packet(5, 96000, 0x61, "x"));
  ASSERT_EQ(g_decoder->decoded.size(), 2u);
  std::string inverted = body.substr(11);
  for (char& c : inverted) c = static_cast<char>(~c);
  EXPECT_EQ(Decoded(0), kStart + "\x61" + body.substr(0, 11) + inverted + kStart + "\x06" + body);
  EXPECT_EQ(Decoded(1), kStart + "\x61" "short");
  EXPECT_EQ(inverter.made, 1);
  EXPECT_EQ(inverter.freed, 1);
  channel_->SetPayloadTransformer(nullptr);
  int32_t media = 96, aux = 97;
  EXPECT_EQ(channel_->SetPayloadTypes(nullptr, &aux), VSE_E_INVALIDARG);
  EXPECT_EQ(channel_->SetPayloadTypes(&media, &aux), VSE_S_OK);
}

TEST_F(ListenChannelTest, ADataThreadDecodesWhatTheTransportThreadQueues) {
  channel_ = new CVzVideoListenChannel(&owner_, kSsrc, nullptr, allocator_);
  channel_->AddRef();
  VZSE_::SetEngineClockForTest(nullptr);  // the data thread's timers need real time
  ASSERT_EQ(channel_->Initialize(7, 1, 1), VSE_S_OK);
  for (uint16_t f = 0; f < 20; ++f) Send(Packet(f, 3000u * f, 0x61, "p"));
  // Each frame but the last is decoded once its successor begins.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (g_decoder->decode_count.load() < 19 && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::yield();
  }
  const int decoded = g_decoder->decode_count.load();
  channel_->Uninitialize();  // joins the data thread; the decoder goes with it
  EXPECT_GE(decoded, 19);
  EXPECT_EQ(channel_->queued_media_packets_for_testing(), 0u);
  VZSE_::SetEngineClockForTest(&clock_);
}

TEST(NalTemporalId, SlicesBySvcHeaderAndShortUnits) {
  const uint8_t idr[] = {0, 0, 0, 1, 0x65};
  const uint8_t ref1[] = {0, 0, 0, 1, 0x21};
  const uint8_t nonref[] = {0, 0, 0, 1, 0x01};
  const uint8_t svc[] = {0, 0, 0, 1, 0x6E, 0x80, 0x00, 0x60};  // type 14, third extension byte: id 3
  const uint8_t svc_short[] = {0, 0, 0, 1, 0x74, 0x80, 0x00};   // type 20 cut before the byte
  const uint8_t sei[] = {0, 0, 0, 1, 0x06, 0xFF};
  EXPECT_EQ(NalTemporalId(idr, sizeof idr), 0);
  EXPECT_EQ(NalTemporalId(ref1, sizeof ref1), 1);
  EXPECT_EQ(NalTemporalId(nonref, sizeof nonref), 2);
  EXPECT_EQ(NalTemporalId(svc, sizeof svc), 3);
  EXPECT_EQ(NalTemporalId(svc_short, sizeof svc_short), 0);
  EXPECT_EQ(NalTemporalId(sei, sizeof sei), 0);
  EXPECT_EQ(NalTemporalId(idr, 4), 0);
}

}  // namespace
