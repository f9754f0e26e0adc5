// Parse time of request texts from 4 KiB to 1 MiB, against RapidJSON's DOM
// parse of the same bytes in the same run (the peer, only here). The fitted
// complexity shows whether parse time grows linearly with the text.
#include <benchmark/benchmark.h>
#include <rapidjson/document.h>

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
            "\"is_presenter\":false,\"is_invisible\":false,\"audio_status\":{\"is_in_session\":true,"
            "\"is_mute\":true},\"telephone_status\":{\"is_in_session\":false,\"is_mute\":false},"
            "\"volume\":-12.25e2,\"ratio\":0.333}";
  }
  text += "]}}";
  return text;
}

// A sharing start request padded with its edge-server list to about `size`.
std::string SharingText(size_t size) {
  std::string text =
      "{\"type\":\"DS_SESSION_REQUEST_START\",\"action\":{\"ds_conf\":{\"conf_id\":\"meet-1234567890\","
      "\"server_addr\":\"share-eu-3.example.net\",\"server_ip\":\"10.21.4.17\",\"port\":443,"
      "\"token\":\"tK4v9b2QmZ1xR8cN0pL6sW3eY7uJ5hG2aD9fB4nM1qT8kV6zX0cR3wE7yU5iO2pA\","
      "\"mode\":1},\"ds_state\":{\"id\":\"roster-778899\",\"ds_id\":\"ds-445566\",\"is_presenter\":1},"
      "\"edge_servers\":[";
  for (int i = 0; text.size() < size - 3; ++i) {
    if (i) text += ',';
    text += "{\"availability_zone\":\"eu-west-" + std::to_string(i) + "\",\"server_addr\":\"edge-" +
            std::to_string(i) + ".example.net\",\"port\":5000,\"tcp_port\":443,\"weight\":0.75}";
  }
  text += "]}}";
  return text;
}

void ReportSize(benchmark::State& state, const std::string& text) {
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
  state.SetComplexityN(static_cast<int64_t>(text.size()));
  state.counters["bytes"] = static_cast<double>(text.size());
}

void BM_JsonParse(benchmark::State& state, std::string (*make)(size_t)) {
  const std::string text = make(static_cast<size_t>(state.range(0)));
  for (auto _ : state) {
    JsonDocument root = JsonParse(text);
    if (!root) state.SkipWithError("the text did not parse");
    benchmark::DoNotOptimize(root);
  }
  ReportSize(state, text);
}

void BM_RapidJsonDom(benchmark::State& state, std::string (*make)(size_t)) {
  const std::string text = make(static_cast<size_t>(state.range(0)));
  for (auto _ : state) {
    rapidjson::Document document;
    document.Parse(text.data(), text.size());
    if (document.HasParseError()) state.SkipWithError("the text did not parse");
    benchmark::DoNotOptimize(document);
  }
  ReportSize(state, text);
}

BENCHMARK_CAPTURE(BM_JsonParse, sharing, SharingText)->Arg(4 << 10);
BENCHMARK_CAPTURE(BM_RapidJsonDom, sharing, SharingText)->Arg(4 << 10);
BENCHMARK_CAPTURE(BM_JsonParse, roster, RosterText)->RangeMultiplier(4)->Range(4 << 10, 1 << 20)->Complexity(benchmark::oN);
BENCHMARK_CAPTURE(BM_RapidJsonDom, roster, RosterText)->RangeMultiplier(4)->Range(4 << 10, 1 << 20)->Complexity(benchmark::oN);

}  // namespace

BENCHMARK_MAIN();
