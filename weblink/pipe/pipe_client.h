#pragma once
// The client end of the pipe to vzbridge. One I/O thread connects to the
// pipe's socket (waiting up to 20 s while the server is busy), cuts the
// incoming stream into frames and hands each to the callback (kind
// PIPE_KIND_JSON_TEXT as text, every other kind as binary), and writes the
// queued frames in order.
//
// Threads: the owner calls Start, Send and Stop from any thread; every
// callback runs on the I/O thread without the client's lock held. A client
// is started once; after Stop, or after the link ended, make a new one.
//
// Nothing escapes the I/O thread: a frame whose delivery throws (its copy
// finds no memory, the callback throws) is dropped with a log line and the
// link goes on; an exception anywhere else on the thread ends the link like
// a read error, with a log line and the one OnDisconnect.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <thread>

#include "common/critical_section_lock.h"
#include "platform/clock.h"
#include "weblink/pipe/pipe_frame.h"
#include "weblink/pipe/pipe_stream_channel.h"
#include "weblink/pipe/web_socket_client_callback.h"

class CPipeClient final : private PipeStreamChannel::Delegate {
 public:
  static constexpr uint64_t kBusyWaitMs = 20000;     // how long a busy server is waited for
  static constexpr int kConnectRetryMs = 10;         // pause between connection attempts

  // `callback` is not owned and must outlive Stop. `clock` times the busy
  // wait (tests inject one) and must outlive the client.
  explicit CPipeClient(CWebSocketClientCallback* callback, const vz::Clock& clock = vz::SystemClock());
  // Stops a running client; frames still queued are dropped.
  ~CPipeClient();
  CPipeClient(const CPipeClient&) = delete;
  CPipeClient& operator=(const CPipeClient&) = delete;

  // Starts the I/O thread on `pipe_name` ("\\.\pipe\<name>"). Returns false
  // (logged) when the waker or the thread cannot be made, or when started
  // before. The connection's outcome comes later: OnConnect or OnDisconnect.
  bool Start(std::u16string_view pipe_name);

  // Queues one frame; it is written after the frames queued before it, once
  // the pipe is open. Callers hold ClientLock() so that frames of several
  // threads keep the order of their own locks. Returns false, queuing
  // nothing, for an empty payload, one over kPipeMaxPayload (logged), or
  // once the link has ended or Stop was called.
  bool Send(std::string_view payload, uint32_t kind);

  // Ends the link and waits for the I/O thread. No callback starts after
  // Stop has begun; a Stop during the connection wait returns promptly.
  void Stop();

  CriticalSectionLock& ClientLock() { return lock_; }

 private:
  void ThreadRun();
  bool ConnectServer();
  // Waits up to `timeout_ms` for the waker (Send or Stop).
  void WaitForWake(int timeout_ms);
  // The connected loop; returns when stopped or when the link broke (logged).
  void RunLoop();
  void OnFrame(const PipeFrameView& frame) override;

  // Callbacks, each reading the callback pointer under the lock.
  bool NotifyConnect();
  void NotifyDisconnect();
  void Deliver(const PipeFrameView& frame);

  const vz::Clock& clock_;
  CriticalSectionLock lock_;
  // Guarded by lock_.
  CWebSocketClientCallback* callback_;
  bool started_ = false;
  bool closed_ = false;  // Stop was called or the link ended: Send refuses

  std::atomic<bool> stop_{false};
  std::u16string pipe_name_;
  std::thread thread_;

  // The socket, the send queue (guarded by lock_) and the cutter; its waker
  // is made by Start, before the thread exists, and kept until destruction.
  PipeStreamChannel channel_{lock_};
};
