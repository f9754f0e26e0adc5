#pragma once
// Test support: the client end of the pipe, driven step by step, for the
// pipe server's tests and for the fake client program. Every wait has a
// deadline on the real clock, so a broken server fails instead of hanging.
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/local_socket.h"
#include "weblink/pipe/pipe_frame_cutter.h"

struct RawPipeFrame {
  uint32_t kind = 0;
  std::string payload;
  bool operator==(const RawPipeFrame&) const = default;
};

class RawPipeClient {
 public:
  static constexpr int kDefaultWaitMs = 5000;

  // Connects to the pipe of that name, retrying while it is busy or not
  // there yet, for up to `timeout_ms`.
  bool Connect(std::string_view pipe_name, int timeout_ms = kDefaultWaitMs);
  // Writes every byte, waiting while the socket is full.
  bool WriteAll(std::string_view bytes, int timeout_ms = kDefaultWaitMs);
  // Reads until one more frame is whole. False on time-out, error or end of
  // stream (`end_of_stream` then says which).
  bool ReadFrame(RawPipeFrame* frame, int timeout_ms = kDefaultWaitMs, bool* end_of_stream = nullptr);
  // True once the server has closed its end.
  bool WaitEndOfStream(int timeout_ms = kDefaultWaitMs);

  vz::LocalSocket& Socket() { return socket_; }
  void Close() { socket_.Close(); }

 private:
  vz::LocalSocket socket_;
  PipeFrameCutter cutter_;
};
