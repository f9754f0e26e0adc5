#include "outside/vzwire/relay/relay_server.h"

#include <algorithm>
#include <deque>
#include <functional>
#include <queue>
#include <set>

#include "common/log_text.h"
#include "common/trace_client.h"
#include "outside/vzwire/relay/hold_account.h"
#include "outside/vzwire/relay/stream_answers.h"
#include "outside/vzwire/relay/stream_senders.h"
#include "outside/vzwire/relay/unjoined_share.h"
#include "platform/clock.h"

namespace vzrelay {
namespace {
constexpr size_t kReadChunk = 64 * 1024;
// The frames of one connection handled in a turn of the loop, beside its
// bytes: the next read stops once they are reached. Each frame is work
// (parsing, a role's answer) whatever its size, and a turn spent on one
// member's 65,000 smallest frames held up everyone else's.
constexpr size_t kFramesATurn = 4096;
// Payloads up to this size are copied into the write queue's own buffer
// (few writes for many small frames); larger ones are queued by reference.
constexpr size_t kCopiedPayload = 16 * 1024;
// The write queue's own buffers: a connection's first is small (most
// connections are sent a join answer and little else, and one that is
// refused must cost next to nothing), each next one twice the last, up to
// kOwnedSegment.
constexpr size_t kFirstOwnedSegment = 4 * 1024;
constexpr size_t kOwnedSegment = 256 * 1024;
// Emptied buffers a connection keeps for its next frames (at most 1 MiB).
constexpr size_t kSpareSegments = 4;
// The most written to one connection in one turn of the loop: a socket
// whose peer reads slowly takes megabytes into the kernel's buffers, and
// forty of them in one turn would hold up everyone else's.
constexpr size_t kWriteQuantum = 256 * 1024;
// The longest wait of the loop while a sender is held, so that a hold ends
// on time.
constexpr int kHeldPollMs = 100;
// A sender other than a paced one is not read while a member that takes
// what it is sent has more of its frames queued than the presenter's low
// mark (HoldOptions), so that such a member's queue falls below that mark
// between the sender's frames: it then holds the presenter as any member
// does, and its queue is not taken as one that lags. A member that took
// nothing of its queue this long holds no one (it is dropped at its
// backlog limit, or for its silence)...
constexpr uint64_t kTakesNothingMs = 1000;
// ...and such a hold lasts at most this long before the sender is read for
// a turn, so that its pings are answered before its transport gives up.
constexpr uint64_t kLongestSenderHoldMs = 2500;
constexpr uint64_t kReadReportBytes = 4096;
// A connection keeps the room its last large frame grew this long after
// that frame, for its next one (a sharing presenter sends one every few
// dozen milliseconds); then it is given back.
constexpr uint64_t kRoomKeptMs = 1000;
// Connections accepted in one turn of the loop at most, and the listener's
// queue of connections not yet accepted.
constexpr size_t kAcceptBatch = 256;
constexpr int kListenBacklog = 1024;
}  // namespace

// One transport's connection: its socket, its frame reader, and its queue of
// frames to write (media waiting for its due time first, when faults delay).
// The queue holds large payloads by reference, so a payload relayed to many
// members exists once.
class RelayServer::Connection : public IMemberLink, public UnjoinedShareConnection {
 public:
  Connection(vz::LocalSocket socket, size_t backlog_limit, const FaultOptions& faults, uint64_t seed,
             uint64_t now_ms)
      : accepted_ms(now_ms), heard_ms(now_ms), socket_(std::move(socket)), backlog_limit_(backlog_limit),
        faults_(faults, seed),
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
      std::vector<uint8_t>& tail = OwnedTail(kFrameHeaderSize + size);
      const size_t before = tail.size();
      if (!AppendFrame(&tail, kind, payload, size)) return true;  // never larger than it came in
      backlog_ += tail.size() - before;
      Appended(tail.size() - before, media);
    }
    return backlog_ <= backlog_limit_;
  }
  // A frame that answers one of the member's own (a pong, a count of what
  // it sent): queued as any other, but not counted as what the member is
  // sent, so that it cannot fill its own queue (or show progress through
  // it) by asking for answers.
  void DeliverAnswer(FrameKind kind, const uint8_t* payload, size_t size) {
    const uint64_t start = appended_;
    Deliver(kind, payload, size);
    answers_.Add(start, appended_);
  }
  bool DeliverShared(FrameKind kind, const SharedPayload& payload) override {
    const bool media = kind == FrameKind::kRtp || kind == FrameKind::kRtcp;
    if (closing_ || media || payload->size() <= kCopiedPayload) {
      return Deliver(kind, payload->data(), payload->size());
    }
    if (payload->size() > MaxFramePayload(static_cast<uint16_t>(kind))) return true;  // never larger than it came in
    // The header with the payload's length, then the payload by reference:
    // a segment of its own, so a payload queued for many members costs
    // each of them a few bytes.
    Segment shared;
    WriteFrameHeader(shared.header, kind, static_cast<uint32_t>(payload->size()));
    shared.shared = payload;
    out_.push_back(std::move(shared));
    backlog_ += kFrameHeaderSize + payload->size();
    Appended(kFrameHeaderSize + payload->size(), false);
    return backlog_ <= backlog_limit_;
  }
  size_t Backlog() const override { return backlog_; }
  void Close(const char* why) override {
    // One that never joined was refused or dropped by the hub, which said
    // why within its budget of such lines.
    if (!closing_ && joined) VZ_LOG("connection %d closes: %s", socket_.Fd(), why);
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
      backlog_ = 0;
      gone = true;
    }
  }

  // Moves frames whose time has come to the write queue.
  void ReleaseDue(uint64_t now_ms) {
    while (!delayed_.empty() && delayed_.top().due_ms <= now_ms) {
      const std::vector<uint8_t>& frame = delayed_.top().frame;
      std::vector<uint8_t>& tail = OwnedTail(frame.size());
      tail.insert(tail.end(), frame.begin(), frame.end());
      appended_ += frame.size();
      delayed_.pop();
    }
  }
  uint64_t NextDue() const { return delayed_.empty() ? UINT64_MAX : delayed_.top().due_ms; }

  // Writes what the socket takes, up to kWriteQuantum, segment by segment:
  // small frames wait together in the queue's own buffers. False when the
  // connection failed.
  bool Flush() {
    size_t written = 0;
    while (!out_.empty() && written < kWriteQuantum) {
      Segment& front = out_.front();
      if (front.shared && front.header_start < kFrameHeaderSize) {
        const vz::IoResult result =
            socket_.Write(front.header + front.header_start, kFrameHeaderSize - front.header_start);
        if (result.status == vz::IoStatus::kWouldBlock) break;
        if (result.status != vz::IoStatus::kOk) return false;
        front.header_start += result.bytes;
        backlog_ -= result.bytes;
        taken_ += result.bytes;
        written += result.bytes;
        continue;
      }
      const std::vector<uint8_t>& bytes = front.shared ? *front.shared : front.owned;
      if (front.start < bytes.size()) {
        const size_t chunk = std::min(bytes.size() - front.start, kWriteQuantum - written);
        const vz::IoResult result = socket_.Write(bytes.data() + front.start, chunk);
        if (result.status == vz::IoStatus::kWouldBlock) break;
        if (result.status != vz::IoStatus::kOk) return false;
        front.start += result.bytes;
        backlog_ -= result.bytes;
        taken_ += result.bytes;
        written += result.bytes;
        if (front.start < bytes.size()) continue;
      }
      // A few written buffers are kept for the next frames: fresh memory
      // for every few hundred packets costs more than the copying.
      if (!front.shared && spare_.size() < kSpareSegments && front.owned.capacity() == kOwnedSegment) {
        front.owned.clear();
        spare_.push_back(std::move(front.owned));
      }
      out_.pop_front();
    }
    return true;
  }
  bool HasOutput() const { return !out_.empty(); }
  // Bytes written to the socket so far.
  uint64_t Taken() const { return taken_; }
  // The member's own count of the bytes it handed on (kConsumed); false
  // when it passes what was written.
  bool OnConsumed(uint64_t consumed) {
    if (consumed > taken_ || consumed < consumed_) return false;
    consumed_ = consumed;
    reports_consumed_ = true;
    return true;
  }
  // A frame of `bytes` read from the member and handled.
  void CountRead(size_t bytes) { read_ += bytes; }
  // Tells a member that reports its own consumption how much of what it
  // sent was taken, every 4 KiB or when its input is drained: its send
  // backlog then counts what waits in the kernel's buffers, so a held
  // sender stops producing at once.
  void ReportRead(bool drained) {
    if (!reports_consumed_ || read_ == read_reported_) return;
    if (!drained && read_ - read_reported_ < kReadReportBytes) return;
    std::vector<uint8_t> count;
    PutU64(&count, read_);
    read_reported_ = read_;
    DeliverAnswer(FrameKind::kConsumed, count.data(), count.size());
  }
  // What the member is sent and has not handed on yet: queued here, in the
  // kernels' buffers or in its own (for a member that says what it handed
  // on), answers to its own frames left out.
  size_t Queued() {
    answers_.TakenThrough(Through());
    const uint64_t unconsumed = reports_consumed_ ? taken_ - consumed_ : 0;
    const uint64_t queued = backlog_ + unconsumed;
    return static_cast<size_t>(queued > answers_.Unread() ? queued - answers_.Unread() : 0);
  }
  // What shows the member is taking what it is sent (a running count,
  // answers left out).
  uint64_t Progress() {
    answers_.TakenThrough(Through());
    return Through() - answers_.Taken();
  }
  // Calls `over` for each other member with more than `limit` bytes of its
  // frames queued here and not yet taken.
  void ForEachSenderOver(uint64_t limit, const std::function<void(MemberId)>& over) {
    senders_.TakenThrough(Through());
    senders_.ForEachOver(limit, [&](MemberId sender) {
      if (sender != member) over(sender);
    });
  }
  // Pings answered so far.
  uint64_t Pings() const { return pings_; }
  void CountPing() { ++pings_; }
  bool Finished() const { return closing_ && !HasOutput(); }
  bool Closing() const override { return closing_; }
  // The unjoined share's view.
  bool Joined() const override { return joined; }
  bool Gone() const override { return gone; }
  size_t PartialBytes() const override { return reader_.Buffered(); }

  vz::LocalSocket& Socket() { return socket_; }
  FrameReader& Reader() { return reader_; }
  const FrameReader& Reader() const { return reader_; }
  MemberId member = 0;
  bool gone = false;  // the socket failed or the peer closed: remove
  bool joined = false;  // once joined, the join deadline no longer applies
  bool held = false;  // not read for now: a member it feeds is behind (SenderHold)
  bool paced = false;  // a bulk sender whose members may hold it (SenderHold)
  // The member whose frame the server is handling while this connection is
  // sent something (the server's; 0: none): what it is sent is that one's.
  const MemberId* handling = nullptr;
  // When its queue was last seen moving (or empty), and where it was then.
  uint64_t moved_ms = 0;
  uint64_t progress_seen = 0;
  // Since when it is held for what its frames fill the others' queues
  // with (0: it is not).
  uint64_t sender_held_since_ms = 0;
  const uint64_t accepted_ms;
  uint64_t heard_ms = 0;  // when it last sent a whole frame (or was not read)
  uint64_t frame_since_ms = 0;  // when its frame in progress began (or it was last held); 0: none
  uint64_t room_used_ms = 0;  // when its reader last held more than kFreePartial
  // What its frame in progress counts toward the bounds, and where.
  size_t counted_partial = 0;
  std::string counted_meeting;

  std::string meeting;  // the meeting it joined, once joined
  // Whose holding time it spends (SenderHold), once joined: its member's
  // credential's for its kind of session, the same across reconnections.
  SenderHold::Account hold_account;
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

  // A stretch of the write queue: the queue's own bytes, or a frame header
  // and a payload shared with other members; written from `start` on (a
  // shared payload's header from `header_start` first).
  struct Segment {
    std::vector<uint8_t> owned;
    SharedPayload shared;
    size_t start = 0;
    uint8_t header[kFrameHeaderSize] = {};
    size_t header_start = 0;
  };

  // Where the member is in the stream: what it handed on, or what was
  // written to it when it does not say.
  uint64_t Through() const { return reports_consumed_ ? consumed_ : taken_; }
  // `bytes` more at the queue's end, the handled member's unless media
  // (whose excess the hub drops instead).
  void Appended(size_t bytes, bool media) {
    if (!media && handling != nullptr && *handling != 0) senders_.Add(*handling, appended_, appended_ + bytes);
    appended_ += bytes;
  }
  // The owned buffer at the queue's end with room for `more` bytes.
  // A new buffer starts where the last has no room left: queued bytes are
  // never copied again.
  std::vector<uint8_t>& OwnedTail(size_t more) {
    if (out_.empty() || out_.back().shared || out_.back().owned.size() + more > out_.back().owned.capacity()) {
      out_.emplace_back();
      if (!spare_.empty() && more <= kOwnedSegment) {
        out_.back().owned.swap(spare_.back());
        spare_.pop_back();
      } else {
        out_.back().owned.reserve(std::max(more, next_segment_));
        next_segment_ = std::min(next_segment_ * 2, kOwnedSegment);
      }
    }
    return out_.back().owned;
  }

  vz::LocalSocket socket_;
  FrameReader reader_;
  std::deque<Segment> out_;  // frames to write
  std::vector<std::vector<uint8_t>> spare_;  // emptied buffers for the next segments
  size_t next_segment_ = kFirstOwnedSegment;  // the size of the next new buffer
  std::priority_queue<Delayed, std::vector<Delayed>, std::greater<Delayed>> delayed_;
  size_t backlog_ = 0;
  size_t backlog_limit_;
  MediaFaultInjector faults_;
  bool faults_on_;
  bool closing_ = false;
  uint64_t sequence_ = 0;
  uint64_t media_offered_ = 0;  // media frames handed to this member, faults or not
  uint64_t taken_ = 0;
  uint64_t pings_ = 0;
  uint64_t consumed_ = 0;
  bool reports_consumed_ = false;
  uint64_t read_ = 0;
  uint64_t read_reported_ = 0;
  // The stream's bytes queued so far (the write queue's end), and where
  // answers to the member's own frames lie in it.
  uint64_t appended_ = 0;
  StreamAnswers answers_;
  StreamSenders senders_;  // whose frames lie where in it
};

