// Encoding camera frames through the encoder wrapper (frame-rate filter,
// parameter record, the codec library loaded by name, NAL walk to a sink)
// beside openh264 called directly with the same layers on the same frames
// (the floor). 640x360 with three spatial layers, 1280x720 with four; I420
// input, and BGR24 input for the wrapper's conversion.
#include <benchmark/benchmark.h>
#include <wels/codec_api.h>

#include <memory>
#include <vector>

#include "video/engine/core/engine_clock.h"
#include "video/engine/core/vz_video_sample_allocator.h"
#include "video/engine/send/vz_video_cropper.h"
#include "video/engine/send/vz_video_source_channel.h"
#include "video/engine/send/encode_param_generator.h"
#include "video/engine/send/vz_h264_svc_encoder.h"

namespace {

constexpr int kFrames = 30;

struct Size {
  int width, height, level;
};
Size SizeOf(int64_t arg) { return arg == 0 ? Size{640, 360, 19} : Size{1280, 720, 37}; }

// Moving pictures: a gradient that slides and a square that travels.
std::vector<std::vector<uint8_t>> I420Frames(int w, int h) {
  std::vector<std::vector<uint8_t>> frames(kFrames);
  for (int f = 0; f < kFrames; ++f) {
    std::vector<uint8_t>& yuv = frames[static_cast<size_t>(f)];
    yuv.resize(static_cast<size_t>(w) * h * 3 / 2);
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) {
        int v = (x + 3 * f) * 180 / w + y * 40 / h;
        if (x >= f * 8 && x < f * 8 + 96 && y >= 60 && y < 156) v = 220;
        yuv[static_cast<size_t>(y) * w + x] = static_cast<uint8_t>(16 + v % 220);
      }
    }
    for (size_t i = static_cast<size_t>(w) * h; i < yuv.size(); ++i) yuv[i] = static_cast<uint8_t>(100 + (i % 50));
  }
  return frames;
}

std::vector<std::vector<uint8_t>> Bgr24Frames(int w, int h) {
  std::vector<std::vector<uint8_t>> frames(kFrames);
  for (int f = 0; f < kFrames; ++f) {
    std::vector<uint8_t>& bgr = frames[static_cast<size_t>(f)];
    bgr.resize(static_cast<size_t>(w) * h * 3);
    for (size_t i = 0; i < bgr.size(); ++i) bgr[i] = static_cast<uint8_t>((i / 3 + static_cast<size_t>(f) * 5) * 7);
  }
  return frames;
}

struct CountingSink final : IVideoEncoderSink {
  void OnFrameEncoded(uint32_t, const uint8_t*, int32_t length) override { bytes += length; }
  void OnEncoderReconfigured(const vzh264::EncoderParam&) override {}
  void OnInputFrameRate(float) override {}
  int64_t bytes = 0;
};

void RunWrapper(benchmark::State& state, int video_type) {
  const Size size = SizeOf(state.range(0));
  const auto frames = video_type == 2 ? I420Frames(size.width, size.height) : Bgr24Frames(size.width, size.height);
  VZSE_::FakeEngineClock clock;
  VZSE_::SetEngineClockForTest(&clock);
  std::unique_ptr<CVseBaseEncodeParamGenerator> generator(CVseEncodeParamFactory::Create(1));
  EncodeParams params;
  generator->GetLevel(size.level, &params.level);
  auto* encoder = new CVzH264SvcEncoder();
  encoder->AddRef();
  VideoFormat format{video_type, size.width, size.height, 30.0f, 0};
  encoder->SetInputFormat(&format);
  CountingSink sink;
  if (encoder->Init(&params, &sink) != VSE_S_OK) {
    state.SkipWithError("the codec library did not load");
  } else {
    uint32_t ts = 0;
    size_t i = 0;
    for (auto _ : state) {
      format.set_time_stamp_ms(ts);
      const auto& frame = frames[i++ % frames.size()];
      encoder->EncodeFrame(&format, frame.data(), static_cast<int32_t>(frame.size()));
      clock.AdvanceMs(33);
      ts += 33;
    }
  }
  state.counters["bytes/frame"] = benchmark::Counter(static_cast<double>(sink.bytes) / state.iterations());
  encoder->Release();
  VZSE_::SetEngineClockForTest(nullptr);
}

