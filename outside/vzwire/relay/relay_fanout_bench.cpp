// The relay's fan-out: one member sends 1 MB of 1,200-byte RTP packets into
// a video session and every other member receives them all, through the
// relay's server loop on loopback TCP: plain relaying, and the video
// server's role, which forwards each packet only to the members that
// subscribed to its sender (all of them here). Beside it, the same bytes written
// straight to the same number of plain loopback sockets (the least any
// fan-out over sockets can cost). Counters: members served, packets per
// second delivered, and how many times over each member's 1 MB/s the rate is.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "outside/vzwire/relay/join_request.h"
#include "outside/vzwire/relay/raw_frame_client_testlib.h"
#include "outside/vzwire/relay/relay_records_testlib.h"
#include "outside/vzwire/relay/relay_roles.h"
#include "outside/vzwire/relay/relay_server.h"

namespace {

using vzrelay::FrameKind;

constexpr size_t kPacketSize = 1200;
constexpr size_t kPacketsPerMegabyte = (1u << 20) / kPacketSize;  // 873

std::vector<uint8_t> RtpFrame(uint32_t ssrc, uint16_t sequence) {
  const std::vector<uint8_t> record = vzrelay_test::RtpRecord(ssrc, sequence, kPacketSize);
  return vzrelay::MakeFrame(FrameKind::kRtp, record.data(), record.size());
}

// Counts whole frames of one kind arriving on a set of sockets, on its own
// thread: a read of each socket that has bytes in turn, as the relay writes
// its members in turn, so that no member is drained ahead of the others.
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
  // Blocks until `frames` have arrived (the waiting thread leaves its core
  // to the relay and the drain).
  void WaitFor(uint64_t frames) {
    std::unique_lock<std::mutex> lock(mutex_);
    arrived_.wait(lock, [&] { return frames_.load() >= frames; });
  }

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
        const vz::IoResult result = sockets_[i]->Read(buffer.data(), buffer.size());
        if (result.status != vz::IoStatus::kOk) continue;
        readers_[i].Append(buffer.data(), result.bytes);
        uint64_t count = 0;
        while (readers_[i].Next(&frame) == vzrelay::FrameReader::Result::kFrame) {
          count += frame.kind == kind_ ? 1 : 0;
        }
        if (count == 0) continue;
        {
          std::lock_guard<std::mutex> lock(mutex_);
          frames_ += count;
        }
        arrived_.notify_all();
      }
    }
  }

  std::vector<vz::LocalSocket*> sockets_;
  std::vector<vzrelay::FrameReader> readers_;
  FrameKind kind_;
  std::atomic<uint64_t> frames_{0};
  std::mutex mutex_;
  std::condition_variable arrived_;
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
  const std::string message = std::string("\xA0\x01\x0B\xE2\x03", 5) + static_cast<char>(subscriber.size()) +
                              subscriber + "\xE2\x08" + static_cast<char>(entry.size()) + entry;
  const std::vector<uint8_t> record = vzrelay_test::CommandRecord(message);
  return vzrelay::MakeFrame(FrameKind::kCommand, record.data(), record.size());
}

// A relay serving on loopback on a thread of its own, and members joined to
// one session ("bench") through raw clients, the sender first. The server
// is stopped when the rig goes, on every path.
class RelayRig {
 public:
  RelayRig(vzrelay::RelayOptions options, bool roles) : server_(Quietly(std::move(options))) {
    if (roles) vzrelay::InstallRelayRoles(server_.Hub());
  }
  ~RelayRig() {
    if (!serving_.joinable()) return;
    server_.Stop();
    serving_.join();
  }
  RelayRig(const RelayRig&) = delete;
  RelayRig& operator=(const RelayRig&) = delete;