namespace {
RelayOptions Completed(RelayOptions options) {
  if (options.max_unjoined == 0) options.max_unjoined = std::max<size_t>(1, options.max_connections / 4);
  if (options.max_total_connections == 0) options.max_total_connections = options.max_connections * 4;
  options.hub.member_backlog_limit = options.backlog_limit;
  return options;
}
}  // namespace

RelayServer::RelayServer(RelayOptions options)
    : options_(Completed(std::move(options))), hub_(options_.hub), hold_(options_.hold) {}

RelayServer::~RelayServer() = default;

bool RelayServer::Start() {
  if (!waker_.IsValid()) {
    VZ_LOG_ERROR("no waker: errno %d", waker_.Error());
    return false;
  }
  if (!listener_.Listen(options_.port, kListenBacklog)) {
    VZ_LOG_ERROR("cannot listen on 127.0.0.1:%u", options_.port);
    return false;
  }
  port_ = listener_.Port();
  VZ_LOG("listening on 127.0.0.1:%u", port_);
  return true;
}

bool RelayServer::StartWithoutListener() {
  if (!waker_.IsValid()) {
    VZ_LOG_ERROR("no waker: errno %d", waker_.Error());
    return false;
  }
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
  for (vz::LocalSocket& socket : adopted) AddConnection(std::move(socket));  // the loopback's own: no caps
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
  // What waits to be read was read before this (ServeReads), and each
  // newcomer is read as it comes: a burst of connections costs the
  // burster, whose connections send nothing, not the members whose joins
  // wait. At most kAcceptBatch a turn, so that members are served between.
  class ShareHost final : public UnjoinedShareHost {
   public:
    explicit ShareHost(RelayServer& server) : server_(server) {}
    void ReadWaiting(UnjoinedShareConnection& connection) override {
      server_.ServeReads(static_cast<Connection&>(connection));
    }
    void CloseUnjoined(UnjoinedShareConnection& connection, size_t unjoined) override {
      Connection& oldest = static_cast<Connection&>(connection);
      if (server_.evicted_unjoined_++ % 100 == 0) {
        VZ_LOG_ERROR("%zu connections sent nothing yet: connection %d, the oldest of them, closes (%llu so far)",
                     unjoined, oldest.Socket().Fd(), static_cast<unsigned long long>(server_.evicted_unjoined_));
      }
      server_.CloseConnection(oldest);
    }

   private:
    RelayServer& server_;
  };
  ShareHost host(*this);
  UnjoinedShare share(options_.max_unjoined, options_.max_total_connections);
  for (const auto& connection : connections_) share.Count(*connection);
  for (size_t accepted = 0; accepted < kAcceptBatch; ++accepted) {
    vz::LocalSocket socket;
    const vz::IoResult result = listener_.Accept(&socket);
    if (result.status != vz::IoStatus::kOk) return;
    if (vz::MonotonicMs() < refuse_until_ms_) continue;  // inside a cut: closed at once
    if (share.Full()) {
      // Closed at once: the transport retries later.
      if (refused_connections_++ % 100 == 0) {
        VZ_LOG_ERROR("%zu connections already: connection refused (%llu so far)", share.Open(),
                     static_cast<unsigned long long>(refused_connections_));
      }
      continue;
    }
    share.Admit(AddConnection(std::move(socket)), host);
  }
}

