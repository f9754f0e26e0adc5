// Packing NAL units into RTP media and FEC packets (a 1080p key frame of
// 150 KB, and 1, 10 and 100 KB units), and the receive session's input rate
// at 0, 5 and 30 % loss.
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "video/engine/rtp/rtp_packer.h"
#include "video/engine/rtp/rtp_packet.h"
#include "video/engine/rtp/rtp_session_svc.h"

namespace {

using Bytes = std::vector<uint8_t>;

class CountingSink : public IRtpPackerSink {
 public:
  void Deliver(uint32_t, CVseRtpPacket* const*, int count) override { packets += count; }
  int64_t packets = 0;
};

class KeepingSink : public IRtpPackerSink {
 public:
  void Deliver(uint32_t, CVseRtpPacket* const* packets, int count) override {
    for (int i = 0; i < count; ++i) {
      kept.emplace_back(packets[i]->Data(), packets[i]->Data() + packets[i]->TotalLength());
    }
  }
  std::vector<Bytes> kept;
};

class BaseLayer : public ISvcPrioritySource {
 public:
  int InputNal(const uint8_t*, int) override { return 0; }
  int Priorities(int* out, int count) override {
    for (int i = 0; i < count; ++i) out[i] = 0;
    return 0;
  }
  void LayerIdentity(int* d, int* t, int* q) const override { *d = *t = *q = 0; }
  int TemporalLayerCount(int) const override { return 1; }
};

Bytes MakeNal(int n) {
  Bytes nal(static_cast<size_t>(n + 4), 0);
  nal[3] = 1;
  nal[4] = 0x65;
  std::mt19937 rng(static_cast<unsigned>(n));
  for (int i = 1; i < n; ++i) nal[4 + i] = static_cast<uint8_t>(rng());
  return nal;
}

void BM_PackNalUnit(benchmark::State& state) {
  const Bytes nal = MakeNal(static_cast<int>(state.range(0)));
  CountingSink sink;
  BaseLayer layers;
  CVseRtpPacker packer(1, &sink, DefaultFecPlanning(), &layers);
  packer.SetFecLevel(static_cast<int>(state.range(1)));
  uint32_t ts = 0;
  for (auto _ : state) {
    if (packer.pack(ts += 33, nal.data(), static_cast<int>(nal.size())) != 0) {
      state.SkipWithError("pack failed");
    }
  }
  state.SetItemsProcessed(state.iterations());
  state.SetBytesProcessed(state.iterations() * state.range(0));
  state.counters["packets"] =
      benchmark::Counter(static_cast<double>(sink.packets) / static_cast<double>(state.iterations()));
}
// A 1080p key frame of 150 KB with FEC level 3 and level 7, and without FEC.
BENCHMARK(BM_PackNalUnit)->Args({150000, 3})->Args({150000, 7})->Args({150000, -1})
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PackNalUnit)->Args({1000, 3})->Args({10000, 3})->Args({100000, 3})
    ->Unit(benchmark::kMicrosecond);

void BM_ReceiveInput(benchmark::State& state) {
  // Frames of 60 media packets plus their FEC.
  KeepingSink sink;
  BaseLayer layers;
  CVseRtpPacker packer(1, &sink, DefaultFecPlanning(), &layers);
  packer.SetFecLevel(7);
  const Bytes nal = MakeNal(59000);
  for (int frame = 0; frame < 20; ++frame) {
    packer.pack(static_cast<uint32_t>(frame * 33), nal.data(), static_cast<int>(nal.size()));
  }
  std::mt19937 rng(5);
  std::bernoulli_distribution lost(static_cast<double>(state.range(0)) / 100.0);
  std::vector<const Bytes*> arriving;
  for (const Bytes& p : sink.kept) {
    if (!lost(rng)) arriving.push_back(&p);
  }
  int64_t packets = 0;
  for (auto _ : state) {
    CMMRTPSession4SVC session(nullptr, 1);
    for (const Bytes* p : arriving) {
      session.Input(p->data(), static_cast<int>(p->size()), 0);
    }
    packets += static_cast<int64_t>(arriving.size());
  }
  state.SetItemsProcessed(packets);
}
BENCHMARK(BM_ReceiveInput)->Arg(0)->Arg(5)->Arg(30)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
