// Reed-Solomon encode and recovery throughput at 1,200-byte packets, beside
// ISA-L's erasure code (the peer) on the same shapes (MB/s of source data).
// The peer works with our codec's own encoding matrix (the same field,
// 0x11D), so it computes the same repairs (checked) and, in recovery,
// inverts the same k x k matrix of the received rows each round, then
// multiplies the received packets by the wanted rows of the inverse with its
// SIMD tables, as our Decode does.
#include <benchmark/benchmark.h>
#include <isa-l/erasure_code.h>

#include <cstring>
#include <random>
#include <vector>

#include "video/engine/rtp/gf256_kernels.h"
#include "video/engine/rtp/reed_solomon_codec.h"

namespace {

constexpr int kPacketBytes = 1200;

struct Shape {
  int k;
  int m;
  std::vector<std::vector<uint8_t>> sources;
  std::vector<std::vector<uint8_t>> repairs;
  std::vector<uint8_t*> source_ptrs;
  std::vector<uint8_t*> repair_ptrs;

  Shape(int k_, int m_) : k(k_), m(m_) {
    std::mt19937 rng(static_cast<unsigned>(k * 1000 + m));
    sources.assign(static_cast<size_t>(k), std::vector<uint8_t>(kPacketBytes));
    repairs.assign(static_cast<size_t>(m), std::vector<uint8_t>(kPacketBytes));
    for (auto& s : sources)
      for (auto& b : s) b = static_cast<uint8_t>(rng());
    for (auto& s : sources) source_ptrs.push_back(s.data());
    for (auto& r : repairs) repair_ptrs.push_back(r.data());
  }
};

void SetCounters(benchmark::State& state, int k) {
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * k * kPacketBytes);
  state.counters["kernel"] = static_cast<double>(vz::rtp::ActiveGfKernel());
}