bool RelayServer::MeetingHasRoom(Connection& connection, const Frame& frame) {
  JoinRequest join;
  // A join that cannot be read is the hub's to refuse.
  if (!DecodeJoinRequest(frame.payload.data(), frame.payload.size(), &join)) return true;
  size_t joined = 0;
  for (const auto& other : connections_) {
    if (other->joined && !other->gone && !other->Finished() && other->meeting == join.meet_id) ++joined;
  }
  if (joined < options_.max_connections) return true;
  if (refused_joins_++ % 100 == 0) {
    VZ_LOG_ERROR("meeting %s has %zu connections already: join of member %llu refused (%llu so far)",
                 vz::LogText(join.meet_id).c_str(), joined, static_cast<unsigned long long>(connection.member),
                 static_cast<unsigned long long>(refused_joins_));
  }
  std::vector<uint8_t> refusal;
  PutU32(&refusal, kRefusedMeetingFull);
  const std::string reason = "meeting full";
  refusal.insert(refusal.end(), reason.begin(), reason.end());
  connection.Deliver(FrameKind::kJoinRefused, refusal.data(), refusal.size());
  hub_.Disconnect(connection.member);
  connection.Close("meeting full");
  return false;
}

RelayServer::Connection& RelayServer::AddConnection(vz::LocalSocket socket) {
  connections_.push_back(std::make_unique<Connection>(std::move(socket), options_.backlog_limit, options_.faults,
                                                      options_.fault_seed + next_seed_++, vz::MonotonicMs()));
  Connection& connection = *connections_.back();
  connection.member = hub_.Connect(&connection);
  connection.handling = &handling_;
  // Its join is read at once when it is there already.
  ServeReads(connection);
  return connection;
}

