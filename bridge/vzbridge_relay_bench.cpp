// The relay through the real vzbridge to the fake client and back: the round
// trip of a 1 KB message, and the throughput of 100 KB frames in each
// direction. Beside it, the same trips through the peer, a plain byte
// forwarder (bridge/byte_forwarder_testlib.cpp): three processes as well
// (this one, the forwarder, the fake client), it only cuts native messages
// into pipe frames and back, with no parse, log or check, so it is the
// yardstick of what moving the bytes costs on this machine. Both relays and
// their fake clients start, and carry one message each, before any timed
// loop; the fake client reuses its buffers, so the loops time the relays.
//
// The *Alternated benchmarks give the ratio: each round carries the same
// bytes through vzbridge and through the forwarder, one after the other
// (which goes first switches every round), so a change of the machine's load
// falls on both; "ratio" is the forwarder's time over vzbridge's (1.0: as
// fast as the forwarder). scripts/relay_bench_pinned.sh runs it with the
// benchmark, the relays and the clients each on a core of their own; a plain
// taskset -c 2-5 also works (the relays and their clients inherit the mask).
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>

#include "bridge/bridge_version.h"
#include "bridge/file_version.h"
#include "bridge/host_harness_testlib.h"

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

// Extension -> relay -> client -> relay -> extension: 20 echoes of 100 KB.
bool EchoRound(Relay& relay) {
  static const std::string text = TextOf(100 * 1024);
  std::string_view echo;
  for (int i = 0; i < 20; ++i) {
    if (!relay.host.Send(text) || !relay.host.ReadNonLogView(&echo) || echo.size() != text.size()) return false;
  }
  return true;
}

// Client -> relay -> extension: a burst of 100 kind-1 frames of 100 KB.
bool ClientRound(Relay& relay) {
  std::string_view message;
  if (!relay.host.Send("{\"type\":\"FAKE_BURST\",\"count\":100,\"size\":102400,\"kind\":1}")) return false;
  for (int i = 0; i < 100; ++i) {
    if (!relay.host.ReadNonLogView(&message)) return false;
  }
  return true;
}

template <typename Round>
void Alternated(benchmark::State& state, Round round, double bytes_per_round) {
  if (!TheHost().ok || !TheForwarder().ok) return state.SkipWithError("no relay");
  double host_seconds = 0;
  double forwarder_seconds = 0;
  bool host_first = true;
  for (auto _ : state) {
    for (int turn = 0; turn < 2; ++turn) {
      const bool host = (turn == 0) == host_first;
      const auto start = std::chrono::steady_clock::now();
      if (!round(host ? TheHost() : TheForwarder())) return state.SkipWithError("lost");
      (host ? host_seconds : forwarder_seconds) +=
          std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    host_first = !host_first;
  }
  const double bytes = bytes_per_round * static_cast<double>(state.iterations());
  state.counters["vzbridge_MB/s"] = bytes / host_seconds / 1e6;
  state.counters["forwarder_MB/s"] = bytes / forwarder_seconds / 1e6;
  state.counters["ratio"] = forwarder_seconds / host_seconds;
}

void BM_EchoFrames100KBAlternated(benchmark::State& state) { Alternated(state, EchoRound, 20 * 100 * 1024.0); }
BENCHMARK(BM_EchoFrames100KBAlternated)->UseRealTime()->Unit(benchmark::kMillisecond)->MinTime(3.0);

void BM_ClientFrames100KBAlternated(benchmark::State& state) { Alternated(state, ClientRound, 100 * 102400.0); }
BENCHMARK(BM_ClientFrames100KBAlternated)->UseRealTime()->Unit(benchmark::kMillisecond)->MinTime(3.0);

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
