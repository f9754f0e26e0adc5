// The relay through the real vzbridge to the fake client and back: the round
// trip of a 1 KB message, and the throughput of 100 KB frames in each
// direction. Beside it, the same trips through the peer, a plain byte
// forwarder (bridge/testing/byte_forwarder.cpp): three processes as well
// (this one, the forwarder, the fake client), it only cuts native messages
// into pipe frames and back, with no parse, log or check, so it is the
// yardstick of what moving the bytes costs on this machine. Both relays and
// their fake clients start, and carry one message each, before any timed
// loop; the fake client reuses its buffers, so the loops time the relays.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <string>

#include "bridge/bridge_version.h"
#include "bridge/file_version.h"
#include "bridge/testing/host_harness.h"

namespace {

// One relay with a connected client for the whole run.
struct Relay {
  virtual ~Relay() {
    host.CloseInput();
    int code = 0;
    host.WaitOutputEnd(5000);
    host.WaitExit(5000, &code);
  }
  HostSandbox sandbox;
  HostHarness host;
  bool ok = false;
};

struct HostRelay : Relay {
  HostRelay() {
    ok = sandbox.InstallClient("2.9.1.3") && host.Start(VZ_BRIDGE_BINARY, sandbox.Environment()) &&
         host.Send(sandbox.StartRequest(ParseVersionText(VZ_BRIDGE_VERSION), "2.9.1.3"));
    std::string message;
    ok = ok && host.ReadUntilType("MEET_APP_STARTED", &message, 10000);
  }
};

struct ForwarderRelay : Relay {
  ForwarderRelay() { ok = host.Start(VZ_BYTE_FORWARDER_BINARY, sandbox.Environment(), {VZ_FAKE_CLIENT_BINARY}); }
};

Relay& TheHost() {
  static HostRelay relay;
  return relay;
}

Relay& TheForwarder() {
  static ForwarderRelay relay;
  return relay;
}

Relay& RelayOf(const benchmark::State& state) { return state.range(0) == 0 ? TheHost() : TheForwarder(); }
void Label(benchmark::State& state) { state.SetLabel(state.range(0) == 0 ? "vzbridge" : "byte forwarder"); }

std::string TextOf(size_t size) {
  std::string text = "{\"type\":\"MEET_DS_REQUEST\",\"pad\":\"";
  text.append(size - text.size() - 2, 'x');
  return text + "\"}";
}

void Echo(benchmark::State& state, size_t size) {
  Label(state);
  Relay& relay = RelayOf(state);
  if (!relay.ok) return state.SkipWithError("no relay");
  const std::string text = TextOf(size);
  std::string echo;
  for (auto _ : state) {
    if (!relay.host.Send(text) || !relay.host.ReadNonLog(&echo) || echo.size() != text.size()) {
      return state.SkipWithError("lost");
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(size));
}

void BM_RoundTrip1KB(benchmark::State& state) { Echo(state, 1024); }
BENCHMARK(BM_RoundTrip1KB)->Arg(0)->Arg(1)->UseRealTime()->Unit(benchmark::kMicrosecond);

// Extension -> relay -> client -> relay -> extension, 100 KB text frames.
void BM_EchoFrames100KB(benchmark::State& state) { Echo(state, 100 * 1024); }
BENCHMARK(BM_EchoFrames100KB)->Arg(0)->Arg(1)->UseRealTime()->Unit(benchmark::kMicrosecond);

// Client -> relay -> extension, bursts of 100 kind-1 frames of 100 KB (the
// forwarder hands every kind on as it is; vzbridge wraps them as binary data).
void BM_ClientFrames100KB(benchmark::State& state) {
  Label(state);
  Relay& relay = RelayOf(state);
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
BENCHMARK(BM_ClientFrames100KB)->Arg(0)->Arg(1)->UseRealTime()->Unit(benchmark::kMillisecond);

// Both relays up and carrying a message before the first timed loop.
bool StartRelays() {
  const std::string text = TextOf(1024);
  std::string echo;
  for (Relay* relay : {&TheHost(), &TheForwarder()}) {
    if (!relay->ok || !relay->host.Send(text) || !relay->host.ReadNonLog(&echo, 10000)) return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  if (!StartRelays()) {
    std::fprintf(stderr, "the relays did not start\n");
    return 1;
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