bool RelayServer::MakeRoomToRead(Connection& connection) {
  if (connection.Reader().Buffered() < kFreePartial) return true;
  for (;;) {
    const auto meeting = partial_by_meeting_.find(connection.meeting);
    const size_t in_meeting = meeting != partial_by_meeting_.end() ? meeting->second : 0;
    const bool meeting_full = in_meeting + kReadChunk > options_.max_partial_per_meeting;
    if (!meeting_full && partial_total_ + kReadChunk <= options_.max_partial_total) return true;
    // Room kept after whole frames goes first: no one is closed for it.
    bool released = false;
    for (const auto& other : connections_) {
      if (other->gone || other->counted_partial == 0 || other->Reader().Buffered() != 0) continue;
      if (meeting_full && other->counted_meeting != connection.meeting) continue;
      other->Reader().ReleaseRoom();
      CountPartial(*other);
      released = true;
    }
    if (released) continue;
    // The oldest frame in progress of those that fill the bound.
    Connection* oldest = nullptr;
    for (const auto& other : connections_) {
      if (other->gone || other->counted_partial == 0 || other->frame_since_ms == 0) continue;
      if (meeting_full && other->counted_meeting != connection.meeting) continue;
      if (oldest == nullptr || other->frame_since_ms < oldest->frame_since_ms) oldest = other.get();
    }
    if (oldest == nullptr || connection.frame_since_ms <= oldest->frame_since_ms) oldest = &connection;
    if (evicted_partial_++ % 100 == 0) {
      VZ_LOG_ERROR("frames in progress hold %zu bytes (%zu in meeting [%s]): the oldest, of connection %d, is "
                   "dropped (%llu so far)",
                   partial_total_, in_meeting, vz::LogText(connection.meeting).c_str(), oldest->Socket().Fd(),
                   static_cast<unsigned long long>(evicted_partial_));
    }
    CloseConnection(*oldest);
    if (oldest == &connection) return false;
  }
}