void BM_WrapperEncodeI420(benchmark::State& state) { RunWrapper(state, 2); }
BENCHMARK(BM_WrapperEncodeI420)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_WrapperEncodeBgr24(benchmark::State& state) { RunWrapper(state, 4); }
BENCHMARK(BM_WrapperEncodeBgr24)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// openh264 itself with the layers the wrapper asks for.
void BM_Openh264EncodeFloor(benchmark::State& state) {
  const Size size = SizeOf(state.range(0));
  const auto frames = I420Frames(size.width, size.height);
  std::unique_ptr<CVseBaseEncodeParamGenerator> generator(CVseEncodeParamFactory::Create(1));
  EncodeLevel level;
  generator->GetLevel(size.level, &level);
  ISVCEncoder* encoder = nullptr;
  WelsCreateSVCEncoder(&encoder);
  int quiet = WELS_LOG_QUIET;
  encoder->SetOption(ENCODER_OPTION_TRACE_LEVEL, &quiet);
  SEncParamExt p;
  encoder->GetDefaultParams(&p);
  p.iUsageType = CAMERA_VIDEO_REAL_TIME;
  p.iPicWidth = size.width;
  p.iPicHeight = size.height;
  p.iTargetBitrate = level.TotalBitrate();
  p.iRCMode = RC_BITRATE_MODE;
  p.fMaxFrameRate = 30;
  p.iTemporalLayerNum = 3;
  p.iSpatialLayerNum = level.layer_count;
  p.bPrefixNalAddingCtrl = true;
  p.bSimulcastAVC = false;
  p.bEnableFrameSkip = false;
  p.iMultipleThreadIdc = 1;
  p.eSpsPpsIdStrategy = CONSTANT_ID;
  for (int i = 0; i < level.layer_count; ++i) {
    p.sSpatialLayers[i].iVideoWidth = level.widths[i];
    p.sSpatialLayers[i].iVideoHeight = level.heights[i];
    p.sSpatialLayers[i].fFrameRate = 30;
    p.sSpatialLayers[i].iSpatialBitrate = level.bitrates[i];
    p.sSpatialLayers[i].iMaxSpatialBitrate = UNSPECIFIED_BIT_RATE;
    p.sSpatialLayers[i].sSliceArgument.uiSliceMode = SM_SINGLE_SLICE;
  }
  encoder->InitializeExt(&p);
  int64_t bytes = 0;
  size_t i = 0;
  long long ts = 0;
  for (auto _ : state) {
    const auto& frame = frames[i++ % frames.size()];
    SSourcePicture pic{};
    pic.iColorFormat = videoFormatI420;
    pic.iPicWidth = size.width;
    pic.iPicHeight = size.height;
    pic.iStride[0] = size.width;
    pic.iStride[1] = pic.iStride[2] = size.width / 2;
    pic.pData[0] = const_cast<unsigned char*>(frame.data());
    pic.pData[1] = pic.pData[0] + size.width * size.height;
    pic.pData[2] = pic.pData[1] + size.width * size.height / 4;
    pic.uiTimeStamp = ts += 33;
    SFrameBSInfo info{};
    encoder->EncodeFrame(&pic, &info);
    bytes += info.iFrameSizeInBytes;
  }
  state.counters["bytes/frame"] = benchmark::Counter(static_cast<double>(bytes) / state.iterations());
  encoder->Uninitialize();
  WelsDestroySVCEncoder(encoder);
}
BENCHMARK(BM_Openh264EncodeFloor)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The whole send path of one camera frame: a 4:3 I420 camera picture cut to
// 16:9 by the cropper, encoded through the wrapper, packed into RTP with FEC
// (level 3), queued and paced out to a transport that counts bytes.
struct CountingTransport final : IVideoPacketTransport {
  int32_t SendRtpPacket(int32_t, const uint8_t*, int32_t length) override {
    bytes += length;
    ++packets;
    return 0;
  }
  int32_t SendRtcpPacket(const uint8_t*, int32_t, int32_t) override { return 0; }
  int64_t bytes = 0;
  int64_t packets = 0;
};

// A YUY2 copy of an I420 picture (each chroma row used for two luma rows).
std::vector<uint8_t> ToYuy2(const std::vector<uint8_t>& i420, int w, int h) {
  std::vector<uint8_t> yuy2(static_cast<size_t>(w) * h * 2);
  const uint8_t* u = i420.data() + static_cast<size_t>(w) * h;
  const uint8_t* v = u + static_cast<size_t>(w / 2) * (h / 2);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; x += 2) {
      uint8_t* p = yuy2.data() + (static_cast<size_t>(y) * w + x) * 2;
      p[0] = i420[static_cast<size_t>(y) * w + x];
      p[1] = u[(y / 2) * (w / 2) + x / 2];
      p[2] = i420[static_cast<size_t>(y) * w + x + 1];
      p[3] = v[(y / 2) * (w / 2) + x / 2];
    }
  }
  return yuy2;
}

