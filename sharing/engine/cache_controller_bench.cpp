// The tile cache's digest lookup on a full table (4,980 tiles), a hit and a
// miss (which evicts the oldest), beside a walk over the same digests kept
// side by side in one array: what each lookup would cost without the index.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "sharing/engine/cache_controller.h"

namespace {

constexpr uint32_t kTiles = CCacheController::kTileIndexEnd - CCacheController::kTileIndexStart;

struct Key {
  uint8_t bytes[16];
};

Key KeyOf(uint32_t n) {
  Key k{};
  for (int i = 0; i < 4; ++i) {
    n = n * 2654435761u + 0x9E3779B9u;
    std::memcpy(k.bytes + 4 * i, &n, 4);
  }
  return k;
}

void Fill(CCacheController& table) {
  for (uint32_t n = 0; n < kTiles; ++n) table.LookupTile(KeyOf(n).bytes)->PduId = 1;
}

void BM_LookupTileHitFullTable(benchmark::State& state) {
  CCacheController table;
  Fill(table);
  uint32_t n = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(table.LookupTile(KeyOf(n).bytes));
    n = (n + 7) % kTiles;
  }
}
BENCHMARK(BM_LookupTileHitFullTable);

void BM_LookupTileMissFullTable(benchmark::State& state) {
  CCacheController table;
  Fill(table);
  uint32_t n = kTiles;
  for (auto _ : state) benchmark::DoNotOptimize(table.LookupTile(KeyOf(n++).bytes));
}
BENCHMARK(BM_LookupTileMissFullTable);

// A miss walked over contiguous digests and stamps: the least a lookup
// without an index pays (the table's entries are separate objects, so a
// walk over them costs more).
void BM_WalkOfFullRange(benchmark::State& state) {
  std::vector<Key> keys(kTiles);
  std::vector<uint32_t> stamps(kTiles);
  for (uint32_t n = 0; n < kTiles; ++n) {
    keys[n] = KeyOf(n);
    stamps[n] = n * 3 % kTiles;
  }
  const Key missing = KeyOf(kTiles + 1);
  for (auto _ : state) {
    uint32_t oldest = 0;
    bool hit = false;
    for (uint32_t i = 0; i < kTiles && !hit; ++i) {
      hit = std::memcmp(keys[i].bytes, missing.bytes, 16) == 0;
      if (stamps[i] < stamps[oldest]) oldest = i;
    }
    benchmark::DoNotOptimize(oldest);
    benchmark::DoNotOptimize(hit);
  }
}
BENCHMARK(BM_WalkOfFullRange);

}  // namespace

BENCHMARK_MAIN();