void RelayServer::CloseConnection(Connection& connection) {
  hub_.Disconnect(connection.member);
  connection.gone = true;
  CountPartial(connection);
}

void RelayServer::CountPartial(Connection& connection) {
  // What the reader holds, not only what arrived: its room grows ahead of
  // a frame's bytes, and is kept for a while after the frame.
  const size_t held = connection.gone ? 0 : connection.Reader().Room();
  const size_t counted = held > kFreePartial ? held - kFreePartial : 0;
  if (counted == connection.counted_partial && connection.meeting == connection.counted_meeting) return;
  if (connection.counted_partial != 0) {
    const auto old = partial_by_meeting_.find(connection.counted_meeting);
    old->second -= connection.counted_partial;
    if (old->second == 0) partial_by_meeting_.erase(old);
    partial_total_ -= connection.counted_partial;
  }
  connection.counted_partial = counted;
  connection.counted_meeting = connection.meeting;
  if (counted != 0) {
    partial_by_meeting_[connection.meeting] += counted;
    partial_total_ += counted;
  }
}

void RelayServer::ServeReads(Connection& connection) {
  if (connection.gone) return;
  ReadFrames(connection);
  CountPartial(connection);
}

void RelayServer::ReadFrames(Connection& connection) {
  uint8_t buffer[kReadChunk];
  // Then let the others have a turn. A paced sender is read no faster than
  // the server writes to each of its members: a member that takes all it
  // is written then keeps up without holding it, so that none falls behind
  // for the server's own pace while the sender's holding time is out.
  const int most_rounds = connection.paced ? static_cast<int>(kWriteQuantum / kReadChunk) : 16;
  size_t frames = 0;
  for (int rounds = 0; rounds < most_rounds && frames < kFramesATurn; ++rounds) {
    if (!MakeRoomToRead(connection)) return;
    const vz::IoResult result = connection.Socket().Read(buffer, sizeof(buffer));
    if (result.status == vz::IoStatus::kWouldBlock) {
      connection.ReportRead(true);
      return;
    }
    if (result.status != vz::IoStatus::kOk) {
      connection.gone = true;
      return;
    }
    if (connection.Finished() || connection.gone) continue;  // closing: input is ignored
    connection.Reader().Append(buffer, result.bytes);
    if (connection.Reader().Buffered() > kFreePartial) connection.room_used_ms = vz::MonotonicMs();
    Frame frame;
    for (;;) {
      const FrameReader::Result next = connection.Reader().Next(&frame);
      if (next == FrameReader::Result::kNeedMore) break;
      if (next == FrameReader::Result::kFrame) {
        ++frames;
        // Only a whole frame is heard: a frame that never ends says nothing.
        connection.heard_ms = vz::MonotonicMs();
        connection.frame_since_ms = 0;
      }
      if (next == FrameReader::Result::kBad) {
        if (connection.joined || hub_.UnprovenLog().Take(vz::MonotonicMs())) {
          VZ_LOG_ERROR("member %llu sent a bad frame: %s; closing it%s",
                       static_cast<unsigned long long>(connection.member), connection.Reader().Error().c_str(),
                       connection.joined ? "" : hub_.UnprovenLog().LeftOutNote().c_str());
        }
        connection.gone = true;
        return;
      }
      connection.CountRead(kFrameHeaderSize + frame.payload.size());
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
        connection.DeliverAnswer(FrameKind::kPong, pong.data(), pong.size());
        connection.CountPing();
        continue;
      }
      if (frame.kind == FrameKind::kConsumed) {
        PayloadReader reader(frame.payload.data(), frame.payload.size());
        uint64_t consumed = 0;
        if (!reader.GetU64(&consumed) || !connection.OnConsumed(consumed)) {
          VZ_LOG_ERROR("member %llu says it handed on %llu bytes of the %llu it was sent; closing it",
                       static_cast<unsigned long long>(connection.member), static_cast<unsigned long long>(consumed),
                       static_cast<unsigned long long>(connection.Taken()));
          connection.gone = true;
          return;
        }
        continue;
      }
      const bool join = frame.kind == FrameKind::kJoin;
      if (join && !connection.joined && !MeetingHasRoom(connection, frame)) return;
      handling_ = connection.member;
      hub_.OnFrame(connection.member, std::move(frame));
      handling_ = 0;
      if (join) Joined(connection);
    }
    // A frame in progress is timed from the read that began it.
    if (connection.Reader().Buffered() != 0 && connection.frame_since_ms == 0) {
      connection.frame_since_ms = vz::MonotonicMs();
    }
    if (!connection.joined && connection.Reader().Buffered() > options_.unjoined_buffer_limit) {
      // Nothing but a join is taken before the join, and a join is small.
      if (hub_.UnprovenLog().Take(vz::MonotonicMs())) {
        VZ_LOG_ERROR("connection %d sent %zu bytes without joining; closing it%s", connection.Socket().Fd(),
                     connection.Reader().Buffered(), hub_.UnprovenLog().LeftOutNote().c_str());
      }
      connection.gone = true;
      return;
    }
  }
  connection.ReportRead(false);
}

