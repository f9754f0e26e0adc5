#include "outside/vzwire/relay/relay_server.h"

#include <algorithm>
#include <deque>
#include <queue>

#include "common/trace_client.h"
#include "platform/clock.h"

namespace vzrelay {
namespace {
constexpr size_t kReadChunk = 64 * 1024;
}  // namespace

// One transport's connection: its socket, its frame reader, and its queue of
// frames to write (media waiting for its due time first, when faults delay).
class RelayServer::Connection : public IMemberLink {
 public:
  Connection(vz::LocalSocket socket, size_t backlog_limit, const FaultOptions& faults, uint64_t seed)
      : socket_(std::move(socket)), backlog_limit_(backlog_limit), faults_(faults, seed),
        faults_on_(faults.AffectsMedia()) {}

  bool Deliver(FrameKind kind, const uint8_t* payload, size_t size) override {
    if (closing_) return true;  // going anyway
    const bool media = kind == FrameKind::kRtp || kind == FrameKind::kRtcp;
    if (media) ++media_offered_;
    if (media && faults_on_) {
      uint64_t due = 0;
      if (!faults_.Admit(vz::MonotonicMs(), &due)) return true;
      Delayed delayed{due, sequence_++, MakeFrame(kind, payload, size)};
      backlog_ += delayed.frame.size();
      delayed_.push(std::move(delayed));
    } else {
      const size_t before = out_.size();
      if (!AppendFrame(&out_, kind, payload, size)) return true;  // never larger than it came in
      backlog_ += out_.size() - before;
    }
    return backlog_ <= backlog_limit_;
  }
  size_t Backlog() const override { return backlog_; }
  void Close(const char* why) override {
    if (!closing_) VZ_LOG("connection %d closes: %s", socket_.Fd(), why);
    closing_ = true;
    // What is queued for a closing member is still written (a refusal, a
    // session end), but media waiting on faults is not.
    while (!delayed_.empty()) {
      backlog_ -= delayed_.top().frame.size();
      delayed_.pop();
    }
    if (backlog_ > backlog_limit_) {
      // Dropped for not reading: what is queued would never arrive.
      out_.clear();
      out_start_ = 0;
      backlog_ = 0;
      gone = true;
    }
  }

  // Moves frames whose time has come to the write queue.
  void ReleaseDue(uint64_t now_ms) {
    while (!delayed_.empty() && delayed_.top().due_ms <= now_ms) {
      const std::vector<uint8_t>& frame = delayed_.top().frame;
      out_.insert(out_.end(), frame.begin(), frame.end());
      delayed_.pop();
    }
  }
  uint64_t NextDue() const { return delayed_.empty() ? UINT64_MAX : delayed_.top().due_ms; }

  // Writes what the socket takes, as few calls as it allows: the frames
  // queued wait in one buffer. False when the connection failed.
  bool Flush() {
    while (out_start_ < out_.size()) {
      const vz::IoResult result = socket_.Write(out_.data() + out_start_, out_.size() - out_start_);
      if (result.status == vz::IoStatus::kWouldBlock) break;
      if (result.status != vz::IoStatus::kOk) return false;
      out_start_ += result.bytes;
      backlog_ -= result.bytes;
    }
    if (out_start_ == out_.size()) {
      out_.clear();
      out_start_ = 0;
    } else if (out_start_ > (1u << 20) && out_start_ * 2 > out_.size()) {
      out_.erase(out_.begin(), out_.begin() + static_cast<ptrdiff_t>(out_start_));
      out_start_ = 0;
    }
    return true;
  }
  bool HasOutput() const { return out_start_ < out_.size(); }
  bool Finished() const { return closing_ && !HasOutput(); }

  vz::LocalSocket& Socket() { return socket_; }
  FrameReader& Reader() { return reader_; }
  MemberId member = 0;
  bool gone = false;  // the socket failed or the peer closed: remove
  uint64_t FaultDrops() const { return faults_.Dropped(); }
  uint64_t MediaOffered() const { return media_offered_; }

 private:
  struct Delayed {
    uint64_t due_ms;
    uint64_t sequence;
    std::vector<uint8_t> frame;
    bool operator>(const Delayed& other) const {
      return due_ms != other.due_ms ? due_ms > other.due_ms : sequence > other.sequence;
    }
  };