  // Serves and joins the sender as `sender_roster_id`, then `members` others
  // ("m1"...); what failed, or null.
  const char* Start(int members, const std::string& sender_roster_id) {
    if (!server_.Start()) return "no loopback port";
    serving_ = std::thread([this] { server_.Run(); });
    for (int i = 0; i <= members; ++i) {
      auto client = std::make_unique<vzrelay_test::RawClient>();
      vzrelay::JoinRequest join;
      join.session_type = kTransportSessionVideo;
      join.session_id = "bench";
      join.token = "t";
      join.roster_id = i == 0 ? sender_roster_id : "m" + std::to_string(i);
      vzrelay::Frame confirm;
      if (!client->Connect(server_.Port()) || !client->Send(FrameKind::kJoin, vzrelay::EncodeJoinRequest(join)) ||
          !client->Next(&confirm) || confirm.kind != FrameKind::kJoinConfirm) {
        return "join failed";
      }
      if (i == 0) sender_ssrc = vz::Load32(confirm.payload.data());
      clients.push_back(std::move(client));
    }
    return nullptr;
  }
  vz::LocalSocket& Sender() { return clients[0]->Socket(); }
  // Every member's socket but the sender's.
  std::vector<vz::LocalSocket*> Receivers() {
    std::vector<vz::LocalSocket*> receivers;
    for (size_t i = 1; i < clients.size(); ++i) receivers.push_back(&clients[i]->Socket());
    return receivers;
  }

  std::vector<std::unique_ptr<vzrelay_test::RawClient>> clients;
  uint32_t sender_ssrc = 0;

 private:
  // The members that only receive send nothing, not even pings: a long run
  // must not close them for their silence.
  static vzrelay::RelayOptions Quietly(vzrelay::RelayOptions options) {
    options.silence_deadline_ms = 3600 * 1000;
    return options;
  }

  vzrelay::RelayServer server_;
  std::thread serving_;
};

// The peer's sockets: `members` connected pairs of plain loopback sockets.
struct PlainSocketPairs {
  // False when no loopback port could be had.
  bool Open(int members) {
    if (!listener.Listen(0, members + 1)) return false;
    writers.resize(static_cast<size_t>(members));
    readers.resize(static_cast<size_t>(members));
    for (int i = 0; i < members; ++i) {
      vz::ConnectLoopbackTcp(listener.Port(), 2000, &writers[i]);
      while (listener.Accept(&readers[i]).status != vz::IoStatus::kOk) {
        vz::PollItem item{listener.Fd(), vz::kPollReadable, 0};
        vz::PollDescriptors(&item, 1, 100);
      }
    }
    return true;
  }
  std::vector<vz::LocalSocket*> Receivers() {
    std::vector<vz::LocalSocket*> receivers;
    for (auto& reader : readers) receivers.push_back(&reader);
    return receivers;
  }
  // The same bytes to every member, as the relay writes them, `chunk` bytes
  // at a time round the members so none waits for all the others.
  void WriteToAll(const std::vector<uint8_t>& bytes, size_t chunk) {
    for (size_t at = 0; at < bytes.size(); at += chunk) {
      const size_t n = std::min(chunk, bytes.size() - at);
      for (auto& writer : writers) WriteAll(writer, bytes.data() + at, n);
    }
  }

  vz::LoopbackTcpListener listener;
  std::vector<vz::LocalSocket> writers, readers;
};

// 1 MB of RTP packets of one sender, back to back.
std::vector<uint8_t> Megabyte(uint32_t ssrc) {
  std::vector<uint8_t> megabyte;
  for (size_t i = 0; i < kPacketsPerMegabyte; ++i) {
    const std::vector<uint8_t> frame = RtpFrame(ssrc, static_cast<uint16_t>(i));
    megabyte.insert(megabyte.end(), frame.begin(), frame.end());
  }
  return megabyte;
}

// Times rounds of `send()`, each waiting until `frames_per_send` more frames
// of `kind` arrived at the receivers; returns the frames delivered in all.
template <typename Send>
uint64_t TimeDeliveries(benchmark::State& state, std::vector<vz::LocalSocket*> receivers, FrameKind kind,
                        uint64_t frames_per_send, Send send) {
  Drain drain(std::move(receivers), kind);
  uint64_t expected = 0;
  for (auto _ : state) {
    send();
    expected += frames_per_send;
    drain.WaitFor(expected);
  }
  return expected;
}

