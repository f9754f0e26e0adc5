#pragma once
// The media transport of libvzwire.so: one session's connection to the
// meeting server (vzrelay over loopback TCP, or the in-process loopback
// server), with its own thread.
//
// The thread connects, joins with what the session record says, and then
// writes the send queue, cuts received frames and calls the sink. It pings
// every second; a connection silent for 5 s, closed or broken counts as
// lost: the sink hears OnSessionReconnecting, the thread connects and joins
// again (keeping its SSRC when it can) and confirms the join anew. Sends
// are accepted only while joined. Once a second the filter hears
// OnAdjustment with what the link measured, and the sink hears
// OnSendBacklog whenever the queue's size changed. In a sharing session both
// sides tell each other how many of the other's bytes they took (kConsumed,
// every 4 KiB): the backlog counts what the server has not taken yet, the
// kernel's buffers included, so a sender the server holds back sees its
// backlog grow at once; and the server counts what waits in the kernel's
// buffers and the sink as this member's queue.
//
// Sink reasons: OnSessionReconnecting(1 connection lost, errno or 0),
// (2 silent too long, 0), (3 bad frame from the server, 0).
// OnLeaveSessionConfirm(1 join refused, the server's code: 401 wrong token,
// 400 bad request, 503 meeting full), (2 session ended by the server, its reason),
// (3 server unreachable, errno or 0).
//
// Threads: the operations may be called from any thread, including inside
// a sink callback (Leave there only asks the thread to stop). Sink and
// filter are called on the transport's thread only.
#include <atomic>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "contracts/media_transport.h"
#include "outside/vzwire/relay/relay_frame.h"
#include "outside/vzwire/link_meter.h"
#include "outside/vzwire/session_config_reader.h"
#include "platform/local_socket.h"
#include "platform/local_socket_poll.h"

namespace vzwire {

constexpr int32_t kReconnectConnectionLost = 1;
constexpr int32_t kReconnectSilent = 2;
constexpr int32_t kReconnectBadFrame = 3;
constexpr int32_t kLeaveRefused = 1;
constexpr int32_t kLeaveSessionEnded = 2;
constexpr int32_t kLeaveUnreachable = 3;

// Options (SetOption / GetOption).
constexpr int32_t kOptionSendQueueLimit = 1;  // bytes a send may queue up to

class WireTransport final : public IMediaTransport {
 public:
  WireTransport(IMediaTransportSink* sink, uint8_t session_type);
  // Leaves first when still joined.
  ~WireTransport();
  WireTransport(const WireTransport&) = delete;
  WireTransport& operator=(const WireTransport&) = delete;

  // VzReleaseTransport: destroys now, or, when called on the transport's own
  // thread (inside a callback), once that thread has unwound.
  void Release();

  uint8_t GetSessionType() override { return session_type_; }
  uint8_t Join(const void* session_config, const NetworkProxyEntry* proxy,
               IMediaTransportFilter* filter) override;
  int32_t Leave() override;
  int32_t SendCommandData(const CByteStream* stream) override;
  int32_t SendRtpData(const CByteStream* stream) override;
  int32_t SendRtcpData(const CByteStream* stream) override;
  int32_t SendDataUtf8(const char* data, uint32_t size) override;
  int32_t GetSendBacklog() override;
  int32_t SendDataBinary(const uint8_t* data, uint32_t size) override;
  int32_t GetMemberCount() override;
  int32_t SetOption(int32_t option, int32_t value) override;
  int32_t GetOption(int32_t option, int32_t* value) override;
  int32_t Subscribe(uint32_t ssrc, int32_t subscribe) override;
  int32_t SetMaxSendBandwidth(int32_t bits_per_second) override;

 private:
  enum class Ending { kServing, kStopped, kLost, kRefused, kEnded };

  int32_t Enqueue(vzrelay::FrameKind kind, const uint8_t* data, size_t size);
  int32_t EnqueueStream(vzrelay::FrameKind kind, const CByteStream* stream);
  void ThreadMain();
  bool ConnectOnce(vz::LocalSocket* socket, int* error);
  // Serves one connection until it ends.
  Ending Serve(vz::LocalSocket& socket, int32_t* reason, int32_t* arg);
  // Reads what the socket holds now (a bounded number of chunks) and handles
  // its frames. kServing to go on (also when told to stop); else how the
  // connection ended, with *reason and *arg set. After a failed write it reads
  // until the socket has nothing more, writing nothing.
  Ending ReadFrames(vz::LocalSocket& socket, uint8_t* buffer, int32_t* reason, int32_t* arg);
  // The connection failed on a write. What the server sent before it closed
  // (a session end, a refusal) is still read and decides the ending; else the
  // connection counts as lost.
  Ending LostOnWrite(vz::LocalSocket& socket, uint8_t* buffer, int32_t* reason, int32_t* arg);
  // Handles one frame; false ends the connection with *ending set.
  bool HandleFrame(const vzrelay::Frame& frame, Ending* ending, int32_t* reason, int32_t* arg);
  // Writes what the socket takes; false when it failed.
  bool WriteQueue(vz::LocalSocket& socket);
  // Tells the server how much of what it sent was handed on (the server
  // holds a sender back while too much is not); false when writing failed.
  bool ReportConsumed(vz::LocalSocket& socket);
  // Writes the queue's rest and a leave for at most a second (stopping).
  void FlushOnStop(vz::LocalSocket& socket);
  void ReportBacklog(bool force);
  // The queue and what the server has not taken of what was written
  // (queue_mutex_ held).
  size_t BacklogLocked() const;
  void ReportAdjustment(uint64_t now_ms, bool reconnecting);
  // Waits on the waker, up to ms; false when told to stop.
  bool Pause(int ms);
  static bool OutOfTime(bool ever_joined, uint64_t started, uint64_t lost_since);
  bool Stopping() const { return stop_.load(); }

  IMediaTransportSink* const sink_;
  const uint8_t session_type_;
  IMediaTransportFilter* filter_ = nullptr;
  JoinTarget target_;

  std::thread thread_;
  std::atomic<std::thread::id> thread_id_{};
  std::atomic<bool> stop_{false};
  std::atomic<bool> joined_{false};
  std::atomic<bool> delete_on_exit_{false};
  std::atomic<bool> finished_{false};  // the thread ended on its own
  std::atomic<uint32_t> ssrc_{0};
  std::atomic<int32_t> members_{0};
  vz::LocalSocketWaker waker_;

  std::mutex queue_mutex_;  // guards the queue and its byte count
  std::deque<std::vector<uint8_t>> queue_;
  size_t queued_bytes_ = 0;
  size_t front_written_ = 0;  // bytes of queue_.front() already written
  std::atomic<size_t> queue_limit_{16u << 20};

  // The thread's own.
  vzrelay::FrameReader reader_;
  LinkMeter meter_;
  uint64_t last_received_ms_ = 0;
  uint64_t last_tick_ms_ = 0;
  uint32_t ping_sequence_ = 0;
  size_t reported_backlog_ = 0;
  uint64_t consumed_ = 0;           // bytes of the server's frames handed on
  uint64_t consumed_reported_ = 0;  // and the count the server last heard
  bool write_failed_ = false;       // this connection failed on a write
  // Guarded by queue_mutex_: bytes written on this connection, and how many
  // of them the server said it took (once it says).
  uint64_t written_ = 0;
  uint64_t server_consumed_ = 0;
  bool server_reports_ = false;
  uint64_t backlog_reported_ms_ = 0;
};

}  // namespace vzwire
