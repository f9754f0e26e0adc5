// The tile key as the presenter's pipeline computes it (the tile's shape,
// then its rows, one update each, out of a 1920x1080 frame) against
// OpenSSL's MD5 over the same bytes laid out contiguously in one call: the
// most a digest of those bytes can cost through the same library. Both give
// the same digest (checked before timing).
#include <benchmark/benchmark.h>
#include <openssl/evp.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "sharing/engine/md5_digest.h"

namespace {

constexpr int kFrameWidth = 1920, kFrameHeight = 1080, kSide = 128;
constexpr size_t kStride = kFrameWidth * 4;

struct Tiles {
  std::vector<uint8_t> frame;
  std::vector<uint8_t> contiguous;  // the shape, then every row of one tile
  Tiles() : frame(kStride * kFrameHeight) {
    uint32_t x = 12345;
    for (uint8_t& byte : frame) {
      x = x * 1103515245u + 12345u;
      byte = static_cast<uint8_t>(x >> 24);
    }
  }
  const uint8_t* Row(int tile, int y) const {
    const int across = kFrameWidth / kSide;
    const int left = (tile % across) * kSide, top = (tile / across % (kFrameHeight / kSide)) * kSide;
    return frame.data() + static_cast<size_t>(top + y) * kStride + static_cast<size_t>(left) * 4;
  }
  void Lay(int tile) {
    const int32_t shape[2] = {kSide, kSide};
    contiguous.resize(sizeof shape + static_cast<size_t>(kSide) * kSide * 4);
    std::memcpy(contiguous.data(), shape, sizeof shape);
    for (int y = 0; y < kSide; ++y) {
      std::memcpy(contiguous.data() + sizeof shape + static_cast<size_t>(y) * kSide * 4, Row(tile, y), kSide * 4);
    }
  }
};

bool Ours(const Tiles& tiles, CMd5Digest& md5, int tile, uint8_t out[16]) {
  const int32_t shape[2] = {kSide, kSide};
  if (!md5.Begin() || !md5.Update(shape, sizeof shape)) return false;
  for (int y = 0; y < kSide; ++y) {
    if (!md5.Update(tiles.Row(tile, y), kSide * 4)) return false;
  }
  return md5.Finish(out);
}

bool Peer(const std::vector<uint8_t>& bytes, uint8_t out[16]) {
  unsigned int size = 0;
  return EVP_Digest(bytes.data(), bytes.size(), out, &size, EVP_md5(), nullptr) == 1 && size == 16;
}

const Tiles& Shared() {
  static Tiles* tiles = [] {
    auto* made = new Tiles();
    CMd5Digest md5;
    uint8_t a[16], b[16];
    made->Lay(7);
    if (!Ours(*made, md5, 7, a) || !Peer(made->contiguous, b) || std::memcmp(a, b, 16) != 0) {
      std::fprintf(stderr, "the two digests differ\n");
      std::abort();
    }
    return made;
  }();
  return *tiles;
}

void BM_TileKeyAsThePipelineFeedsIt(benchmark::State& state) {
  const Tiles& tiles = Shared();
  CMd5Digest md5;
  uint8_t out[16];
  int tile = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(Ours(tiles, md5, tile++ % 120, out));
    benchmark::DoNotOptimize(out);
  }
  state.SetBytesProcessed(state.iterations() * (8 + kSide * kSide * 4));
}
BENCHMARK(BM_TileKeyAsThePipelineFeedsIt);

void BM_OpenSslMd5OneCallContiguous(benchmark::State& state) {
  Tiles tiles = Shared();
  tiles.Lay(7);
  uint8_t out[16];
  for (auto _ : state) {
    benchmark::DoNotOptimize(Peer(tiles.contiguous, out));
    benchmark::DoNotOptimize(out);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(tiles.contiguous.size()));
}
BENCHMARK(BM_OpenSslMd5OneCallContiguous);

}  // namespace

BENCHMARK_MAIN();
