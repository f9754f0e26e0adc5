// The per-packet path of the media transport's records: an RTP record of a
// 1,200-byte packet written into a reused stream and read back into its own
// copy, beside the least that job can cost (the same bytes copied in and out
// of a plain buffer with memcpy).
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "common/byte_stream.h"
#include "common/transport_records.h"

namespace {

constexpr uint32_t kPacket = 1200;

void BM_RtpRecordWriteAndRead(benchmark::State& state) {
  std::vector<uint8_t> packet(kPacket, 0x5A);
  CByteStream stream(nullptr, 1024, false);  // grown once, then reused
  RtpRecord record;
  for (auto _ : state) {
    stream.Clear();
    WriteRtpRecord(&stream, 1, packet.data(), kPacket);
    ReadRtpRecord(&stream, &record);
    benchmark::DoNotOptimize(record.data.data());
  }
  state.counters["records/s"] = benchmark::Counter(static_cast<double>(state.iterations()),
                                                   benchmark::Counter::kIsRate);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kPacket);
}

void BM_PlainCopyInAndOut(benchmark::State& state) {
  std::vector<uint8_t> packet(kPacket, 0x5A);
  std::vector<uint8_t> buffer(11 + kPacket), out(kPacket);
  const uint8_t header[11] = {0, 8, 0, 0, 0, 0, 0, 0, 1, kPacket >> 8, kPacket & 0xFF};
  for (auto _ : state) {
    std::memcpy(buffer.data(), header, sizeof(header));
    std::memcpy(buffer.data() + 11, packet.data(), kPacket);
    benchmark::DoNotOptimize(buffer.data());
    std::memcpy(out.data(), buffer.data() + 11, kPacket);
    benchmark::DoNotOptimize(out.data());
  }
  state.counters["records/s"] = benchmark::Counter(static_cast<double>(state.iterations()),
                                                   benchmark::Counter::kIsRate);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kPacket);
}

BENCHMARK(BM_RtpRecordWriteAndRead);
BENCHMARK(BM_PlainCopyInAndOut);

}  // namespace

BENCHMARK_MAIN();
