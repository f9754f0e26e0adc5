// The frame path from a dequeued 720p YUYV buffer to the cropper's
// deliverers: kind 0 (a memory-mapped buffer, copied into an allocator
// sample) beside libyuv's plane copy of the same bytes, the least any
// copying path can cost, and kind 1 (the driver filled a lent sample,
// which goes on as it is; a new one is lent in its place).
#include <benchmark/benchmark.h>
#include <libyuv/planar_functions.h>

#include <cstring>
#include <vector>

#include "platform/camera/emulated/v4l2_emulation.h"
#include "video/devices/capture/capture_backend.h"
#include "video/devices/capture/v4l2_cap_engine.h"
#include "video/engine/core/vz_video_sample_allocator.h"

namespace {

constexpr int kWidth = 1280;
constexpr int kHeight = 720;

class NullDeliverer final : public TEngineObject<IVideoDeliverer> {
 public:
  VseResult DeliverSample(IVideoSample*) override { return VSE_S_OK; }
};

void BM_KindZeroCopyPath(benchmark::State& state) {
  vz::EmulatedV4l2 port;
  port.Plug(vz::LaptopYuyvCamera());
  IVideoCapDeviceEnumerator* list = nullptr;
  vzcapture::MakeV4l2DeviceEnumerator(port, &list);
  auto* allocator = new CVzVideoSampleAllocator(64, 10000, 10000);
  allocator->AddRef();
  auto* sink = new NullDeliverer();
  sink->AddRef();
  const VideoFormat wanted{3, kWidth, kHeight, 30.0f, 0};
  IVideoCapEngine* engine = nullptr;
  if (vzcapture::MakeV4l2CapEngine(list->GetNextDevice(), &wanted, allocator, &engine) != VSE_S_OK) {
    state.SkipWithError("no engine");
    return;
  }
  engine->AppendVideoDeliverer(sink);
  std::vector<uint8_t> frame(static_cast<size_t>(kWidth) * kHeight * 2, 0x80);
  auto* capture = static_cast<vzcapture::CV4l2CapEngine*>(engine);
  for (auto _ : state) capture->OnCameraBuffer(frame.data(), static_cast<uint32_t>(frame.size()));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(frame.size()));
  state.counters["delivered_share"] =
      static_cast<double>(capture->DeliveredFrames()) / static_cast<double>(state.iterations());
  engine->Release();
  sink->Release();
  allocator->Release();
  list->Release();
}
BENCHMARK(BM_KindZeroCopyPath)->Unit(benchmark::kMicrosecond);

void BM_LentSamplePath(benchmark::State& state) {
  vz::EmulatedV4l2 port;
  port.Plug(vz::LaptopYuyvCamera());
  IVideoCapDeviceEnumerator* list = nullptr;
  vzcapture::MakeV4l2DeviceEnumerator(port, &list);
  auto* allocator = new CVzVideoSampleAllocator(64, 10000, 10000);
  allocator->AddRef();
  auto* sink = new NullDeliverer();
  sink->AddRef();
  const VideoFormat wanted{3, kWidth, kHeight, 30.0f, 0};
  IVideoCapEngine* engine = nullptr;
  if (vzcapture::MakeV4l2CapEngine(list->GetNextDevice(), &wanted, allocator, &engine) != VSE_S_OK) {
    state.SkipWithError("no engine");
    return;
  }
  engine->AppendVideoDeliverer(sink);
  const auto size = static_cast<int32_t>(kWidth * kHeight * 2);
  auto* capture = static_cast<vzcapture::CV4l2CapEngine*>(engine);
  for (auto _ : state) {
    // What the driver's buffer swap costs: a sample lent, filled (not
    // timed here: the driver's own write), handed over, given back.
    IVideoSample* sample = nullptr;
    void* memory = nullptr;
    allocator->GetSample(size, &sample);
    sample->GetPointer(&memory);
    capture->OnCameraBuffer(static_cast<const uint8_t*>(memory), static_cast<uint32_t>(size), sample);
    sample->Release();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * size);
  state.counters["delivered_share"] =
      static_cast<double>(capture->DeliveredFrames()) / static_cast<double>(state.iterations());
  engine->Release();
  sink->Release();
  allocator->Release();
  list->Release();
}
BENCHMARK(BM_LentSamplePath)->Unit(benchmark::kMicrosecond);

void BM_LibyuvCopyPlane(benchmark::State& state) {
  std::vector<uint8_t> frame(static_cast<size_t>(kWidth) * kHeight * 2, 0x80);
  std::vector<uint8_t> copy(frame.size());
  for (auto _ : state) {
    libyuv::CopyPlane(frame.data(), kWidth * 2, copy.data(), kWidth * 2, kWidth * 2, kHeight);
    benchmark::DoNotOptimize(copy.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(frame.size()));
}
BENCHMARK(BM_LibyuvCopyPlane)->Unit(benchmark::kMicrosecond);

// The plain library copy of the same bytes, for scale.
void BM_Memcpy(benchmark::State& state) {
  std::vector<uint8_t> frame(static_cast<size_t>(kWidth) * kHeight * 2, 0x80);
  std::vector<uint8_t> copy(frame.size());
  for (auto _ : state) {
    std::memcpy(copy.data(), frame.data(), frame.size());
    benchmark::DoNotOptimize(copy.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(frame.size()));
}
BENCHMARK(BM_Memcpy)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
