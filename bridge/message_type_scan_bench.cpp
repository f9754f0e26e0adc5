// Reading the "type" of a 100 KB relayed message: the host's scan, against
// RapidJSON's SAX reader (which validates and reports the same member
// without building a tree), and against the full parse the host makes of
// its own messages.
#include <benchmark/benchmark.h>
#include <rapidjson/reader.h>

#include <memory>
#include <string>

#include "bridge/message_type_scan.h"
#include "weblink/json/json_lookup.h"
#include "weblink/json/json_parser.h"

namespace {

std::string Message() {
  std::string text = "{\"type\":\"MEET_DS_REQUEST\",\"action\":1,\"config\":{\"w\":1920,\"h\":1080,\"names\":[";
  for (int i = 0; i < 50; ++i) text += "\"name " + std::to_string(i) + "\",";
  text += "\"last\"]},\"pad\":\"";
  text.append(100 * 1024 - text.size() - 2, 'x');
  return text + "\"}";
}

void BM_ScanType100KB(benchmark::State& state) {
  const std::string text = Message();
  for (auto _ : state) {
    std::string_view type;
    if (!ScanMessageType(text, &type)) return state.SkipWithError("unsure");
    benchmark::DoNotOptimize(type);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_ScanType100KB);

// The top-level "type" string, as the SAX events pass.
struct TypeHandler : rapidjson::BaseReaderHandler<rapidjson::UTF8<>, TypeHandler> {
  bool Default() { return EndValue(); }
  bool String(const char* text, rapidjson::SizeType length, bool) {
    if (depth == 1 && type_key) type.assign(text, length);
    return EndValue();
  }
  bool Key(const char* text, rapidjson::SizeType length, bool) {
    type_key = depth == 1 && std::string_view(text, length) == "type";
    return true;
  }
  bool StartObject() { return ++depth, EndValue(); }
  bool EndObject(rapidjson::SizeType) { return --depth, true; }
  bool StartArray() { return ++depth, EndValue(); }
  bool EndArray(rapidjson::SizeType) { return --depth, true; }
  bool EndValue() {
    type_key = false;
    return true;
  }
  int depth = 0;
  bool type_key = false;
  std::string type;
};

void BM_RapidJsonSaxType100KB(benchmark::State& state) {
  const std::string text = Message();
  for (auto _ : state) {
    rapidjson::Reader reader;
    rapidjson::StringStream stream(text.c_str());
    TypeHandler handler;
    if (!reader.Parse(stream, handler) || handler.type.empty()) return state.SkipWithError("failed");
    benchmark::DoNotOptimize(handler.type);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_RapidJsonSaxType100KB);

void BM_FullParseType100KB(benchmark::State& state) {
  const std::string text = Message();
  for (auto _ : state) {
    const JsonDocument value = JsonParse(text);
    if (!value) return state.SkipWithError("failed");
    benchmark::DoNotOptimize(JsonGetString(value->members(), "type"));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_FullParseType100KB);

}  // namespace

BENCHMARK_MAIN();
