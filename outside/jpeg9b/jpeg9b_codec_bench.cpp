// The stand-in's tile encode and decode beside TurboJPEG called directly
// (the floor): a 128 x 128 BGRX tile at quality 75, as the engine sends.
#include <benchmark/benchmark.h>
#include <turbojpeg.h>

#include <cstdlib>
#include <vector>

#include "outside/jpeg9b/jpeg9b_codec.h"

namespace {

constexpr int kSide = 128;
constexpr int kStride = kSide * 4;

std::vector<uint8_t> Tile() {
  std::vector<uint8_t> tile(static_cast<size_t>(kStride) * kSide);
  for (size_t i = 0; i < tile.size(); ++i) tile[i] = static_cast<uint8_t>((i * 7) ^ (i >> 9));
  return tile;
}

void BM_Jpeg9bCompress(benchmark::State& state) {
  const auto tile = Tile();
  for (auto _ : state) {
    int size = 0;
    uint8_t* jpeg = Jpeg9bCompress(kSide, kSide, 32, 75, kStride, tile.data(), &size);
    benchmark::DoNotOptimize(jpeg);
    std::free(jpeg);
  }
}
BENCHMARK(BM_Jpeg9bCompress);

void BM_TurboJpegCompressFloor(benchmark::State& state) {
  const auto tile = Tile();
  tjhandle handle = tjInitCompress();
  for (auto _ : state) {
    unsigned char* jpeg = nullptr;
    unsigned long size = 0;
    tjCompress2(handle, tile.data(), kSide, kStride, kSide, TJPF_BGRX, &jpeg, &size, TJSAMP_420, 75, 0);
    benchmark::DoNotOptimize(jpeg);
    tjFree(jpeg);
  }
  tjDestroy(handle);
}
BENCHMARK(BM_TurboJpegCompressFloor);

void BM_Jpeg9bDecompress(benchmark::State& state) {
  const auto tile = Tile();
  int size = 0;
  uint8_t* jpeg = Jpeg9bCompress(kSide, kSide, 32, 75, kStride, tile.data(), &size);
  for (auto _ : state) {
    int bytes = 0;
    uint8_t* pixels = Jpeg9bDecompress(jpeg, size, 32, &bytes);
    benchmark::DoNotOptimize(pixels);
    std::free(pixels);
  }
  std::free(jpeg);
}
BENCHMARK(BM_Jpeg9bDecompress);

void BM_TurboJpegDecompressFloor(benchmark::State& state) {
  const auto tile = Tile();
  int size = 0;
  uint8_t* jpeg = Jpeg9bCompress(kSide, kSide, 32, 75, kStride, tile.data(), &size);
  tjhandle handle = tjInitDecompress();
  std::vector<uint8_t> pixels(static_cast<size_t>(kStride) * kSide);
  for (auto _ : state) {
    tjDecompress2(handle, jpeg, static_cast<unsigned long>(size), pixels.data(), kSide, kStride, kSide, TJPF_BGRX, 0);
    benchmark::DoNotOptimize(pixels.data());
  }
  tjDestroy(handle);
  std::free(jpeg);
}
BENCHMARK(BM_TurboJpegDecompressFloor);

}  // namespace

BENCHMARK_MAIN();