  vz::LocalSocket socket_;
  FrameReader reader_;
  std::vector<uint8_t> out_;  // frames to write, from out_start_ on
  size_t out_start_ = 0;
  std::priority_queue<Delayed, std::vector<Delayed>, std::greater<Delayed>> delayed_;
  size_t backlog_ = 0;
  size_t backlog_limit_;
  MediaFaultInjector faults_;
  bool faults_on_;
  bool closing_ = false;
  uint64_t sequence_ = 0;
  uint64_t media_offered_ = 0;  // media frames handed to this member, faults or not
};

RelayServer::RelayServer(RelayOptions options) : options_(options), hub_(options.hub) {}

RelayServer::~RelayServer() = default;

bool RelayServer::Start() {
  if (!waker_.IsValid()) {
    VZ_LOG_ERROR("no waker: errno %d", waker_.Error());
    return false;
  }
  if (!listener_.Listen(options_.port, 64)) {
    VZ_LOG_ERROR("cannot listen on 127.0.0.1:%u", options_.port);
    return false;
  }
  port_ = listener_.Port();
  started_ms_ = vz::MonotonicMs();
  VZ_LOG("listening on 127.0.0.1:%u", port_);
  return true;
}

bool RelayServer::StartWithoutListener() {
  if (!waker_.IsValid()) {
    VZ_LOG_ERROR("no waker: errno %d", waker_.Error());
    return false;
  }
  started_ms_ = vz::MonotonicMs();
  return true;
}

void RelayServer::Adopt(vz::LocalSocket socket) {
  {
    std::lock_guard<std::mutex> lock(handover_mutex_);
    adopted_.push_back(std::move(socket));
  }
  waker_.Signal();
}

bool RelayServer::RunOnServerThread(const std::function<void(RelayServer&)>& task) {
  std::unique_lock<std::mutex> lock(handover_mutex_);
  if (!running_) return false;
  if (std::this_thread::get_id() == serving_thread_) {
    lock.unlock();
    task(*this);
    return true;
  }
  Task queued{task, false};
  tasks_.push_back(&queued);
  waker_.Signal();
  handover_done_.wait(lock, [&queued] { return queued.done; });
  return true;
}

void RelayServer::RunTasks() {
  std::vector<Task*> tasks;
  std::vector<vz::LocalSocket> adopted;
  {
    std::lock_guard<std::mutex> lock(handover_mutex_);
    tasks.swap(tasks_);
    adopted.swap(adopted_);
  }
  for (vz::LocalSocket& socket : adopted) AddConnection(std::move(socket));
  for (Task* task : tasks) {
    task->run(*this);
    std::lock_guard<std::mutex> lock(handover_mutex_);
    task->done = true;
  }
  if (!tasks.empty()) handover_done_.notify_all();
}

void RelayServer::CutConnections() { CutEverything(vz::MonotonicMs()); }

void RelayServer::Stop() {
  stopping_ = true;
  waker_.Signal();
}

void RelayServer::Accept() {
  for (;;) {
    vz::LocalSocket socket;
    const vz::IoResult result = listener_.Accept(&socket);
    if (result.status != vz::IoStatus::kOk) return;
    if (vz::MonotonicMs() < refuse_until_ms_) continue;  // inside a cut: closed at once
    AddConnection(std::move(socket));
  }
}

void RelayServer::AddConnection(vz::LocalSocket socket) {
  {
    auto connection = std::make_unique<Connection>(std::move(socket), options_.backlog_limit,
                                                   options_.faults, options_.fault_seed + next_seed_++);
    connection->member = hub_.Connect(connection.get());
    VZ_LOG("connection %d accepted as member %llu", connection->Socket().Fd(),
           static_cast<unsigned long long>(connection->member));
    connections_.push_back(std::move(connection));
  }
}

void RelayServer::ServeReads(Connection& connection) {
  uint8_t buffer[kReadChunk];
  for (int rounds = 0; rounds < 16; ++rounds) {  // then let the others have a turn
    const vz::IoResult result = connection.Socket().Read(buffer, sizeof(buffer));
    if (result.status == vz::IoStatus::kWouldBlock) return;
    if (result.status != vz::IoStatus::kOk) {
      connection.gone = true;
      return;
    }
    if (connection.Finished() || connection.gone) continue;  // closing: input is ignored
    connection.Reader().Append(buffer, result.bytes);
    Frame frame;
    for (;;) {
      const FrameReader::Result next = connection.Reader().Next(&frame);
      if (next == FrameReader::Result::kNeedMore) break;
      if (next == FrameReader::Result::kBad) {
        VZ_LOG_ERROR("member %llu sent a bad frame: %s; closing it",
                     static_cast<unsigned long long>(connection.member), connection.Reader().Error().c_str());
        connection.gone = true;
        return;
      }
      if (frame.kind == FrameKind::kPing) {
        if (frame.payload.size() != 12) {
          connection.gone = true;
          return;
        }
        std::vector<uint8_t> pong = frame.payload;
        const Member* member = hub_.FindMember(connection.member);
        const uint64_t held_back = member ? member->media_dropped : 0;
        PutU32(&pong, static_cast<uint32_t>(held_back + connection.FaultDrops()));
        PutU32(&pong, static_cast<uint32_t>(held_back + connection.MediaOffered()));
        connection.Deliver(FrameKind::kPong, pong.data(), pong.size());
        continue;
      }
      hub_.OnFrame(connection.member, frame);
    }
  }
}

void RelayServer::CutEverything(uint64_t now_ms) {
  const std::string& roster = options_.faults.cut_roster;
  VZ_LOG("cutting %s for %u s, as asked", roster.empty() ? "every connection" : ("roster [" + roster + "]").c_str(),
         options_.faults.cut_for_s);
  for (auto& connection : connections_) {
    if (!roster.empty()) {
      const Member* member = hub_.FindMember(connection->member);
      if (member == nullptr || member->join.roster_id != roster) continue;
    }
    hub_.Disconnect(connection->member);
    connection->gone = true;
  }
  refuse_until_ms_ = now_ms + static_cast<uint64_t>(options_.faults.cut_for_s) * 1000;
}

int RelayServer::NextTimeoutMs(uint64_t now_ms) const {
  uint64_t next = UINT64_MAX;
  for (const auto& connection : connections_) next = std::min(next, connection->NextDue());
  if (options_.faults.cut_after_s != 0 && !cut_done_) {
    next = std::min(next, started_ms_ + static_cast<uint64_t>(options_.faults.cut_after_s) * 1000);
  }
  if (next == UINT64_MAX) return 1000;
  return next <= now_ms ? 0 : static_cast<int>(std::min<uint64_t>(next - now_ms, 1000));
}

void RelayServer::Run() {
  {
    std::lock_guard<std::mutex> lock(handover_mutex_);
    serving_thread_ = std::this_thread::get_id();
    running_ = true;
  }
  std::vector<vz::PollItem> items;
  while (!stopping_) {
    uint64_t now = vz::MonotonicMs();
    items.clear();
    items.push_back({waker_.Fd(), vz::kPollReadable, 0});
    items.push_back({listener_.Fd(), vz::kPollReadable, 0});
    for (const auto& connection : connections_) {
      unsigned wanted = vz::kPollReadable;
      if (connection->HasOutput()) wanted |= vz::kPollWritable;
      items.push_back({connection->Socket().Fd(), wanted, 0});
    }
    if (vz::PollDescriptors(items.data(), items.size(), NextTimeoutMs(now)) < 0) break;
    if (items[0].ready != 0) waker_.Drain();
    if (stopping_) break;
    now = vz::MonotonicMs();
    if (items[1].ready != 0) Accept();
    RunTasks();
    // Reads first (they fill queues), then every queue is written.
    const size_t polled = items.size() - 2;
    for (size_t i = 0; i < polled && i < connections_.size(); ++i) {
      Connection& connection = *connections_[i];
      const unsigned ready = items[i + 2].ready;
      if ((ready & (vz::kPollReadable | vz::kPollHangup | vz::kPollError)) != 0) ServeReads(connection);
    }
    if (options_.faults.cut_after_s != 0 && !cut_done_ &&
        now >= started_ms_ + static_cast<uint64_t>(options_.faults.cut_after_s) * 1000) {
      cut_done_ = true;
      CutEverything(now);
    }
    for (auto& connection : connections_) {
      connection->ReleaseDue(now);
      if (!connection->gone && !connection->Flush()) connection->gone = true;
    }
    // Forget closed connections; the hub lets go of their members first.
    for (auto& connection : connections_) {
      if (connection->gone || connection->Finished()) {
        hub_.Disconnect(connection->member);
        connection.reset();
      }
    }
    connections_.erase(std::remove(connections_.begin(), connections_.end(), nullptr), connections_.end());
  }
  {
    // Waiters are let go; their tasks did not run.
    std::lock_guard<std::mutex> lock(handover_mutex_);
    running_ = false;
    for (Task* task : tasks_) task->done = true;
    tasks_.clear();
    adopted_.clear();
  }
  handover_done_.notify_all();
  VZ_LOG("stopping with %zu connections", connections_.size());
  for (auto& connection : connections_) hub_.Disconnect(connection->member);
  connections_.clear();
}

}  // namespace vzrelay
