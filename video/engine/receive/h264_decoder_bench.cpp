// Decoding a camera stream through the decoder wrapper (codec library loaded
// by name, the picture taken out, converted into a pooled I420 sample and
// handed to a sink) beside openh264 called directly on the same access units
// (the floor). 640x360 and 1280x720, three spatial layers each; the time is
// per access unit. Also the receive monitor's cost per packet.
#include <benchmark/benchmark.h>
#include <wels/codec_api.h>

#include <vector>

#include "video/engine/core/vz_video_sample_allocator.h"
#include "video/engine/receive/h264_stream_testlib.h"
#include "video/engine/receive/receive_testlib.h"
#include "video/engine/receive/rtp_monitor_manager.h"
#include "video/engine/receive/vz_h264_svc_decoder.h"

namespace {

constexpr int kFrames = 30;

const receive_test::EncodedStream& Stream(int64_t arg) {
  static const receive_test::EncodedStream small = receive_test::EncodeStream(640, 360, kFrames);
  static const receive_test::EncodedStream large = receive_test::EncodeStream(1280, 720, kFrames);
  return arg == 0 ? small : large;
}

struct CountingSink final : IVideoDecoderSink {
  void OnDecoded(uint32_t, uint32_t, int32_t, int32_t, IVideoSample*) override { ++pictures; }
  int32_t IsRenderReady() override { return 1; }
  void OnDecodedImage(uint32_t, const uint8_t*, const vzh264::DecodeBufferInfo&) override {}
  void RequestKeyFrame() override {}
  void RequestRefresh(const uint8_t*) override {}
  void ReportDecoderEvent(const uint8_t*) override {}
  int64_t pictures = 0;
};

void BM_WrapperDecode(benchmark::State& state) {
  const auto& stream = Stream(state.range(0));
  if (stream.access_units.empty()) {
    state.SkipWithError("the codec library encodes nothing");
    return;
  }
  auto* allocator = new CVzVideoSampleAllocator(64, 10000, 10000);
  allocator->AddRef();
  CountingSink sink;
  {
    CVzH264SvcDecoder decoder(&sink, allocator);
    if (decoder.Init(2, IVideoDecoder::kModeSvc) != VSE_S_OK) state.SkipWithError("no decoder");
    for (auto _ : state) {
      for (const auto& au : stream.access_units) {
        decoder.DecodeFrame(0, au.data(), static_cast<int32_t>(au.size()));
      }
    }
  }
  allocator->Release();
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(stream.access_units.size()));
  state.counters["pictures"] = static_cast<double>(sink.pictures);
}
BENCHMARK(BM_WrapperDecode)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_OpenH264Decode(benchmark::State& state) {
  const auto& stream = Stream(state.range(0));
  if (stream.access_units.empty()) {
    state.SkipWithError("the codec library encodes nothing");
    return;
  }
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
  int64_t pictures = 0;
  for (auto _ : state) {
    for (const auto& au : stream.access_units) {
      uint8_t* planes[3] = {nullptr, nullptr, nullptr};
      SBufferInfo info{};
      decoder->DecodeFrameNoDelay(au.data(), static_cast<int>(au.size()), planes, &info);
      if (info.iBufferStatus == 1) ++pictures;
      benchmark::DoNotOptimize(planes[0]);
    }
  }
  decoder->Uninitialize();
  WelsDestroyDecoder(decoder);
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(stream.access_units.size()));
  state.counters["pictures"] = static_cast<double>(pictures);
}
BENCHMARK(BM_OpenH264Decode)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// One media packet with a timing element through a monitor of a manager
// holding three streams.
void BM_MonitorPacket(benchmark::State& state) {
  struct NullOut final : IRtpPacketOut {
    VseResult SendPacket(const uint8_t*, int32_t, int32_t) override { return VSE_S_OK; }
  } out;
  CVseRtpMonitorManager manager(&out);
  CVseRtpMonitor* monitors[3] = {};
  for (uint32_t i = 0; i < 3; ++i) manager.CreateMonitor(i + 1, &monitors[i]);
  std::vector<std::vector<uint8_t>> packets;
  for (uint16_t c = 0; c < 1024; ++c) {
    receive_test::PacketSpec spec;
    spec.counter = c;
    spec.send_ms = c * 3u;
    spec.rtp_ts = c * 3u * 90u;
    spec.payload_bytes = 1100;
    packets.push_back(receive_test::MakePacket(spec));
  }
  uint32_t t = 0;
  size_t i = 0;
  for (auto _ : state) {
    const auto& p = packets[i++ & 1023];
    t += 3;
    benchmark::DoNotOptimize(
        monitors[i % 3]->InputReceivedRtpData(p.data(), static_cast<int32_t>(p.size()), t + 40));
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_MonitorPacket);

}  // namespace

BENCHMARK_MAIN();
