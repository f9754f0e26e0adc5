// Formatted wide log lines per second: the cost every wide trace call pays.
#include <benchmark/benchmark.h>

#include "platform/wide_format.h"

namespace {

void BM_FormatWideLogLine(benchmark::State& state) {
  char16_t line[4096];
  const char16_t* roster = u"participant-\u00e9\u4e2d-0042";
  int count = 0;
  for (auto _ : state) {
    size_t n = vz::FormatWide(line, 4096, u"%S [line# %d] : >roster %s joined, status=%d flags=[0x%08X]",
                              "CAppComponentsController::OnRosterJoined", 1234, roster, count, 0xBEEFu + count);
    benchmark::DoNotOptimize(n);
    ++count;
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_FormatWideLogLine);

void BM_FormatWideNumbersOnly(benchmark::State& state) {
  char16_t line[256];
  int count = 0;
  for (auto _ : state) {
    size_t n = vz::FormatWide(line, 256, u"%d %u %x %08X %-5d %c", count, 4000000000u, count, count, -count, u'a');
    benchmark::DoNotOptimize(n);
    ++count;
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_FormatWideNumbersOnly);

void BM_FormatWideString(benchmark::State& state) {
  for (auto _ : state) {
    std::u16string text = vz::FormatWideString(u"%S [line# %d] : >%s", "Func", 42, u"a short wide text");
    benchmark::DoNotOptimize(text.data());
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_FormatWideString);

}  // namespace

BENCHMARK_MAIN();