void BM_SendPath(benchmark::State& state) {
  const Size size = SizeOf(state.range(0));
  const bool yuy2 = state.range(1) == 3;
  const int camera_height = size.height * 4 / 3;
  // The same moving pictures as the floor's, with bands above and below.
  const auto pictures = I420Frames(size.width, size.height);
  std::vector<std::vector<uint8_t>> camera(pictures.size());
  const int band = (camera_height - size.height) / 2;
  for (size_t f = 0; f < pictures.size(); ++f) {
    camera[f].assign(static_cast<size_t>(size.width) * camera_height * 3 / 2, 128);
    const uint8_t* src = pictures[f].data();
    uint8_t* dst = camera[f].data();
    for (int y = 0; y < size.height; ++y) {
      std::copy_n(src + static_cast<size_t>(y) * size.width, size.width,
                  dst + static_cast<size_t>(y + band) * size.width);
    }
    const int cw = size.width / 2;
    for (int plane = 0; plane < 2; ++plane) {
      const uint8_t* sp = src + static_cast<size_t>(size.width) * size.height +
                          static_cast<size_t>(plane) * cw * (size.height / 2);
      uint8_t* dp = dst + static_cast<size_t>(size.width) * camera_height +
                    static_cast<size_t>(plane) * cw * (camera_height / 2);
      for (int y = 0; y < size.height / 2; ++y) {
        std::copy_n(sp + static_cast<size_t>(y) * cw, cw, dp + static_cast<size_t>(y + band / 2) * cw);
      }
    }
    if (yuy2) camera[f] = ToYuy2(camera[f], size.width, camera_height);
  }
  VZSE_::FakeEngineClock clock;
  VZSE_::SetEngineClockForTest(&clock);
  auto* allocator = new CVzVideoSampleAllocator(64, 0, 0);
  allocator->AddRef();
  auto* cropper = new CVzVideoCropper();
  cropper->AddRef();
  cropper->Init(160, 90, allocator);
  auto* channel = new CVzVideoSourceChannel(0x77);
  channel->AddRef();
  channel->Initialize(1, false, false);
  CountingTransport transport;
  channel->SetPacketTransport(&transport);
  NetworkOption option;
  option.default_bw = 50000000;
  option.max_bw = 50000000;
  channel->SetNetworkOption(&option);
  OutputRecord output{size.width, size.height, 30.0f, 0};
  channel->ConfigureOutputs(1, &output);
  channel->SetFecLevel(200, true);
  std::unique_ptr<CVseBaseEncodeParamGenerator> generator(CVseEncodeParamFactory::Create(1));
  EncodeParams params;
  generator->GetLevel(size.level, &params.level);
  channel->SetEncodeParam(&params);
  channel->StartSend();
  IVideoSample* sample = nullptr;
  allocator->GetSample(static_cast<int32_t>(camera[0].size()), &sample);
  size_t i = 0;
  for (auto _ : state) {
    const auto& frame = camera[i++ % camera.size()];
    // The cropper moves a packed picture's start in place: begin at the base.
    void* p = nullptr;
    sample->GetBase(&p);
    sample->SetPointer(p);
    std::copy(frame.begin(), frame.end(), static_cast<uint8_t*>(p));
    sample->SetActualDataLength(static_cast<int32_t>(frame.size()));
    VideoFormat f{yuy2 ? 3 : 2, size.width, camera_height, 30.0f, 0};
    sample->SetFormat(&f);
    IVideoSample* cut = nullptr;
    if (cropper->Crop(sample, true, &cut) != VSE_S_OK) {
      state.SkipWithError("crop failed");
      break;
    }
    channel->DeliverSample(cut);
    cut->Release();
    for (int k = 0; k < 4; ++k) {
      clock.AdvanceUs(8500);
      channel->PumpSendController();
    }
  }
  state.counters["bytes/frame"] = benchmark::Counter(static_cast<double>(transport.bytes) / state.iterations());
  state.counters["packets/frame"] =
      benchmark::Counter(static_cast<double>(transport.packets) / state.iterations());
  sample->Release();
  channel->Release();
  cropper->Release();
  allocator->Release();
  VZSE_::SetEngineClockForTest(nullptr);
}
// Second argument: the camera's video type (2 I420, 3 YUY2, converted on the way).
BENCHMARK(BM_SendPath)->Args({0, 2})->Args({1, 2})->Args({0, 3})->Args({1, 3})->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
