// The relay through the real vzbridge to the fake client and back: the round
// trip of a 1 KB message, and the throughput of 100 KB frames in each
// direction.
#include <benchmark/benchmark.h>

#include <string>

#include "bridge/bridge_version.h"
#include "bridge/file_version.h"
#include "bridge/testing/host_harness.h"

namespace {

// One host with a connected client for the whole run.
struct Relay {
  Relay() {
    ok = sandbox.InstallClient("2.9.1.3") && host.Start(VZ_BRIDGE_BINARY, sandbox.Environment()) &&
         host.Send(sandbox.StartRequest(ParseVersionText(VZ_BRIDGE_VERSION), "2.9.1.3"));
    std::string message;
    ok = ok && host.ReadUntilType("MEET_APP_STARTED", &message, 10000);
  }
  ~Relay() {
    host.CloseInput();
    int code = 0;
    host.WaitOutputEnd(5000);
    host.WaitExit(5000, &code);
  }
  HostSandbox sandbox;
  HostHarness host;
  bool ok = false;
};

Relay& TheRelay() {
  static Relay relay;
  return relay;
}

std::string TextOf(size_t size) {
  std::string text = "{\"type\":\"MEET_DS_REQUEST\",\"pad\":\"";
  text.append(size - text.size() - 2, 'x');
  return text + "\"}";
}

void BM_RoundTrip1KB(benchmark::State& state) {
  Relay& relay = TheRelay();
  if (!relay.ok) return state.SkipWithError("no relay");
  const std::string text = TextOf(1024);
  std::string echo;
  for (auto _ : state) {
    if (!relay.host.Send(text) || !relay.host.ReadNonLog(&echo) || echo.size() != text.size()) {
      return state.SkipWithError("lost");
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * 1024);
}
BENCHMARK(BM_RoundTrip1KB)->UseRealTime()->Unit(benchmark::kMicrosecond);

// Extension -> host -> client -> host -> extension, 100 KB text frames.
void BM_EchoFrames100KB(benchmark::State& state) {
  Relay& relay = TheRelay();
  if (!relay.ok) return state.SkipWithError("no relay");
  const std::string text = TextOf(100 * 1024);
  std::string echo;
  for (auto _ : state) {
    if (!relay.host.Send(text) || !relay.host.ReadNonLog(&echo) || echo.size() != text.size()) {
      return state.SkipWithError("lost");
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * 100 * 1024);
}
BENCHMARK(BM_EchoFrames100KB)->UseRealTime()->Unit(benchmark::kMicrosecond);

// Client -> host -> extension, bursts of 100 kind-1 frames of 100 KB.
void BM_ClientFrames100KB(benchmark::State& state) {
  Relay& relay = TheRelay();
  if (!relay.ok) return state.SkipWithError("no relay");
  std::string message;
  for (auto _ : state) {
    if (!relay.host.Send("{\"type\":\"FAKE_BURST\",\"count\":100,\"size\":102400,\"kind\":1}")) {
      return state.SkipWithError("lost");
    }
    for (int i = 0; i < 100; ++i) {
      if (!relay.host.ReadNonLog(&message)) return state.SkipWithError("lost");
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * 100 * 102400);
}
BENCHMARK(BM_ClientFrames100KB)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
