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

// A 720p YUYV engine on the emulated laptop camera, its frames delivered to
// nothing; `capture` is null when the engine could not be made.
class EmulatedCameraEngine {
 public:
  EmulatedCameraEngine() {
    port_.Plug(vz::LaptopYuyvCamera());
    vzcapture::MakeV4l2DeviceEnumerator(port_, &list_);
    allocator->AddRef();
    sink_->AddRef();
    const VideoFormat wanted{3, kWidth, kHeight, 30.0f, 0};
    if (vzcapture::MakeV4l2CapEngine(list_->GetNextDevice(), &wanted, allocator, &engine_) != VSE_S_OK) return;
    engine_->AppendVideoDeliverer(sink_);
    capture = static_cast<vzcapture::CV4l2CapEngine*>(engine_);
  }
  ~EmulatedCameraEngine() {
    if (engine_ != nullptr) engine_->Release();
    sink_->Release();
    allocator->Release();
    list_->Release();
  }
  EmulatedCameraEngine(const EmulatedCameraEngine&) = delete;
  EmulatedCameraEngine& operator=(const EmulatedCameraEngine&) = delete;

  // The bytes and the share of frames delivered, per iteration.
  void Report(benchmark::State& state, int64_t frame_bytes) const {
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * frame_bytes);
    state.counters["delivered_share"] =
        static_cast<double>(capture->DeliveredFramesForTesting()) / static_cast<double>(state.iterations());
  }

  CVzVideoSampleAllocator* const allocator = new CVzVideoSampleAllocator(64, 10000, 10000);
  vzcapture::CV4l2CapEngine* capture = nullptr;

 private:
  vz::EmulatedV4l2 port_;
  IVideoCapDeviceEnumerator* list_ = nullptr;
  NullDeliverer* const sink_ = new NullDeliverer();
  IVideoCapEngine* engine_ = nullptr;
};

void BM_KindZeroCopyPath(benchmark::State& state) {
  EmulatedCameraEngine rig;
  if (rig.capture == nullptr) {
    state.SkipWithError("no engine");
    return;
  }
  std::vector<uint8_t> frame(static_cast<size_t>(kWidth) * kHeight * 2, 0x80);
  for (auto _ : state) rig.capture->OnCameraBufferForTesting(frame.data(), static_cast<uint32_t>(frame.size()));
  rig.Report(state, static_cast<int64_t>(frame.size()));
}
BENCHMARK(BM_KindZeroCopyPath)->Unit(benchmark::kMicrosecond);

void BM_LentSamplePath(benchmark::State& state) {
  EmulatedCameraEngine rig;
  if (rig.capture == nullptr) {
    state.SkipWithError("no engine");
    return;
  }
  const auto size = static_cast<int32_t>(kWidth * kHeight * 2);
  for (auto _ : state) {
    // What the driver's buffer swap costs: a sample lent, filled (not
    // timed here: the driver's own write), handed over, given back.
    IVideoSample* sample = nullptr;
    void* memory = nullptr;
    rig.allocator->GetSample(size, &sample);
    sample->GetPointer(&memory);
    rig.capture->OnCameraBufferForTesting(static_cast<const uint8_t*>(memory), static_cast<uint32_t>(size), sample);
    sample->Release();
  }
  rig.Report(state, size);
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
