// The receive road per 720p frame: RTP and FEC packets of a camera stream
// into a listen channel, which gathers, decodes through the wrapper and
// delivers (with 5 % of them lost: repairs and gathers only); beside the
// floor, the peer: openh264 decoding the same stream's whole access units
// alone, with one decoder opened before the timed loop and kept open, as the
// channel keeps its own (the stream starts with a key frame, so each round
// decodes from a clean start without a new decoder).
#include <benchmark/benchmark.h>
#include <wels/codec_api.h>

#include <map>
#include <memory>
#include <random>
#include <vector>

#include "video/engine/core/engine_clock.h"
#include "video/engine/core/vz_video_sample_allocator.h"
#include "video/engine/receive/vz_video_listen_channel.h"
#include "video/engine/rtp/rtp_packet.h"
#include "video/engine/send/encode_param_generator.h"
#include "video/engine/send/vz_video_source_channel.h"

namespace {

constexpr int kW = 1280, kH = 720, kFrames = 60;
constexpr uint32_t kSsrc = 0xBE4C0001;

struct Capture final : IVideoPacketTransport {
  int32_t SendRtpPacket(int32_t, const uint8_t* data, int32_t length) override {
    packets.emplace_back(data, data + length);
    return 0;
  }
  int32_t SendRtcpPacket(const uint8_t*, int32_t, int32_t) override { return 0; }
  std::vector<std::vector<uint8_t>> packets;
};

struct Stream {
  std::vector<std::vector<uint8_t>> packets;       // as sent, FEC included
  std::vector<std::vector<uint8_t>> access_units;  // whole, in order
};

std::vector<uint8_t> Picture(int frame) {
  std::vector<uint8_t> yuv(static_cast<size_t>(kW) * kH * 3 / 2);
  for (int y = 0; y < kH; ++y) {
    for (int x = 0; x < kW; ++x) yuv[size_t(y) * kW + x] = static_cast<uint8_t>(16 + ((x + 5 * frame) * 190 / kW + y * 40 / kH) % 220);
  }
  for (size_t i = size_t(kW) * kH; i < yuv.size(); ++i) yuv[i] = static_cast<uint8_t>(110 + i % 30);
  return yuv;
}

struct Units final : IRtpSessionSink {
  void OnNalUnit(std::unique_ptr<CVseRtpPacket> p) override {
    auto& au = frames[p->timestamp()];
    au.insert(au.end(), p->Payload(), p->Payload() + p->PayloadLength());
  }
  std::map<uint32_t, std::vector<uint8_t>> frames;
};

const Stream& MakeStream() {
  static const Stream stream = [] {
    Stream s;
    VZSE_::FakeEngineClock clock;
    VZSE_::EngineClock* previous = VZSE_::SetEngineClockForTest(&clock);
    Capture capture;
    auto* channel = new CVzVideoSourceChannel(kSsrc);
    channel->AddRef();
    if (channel->Initialize(1, false, false) == VSE_S_OK) {
      channel->SetPacketTransport(&capture);
      NetworkOption option;
      option.default_bw = 20000000;
      option.min_bw = 32000;
      option.max_bw = 20000000;
      channel->SetNetworkOption(&option);
      OutputRecord output{kW, kH, 30.0f, 0};
      channel->ConfigureOutputs(1, &output);
      std::unique_ptr<CVseBaseEncodeParamGenerator> g(CVseEncodeParamFactory::Create(1));
      EncodeParams params;
      g->GetLevel(g->GetLevelCount() - 1, &params.level);
      channel->SetEncodeParam(&params);
      UplinkStat stat;
      stat.loss_rate = 50;
      stat.bandwidth = 20000000;
      for (int k = 0; k < 16; ++k) channel->UpdateUpLinkNetStat(&stat);
      channel->StartSend();
      for (int i = 0; i < kFrames; ++i) {
        const std::vector<uint8_t> yuv = Picture(i);
        VideoFormat f{2, kW, kH, 30.0f, 0};
        channel->InputFrame(&f, yuv.data(), static_cast<int32_t>(yuv.size()));
        for (int k = 0; k < 4; ++k) {
          clock.AdvanceUs(8500);
          channel->PumpSendController();
        }
      }
      for (int k = 0; k < 50; ++k) {
        clock.AdvanceMs(10);
        channel->PumpSendController();
      }
    }
    channel->Release();
    VZSE_::SetEngineClockForTest(previous);
    s.packets = std::move(capture.packets);
    Units units;
    CMMRTPSession4SVC session(&units, kSsrc);
    uint32_t t = 0;
    for (const auto& p : s.packets) session.Input(p.data(), static_cast<int>(p.size()), t += 1);
    for (auto& [ts, au] : units.frames) s.access_units.push_back(std::move(au));
    return s;
  }();
  return stream;
}

struct NullOwner final : IListenChannelOwner {
  VseResult RequestKeyFrame(uint32_t) override { return VSE_S_OK; }
  VseResult RequestRefresh(uint32_t, const vz::rtcp::Feedback16*) override { return VSE_S_OK; }
  VseResult ReportDecoderEvent(uint32_t, const vz::rtcp::Feedback12*) override { return VSE_S_OK; }
};

class Counter final : public TEngineObject<IVideoDeliverer> {
 public:
  VseResult DeliverSample(IVideoSample*) override {
    ++pictures;
    return VSE_S_OK;
  }
  int64_t pictures = 0;

