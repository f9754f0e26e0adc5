// Benchmarks of the pipe: ping -> pong round trips through the client and a
// socket server, the throughput of 1 MiB kind-1 frames each way, and the
// cutter alone on many small frames.
#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "common/scoped_lock.h"
#include "platform/pipe_name_testlib.h"
#include "weblink/pipe/pipe_client.h"
#include "weblink/pipe/pipe_frame.h"
#include "weblink/pipe/pipe_frame_cutter.h"
#include "weblink/pipe/pipe_test_peer_testlib.h"

namespace {

// Counts frames received by the client and wakes the benchmark loop.
class CountingCallback : public CWebSocketClientCallback {
 public:
  void OnConnect() override { Bump(); }
  void OnDisconnect(int) override {}
  void OnReceiveText(const std::string&) override { Bump(); }
  void OnReceiveBinary(const std::string&) override { Bump(); }

  void WaitFor(uint64_t count) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait_for(lock, std::chrono::seconds(10), [&] { return count_ >= count; });
  }
  uint64_t Count() {
    std::lock_guard<std::mutex> lock(mutex_);
    return count_;
  }

 private:
  void Bump() {
    std::lock_guard<std::mutex> lock(mutex_);
    ++count_;
    changed_.notify_all();
  }
  std::mutex mutex_;
  std::condition_variable changed_;
  uint64_t count_ = 0;
};

// A connected client and peer, and a server thread that serves `serve`.
struct Link {
  explicit Link() : name(NextTestPipeName()), peer(name), client(&callback) {}

  bool Open() {
    if (!peer.BindAndListen() || !client.Start(name) || !peer.Accept()) return false;
    callback.WaitFor(1);
    return true;
  }

  bool Send(std::string_view payload, uint32_t kind) {
    CScopedLock lock(client.ClientLock());
    return client.Send(payload, kind);
  }

  std::u16string name;
  PipeTestPeer peer;
  CountingCallback callback;
  CPipeClient client;
};

void BM_PingPongRoundTrip(benchmark::State& state) {
  Link link;
  if (!link.Open()) {
    state.SkipWithError("no link");
    return;
  }
  std::atomic<bool> running{true};
  const std::string pong = BuildPipeFrame(PIPE_KIND_JSON_TEXT, "{\"type\":\"pong\"}");
  std::thread server([&] {
    std::vector<PipeTestFrame> frames;
    while (running) {
      frames.clear();
      if (link.peer.ReadFrames(1, &frames, 100)) link.peer.WriteAll(pong);
    }
  });
  uint64_t expected = link.callback.Count();
  for (auto _ : state) {
    link.Send("{\"type\":\"ping\"}", PIPE_KIND_JSON_TEXT);
    link.callback.WaitFor(++expected);
  }
  running = false;
  server.join();
  link.client.Stop();
}
BENCHMARK(BM_PingPongRoundTrip)->UseRealTime();

constexpr size_t kFrameBytes = 1024 * 1024;
constexpr int kFramesPerIteration = 16;

void BM_MegabyteFramesClientToServer(benchmark::State& state) {
  Link link;
  if (!link.Open()) {
    state.SkipWithError("no link");
    return;
  }
  const std::string payload(kFrameBytes, 'A');
  for (auto _ : state) {
    for (int i = 0; i < kFramesPerIteration; ++i) link.Send(payload, PIPE_KIND_BASE64_DATA);
    std::vector<PipeTestFrame> frames;
    if (!link.peer.ReadFrames(kFramesPerIteration, &frames, 10000)) {
      state.SkipWithError("frames lost");
      break;
    }
  }
  state.SetBytesProcessed(state.iterations() * kFramesPerIteration * static_cast<int64_t>(kFrameBytes));
  link.client.Stop();
}
BENCHMARK(BM_MegabyteFramesClientToServer)->UseRealTime()->Unit(benchmark::kMillisecond);

void BM_MegabyteFramesServerToClient(benchmark::State& state) {
  Link link;
  if (!link.Open()) {
    state.SkipWithError("no link");
    return;
  }
  std::string batch;
  for (int i = 0; i < kFramesPerIteration; ++i) {
    batch += BuildPipeFrame(PIPE_KIND_BASE64_DATA, std::string(kFrameBytes, 'B'));
  }
  uint64_t expected = link.callback.Count();
  for (auto _ : state) {
    link.peer.WriteAll(batch, 10000);
    expected += kFramesPerIteration;
    link.callback.WaitFor(expected);
  }
  state.SetBytesProcessed(state.iterations() * kFramesPerIteration * static_cast<int64_t>(kFrameBytes));
  link.client.Stop();
}
BENCHMARK(BM_MegabyteFramesServerToClient)->UseRealTime()->Unit(benchmark::kMillisecond);

// Many small frames per read, the case that erasing from the front per
// frame makes quadratic.
void BM_CutSmallFrames(benchmark::State& state) {
  std::string stream;
  while (stream.size() < 32768 - 128) stream += BuildPipeFrame(PIPE_KIND_TRACE_LOG, std::string(100, 'l'));
  PipeFrameCutter cutter;
  for (auto _ : state) {
    cutter.Append(stream.data(), stream.size());
    PipeFrameView view;
    while (cutter.Next(&view) == PipeFrameCutter::Result::kFrame) benchmark::DoNotOptimize(view.payload.data());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(stream.size()));
}
BENCHMARK(BM_CutSmallFrames);

}  // namespace

int main(int argc, char** argv) {
  vz::ScopedPipeTestFolder folder;  // sockets go to a temporary folder
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
