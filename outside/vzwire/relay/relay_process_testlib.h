#pragma once
// Test support: a vzrelay process on a free loopback port, started for a
// test and stopped (or killed) by it, and a raw frame client for talking to
// it byte by byte.
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>

#include <string>
#include <vector>

#include "outside/vzwire/relay/relay_frame.h"
#include "platform/local_socket.h"
#include "platform/local_socket_poll.h"
#include "platform/loopback_tcp.h"
#include "platform/piped_child_testlib.h"

namespace vzrelay_test {

class RelayProcess {
 public:
  // Starts vzrelay with `args`; port 0 takes a free one.
  bool Start(const std::vector<std::string>& args, uint16_t port = 0) {
    std::vector<std::string> argv = {"vzrelay", "--port", std::to_string(port)};
    argv.insert(argv.end(), args.begin(), args.end());
    child_ = std::make_unique<vz::PipedChild>();
    if (!child_->Start(VZ_RELAY_BINARY, argv, {})) return false;
    std::string line;
    char c = 0;
    while (line.size() < 200 && child_->ReadExactly(&c, 1, 10000) && c != '\n') line.push_back(c);
    const std::string prefix = "vzrelay listening on 127.0.0.1:";
    if (line.compare(0, prefix.size(), prefix) != 0) return false;
    port_ = static_cast<uint16_t>(std::stoi(line.substr(prefix.size())));
    return true;
  }
  uint16_t Port() const { return port_; }
  void Kill() {
    if (!child_) return;
    ::kill(child_->Pid(), SIGKILL);
    int code = 0;
    child_->Wait(10000, &code);
    child_.reset();
  }
  // SIGTERM; true when it ended on its own with code 0.
  bool Stop() {
    if (!child_) return true;
    ::kill(child_->Pid(), SIGTERM);
    int code = -1;
    const bool ended = child_->Wait(10000, &code);
    child_.reset();
    return ended && code == 0;
  }
  ~RelayProcess() { Kill(); }

 private:
  std::unique_ptr<vz::PipedChild> child_;
  uint16_t port_ = 0;
};

// A client that writes raw bytes and reads frames, with deadlines.
class RawClient {
 public:
  bool Connect(uint16_t port) {
    return vz::ConnectLoopbackTcp(port, 2000, &socket_).status == vz::ConnectStatus::kConnected;
  }
  bool WriteAll(const std::vector<uint8_t>& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
      const vz::IoResult result = socket_.Write(bytes.data() + done, bytes.size() - done);
      if (result.status == vz::IoStatus::kOk) {
        done += result.bytes;
      } else if (result.status == vz::IoStatus::kWouldBlock) {
        vz::PollItem item{socket_.Fd(), vz::kPollWritable, 0};
        vz::PollDescriptors(&item, 1, 1000);
      } else {
        return false;
      }
    }
    return true;
  }
  bool Send(vzrelay::FrameKind kind, const std::vector<uint8_t>& payload) {
    return WriteAll(vzrelay::MakeFrame(kind, payload.data(), payload.size()));
  }
  // The next frame, or false when the stream ended or the time ran out
  // (`ended` then tells which).
  bool Next(vzrelay::Frame* frame, bool* ended = nullptr, int timeout_ms = 10000) {
    if (ended) *ended = false;
    for (int waited = 0; waited < timeout_ms; waited += 50) {
      if (reader_.Next(frame) == vzrelay::FrameReader::Result::kFrame) return true;
      vz::PollItem item{socket_.Fd(), vz::kPollReadable, 0};
      if (vz::PollDescriptors(&item, 1, 50) <= 0) continue;
      uint8_t buffer[4096];
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

 private:
  vz::LocalSocket socket_;
  vzrelay::FrameReader reader_;
};

}  // namespace vzrelay_test
