#pragma once
// Test support: the server end of a pipe, driven step by step from a test or
// a benchmark. Every wait has a deadline on the real clock, so a broken
// client fails the test instead of hanging it.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/local_socket.h"
#include "platform/local_socket_listener.h"
#include "weblink/pipe/pipe_frame_cutter.h"

struct PipeTestFrame {
  uint32_t kind = 0;
  std::string payload;
  bool operator==(const PipeTestFrame&) const = default;
};

// A fresh pipe name for each call within this process.
std::u16string NextTestPipeName();

class PipeTestPeer {
 public:
  static constexpr int kDefaultWaitMs = 5000;

  explicit PipeTestPeer(std::u16string_view pipe_name);

  // The socket file exists but takes no connection: a busy server.
  bool Bind();
  bool Listen();
  bool BindAndListen() { return Bind() && Listen(); }
  // Waits for the client and takes its connection.
  bool Accept(int timeout_ms = kDefaultWaitMs);

  vz::LocalSocket& Connection() { return connection_; }
  void CloseConnection() { connection_.Close(); }

  // Writes every byte, waiting while the socket is full.
  bool WriteAll(std::string_view bytes, int timeout_ms = kDefaultWaitMs);
  // Waits until the client has read everything written so far.
  bool WaitConsumed(int timeout_ms = kDefaultWaitMs);
  // Reads until `count` more frames are whole.
  bool ReadFrames(size_t count, std::vector<PipeTestFrame>* frames, int timeout_ms = kDefaultWaitMs);
  // Writes `bytes` and reads `count` frames at the same time, as a server
  // that is written to while it writes.
  bool Exchange(std::string_view bytes, size_t count, std::vector<PipeTestFrame>* frames,
                int timeout_ms = kDefaultWaitMs);
  // True once the client has closed its end (after any frames it sent).
  bool WaitEndOfStream(int timeout_ms = kDefaultWaitMs);

 private:
  // One read into the cutter; false on error or end of stream.
  bool ReadSome(std::vector<PipeTestFrame>* frames, bool* end_of_stream);

  std::string path_;
  vz::LocalSocketListener listener_;
  vz::LocalSocket connection_;
  std::unique_ptr<PipeFrameCutter> cutter_;  // one per connection
};
