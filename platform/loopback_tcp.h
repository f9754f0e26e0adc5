#pragma once
// TCP on the loopback interface only (127.0.0.1): the local meeting server
// listens here and the media transport connects here. Nothing binds to or
// reaches any other address. Sockets are non-blocking LocalSocket objects
// (the same byte-moving calls as Unix-domain ones) with Nagle's delay off,
// since the traffic is many small records.
#include <cstdint>

#include "platform/local_socket.h"

namespace vz {

class LoopbackTcpListener {
 public:
  LoopbackTcpListener() = default;
  ~LoopbackTcpListener() { Close(); }
  LoopbackTcpListener(const LoopbackTcpListener&) = delete;
  LoopbackTcpListener& operator=(const LoopbackTcpListener&) = delete;

  // Binds 127.0.0.1:port (0: a free port, see Port()) and listens. False
  // (logged) when the port is taken or the socket cannot be made.
  bool Listen(uint16_t port, int backlog);
  // The bound port, 0 when not listening.
  uint16_t Port() const { return port_; }
  // Takes one pending connection without blocking: kOk with `socket` set,
  // kWouldBlock when none is waiting, kError otherwise.
  IoResult Accept(LocalSocket* socket);
  // For a poll set: readable means a connection is waiting. -1 when closed.
  int Fd() const { return fd_; }
  void Close();

 private:
  int fd_ = -1;
  uint16_t port_ = 0;
};

// Connects to 127.0.0.1:port, waiting at most timeout_ms. kBusy when nothing
// listens there (ECONNREFUSED) or the wait ran out; kFailed otherwise
// (`error` holds errno). On kConnected `socket` holds the non-blocking
// connection.
ConnectResult ConnectLoopbackTcp(uint16_t port, int timeout_ms, LocalSocket* socket);

}  // namespace vz
