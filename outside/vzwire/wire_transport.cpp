#include "outside/vzwire/wire_transport.h"

#include <algorithm>

#include "common/byte_stream.h"
#include "common/trace_client.h"
#include "outside/vzwire/loopback_server.h"
#include "platform/clock.h"
#include "platform/loopback_tcp.h"

namespace vzwire {
namespace {

using vzrelay::FrameKind;

constexpr int kPingIntervalMs = 1000;
constexpr uint64_t kSilenceLimitMs = 5000;
constexpr uint64_t kFirstJoinBudgetMs = 10000;
constexpr uint64_t kReconnectBudgetMs = 60000;
constexpr int kConnectTimeoutMs = 1000;
constexpr uint64_t kStopFlushMs = 1000;
constexpr size_t kReadChunk = 64 * 1024;
// Chunks read in one turn, and read at most after a failed write (the server
// closed: what it sent before is all there is).
constexpr int kReadRounds = 16;
constexpr int kReadRoundsAfterFailure = 1024;
// The server hears how much this side handed on after about this much more.
constexpr uint64_t kConsumedReportBytes = 4096;

const char* TypeName(uint8_t type) { return type == kTransportSessionVideo ? "video" : "sharing"; }

}  // namespace

WireTransport::WireTransport(IMediaTransportSink* sink, uint8_t session_type)
    : sink_(sink), session_type_(session_type) {
  VZ_LOG_OBJ("%s transport created", TypeName(session_type));
}

WireTransport::~WireTransport() {
  if (thread_.joinable()) Leave();
  VZ_LOG_OBJ("transport released");
}

void WireTransport::Release() {
  if (std::this_thread::get_id() == thread_id_.load()) {
    VZ_LOG_WARN("released inside its own callback: destroyed once the callback returns");
    stop_ = true;
    delete_on_exit_ = true;
    thread_.detach();
    waker_.Signal();
    return;
  }
  delete this;
}

uint8_t WireTransport::Join(const void* session_config, const NetworkProxyEntry* /*proxy*/,
                            IMediaTransportFilter* filter) {
  if (thread_.joinable() && finished_ && std::this_thread::get_id() != thread_id_.load()) {
    thread_.join();  // it ended on its own (refused, ended)
  }
  if (thread_.joinable()) {
    VZ_LOG_ERROR("join refused: the transport has already joined");
    return 0;
  }
  if (!waker_.IsValid()) {
    VZ_LOG_ERROR("join refused: no waker (errno %d)", waker_.Error());
    return 0;
  }
  JoinTarget target;
  std::string error;
  if (!ReadSessionConfig(session_type_, session_config, &target, &error)) {
    VZ_LOG_ERROR("join refused: %s", error.c_str());
    return 0;
  }
  target_ = std::move(target);
  filter_ = filter;
  stop_ = false;
  finished_ = false;
  joined_ = false;
  ssrc_ = 0;
  VZ_LOG_OBJ("joining %s session %s as %s at %s%s", TypeName(session_type_),
         target_.request.session_id.c_str(), target_.request.roster_id.c_str(),
         target_.loopback ? "the in-process server" : "127.0.0.1:",
         target_.loopback ? "" : std::to_string(target_.port).c_str());
  thread_ = std::thread([this] { ThreadMain(); });
  return 1;
}

int32_t WireTransport::Leave() {
  if (!thread_.joinable()) return 0;
  stop_ = true;
  waker_.Signal();
  if (std::this_thread::get_id() == thread_id_.load()) return 1;  // the thread ends after the callback
  thread_.join();
  joined_ = false;
  return 1;
}

int32_t WireTransport::Enqueue(FrameKind kind, const uint8_t* data, size_t size) {
  if (!joined_ || Stopping()) return 0;
  if (data == nullptr && size != 0) return 0;
  std::vector<uint8_t> frame;
  if (!vzrelay::AppendFrame(&frame, kind, data, size)) {
    VZ_LOG_ERROR("a %s payload of %zu bytes is too large to send", vzrelay::FrameKindName(static_cast<uint16_t>(kind)),
                 size);
    return 0;
  }
  {
    std::lock_guard<std::mutex> lock(queue_mutex_);
    if (queued_bytes_ + frame.size() > queue_limit_.load()) {
      VZ_LOG_ERROR("send queue full (%zu bytes): a %s payload of %zu bytes is dropped", queued_bytes_,
                   vzrelay::FrameKindName(static_cast<uint16_t>(kind)), size);
      return 0;
    }
    queued_bytes_ += frame.size();
    queue_.push_back(std::move(frame));
  }
  waker_.Signal();
  return 1;
}

int32_t WireTransport::EnqueueStream(FrameKind kind, const CByteStream* stream) {
  if (stream == nullptr) return 0;
  return Enqueue(kind, stream->ReadPointer(), stream->GetDataLength());
}

int32_t WireTransport::SendCommandData(const CByteStream* stream) {
  return EnqueueStream(FrameKind::kCommand, stream);
}
int32_t WireTransport::SendRtpData(const CByteStream* stream) { return EnqueueStream(FrameKind::kRtp, stream); }
int32_t WireTransport::SendRtcpData(const CByteStream* stream) { return EnqueueStream(FrameKind::kRtcp, stream); }

int32_t WireTransport::SendDataUtf8(const char* data, uint32_t size) {
  return Enqueue(FrameKind::kDataUtf8, reinterpret_cast<const uint8_t*>(data), size);
}

int32_t WireTransport::SendDataBinary(const uint8_t* data, uint32_t size) {
  return Enqueue(FrameKind::kDataBinary, data, size);
}

int32_t WireTransport::GetSendBacklog() {
  std::lock_guard<std::mutex> lock(queue_mutex_);
  return static_cast<int32_t>(std::min<size_t>(BacklogLocked(), INT32_MAX));
}

size_t WireTransport::BacklogLocked() const {
  return queued_bytes_ + (server_reports_ ? static_cast<size_t>(written_ - server_consumed_) : 0);
}

int32_t WireTransport::GetMemberCount() { return joined_ ? members_.load() : 0; }

int32_t WireTransport::SetOption(int32_t option, int32_t value) {
  if (option == kOptionSendQueueLimit && value > 0) {
    queue_limit_ = static_cast<size_t>(value);
    return 1;
  }
  return 0;
}

int32_t WireTransport::GetOption(int32_t option, int32_t* value) {
  if (option == kOptionSendQueueLimit && value != nullptr) {
    *value = static_cast<int32_t>(std::min<size_t>(queue_limit_.load(), INT32_MAX));
    return 1;
  }
  return 0;
}

int32_t WireTransport::Subscribe(uint32_t ssrc, int32_t subscribe) {
  std::vector<uint8_t> payload;
  vzrelay::PutU32(&payload, ssrc);
  payload.push_back(subscribe != 0 ? 1 : 0);
  return Enqueue(FrameKind::kSubscribe, payload.data(), payload.size());
}

int32_t WireTransport::SetMaxSendBandwidth(int32_t /*bits_per_second*/) {
  return 0;  // the local link is not shaped
}

bool WireTransport::Pause(int ms) {
  if (Stopping()) return false;
  vz::PollItem item{waker_.Fd(), vz::kPollReadable, 0};
  vz::PollDescriptors(&item, 1, ms);
  waker_.Drain();
  return !Stopping();
}

bool WireTransport::ConnectOnce(vz::LocalSocket* socket, int* error) {
  *error = 0;
  if (target_.loopback) return ConnectLoopbackServer(socket);
  const vz::ConnectResult result = vz::ConnectLoopbackTcp(target_.port, kConnectTimeoutMs, socket);
  *error = result.error;
  return result.status == vz::ConnectStatus::kConnected;
}

bool WireTransport::OutOfTime(bool ever_joined, uint64_t started, uint64_t lost_since) {
  const uint64_t now = vz::MonotonicMs();
  return ever_joined ? now - lost_since > kReconnectBudgetMs : now - started > kFirstJoinBudgetMs;
}

void WireTransport::ThreadMain() {
  thread_id_ = std::this_thread::get_id();
  const uint64_t started = vz::MonotonicMs();
  uint64_t lost_since = 0;
  bool ever_joined = false;
  int backoff_ms = 100;
  int32_t leave_reason = 0, leave_arg = 0;
  bool leave_confirm = false;
  while (!Stopping()) {
    vz::LocalSocket socket;
    int error = 0;
    if (!ConnectOnce(&socket, &error)) {
      if (OutOfTime(ever_joined, started, lost_since)) {
        VZ_LOG_ERROR("the server at 127.0.0.1:%u is unreachable (errno %d); giving up", target_.port, error);
        leave_confirm = true;
        leave_reason = kLeaveUnreachable;
        leave_arg = error;
        break;
      }
      if (!Pause(backoff_ms)) break;
      backoff_ms = std::min(backoff_ms * 2, 2000);
      continue;
    }
    backoff_ms = 100;
    int32_t reason = 0, arg = 0;
    const Ending ending = Serve(socket, &reason, &arg);
    const bool was_joined = joined_.exchange(false);
    ever_joined = ever_joined || was_joined;
    {
      // Nothing queued for a lost connection is sent on the next one: the
      // session starts again with its join.
      std::lock_guard<std::mutex> lock(queue_mutex_);
      queue_.clear();
      queued_bytes_ = 0;
      front_written_ = 0;
    }
    if (ending == Ending::kStopped) break;
    if (ending == Ending::kRefused || ending == Ending::kEnded) {
      leave_confirm = true;
      leave_reason = reason;
      leave_arg = arg;
      break;
    }
    if (was_joined) {
      lost_since = vz::MonotonicMs();
      VZ_LOG_OBJ("connection lost (%d, %d): reconnecting", reason, arg);
      if (!Stopping()) sink_->OnSessionReconnecting(reason, arg);
      ReportAdjustment(vz::MonotonicMs(), true);
    }
    if (!was_joined && OutOfTime(ever_joined, started, lost_since)) {
      VZ_LOG_ERROR("the server keeps closing the connection before the join; giving up");
      leave_confirm = true;
      leave_reason = kLeaveUnreachable;
      leave_arg = 0;
      break;
    }
    if (!Pause(was_joined ? 0 : backoff_ms)) break;
    if (!was_joined) backoff_ms = std::min(backoff_ms * 2, 2000);
  }
  joined_ = false;
  // Finished before the last callback, so that a Join from any other thread
  // after it may wait for this thread and start again.
  finished_ = true;
  if (leave_confirm && !Stopping()) sink_->OnLeaveSessionConfirm(leave_reason, leave_arg);
  if (delete_on_exit_) delete this;
}

WireTransport::Ending WireTransport::Serve(vz::LocalSocket& socket, int32_t* reason, int32_t* arg) {
  reader_ = vzrelay::FrameReader();
  meter_ = LinkMeter();
  last_received_ms_ = vz::MonotonicMs();
  last_tick_ms_ = 0;
  reported_backlog_ = 0;
  consumed_ = 0;
  consumed_reported_ = 0;
  write_failed_ = false;
  {
    std::lock_guard<std::mutex> lock(queue_mutex_);
    written_ = 0;
    server_consumed_ = 0;
    server_reports_ = false;
  }
  vzrelay::JoinRequest join = target_.request;
  join.previous_ssrc = ssrc_;
  const std::vector<uint8_t> request = vzrelay::EncodeJoinRequest(join);
  {
    // The join goes first, ahead of anything (nothing can be queued before
    // the confirm anyway).
    std::lock_guard<std::mutex> lock(queue_mutex_);
    std::vector<uint8_t> frame;
    vzrelay::AppendFrame(&frame, FrameKind::kJoin, request.data(), request.size());
    queued_bytes_ += frame.size();
    queue_.push_front(std::move(frame));
  }
  uint8_t buffer[kReadChunk];
  for (;;) {
    if (Stopping()) {
      FlushOnStop(socket);
      return Ending::kStopped;
    }
    const uint64_t now = vz::MonotonicMs();
    if (now - last_tick_ms_ >= kPingIntervalMs) {
      if (now - last_received_ms_ > kSilenceLimitMs) {
        *reason = kReconnectSilent;
        *arg = 0;
        return Ending::kLost;
      }
      std::vector<uint8_t> ping;
      vzrelay::PutU32(&ping, ++ping_sequence_);
      vzrelay::PutU64(&ping, vz::MonotonicUs());
      std::vector<uint8_t> frame;
      vzrelay::AppendFrame(&frame, FrameKind::kPing, ping.data(), ping.size());
      {
        std::lock_guard<std::mutex> lock(queue_mutex_);
        queued_bytes_ += frame.size();
        queue_.push_back(std::move(frame));
      }
      if (joined_ && last_tick_ms_ != 0) ReportAdjustment(now, false);
      last_tick_ms_ = now;
    }
    if (!WriteQueue(socket)) return LostOnWrite(socket, buffer, reason, arg);
    ReportBacklog(false);
    bool want_write;
    {
      std::lock_guard<std::mutex> lock(queue_mutex_);
      want_write = !queue_.empty();
    }
    vz::PollItem items[2] = {{waker_.Fd(), vz::kPollReadable, 0},
                             {socket.Fd(), vz::kPollReadable | (want_write ? vz::kPollWritable : 0u), 0}};
    const uint64_t next_tick = last_tick_ms_ + kPingIntervalMs;
    const int timeout = next_tick > now ? static_cast<int>(next_tick - now) : 0;
    if (vz::PollDescriptors(items, 2, timeout) < 0) {
      *reason = kReconnectConnectionLost;
      *arg = 0;
      return Ending::kLost;
    }
    if (items[0].ready != 0) waker_.Drain();
    if ((items[1].ready & (vz::kPollReadable | vz::kPollHangup | vz::kPollError)) == 0) continue;
    const Ending ending = ReadFrames(socket, buffer, reason, arg);
    if (ending != Ending::kServing) return ending;
    if (write_failed_) {
      *reason = kReconnectConnectionLost;
      *arg = 0;
      return Ending::kLost;
    }
  }
}

WireTransport::Ending WireTransport::LostOnWrite(vz::LocalSocket& socket, uint8_t* buffer, int32_t* reason,
                                                 int32_t* arg) {
  write_failed_ = true;
  const Ending ending = ReadFrames(socket, buffer, reason, arg);
  if (ending == Ending::kEnded || ending == Ending::kRefused) return ending;
  *reason = kReconnectConnectionLost;
  *arg = 0;
  return Ending::kLost;
}

WireTransport::Ending WireTransport::ReadFrames(vz::LocalSocket& socket, uint8_t* buffer, int32_t* reason,
                                                int32_t* arg) {
  for (int rounds = 0; rounds < (write_failed_ ? kReadRoundsAfterFailure : kReadRounds); ++rounds) {
    const vz::IoResult result = socket.Read(buffer, kReadChunk);
    if (result.status == vz::IoStatus::kWouldBlock) return Ending::kServing;
    if (result.status != vz::IoStatus::kOk) {
      *reason = kReconnectConnectionLost;
      *arg = result.error;
      return Ending::kLost;
    }
    last_received_ms_ = vz::MonotonicMs();
    meter_.OnReceived(result.bytes);
    reader_.Append(buffer, result.bytes);
    vzrelay::Frame frame;
    for (;;) {
      const vzrelay::FrameReader::Result next = reader_.Next(&frame);
      if (next == vzrelay::FrameReader::Result::kNeedMore) break;
      if (next == vzrelay::FrameReader::Result::kBad) {
        VZ_LOG_ERROR("bad frame from the server: %s", reader_.Error().c_str());
        *reason = kReconnectBadFrame;
        *arg = 0;
        return Ending::kLost;
      }
      Ending ending = Ending::kLost;
      if (!HandleFrame(frame, &ending, reason, arg)) return ending;
      // Time the sink took (it may wait for its own thread to catch up)
      // is not the server's silence.
      last_received_ms_ = vz::MonotonicMs();
      consumed_ += vzrelay::kFrameHeaderSize + frame.payload.size();
      // Only a sharing session's stream is paced by the server (video and
      // audio keep their own rate control). The first report (after the
      // join confirm) tells the server this side speaks of it. A report that
      // cannot be written ends the connection only after what was read (the
      // server may have ended the session and closed meanwhile).
      const bool first = consumed_reported_ == 0;
      if (!write_failed_ && session_type_ == kTransportSessionSharing &&
          (first || consumed_ - consumed_reported_ >= kConsumedReportBytes) && !ReportConsumed(socket)) {
        write_failed_ = true;
      }
      if (Stopping()) return Ending::kServing;
    }
  }
  return Ending::kServing;
}

bool WireTransport::HandleFrame(const vzrelay::Frame& frame, Ending* ending, int32_t* reason, int32_t* arg) {
  const uint8_t* data = frame.payload.data();
  const auto size = static_cast<uint32_t>(frame.payload.size());
  vzrelay::PayloadReader reader(data, size);
  switch (frame.kind) {
    case FrameKind::kJoinConfirm: {
      uint32_t ssrc = 0, members = 0;
      if (!reader.GetU32(&ssrc) || !reader.GetU32(&members)) break;
      ssrc_ = ssrc;
      members_ = static_cast<int32_t>(members);
      joined_ = true;
      VZ_LOG_OBJ("joined %s session %s with ssrc %u (%u members)", TypeName(session_type_),
             target_.request.session_id.c_str(), ssrc, members);
      sink_->OnJoinSessionConfirm(session_type_ == kTransportSessionVideo ? ssrc : 0);
      return true;
    }
    case FrameKind::kJoinRefused: {
      uint32_t code = 0;
      reader.GetU32(&code);
      const std::string why(reinterpret_cast<const char*>(reader.Rest()), reader.Remaining());
      VZ_LOG_ERROR("join of %s session %s refused (%u): %s", TypeName(session_type_),
                   target_.request.session_id.c_str(), code, why.c_str());
      *ending = Ending::kRefused;
      *reason = kLeaveRefused;
      *arg = static_cast<int32_t>(code);
      return false;
    }
    case FrameKind::kSessionEnded: {
      uint32_t why = 0;
      reader.GetU32(&why);
      VZ_LOG_OBJ("the server ended the session (%u)", why);
      *ending = Ending::kEnded;
      *reason = kLeaveSessionEnded;
      *arg = static_cast<int32_t>(why);
      return false;
    }
    case FrameKind::kCommand:
    case FrameKind::kRtp:
    case FrameKind::kRtcp: {
      if (!joined_) return true;
      CByteStream stream = CByteStream::Borrow(data, size, false);
      if (frame.kind == FrameKind::kCommand) {
        sink_->OnReceiveCommandData(&stream);
      } else {
        if (frame.kind == FrameKind::kRtp) {
          sink_->OnReceiveRtpData(&stream);
        } else {
          sink_->OnReceiveRtcpData(&stream);
        }
      }
      return true;
    }
    case FrameKind::kDataUtf8:
      if (joined_) sink_->OnReceiveDataUtf8(reinterpret_cast<const char*>(data), size);
      return true;
    case FrameKind::kDataBinary:
      if (joined_) sink_->OnReceiveDataBinary(data, size);
      return true;
    case FrameKind::kConsumed: {
      uint64_t taken = 0;
      if (!reader.GetU64(&taken)) break;
      {
        std::lock_guard<std::mutex> lock(queue_mutex_);
        if (taken > written_ || taken < server_consumed_) break;
        server_consumed_ = taken;
        server_reports_ = true;
      }
      ReportBacklog(false);
      return true;
    }
    case FrameKind::kPong: {
      uint32_t sequence = 0, dropped = 0, offered = 0;
      uint64_t sent_us = 0;
      if (!reader.GetU32(&sequence) || !reader.GetU64(&sent_us) || !reader.GetU32(&dropped) ||
          !reader.GetU32(&offered)) {
        break;
      }
      const uint64_t now_us = vz::MonotonicUs();
      meter_.OnPong(now_us > sent_us ? now_us - sent_us : 0, dropped, offered);
      return true;
    }
    default:
      break;
  }
  VZ_LOG_ERROR("unexpected or malformed %s frame from the server", vzrelay::FrameKindName(static_cast<uint16_t>(frame.kind)));
  *ending = Ending::kLost;
  *reason = kReconnectBadFrame;
  *arg = 0;
  return false;
}

bool WireTransport::ReportConsumed(vz::LocalSocket& socket) {
  std::vector<uint8_t> count;
  vzrelay::PutU64(&count, consumed_);
  std::vector<uint8_t> frame;
  vzrelay::AppendFrame(&frame, FrameKind::kConsumed, count.data(), count.size());
  {
    std::lock_guard<std::mutex> lock(queue_mutex_);
    queued_bytes_ += frame.size();
    queue_.push_back(std::move(frame));
  }
  consumed_reported_ = consumed_;
  // At once, not after the rest of this turn's reading: the server may be
  // holding a sender until it hears this.
  return WriteQueue(socket);
}

bool WireTransport::WriteQueue(vz::LocalSocket& socket) {
  std::unique_lock<std::mutex> lock(queue_mutex_);
  while (!queue_.empty()) {
    // The front frame stays in the queue while it is written; senders only
    // append, so it is not moved meanwhile.
    std::vector<uint8_t>& front = queue_.front();
    const size_t offset = front_written_;
    lock.unlock();
    const vz::IoResult result = socket.Write(front.data() + offset, front.size() - offset);
    lock.lock();
    if (result.status == vz::IoStatus::kWouldBlock) return true;
    if (result.status != vz::IoStatus::kOk) return false;
    meter_.OnSent(result.bytes);
    written_ += result.bytes;
    front_written_ += result.bytes;
    queued_bytes_ -= result.bytes;
    if (front_written_ == queue_.front().size()) {
      queue_.pop_front();
      front_written_ = 0;
    }
  }
  return true;
}

void WireTransport::FlushOnStop(vz::LocalSocket& socket) {
  {
    std::lock_guard<std::mutex> lock(queue_mutex_);
    std::vector<uint8_t> frame;
    vzrelay::AppendFrame(&frame, FrameKind::kLeave, nullptr, 0);
    queued_bytes_ += frame.size();
    queue_.push_back(std::move(frame));
  }
  const uint64_t deadline = vz::MonotonicMs() + kStopFlushMs;
  while (vz::MonotonicMs() < deadline) {
    if (!WriteQueue(socket)) return;
    {
      std::lock_guard<std::mutex> lock(queue_mutex_);
      if (queue_.empty()) return;
    }
    vz::PollItem item{socket.Fd(), vz::kPollWritable, 0};
    vz::PollDescriptors(&item, 1, 50);
  }
  VZ_LOG_WARN("left with %d bytes unsent", GetSendBacklog());
}

void WireTransport::ReportBacklog(bool force) {
  size_t backlog;
  {
    std::lock_guard<std::mutex> lock(queue_mutex_);
    backlog = BacklogLocked();
  }
  if (!force && backlog == reported_backlog_) return;
  // Every change would be a report per write; a few a second say as much,
  // but crossing the congestion mark is told at once (a sharing presenter
  // stops and starts its capture rounds there).
  const uint64_t now = vz::MonotonicMs();
  const bool crossed = (backlog > LinkMeter::kCongestedBacklog) != (reported_backlog_ > LinkMeter::kCongestedBacklog);
  if (!force && !crossed && backlog != 0 && reported_backlog_ != 0 && now - backlog_reported_ms_ < 100) return;
  reported_backlog_ = backlog;
  backlog_reported_ms_ = now;
  if (joined_ && !Stopping()) sink_->OnSendBacklog(static_cast<uint32_t>(std::min<size_t>(backlog, UINT32_MAX)));
}

void WireTransport::ReportAdjustment(uint64_t now_ms, bool reconnecting) {
  if (filter_ == nullptr || Stopping()) return;
  const LinkReport report = meter_.Report(now_ms, static_cast<uint64_t>(GetSendBacklog()), reconnecting);
  filter_->OnAdjustment(report.state, report.bandwidth, report.jitter, report.lossrate, report.rtt, report.totalbw);
}

}  // namespace vzwire