void BM_OurEncode(benchmark::State& state) {
  Shape shape(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
  auto codec = CReedSolomonCodec::Create(shape.k, shape.k + shape.m);
  for (auto _ : state) {
    codec->Encode(shape.source_ptrs.data(), kPacketBytes, shape.repair_ptrs.data());
    benchmark::ClobberMemory();
  }
  SetCounters(state, shape.k);
}

// Our codec's matrix, n x k, for the peer.
std::vector<uint8_t> OurMatrix(const CReedSolomonCodec& codec) {
  std::vector<uint8_t> matrix(static_cast<size_t>(codec.n()) * codec.k_for_testing());
  for (int r = 0; r < codec.n(); ++r) {
    std::memcpy(&matrix[static_cast<size_t>(r) * codec.k_for_testing()], codec.Row(r), codec.k_for_testing());
  }
  return matrix;
}

void BM_IsalEncode(benchmark::State& state) {
  Shape shape(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
  auto codec = CReedSolomonCodec::Create(shape.k, shape.k + shape.m);
  std::vector<uint8_t> matrix = OurMatrix(*codec);
  std::vector<uint8_t> tables(static_cast<size_t>(32) * shape.k * shape.m);
  ec_init_tables(shape.k, shape.m, matrix.data() + shape.k * shape.k, tables.data());
  for (auto _ : state) {
    ec_encode_data(kPacketBytes, shape.k, shape.m, tables.data(), shape.source_ptrs.data(),
                   shape.repair_ptrs.data());
    benchmark::ClobberMemory();
  }
  // The same matrix gives the same repairs as ours.
  std::vector<std::vector<uint8_t>> ours(static_cast<size_t>(shape.m), std::vector<uint8_t>(kPacketBytes));
  std::vector<uint8_t*> our_ptrs;
  for (auto& o : ours) our_ptrs.push_back(o.data());
  codec->Encode(shape.source_ptrs.data(), kPacketBytes, our_ptrs.data());
  for (int r = 0; r < shape.m; ++r) {
    if (std::memcmp(ours[r].data(), shape.repairs[r].data(), kPacketBytes) != 0) state.SkipWithError("other repairs");
  }
  SetCounters(state, shape.k);
}

// Recovery of m lost sources from the other k - m sources and the m repairs,
// matrix inversion included (it changes with every loss pattern).
void BM_OurRecover(benchmark::State& state) {
  Shape shape(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
  const int k = shape.k;
  const int m = std::min(shape.m, k);
  auto codec = CReedSolomonCodec::Create(k, k + shape.m);
  codec->Encode(shape.source_ptrs.data(), kPacketBytes, shape.repair_ptrs.data());
  std::vector<const uint8_t*> received;
  std::vector<int> indices;
  std::vector<int> wanted;
  for (int i = 0; i < k; ++i) {
    if (i < m) {
      wanted.push_back(i);
      received.push_back(shape.repair_ptrs[i]);
      indices.push_back(k + i);
    } else {
      received.push_back(shape.source_ptrs[i]);
      indices.push_back(i);
    }
  }
  std::vector<std::vector<uint8_t>> out(static_cast<size_t>(m), std::vector<uint8_t>(kPacketBytes));
  std::vector<uint8_t*> out_ptrs;
  for (auto& o : out) out_ptrs.push_back(o.data());
  for (auto _ : state) {
    if (codec->Decode(received.data(), kPacketBytes, indices.data(), out_ptrs.data(), wanted.data(),
                      m) != 0) {
      state.SkipWithError("decode failed");
    }
    benchmark::ClobberMemory();
  }
  if (std::memcmp(out[0].data(), shape.sources[0].data(), kPacketBytes) != 0) {
    state.SkipWithError("wrong bytes");
  }
  SetCounters(state, k);
}

void BM_IsalRecover(benchmark::State& state) {
  Shape shape(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
  const int k = shape.k;
  const int n = k + shape.m;
  const int m = std::min(shape.m, k);
  auto codec = CReedSolomonCodec::Create(k, n);
  std::vector<uint8_t> matrix = OurMatrix(*codec);
  codec->Encode(shape.source_ptrs.data(), kPacketBytes, shape.repair_ptrs.data());
  std::vector<uint8_t*> received;
  std::vector<int> rows;
  for (int i = 0; i < k; ++i) {
    received.push_back(i < m ? shape.repair_ptrs[i] : shape.source_ptrs[i]);
    rows.push_back(i < m ? k + i : i);
  }
  std::vector<std::vector<uint8_t>> out(static_cast<size_t>(m), std::vector<uint8_t>(kPacketBytes));
  std::vector<uint8_t*> out_ptrs;
  for (auto& o : out) out_ptrs.push_back(o.data());
  std::vector<uint8_t> b(static_cast<size_t>(k) * k), inv(static_cast<size_t>(k) * k);
  std::vector<uint8_t> decode(static_cast<size_t>(m) * k);
  std::vector<uint8_t> decode_tables(static_cast<size_t>(32) * k * m);
  for (auto _ : state) {
    for (int i = 0; i < k; ++i) std::memcpy(&b[i * k], &matrix[rows[i] * k], k);
    if (gf_invert_matrix(b.data(), inv.data(), k) != 0) state.SkipWithError("singular");
    for (int w = 0; w < m; ++w) std::memcpy(&decode[w * k], &inv[w * k], k);
    ec_init_tables(k, m, decode.data(), decode_tables.data());
    ec_encode_data(kPacketBytes, k, m, decode_tables.data(), received.data(), out_ptrs.data());
    benchmark::ClobberMemory();
  }
  if (std::memcmp(out[0].data(), shape.sources[0].data(), kPacketBytes) != 0) {
    state.SkipWithError("wrong bytes");
  }
  SetCounters(state, k);
}

BENCHMARK(BM_OurEncode)->Args({16, 4})->Args({60, 40});
BENCHMARK(BM_IsalEncode)->Args({16, 4})->Args({60, 40});
BENCHMARK(BM_OurRecover)->Args({16, 4})->Args({60, 40});
BENCHMARK(BM_IsalRecover)->Args({16, 4})->Args({60, 40});

}  // namespace

BENCHMARK_MAIN();
