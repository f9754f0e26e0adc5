// The cropper's cut of a camera picture to 16:9 beside libyuv copying the
// same centred area (the floor): I420 1280x960 -> 1280x720 and 1920x1080 ->
// 1280x720, YUY2 1280x960 -> 1280x720, and the in-place cut of BGR24
// (only the start moves).
#include <benchmark/benchmark.h>
#include <libyuv.h>

#include <vector>

#include "video/engine/core/vz_video_sample_allocator.h"
#include "video/engine/send/vz_video_cropper.h"

namespace {

struct Case {
  int type, width, height;
};
Case CaseOf(int64_t arg) {
  switch (arg) {
    case 0: return {2, 1280, 960};
    case 1: return {2, 1920, 1080};
    case 2: return {3, 1280, 960};
    default: return {4, 1280, 960};
  }
}

int32_t Bytes(const Case& c) {
  return c.type == 2 ? c.width * c.height * 3 / 2 : c.width * c.height * (c.type == 3 ? 2 : 3);
}

void BM_Cropper(benchmark::State& state) {
  const Case c = CaseOf(state.range(0));
  auto* allocator = new CVzVideoSampleAllocator(64, 0, 0);
  allocator->AddRef();
  auto* cropper = new CVzVideoCropper();
  cropper->AddRef();
  cropper->Init(160, 90, allocator);
  IVideoSample* sample = nullptr;
  allocator->GetSample(Bytes(c), &sample);
  void* base = nullptr;
  sample->GetBase(&base);
  for (int32_t i = 0; i < Bytes(c); ++i) static_cast<uint8_t*>(base)[i] = static_cast<uint8_t>(i * 13);
  VideoFormat f{c.type, c.width, c.height, 30.0f, 0};
  for (auto _ : state) {
    sample->SetPointer(base);
    sample->SetActualDataLength(Bytes(c));
    sample->SetFormat(&f);
    IVideoSample* cut = nullptr;
    cropper->Crop(sample, true, &cut);
    benchmark::DoNotOptimize(cut);
    cut->Release();
  }
  sample->Release();
  cropper->Release();
  allocator->Release();
}
BENCHMARK(BM_Cropper)->Arg(0)->Arg(1)->Arg(2)->Arg(3)->Unit(benchmark::kMicrosecond);

void BM_LibyuvCopyFloor(benchmark::State& state) {
  const Case c = CaseOf(state.range(0));
  std::vector<uint8_t> src(static_cast<size_t>(Bytes(c)), 7);
  const int w = 1280, h = 720;
  const int x = (c.width - w) / 2 & ~1, y = (c.height - h) / 2 & ~1;
  std::vector<uint8_t> dst(static_cast<size_t>(w) * h * (c.type == 2 ? 3 : 4) / 2 + 64);
  for (auto _ : state) {
    if (c.type == 2) {
      const uint8_t* sy = src.data();
      const uint8_t* su = sy + c.width * c.height;
      const uint8_t* sv = su + (c.width / 2) * (c.height / 2);
      const int co = (y / 2) * (c.width / 2) + x / 2;
      libyuv::I420Copy(sy + y * c.width + x, c.width, su + co, c.width / 2, sv + co, c.width / 2, dst.data(), w,
                       dst.data() + w * h, w / 2, dst.data() + w * h * 5 / 4, w / 2, w, h);
    } else if (c.type == 3) {
      libyuv::CopyPlane(src.data() + (y * c.width + x) * 2, c.width * 2, dst.data(), w * 2, w * 2, h);
    } else {
      // The peer of the in-place cut: pointer arithmetic only.
      benchmark::DoNotOptimize(src.data() + static_cast<size_t>(y) * c.width * 3);
      continue;
    }
    benchmark::DoNotOptimize(dst.data());
  }
}
BENCHMARK(BM_LibyuvCopyFloor)->Arg(0)->Arg(1)->Arg(2)->Arg(3)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
