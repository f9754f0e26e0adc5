// The relay's fan-out: one member sends 1 MB of 1,200-byte RTP packets into
// a video session and every other member receives them all, through the
// relay's server loop on loopback TCP: plain relaying, and the video
// server's role, which forwards each packet only to the members that
// subscribed to its sender (all of them here). Beside it, the same bytes written
// straight to the same number of plain loopback sockets (the least any
// fan-out over sockets can cost). Counters: members served, packets per
// second delivered, and how many times over each member's 1 MB/s the rate is.
#include <benchmark/benchmark.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "outside/vzwire/relay/join_request.h"
#include "outside/vzwire/relay/raw_frame_client_testlib.h"
#include "outside/vzwire/relay/relay_roles.h"
#include "outside/vzwire/relay/relay_server.h"

namespace {

using vzrelay::FrameKind;

constexpr size_t kPacketSize = 1200;
constexpr size_t kPacketsPerMegabyte = (1u << 20) / kPacketSize;  // 873

std::vector<uint8_t> RtpFrame(uint32_t ssrc, uint16_t sequence) {
  std::vector<uint8_t> record = {0, 8, 0, 0, 0, 0, 0, 0, 1, kPacketSize >> 8, kPacketSize & 0xFF};
  std::vector<uint8_t> packet(kPacketSize, 0x42);
  packet[0] = 0x80;
  packet[2] = static_cast<uint8_t>(sequence >> 8);
  packet[3] = static_cast<uint8_t>(sequence);
  for (int i = 0; i < 4; ++i) packet[8 + i] = static_cast<uint8_t>(ssrc >> (24 - 8 * i));
  record.insert(record.end(), packet.begin(), packet.end());
  return vzrelay::MakeFrame(FrameKind::kRtp, record.data(), record.size());
}

// Counts whole frames of one kind arriving on a set of sockets, on its own thread.
class Drain {
 public:
  explicit Drain(std::vector<vz::LocalSocket*> sockets, FrameKind kind = FrameKind::kRtp)
      : sockets_(std::move(sockets)), readers_(sockets_.size()), kind_(kind) {
    thread_ = std::thread([this] { Run(); });
  }
  ~Drain() {
    stop_ = true;
    thread_.join();
  }
  uint64_t Frames() const { return frames_.load(); }

 private:
  void Run() {
    std::vector<vz::PollItem> items(sockets_.size());
    std::vector<uint8_t> buffer(256 * 1024);
    vzrelay::Frame frame;
    while (!stop_) {
      for (size_t i = 0; i < sockets_.size(); ++i) items[i] = {sockets_[i]->Fd(), vz::kPollReadable, 0};
      if (vz::PollDescriptors(items.data(), items.size(), 20) <= 0) continue;
      for (size_t i = 0; i < sockets_.size(); ++i) {
        if (items[i].ready == 0) continue;
        for (;;) {
          const vz::IoResult result = sockets_[i]->Read(buffer.data(), buffer.size());
          if (result.status != vz::IoStatus::kOk) break;
          readers_[i].Append(buffer.data(), result.bytes);
          uint64_t count = 0;
          while (readers_[i].Next(&frame) == vzrelay::FrameReader::Result::kFrame) {
            count += frame.kind == kind_ ? 1 : 0;
          }
          frames_ += count;
        }
      }
    }
  }

