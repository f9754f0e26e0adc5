#pragma once
// The server end of the pipe to VelzarHub's vzlink. Each server has a fresh
// GUID pipe name ("\\.\pipe\<guid>", mapped to a Unix-domain socket in the
// per-user folder); its thread waits for the one client (until the deadline,
// calling OnWaitClient about once a second), then cuts the incoming stream
// into frames and hands each to the sink by kind, and writes the frames the
// host queues. Once the first client is in, the socket's file is closed and
// removed, so a second client finds no pipe at all instead of hanging.
//
// Threads: the host calls Start, Send, Stop and SetWaitClientUntil from any
// thread; nothing thrown on the server thread ends the process (a sink call
// that throws loses its frame, anything else ends the link); every sink call runs on the server thread without the server lock
// held, and only while the server runs (none after Stop began). A server is
// started once; the host makes a new one for each start request.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <thread>

#include "bridge/pipe_callback.h"
#include "common/critical_section_lock.h"
#include "platform/clock.h"
#include "platform/local_socket_listener.h"
#include "weblink/pipe/pipe_stream_channel.h"

class CPipeServer : private PipeStreamChannel::Delegate {
 public:
  static constexpr uint32_t kNoDeadline = 0xFFFFFFFFu;
  static constexpr size_t kReadChunkBytes = 256 * 1024;

  struct Options {
    // Seconds since 1970 for the client deadline: NowMs() / 1000 of this
    // clock. Null: the wall clock.
    const vz::Clock* unix_clock = nullptr;
    // How long one wait for the client lasts between OnWaitClient calls.
    int wait_client_slice_ms = 1000;
  };

  explicit CPipeServer(IPipeCallback* sink);
  CPipeServer(IPipeCallback* sink, const Options& options);
  virtual ~CPipeServer();
  CPipeServer(const CPipeServer&) = delete;
  CPipeServer& operator=(const CPipeServer&) = delete;

  // Makes the pipe and starts the thread; 1 on success, 0 (logged) otherwise.
  int Start();
  // Ends the thread and waits for it; no sink call is made after Stop began
  // (a call under way finishes). Returns 1.
  int Stop();
  // Queues the text as one kind-1000 frame, only while a client is
  // connected; an empty text or one over the frame limit queues nothing.
  // Returns 1.
  int Send(const char* text, int length);
  // The client deadline in seconds since 1970; kNoDeadline waits forever.
  void SetWaitClientUntil(uint32_t seconds);

  // "\\.\pipe\<guid>", for VelzarHub's command line; empty before Start.
  std::u16string PipeName() const;
  // Seconds since 1970 on the server's clock.
  int64_t NowSeconds() const;

 private:
  void Init();
  bool CreatePipeName();
  bool CreatePipe_i();
  // The thread's body: ServeClient, with any exception logged and taken as
  // the end of the link (EndAfterFailure).
  void ThreadRun();
  void ServeClient();
  void EndAfterFailure();
  bool WaitClientConnect();
  // Waits for the waker or the listener; true when a connection was taken.
  bool AcceptOnce(int timeout_ms);
  // The connected loop; returns when stopped or when the link broke (logged).
  void RunLoop();
  void OnFrame(const PipeFrameView& frame) override;
  void OnWritten(size_t bytes) override;
  // Hands one frame to the sink; an exception it throws drops that frame only.
  void Deliver(const PipeFrameView& frame);
  void DeliverTo(const PipeFrameView& frame);
  void DisconnectAndClose();
  bool Running() const { return running_.load(std::memory_order_acquire); }

  IPipeCallback* const sink_;
  const Options options_;

  std::atomic<bool> running_{false};
  std::atomic<bool> stop_{false};
  std::atomic<bool> connected_{false};
  std::atomic<uint32_t> wait_client_until_{kNoDeadline};
  std::u16string pipe_name_;  // set by Start before the thread exists
  std::string socket_path_;
  std::thread thread_;

  CriticalSectionLock lock_;  // the send queue
  // The socket, the send queue (guarded by lock_), the cutter and the waker,
  // all fresh for each Start. The socket and the cutter are the server
  // thread's own (Start and Stop touch them only while no thread runs).
  // Reads take up to 256 KiB: the sharing engine's blocks of 100 KB and more
  // come in one read each, not one per 32 KiB.
  PipeStreamChannel channel_{lock_, kReadChunkBytes};

  // The server thread's own (Start and Stop touch it only while no thread runs).
  vz::LocalSocketListener listener_;
};

// "%08x-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x" of 16 GUID bytes (the
// first three fields read as big-endian numbers).
std::string FormatPipeGuid(const uint8_t bytes[16]);