 private:
  ~Counter() override = default;
};

void BM_ReceivePath720p(benchmark::State& state) {
  const Stream& stream = MakeStream();
  if (stream.access_units.empty()) {
    state.SkipWithError("nothing was encoded");
    return;
  }
  const double loss = static_cast<double>(state.range(0));
  std::vector<const std::vector<uint8_t>*> arriving;
  std::mt19937 random(7);
  for (const auto& p : stream.packets) {
    if (std::uniform_real_distribution<double>(0, 100)(random) >= loss) arriving.push_back(&p);
  }
  auto* allocator = new CVzVideoSampleAllocator(64, 10000, 10000);
  allocator->AddRef();
  auto* counter = new Counter;
  counter->AddRef();
  NullOwner owner;
  int64_t recovered = 0;
  for (auto _ : state) {
    state.PauseTiming();
    auto* channel = new CVzVideoListenChannel(&owner, kSsrc, nullptr, allocator);
    channel->AddRef();
    if (channel->Initialize(2, 1, 0, false) != VSE_S_OK) {
      state.SkipWithError("no decoder");
      channel->Release();
      break;
    }
    channel->AppendVideoDeliverer(counter);
    // With loss the canned stream never gets its key frame again: measure
    // repair and assembly alone then.
    if (loss > 0) channel->SetDecodeEnabled(false);
    state.ResumeTiming();
    uint32_t t = 0;
    for (const auto* p : arriving) channel->InputPacket(p->data(), static_cast<int32_t>(p->size()), t += 4, 0);
    channel->DecodeNow();
    state.PauseTiming();
    recovered = static_cast<int64_t>(channel->session()->stats().packets_recovered);
    channel->Release();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(stream.access_units.size()));
  state.counters["packets"] = static_cast<double>(arriving.size());
  state.counters["frames"] = static_cast<double>(stream.access_units.size());
  state.counters["pictures_per_run"] =
      state.iterations() ? static_cast<double>(counter->pictures) / static_cast<double>(state.iterations()) : 0;
  state.counters["recovered"] = static_cast<double>(recovered);
  counter->Release();
  allocator->Release();
}
BENCHMARK(BM_ReceivePath720p)->Arg(0)->Arg(5)->Unit(benchmark::kMillisecond);

void BM_OpenH264DecodeAlone720p(benchmark::State& state) {
  const Stream& stream = MakeStream();
  ISVCDecoder* decoder = nullptr;
  WelsCreateDecoder(&decoder);
  int quiet = WELS_LOG_QUIET;
  decoder->SetOption(DECODER_OPTION_TRACE_LEVEL, &quiet);
  SDecodingParam param{};
  param.sVideoProperty.size = sizeof(param.sVideoProperty);
  param.sVideoProperty.eVideoBsType = VIDEO_BITSTREAM_SVC;
  param.uiTargetDqLayer = 255;
  param.eEcActiveIdc = ERROR_CON_SLICE_COPY;
  decoder->Initialize(&param);
  for (auto _ : state) {
    for (const auto& au : stream.access_units) {
      uint8_t* planes[3] = {nullptr, nullptr, nullptr};
      SBufferInfo info{};
      decoder->DecodeFrameNoDelay(au.data(), static_cast<int>(au.size()), planes, &info);
      benchmark::DoNotOptimize(planes[0]);
    }
  }
  decoder->Uninitialize();
  WelsDestroyDecoder(decoder);
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(stream.access_units.size()));
}
BENCHMARK(BM_OpenH264DecodeAlone720p)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
