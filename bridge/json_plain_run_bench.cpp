// The check that a relayed base64 block can stand in a JSON string as it is,
// on 100 KB: the scan alone (what the host does: the bytes then leave from
// where they lie), the scan with a copy into a quoted string, and the peer,
// RapidJSON's writer with its SSE2 scan writing the same quoted string into
// a reused buffer (the least a JSON writer does with such a string).
#define RAPIDJSON_SSE2
#include <benchmark/benchmark.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "bridge/json_plain_run.h"

namespace {

std::string Payload() {
  static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string text(100 * 1024, 'A');
  for (size_t i = 0; i < text.size(); ++i) text[i] = kAlphabet[(i * 37 + i / 64) % 64];
  return text;
}

void Scan(benchmark::State& state, JsonPlainRunFn kernel) {
  const std::string payload = Payload();
  if (kernel == nullptr) return state.SkipWithError("no such kernel here");
  for (auto _ : state) {
    const size_t plain = kernel(payload.data(), payload.size());
    if (plain != payload.size()) return state.SkipWithError("wrong");
    benchmark::DoNotOptimize(plain);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(payload.size()));
}

void BM_PlainRunScan100KB(benchmark::State& state) { Scan(state, JsonPlainRunLength); }
BENCHMARK(BM_PlainRunScan100KB);
void BM_PlainRunScanVector16_100KB(benchmark::State& state) {
  Scan(state, JsonPlainRunKernel(JsonScanKernel::kVector16));
}
BENCHMARK(BM_PlainRunScanVector16_100KB);
void BM_PlainRunScanBytes100KB(benchmark::State& state) { Scan(state, JsonPlainRunKernel(JsonScanKernel::kBytes)); }
BENCHMARK(BM_PlainRunScanBytes100KB);

void BM_PlainRunScanAndCopy100KB(benchmark::State& state) {
  const std::string payload = Payload();
  // The copy lands 64-byte aligned behind its quote: a destination one byte
  // off its source's alignment makes this machine's string copy several
  // times slower, which would time the copy, not the scan.
  std::string room(payload.size() + 128, '"');
  char* const out = room.data() + 64 - (reinterpret_cast<uintptr_t>(room.data()) % 64);
  for (auto _ : state) {
    if (JsonPlainRunLength(payload.data(), payload.size()) != payload.size()) return state.SkipWithError("wrong");
    std::memcpy(out, payload.data(), payload.size());
    benchmark::DoNotOptimize(out);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(payload.size()));
}
BENCHMARK(BM_PlainRunScanAndCopy100KB);

void BM_RapidJsonWriterString100KB(benchmark::State& state) {
  const std::string payload = Payload();
  rapidjson::StringBuffer buffer;
  for (auto _ : state) {
    buffer.Clear();
    rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
    if (!writer.String(payload.data(), static_cast<rapidjson::SizeType>(payload.size()))) {
      return state.SkipWithError("failed");
    }
    benchmark::DoNotOptimize(buffer.GetString());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(payload.size()));
}
BENCHMARK(BM_RapidJsonWriterString100KB);

}  // namespace

BENCHMARK_MAIN();