void RelayServer::Joined(Connection& connection) {
  const Member* member = hub_.FindMember(connection.member);
  if (member == nullptr || member->session == nullptr) return;
  connection.joined = true;
  connection.meeting = member->join.meet_id;
  connection.hold_account = HoldAccountOf(member->join);
  // A member that never reads ties up no more of the kernel's memory than
  // this beside its counted backlog (the platform logs a refusal). Set at
  // the join: a connection is sent nothing before it but its answer, and
  // connections that never join cost no call.
  connection.Socket().SetSendBufferSize(options_.member_send_buffer);
  // A cut counts from the join of the member it is meant for, so a slow
  // start does not cut before anyone is there.
  const std::string& roster = options_.faults.cut_roster;
  if (options_.faults.cut_after_s != 0 && cut_from_ms_ == 0 && (roster.empty() || member->join.roster_id == roster)) {
    cut_from_ms_ = vz::MonotonicMs();
    VZ_LOG("the cut comes %u s after this join of member %llu (%s)", options_.faults.cut_after_s,
           static_cast<unsigned long long>(member->id), vz::LogText(member->join.roster_id).c_str());
  }
}

void RelayServer::CloseLateJoiners(uint64_t now_ms) {
  for (auto& connection : connections_) {
    if (connection->joined || connection->gone || now_ms < connection->accepted_ms + options_.join_deadline_ms) {
      continue;
    }
    if (hub_.UnprovenLog().Take(now_ms)) {
      VZ_LOG_ERROR("connection %d did not join within %u ms; closing it%s", connection->Socket().Fd(),
                   options_.join_deadline_ms, hub_.UnprovenLog().LeftOutNote().c_str());
    }
    hub_.Disconnect(connection->member);
    connection->gone = true;
  }
}

