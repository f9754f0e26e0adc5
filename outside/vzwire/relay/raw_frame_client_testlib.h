#pragma once
// Test support: a client of the relay that writes raw bytes and reads
// frames, with deadlines, for talking to it byte by byte.
#include <sys/socket.h>

#include <vector>

#include "outside/vzwire/relay/relay_frame.h"
#include "platform/clock.h"
#include "platform/local_socket.h"
#include "platform/local_socket_poll.h"
#include "platform/loopback_tcp.h"

namespace vzrelay_test {

// A client that writes raw bytes and reads frames, with deadlines.
class RawClient {
 public:
  bool Connect(uint16_t port) {
    return vz::ConnectLoopbackTcp(port, 2000, &socket_).status == vz::ConnectStatus::kConnected;
  }
  // Writes what the socket takes within `timeout_ms` (a peer that stops
  // reading leaves the rest); the bytes written.
  size_t WriteFor(const std::vector<uint8_t>& bytes, int timeout_ms) {
    const uint64_t deadline = vz::MonotonicMs() + static_cast<uint64_t>(timeout_ms);
    size_t done = 0;
    while (done < bytes.size() && vz::MonotonicMs() < deadline) {
      const vz::IoResult result = socket_.Write(bytes.data() + done, bytes.size() - done);
      if (result.status == vz::IoStatus::kOk) {
        done += result.bytes;
      } else if (result.status == vz::IoStatus::kWouldBlock) {
        vz::PollItem item{socket_.Fd(), vz::kPollWritable, 0};
        vz::PollDescriptors(&item, 1, 50);
      } else {
        break;
      }
    }
    return done;
  }
  // Every byte, however long the peer takes to read them (up to ten
  // minutes: a test never waits for ever).
  bool WriteAll(const std::vector<uint8_t>& bytes) { return WriteFor(bytes, 600000) == bytes.size(); }
  bool Send(vzrelay::FrameKind kind, const std::vector<uint8_t>& payload) {
    return WriteAll(vzrelay::MakeFrame(kind, payload.data(), payload.size()));
  }
  // The next frame, or false when the stream ended or the time ran out
  // (`ended` then tells which).
  bool Next(vzrelay::Frame* frame, bool* ended = nullptr, int timeout_ms = 10000) {
    if (ended) *ended = false;
    const uint64_t deadline = vz::MonotonicMs() + static_cast<uint64_t>(timeout_ms);
    while (vz::MonotonicMs() < deadline) {
      if (reader_.Next(frame) == vzrelay::FrameReader::Result::kFrame) return true;
      vz::PollItem item{socket_.Fd(), vz::kPollReadable, 0};
      if (vz::PollDescriptors(&item, 1, 50) <= 0) continue;
      uint8_t buffer[65536];
      const vz::IoResult result = socket_.Read(buffer, sizeof(buffer));
      if (result.status == vz::IoStatus::kOk) {
        reader_.Append(buffer, result.bytes);
      } else if (result.status != vz::IoStatus::kWouldBlock) {
        if (ended) *ended = true;
        return false;
      }
    }
    return false;
  }
  // True when the server closes the connection (frames before it skipped).
  bool WaitClosed(int timeout_ms = 10000) {
    vzrelay::Frame frame;
    bool ended = false;
    while (Next(&frame, &ended, timeout_ms)) {
    }
    return ended;
  }
  void ShutdownWrite() { ::shutdown(socket_.Fd(), SHUT_WR); }
  vz::LocalSocket& Socket() { return socket_; }

 private:
  vz::LocalSocket socket_;
  vzrelay::FrameReader reader_;
};

}  // namespace vzrelay_test
