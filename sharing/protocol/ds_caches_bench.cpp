// A full-screen update's caches message (135 JPEG tiles of a 1920 x 1080
// screen, 10 KB each): building and serializing it on the presenter, and
// parsing it into cache entries on the attendee. The peer is the one copy
// of the same tile bytes that any wire form must make.
#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "sharing/protocol/ds_message_builder.h"
#include "sharing/protocol/ds_reception.h"

namespace {

constexpr int kTiles = 135;
constexpr uint32_t kTileBytes = 10000;

struct Tiles {
  Tiles() {
    std::mt19937 random(7);
    std::vector<uint8_t> bytes(kTileBytes);
    for (int i = 0; i < kTiles; ++i) {
      for (auto& b : bytes) b = static_cast<uint8_t>(random());
      entries.emplace_back(new CCacheEntry(20 + i));
      entries.back()->PduId = 1000 + i;
      entries.back()->SetSlot(0, DS_CACHE_JPEG, bytes.data(), kTileBytes);
      list.push_back(entries.back().get());
    }
  }
  std::vector<std::unique_ptr<CCacheEntry>> entries;
  std::vector<CCacheEntry*> list;
};

const Tiles& SharedTiles() {
  static const Tiles tiles;
  return tiles;
}

void BM_SerializeCaches(benchmark::State& state) {
  const Tiles& tiles = SharedTiles();
  CDsMessageBuilder builder;
  builder.SetDsId(u"bench-ds");
  std::string out;
  for (auto _ : state) {
    builder.BuildCaches(tiles.list.data(), kTiles, &out);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * kTiles * kTileBytes);
}
BENCHMARK(BM_SerializeCaches)->Unit(benchmark::kMicrosecond);

void BM_ParseCaches(benchmark::State& state) {
  const Tiles& tiles = SharedTiles();
  CDsMessageBuilder builder;
  builder.SetDsId(u"bench-ds");
  std::string bytes;
  builder.BuildCaches(tiles.list.data(), kTiles, &bytes);
  for (auto _ : state) {
    auto events = ReadDsReception(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), false);
    benchmark::DoNotOptimize(events.data());
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * kTiles * kTileBytes);
}
BENCHMARK(BM_ParseCaches)->Unit(benchmark::kMicrosecond);

// Peer: copying the tiles once into one buffer and once out again into
// heap blocks, the least a serialize and a parse can do.
void BM_PeerCopyTilesInAndOut(benchmark::State& state) {
  const Tiles& tiles = SharedTiles();
  std::string out;
  for (auto _ : state) {
    out.resize(size_t(kTiles) * kTileBytes);
    for (int i = 0; i < kTiles; ++i) {
      std::memcpy(&out[size_t(i) * kTileBytes], tiles.list[i]->Slots[0].Data, kTileBytes);
    }
    std::vector<std::unique_ptr<uint8_t[]>> copies;
    copies.reserve(kTiles);
    for (int i = 0; i < kTiles; ++i) {
      copies.emplace_back(new uint8_t[kTileBytes]);
      std::memcpy(copies.back().get(), &out[size_t(i) * kTileBytes], kTileBytes);
    }
    benchmark::DoNotOptimize(copies.data());
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * kTiles * kTileBytes);
}
BENCHMARK(BM_PeerCopyTilesInAndOut)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