uint64_t RelayServer::FrameDeadline(const Connection& connection) const {
  if (connection.frame_since_ms == 0) return UINT64_MAX;
  return connection.frame_since_ms + options_.frame_grace_ms +
         connection.Reader().FrameInProgress() / options_.frame_floor_bytes_per_ms;
}

void RelayServer::CloseSilentMembers(uint64_t now_ms) {
  for (auto& connection : connections_) {
    if (connection->gone || connection->Finished()) continue;
    if (connection->counted_partial != 0 && connection->Reader().Buffered() == 0 &&
        now_ms >= connection->room_used_ms + kRoomKeptMs) {
      // Quiet since its last large frame: its room goes back.
      connection->Reader().ReleaseRoom();
      CountPartial(*connection);
    }
    if (connection->held) {
      // Not read: its pings and the rest of its frame wait unread.
      connection->heard_ms = now_ms;
      if (connection->frame_since_ms != 0) connection->frame_since_ms = now_ms;
      continue;
    }
    if (now_ms >= FrameDeadline(*connection)) {
      VZ_LOG_ERROR("connection %d (member %llu) sent %zu bytes of a %zu-byte frame in %llu ms, slower than %u KiB a "
                   "second; closing it",
                   connection->Socket().Fd(), static_cast<unsigned long long>(connection->member),
                   connection->Reader().Buffered(), connection->Reader().FrameInProgress(),
                   static_cast<unsigned long long>(now_ms - connection->frame_since_ms),
                   options_.frame_floor_bytes_per_ms * 1000 / 1024);
    } else if (!connection->joined || now_ms < connection->heard_ms + options_.silence_deadline_ms) {
      continue;
    } else {
      VZ_LOG_ERROR("member %llu sent no whole frame for %llu ms, not even a ping; closing it",
                   static_cast<unsigned long long>(connection->member),
                   static_cast<unsigned long long>(now_ms - connection->heard_ms));
    }
    CloseConnection(*connection);
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

void RelayServer::DecideHolds(uint64_t now_ms) {
  // Every member's queue first, the role's held bytes with it...
  for (const auto& connection : connections_) {
    const Member* member = hub_.FindMember(connection->member);
    if (member == nullptr || member->session == nullptr) {
      // Closing (replaced, refused, left): what it holds no one with spends
      // no holding time of its member's either.
      if (connection->joined) hold_.Forget(connection->member, now_ms);
      continue;
    }
    const SessionRole* role = member->session->role.get();
    const size_t held = role != nullptr ? role->HeldFor(*member) : 0;
    const SenderHold::Change change = hold_.OnQueue(connection->member, connection->hold_account,
                                                    connection->Queued() + held, connection->Progress(), now_ms);
    // The role may drop members here: only the connection is used after.
    if (change == SenderHold::Change::kFellBehind) hub_.OnBehind(connection->member);
    if (change == SenderHold::Change::kCaughtUp) hub_.OnCaughtUp(connection->member);
  }
  // ...then the senders that members taking what they are sent have too
  // much of...
  std::set<MemberId> too_much;
  for (const auto& connection : connections_) {
    if (connection->gone || !connection->joined) continue;
    const uint64_t progress = connection->Progress();
    if (progress != connection->progress_seen || connection->Queued() == 0) {
      connection->progress_seen = progress;
      connection->moved_ms = now_ms;
    }
    if (now_ms >= connection->moved_ms + kTakesNothingMs) continue;
    connection->ForEachSenderOver(options_.hold.low_mark, [&](MemberId sender) { too_much.insert(sender); });
  }
  // ...then whether each sender is read this turn.
  std::vector<MemberId> fed;
  for (const auto& connection : connections_) {
    connection->held = false;
    connection->paced = false;
    const Member* member = hub_.FindMember(connection->member);
    if (connection->gone || member == nullptr || member->session == nullptr) continue;
    const Session& session = *member->session;
    if (!session.role || !session.role->Paces(session, *member)) {
      connection->held = HeldForOthers(*connection, too_much.count(connection->member) != 0, now_ms);
      continue;
    }
    connection->paced = true;
    fed.clear();
    for (const Member* other : session.members) fed.push_back(other->id);
    connection->held = hold_.Decide(connection->member, connection->hold_account, fed, connection->Pings(), now_ms);
  }
}

bool RelayServer::HeldForOthers(Connection& connection, bool too_much, uint64_t now_ms) {
  if (!too_much) {
    connection.sender_held_since_ms = 0;
    return false;
  }
  if (connection.sender_held_since_ms == 0) {
    connection.sender_held_since_ms = now_ms;
    if (sender_holds_++ % 100 == 0) {
      VZ_LOG("member %llu is not read while members that take what they are sent have more than %zu KiB of its "
             "frames queued (%llu holds so far)",
             static_cast<unsigned long long>(connection.member), options_.hold.low_mark >> 10,
             static_cast<unsigned long long>(sender_holds_));
    }
    return true;
  }
  if (now_ms < connection.sender_held_since_ms + kLongestSenderHoldMs) return true;
  connection.sender_held_since_ms = 0;  // read this turn: its pings are answered
  return false;
}

int RelayServer::NextTimeoutMs(uint64_t now_ms) const {
  uint64_t next = UINT64_MAX;
  for (const auto& connection : connections_) {
    next = std::min(next, connection->NextDue());
    if (!connection->joined) next = std::min(next, connection->accepted_ms + options_.join_deadline_ms);
    if (connection->joined) next = std::min(next, connection->heard_ms + options_.silence_deadline_ms);
    next = std::min(next, FrameDeadline(*connection));
  }
  // A hold ends when its holding time does, not at the next wake.
  next = std::min(next, hold_.HoldEndsMs());
  if (options_.faults.cut_after_s != 0 && !cut_done_ && cut_from_ms_ != 0) {
    next = std::min(next, cut_from_ms_ + static_cast<uint64_t>(options_.faults.cut_after_s) * 1000);
  }
  const uint64_t longest = std::any_of(connections_.begin(), connections_.end(),
                                       [](const auto& connection) { return connection->held; })
                               ? kHeldPollMs
                               : 1000;
  if (next == UINT64_MAX) return static_cast<int>(longest);
  return next <= now_ms ? 0 : static_cast<int>(std::min<uint64_t>(next - now_ms, longest));
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
    DecideHolds(now);
    items.clear();
    items.push_back({waker_.Fd(), vz::kPollReadable, 0});
    items.push_back({listener_.Fd(), vz::kPollReadable, 0});
    for (const auto& connection : connections_) {
      // A held sender is not read: its data wait in its own queue (TCP
      // back-pressure); a hang-up or error still wakes the loop.
      unsigned wanted = connection->held ? 0u : vz::kPollReadable;
      if (connection->HasOutput()) wanted |= vz::kPollWritable;
      items.push_back({connection->Socket().Fd(), wanted, 0});
    }
    if (vz::PollDescriptors(items.data(), items.size(), NextTimeoutMs(now)) < 0) break;
    if (items[0].ready != 0) waker_.Drain();
    if (stopping_) break;
    now = vz::MonotonicMs();
    // Reads first (they fill queues; the joins that wait are read before
    // newcomers are let in), then every queue is written.
    const size_t polled = items.size() - 2;
    for (size_t i = 0; i < polled && i < connections_.size(); ++i) {
      Connection& connection = *connections_[i];
      const unsigned ready = items[i + 2].ready;
      if ((ready & (vz::kPollReadable | vz::kPollHangup | vz::kPollError)) != 0) ServeReads(connection);
    }
    if (items[1].ready != 0) Accept();
    RunTasks();
    if (options_.faults.cut_after_s != 0 && !cut_done_ && cut_from_ms_ != 0 &&
        now >= cut_from_ms_ + static_cast<uint64_t>(options_.faults.cut_after_s) * 1000) {
      cut_done_ = true;
      CutEverything(now);
    }
    CloseLateJoiners(now);
    CloseSilentMembers(now);
    for (auto& connection : connections_) {
      connection->ReleaseDue(now);
      if (!connection->gone && !connection->Flush()) connection->gone = true;
      if (!connection->gone && connection->Backlog() < kDrainedBacklog) {
        const Member* member = hub_.FindMember(connection->member);
        if (member != nullptr && member->wants_drain) hub_.OnDrained(connection->member);
      }
    }
    // Forget closed connections; the hub lets go of their members first.
    for (auto& connection : connections_) {
      if (connection->gone || connection->Finished()) {
        hub_.Disconnect(connection->member);
        hold_.Forget(connection->member, now);
        connection->gone = true;
        CountPartial(*connection);
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
