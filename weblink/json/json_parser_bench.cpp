// Parse throughput on request texts from 4 KiB to 1 MiB; the fitted
// complexity shows whether parse time grows linearly with the text.
#include <benchmark/benchmark.h>

#include <string>

#include "weblink/json/json_parser.h"

namespace {

// A roster update of about `size` bytes, shaped like the web page's.
std::string RosterText(size_t size) {
  std::string text = "{\"type\":\"APP_ROSTERS_CMD_UPDATED\",\"action\":{\"rosters\":[";
  for (int i = 0; text.size() < size; ++i) {
    if (i) text += ',';
    const std::string id = std::to_string(100000 + i);
    text += "{\"id\":\"" + id + "\",\"user\":{\"name\":\"Participant " + id +
            "\",\"first_name\":\"Zo\\u00eb\",\"last_name\":\"M\xC3\xBCller\"},\"is_host\":false,"
            "\"is_presenter\":FALSE,\"is_invisible\":false,\"audio_status\":{\"is_in_session\":true,"
            "\"is_mute\":true},\"telephone_status\":{\"is_in_session\":false,\"is_mute\":false},"
            "\"volume\":-12.25e2,\"ratio\":0.333}";
  }
  text += "]}}";
  return text;
}

void BM_JsonParse(benchmark::State& state) {
  const std::string text = RosterText(static_cast<size_t>(state.range(0)));
  for (auto _ : state) {
    auto root = JsonParse(text.c_str());
    if (!root) state.SkipWithError("the text did not parse");
    benchmark::DoNotOptimize(root);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
  state.SetComplexityN(static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_JsonParse)->RangeMultiplier(4)->Range(4 << 10, 1 << 20)->Complexity(benchmark::oN);

}  // namespace

BENCHMARK_MAIN();