  std::vector<vz::LocalSocket*> sockets_;
  std::vector<vzrelay::FrameReader> readers_;
  FrameKind kind_;
  std::atomic<uint64_t> frames_{0};
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

// Writes every byte, waiting for room.
void WriteAll(vz::LocalSocket& socket, const uint8_t* data, size_t size) {
  size_t done = 0;
  while (done < size) {
    const vz::IoResult result = socket.Write(data + done, size - done);
    if (result.status == vz::IoStatus::kOk) {
      done += result.bytes;
    } else {
      vz::PollItem item{socket.Fd(), vz::kPollWritable, 0};
      vz::PollDescriptors(&item, 1, 100);
    }
  }
}

void WaitFor(const Drain& drain, uint64_t frames) {
  while (drain.Frames() < frames) std::this_thread::yield();
}

void SetCounters(benchmark::State& state, int members, uint64_t packets_delivered) {
  state.counters["members"] = members;
  state.counters["packets/s"] = benchmark::Counter(static_cast<double>(packets_delivered), benchmark::Counter::kIsRate);
  // Each member is meant to get 1 MB a second: how many times over that.
  state.counters["x_realtime"] = benchmark::Counter(static_cast<double>(packets_delivered) /
                                                        (static_cast<double>(kPacketsPerMegabyte) * members),
                                                    benchmark::Counter::kIsRate);
}

// A subscription of `subscriber` to the sender's video, as a client sends it.
std::vector<uint8_t> SubscribeFrame(const std::string& subscriber) {
  const std::string entry = std::string("\x52\x06sender\xF0\x01\x02", 11);
  std::string record = std::string("\x00\x07\xA0\x01\x0B\xE2\x03", 7) + static_cast<char>(subscriber.size()) +
                       subscriber + "\xE2\x08" + static_cast<char>(entry.size()) + entry;
  return vzrelay::MakeFrame(FrameKind::kCommand, reinterpret_cast<const uint8_t*>(record.data()), record.size());
}

void RunFanOut(benchmark::State& state, bool video_role) {
  const int members = static_cast<int>(state.range(0));
  vzrelay::RelayOptions options;
  options.hub.media_backlog_limit = 64u << 20;  // measure the relay, not its shedding
  options.backlog_limit = 256u << 20;
  vzrelay::RelayServer server(options);
  if (video_role) vzrelay::InstallRelayRoles(server.Hub());
  if (!server.Start()) {
    state.SkipWithError("no loopback port");
    return;
  }
  std::thread serving([&server] { server.Run(); });
  std::vector<std::unique_ptr<vzrelay_test::RawClient>> clients;
  uint32_t sender_ssrc = 0;
  for (int i = 0; i <= members; ++i) {
    auto client = std::make_unique<vzrelay_test::RawClient>();
    vzrelay::JoinRequest join;
    join.session_type = 2;
    join.session_id = "bench";
    join.token = "t";
    join.roster_id = i == 0 ? "sender" : "m" + std::to_string(i);
    vzrelay::Frame confirm;
    if (!client->Connect(server.Port()) || !client->Send(FrameKind::kJoin, vzrelay::EncodeJoinRequest(join)) ||
        !client->Next(&confirm) || confirm.kind != FrameKind::kJoinConfirm) {
      state.SkipWithError("join failed");
      server.Stop();
      serving.join();
      return;
    }
    if (i == 0) sender_ssrc = static_cast<uint32_t>(confirm.payload[0] << 24 | confirm.payload[1] << 16 |
                                                    confirm.payload[2] << 8 | confirm.payload[3]);
    clients.push_back(std::move(client));
  }
  if (video_role) {
    // Every member subscribes; the sender hears each subscription once the
    // server has it.
    for (int i = 1; i <= members; ++i) clients[i]->WriteAll(SubscribeFrame("m" + std::to_string(i)));
    int heard = 0;
    vzrelay::Frame frame;
    while (heard < members && clients[0]->Next(&frame)) {
      const bool subscribe = frame.kind == FrameKind::kCommand && frame.payload.size() > 4 &&
                             frame.payload[2] == 0xA0 && frame.payload[4] == 0x0B;
      heard += subscribe ? 1 : 0;
    }
    if (heard < members) {
      state.SkipWithError("subscriptions not confirmed");
      server.Stop();
      serving.join();
      return;
    }
  }
  std::vector<uint8_t> megabyte;
  for (size_t i = 0; i < kPacketsPerMegabyte; ++i) {
    const std::vector<uint8_t> frame = RtpFrame(sender_ssrc, static_cast<uint16_t>(i));
    megabyte.insert(megabyte.end(), frame.begin(), frame.end());
  }
  std::vector<vz::LocalSocket*> receivers;
  for (int i = 1; i <= members; ++i) receivers.push_back(&clients[i]->Socket());
  Drain drain(receivers);
  uint64_t expected = 0;
  for (auto _ : state) {
    WriteAll(clients[0]->Socket(), megabyte.data(), megabyte.size());
    expected += kPacketsPerMegabyte * members;
    WaitFor(drain, expected);
  }
  SetCounters(state, members, expected);
  server.Stop();
  serving.join();
}

void BM_RelayFanOut(benchmark::State& state) { RunFanOut(state, false); }
void BM_VideoRoleFanOut(benchmark::State& state) { RunFanOut(state, true); }

void BM_PlainSocketFanOut(benchmark::State& state) {
  const int members = static_cast<int>(state.range(0));
  vz::LoopbackTcpListener listener;
  if (!listener.Listen(0, members + 1)) {
    state.SkipWithError("no loopback port");
    return;
  }
  std::vector<vz::LocalSocket> writers(members), readers(members);
  for (int i = 0; i < members; ++i) {
    vz::ConnectLoopbackTcp(listener.Port(), 2000, &writers[i]);
    while (listener.Accept(&readers[i]).status != vz::IoStatus::kOk) {
      vz::PollItem item{listener.Fd(), vz::kPollReadable, 0};
      vz::PollDescriptors(&item, 1, 100);
    }
  }
  std::vector<uint8_t> megabyte;
  for (size_t i = 0; i < kPacketsPerMegabyte; ++i) {
    const std::vector<uint8_t> frame = RtpFrame(0x1000, static_cast<uint16_t>(i));
    megabyte.insert(megabyte.end(), frame.begin(), frame.end());
  }
  std::vector<vz::LocalSocket*> receivers;
  for (auto& reader : readers) receivers.push_back(&reader);
  Drain drain(receivers);
  uint64_t expected = 0;
  for (auto _ : state) {
    // The same bytes to every member, as the relay writes them, 64 KB at a
    // time round the members so none waits for all the others.
    for (size_t at = 0; at < megabyte.size(); at += 65536) {
      const size_t n = std::min<size_t>(65536, megabyte.size() - at);
      for (auto& writer : writers) WriteAll(writer, megabyte.data() + at, n);
    }
    expected += kPacketsPerMegabyte * members;
    WaitFor(drain, expected);
  }
  SetCounters(state, members, expected);
}

// Large payloads (4 MiB data frames, as a sharing message with many tiles)
// from one member to all the others: the relay queues each payload once
// for every member. Beside it, the same frames written straight to as many
// plain loopback sockets. Counter: bytes delivered per second, all members.
constexpr size_t kDataPayload = 4u << 20;

void BM_RelayDataFanOut(benchmark::State& state) {
  const int members = static_cast<int>(state.range(0));
  vzrelay::RelayOptions options;
  options.backlog_limit = 256u << 20;
  vzrelay::RelayServer server(options);
  vzrelay::InstallRelayRoles(server.Hub());
  if (!server.Start()) {
    state.SkipWithError("no loopback port");
    return;
  }
  std::thread serving([&server] { server.Run(); });
  std::vector<std::unique_ptr<vzrelay_test::RawClient>> clients;
  for (int i = 0; i <= members; ++i) {
    auto client = std::make_unique<vzrelay_test::RawClient>();
    vzrelay::JoinRequest join;
    join.session_type = 2;  // relayed as sent
    join.session_id = "bench";
    join.token = "t";
    join.roster_id = "m" + std::to_string(i);
    vzrelay::Frame confirm;
    if (!client->Connect(server.Port()) || !client->Send(FrameKind::kJoin, vzrelay::EncodeJoinRequest(join)) ||
        !client->Next(&confirm) || confirm.kind != FrameKind::kJoinConfirm) {
      state.SkipWithError("join failed");
      server.Stop();
      serving.join();
      return;
    }
    clients.push_back(std::move(client));
  }
  const std::vector<uint8_t> payload(kDataPayload, 0x5A);
  const std::vector<uint8_t> frame = vzrelay::MakeFrame(FrameKind::kDataBinary, payload.data(), payload.size());
  std::vector<vz::LocalSocket*> receivers;
  for (int i = 1; i <= members; ++i) receivers.push_back(&clients[i]->Socket());
  Drain drain(receivers, FrameKind::kDataBinary);
  uint64_t expected = 0;
  for (auto _ : state) {
    WriteAll(clients[0]->Socket(), frame.data(), frame.size());
    expected += static_cast<uint64_t>(members);
    WaitFor(drain, expected);
  }
  state.counters["members"] = members;
  state.SetBytesProcessed(static_cast<int64_t>(expected * kDataPayload));
  server.Stop();
  serving.join();
}

void BM_PlainSocketDataFanOut(benchmark::State& state) {
  const int members = static_cast<int>(state.range(0));
  vz::LoopbackTcpListener listener;
  if (!listener.Listen(0, members + 1)) {
    state.SkipWithError("no loopback port");
    return;
  }
  std::vector<vz::LocalSocket> writers(members), readers(members);
  for (int i = 0; i < members; ++i) {
    vz::ConnectLoopbackTcp(listener.Port(), 2000, &writers[i]);
    while (listener.Accept(&readers[i]).status != vz::IoStatus::kOk) {
      vz::PollItem item{listener.Fd(), vz::kPollReadable, 0};
      vz::PollDescriptors(&item, 1, 100);
    }
  }
  const std::vector<uint8_t> payload(kDataPayload, 0x5A);
  const std::vector<uint8_t> frame = vzrelay::MakeFrame(FrameKind::kDataBinary, payload.data(), payload.size());
  std::vector<vz::LocalSocket*> receivers;
  for (auto& reader : readers) receivers.push_back(&reader);
  Drain drain(receivers, FrameKind::kDataBinary);
  uint64_t expected = 0;
  for (auto _ : state) {
    for (size_t at = 0; at < frame.size(); at += 262144) {
      const size_t n = std::min<size_t>(262144, frame.size() - at);
      for (auto& writer : writers) WriteAll(writer, frame.data() + at, n);
    }
    expected += static_cast<uint64_t>(members);
    WaitFor(drain, expected);
  }
  state.counters["members"] = members;
  state.SetBytesProcessed(static_cast<int64_t>(expected * kDataPayload));
}

BENCHMARK(BM_RelayDataFanOut)->Arg(2)->Arg(10)->Arg(40)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainSocketDataFanOut)->Arg(2)->Arg(10)->Arg(40)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RelayFanOut)->Arg(2)->Arg(10)->Arg(50)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_VideoRoleFanOut)->Arg(2)->Arg(10)->Arg(50)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainSocketFanOut)->Arg(2)->Arg(10)->Arg(50)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