void RunFanOut(benchmark::State& state, bool video_role) {
  const int members = static_cast<int>(state.range(0));
  vzrelay::RelayOptions options;
  options.hub.media_backlog_limit = 64u << 20;  // measure the relay, not its shedding
  options.backlog_limit = 256u << 20;
  RelayRig rig(options, video_role);
  if (const char* failed = rig.Start(members, "sender")) return state.SkipWithError(failed);
  if (video_role) {
    // Every member subscribes; the sender hears each subscription once the
    // server has it.
    for (int i = 1; i <= members; ++i) rig.clients[i]->WriteAll(SubscribeFrame("m" + std::to_string(i)));
    int heard = 0;
    vzrelay::Frame frame;
    while (heard < members && rig.clients[0]->Next(&frame)) {
      const bool subscribe = frame.kind == FrameKind::kCommand && frame.payload.size() > 4 &&
                             frame.payload[2] == 0xA0 && frame.payload[4] == 0x0B;
      heard += subscribe ? 1 : 0;
    }
    if (heard < members) return state.SkipWithError("subscriptions not confirmed");
  }
  const std::vector<uint8_t> megabyte = Megabyte(rig.sender_ssrc);
  const uint64_t delivered =
      TimeDeliveries(state, rig.Receivers(), FrameKind::kRtp, kPacketsPerMegabyte * members,
                     [&] { WriteAll(rig.Sender(), megabyte.data(), megabyte.size()); });
  SetCounters(state, members, delivered);
}

void BM_RelayFanOut(benchmark::State& state) { RunFanOut(state, false); }
void BM_VideoRoleFanOut(benchmark::State& state) { RunFanOut(state, true); }

void BM_PlainSocketFanOut(benchmark::State& state) {
  const int members = static_cast<int>(state.range(0));
  PlainSocketPairs sockets;
  if (!sockets.Open(members)) return state.SkipWithError("no loopback port");
  const std::vector<uint8_t> megabyte = Megabyte(0x1000);
  const uint64_t delivered = TimeDeliveries(state, sockets.Receivers(), FrameKind::kRtp,
                                            kPacketsPerMegabyte * members, [&] { sockets.WriteToAll(megabyte, 65536); });
  SetCounters(state, members, delivered);
}

// Large payloads (4 MiB data frames, as a sharing message with many tiles)
// from one member to all the others: the relay queues each payload once
// for every member. Beside it, the same frames written straight to as many
// plain loopback sockets. Counter: bytes delivered per second, all members.
// The figure to compare is the relay's rate against an older relay's in the
// same run (this file built there): the plain sockets' rate is the floor
// for orientation, and it moves with the machine's load more than the
// relay's does.
constexpr size_t kDataPayload = 4u << 20;

std::vector<uint8_t> DataFrame() {
  const std::vector<uint8_t> payload(kDataPayload, 0x5A);
  return vzrelay::MakeFrame(FrameKind::kDataBinary, payload.data(), payload.size());
}

void SetDataCounters(benchmark::State& state, int members, uint64_t frames_delivered) {
  state.counters["members"] = members;
  state.SetBytesProcessed(static_cast<int64_t>(frames_delivered * kDataPayload));
}

void BM_RelayDataFanOut(benchmark::State& state) {
  const int members = static_cast<int>(state.range(0));
  vzrelay::RelayOptions options;
  options.backlog_limit = 256u << 20;
  RelayRig rig(options, true);  // session type 2 without subscriptions: relayed as sent
  if (const char* failed = rig.Start(members, "m0")) return state.SkipWithError(failed);
  const std::vector<uint8_t> frame = DataFrame();
  const uint64_t delivered =
      TimeDeliveries(state, rig.Receivers(), FrameKind::kDataBinary, static_cast<uint64_t>(members),
                     [&] { WriteAll(rig.Sender(), frame.data(), frame.size()); });
  SetDataCounters(state, members, delivered);
}

void BM_PlainSocketDataFanOut(benchmark::State& state) {
  const int members = static_cast<int>(state.range(0));
  PlainSocketPairs sockets;
  if (!sockets.Open(members)) return state.SkipWithError("no loopback port");
  const std::vector<uint8_t> frame = DataFrame();
  const uint64_t delivered = TimeDeliveries(state, sockets.Receivers(), FrameKind::kDataBinary,
                                            static_cast<uint64_t>(members), [&] { sockets.WriteToAll(frame, 262144); });
  SetDataCounters(state, members, delivered);
}

BENCHMARK(BM_RelayDataFanOut)->Arg(2)->Arg(10)->Arg(40)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainSocketDataFanOut)->Arg(2)->Arg(10)->Arg(40)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RelayFanOut)->Arg(2)->Arg(10)->Arg(50)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_VideoRoleFanOut)->Arg(2)->Arg(10)->Arg(50)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainSocketFanOut)->Arg(2)->Arg(10)->Arg(50)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
