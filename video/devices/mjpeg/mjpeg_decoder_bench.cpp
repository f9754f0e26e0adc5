// Milliseconds per MJPEG camera frame into I420, beside libjpeg-turbo's decode
// of the same frame to planar YUV in the same run (its accurate and its fast
// transform). The frames come from libjpeg-turbo's encoder at quality 85.
#include <benchmark/benchmark.h>
#include <turbojpeg.h>

#include <cstdint>
#include <vector>

#include "video/devices/mjpeg/mjpeg_decoder.h"
#include "video/devices/mjpeg/mjpeg_testlib.h"

namespace {

using namespace nsVZVP;
using mjpeg_testing::Form;

// range(0), range(1): size; range(2): 0 for 4:2:0, 1 for 4:2:2; range(3): the Huffman tables: 0 the
// typical ones carried in the frame, 1 none (as most cameras send), 2 the frame's own (the general path).
std::vector<uint8_t> FrameFor(const benchmark::State& state) {
  mjpeg_testing::EncodeOptions options;
  options.width = static_cast<int>(state.range(0));
  options.height = static_cast<int>(state.range(1));
  options.form = state.range(2) == 0 ? Form::k420 : Form::k422;
  options.optimize_tables = state.range(3) == 2;
  std::vector<uint8_t> frame = mjpeg_testing::EncodeFrame(options);
  return state.range(3) == 1 ? mjpeg_testing::StripSegments(frame, 0xC4) : frame;
}

void BM_Ours(benchmark::State& state) {
  const std::vector<uint8_t> frame = FrameFor(state);
  CMjpegDecoder decoder;
  std::vector<uint8_t> out(static_cast<size_t>(state.range(0) * state.range(1) * 3 / 2));
  for (auto _ : state) {
    const int result = decoder.Decode(static_cast<uint32_t>(frame.size()), frame.data(), out.data(),
                                      static_cast<uint32_t>(out.size()));
    if (result != CMjpegDecoder::kOk) state.SkipWithError("decode failed");
    benchmark::DoNotOptimize(out.data());
  }
}

// libjpeg-turbo to its planar YUV (4:2:2 keeps full-height chroma there).
void TurboDecode(benchmark::State& state, int flags) {
  const std::vector<uint8_t> frame = FrameFor(state);
  const int width = static_cast<int>(state.range(0));
  const int height = static_cast<int>(state.range(1));
  const int subsamp = state.range(2) == 0 ? TJSAMP_420 : TJSAMP_422;
  std::vector<uint8_t> planes[3];
  unsigned char* pointers[3];
  for (int c = 0; c < 3; ++c) {
    planes[c].resize(static_cast<size_t>(tjPlaneWidth(c, width, subsamp)) * tjPlaneHeight(c, height, subsamp));
    pointers[c] = planes[c].data();
  }
  tjhandle handle = tjInitDecompress();
  for (auto _ : state) {
    if (tjDecompressToYUVPlanes(handle, frame.data(), frame.size(), pointers, width, nullptr, height, flags) != 0) {
      state.SkipWithError("libjpeg-turbo failed");
    }
    benchmark::DoNotOptimize(pointers[0]);
  }
  tjDestroy(handle);
}

void BM_TurboAccurate(benchmark::State& state) { TurboDecode(state, 0); }
void BM_TurboFast(benchmark::State& state) { TurboDecode(state, TJFLAG_FASTDCT); }

void Sizes(benchmark::internal::Benchmark* b) {
  for (int form : {0, 1}) {
    for (int strip : {0, 1, 2}) {
      b->Args({640, 480, form, strip});
      b->Args({1280, 720, form, strip});
      b->Args({1920, 1080, form, strip});
    }
  }
  b->ArgNames({"w", "h", "422", "tables"})->Unit(benchmark::kMillisecond);
}

BENCHMARK(BM_Ours)->Apply(Sizes);
BENCHMARK(BM_TurboAccurate)->Apply(Sizes);
BENCHMARK(BM_TurboFast)->Apply(Sizes);

}  // namespace

BENCHMARK_MAIN();
