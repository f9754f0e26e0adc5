#pragma once
// The listening end of a Unix-domain stream socket at a path in the per-user
// folder. Binding and listening are separate steps: between them the path
// exists but refuses connections, which is how a busy server looks to a
// client. The socket file is made private (mode 0600) and removed again when
// the listener closes.
#include <string>

#include "platform/local_socket.h"

namespace vz {

class LocalSocketListener {
 public:
  LocalSocketListener() = default;
  ~LocalSocketListener() { Close(); }
  LocalSocketListener(const LocalSocketListener&) = delete;
  LocalSocketListener& operator=(const LocalSocketListener&) = delete;

  // Creates the socket file at `path`; fails (logged) when something is
  // already there or the path does not fit.
  bool Bind(const std::string& path);
  // Starts taking connections; after Bind.
  bool Listen(int backlog);

  // Takes one pending connection without blocking: kOk with `socket` set,
  // kWouldBlock when none is waiting, kError otherwise.
  IoResult Accept(LocalSocket* socket);

  // For a poll set: readable means a connection is waiting. -1 when closed.
  int Fd() const { return fd_; }

  // Closes the socket and removes its file.
  void Close();

 private:
  int fd_ = -1;
  std::string path_;
};

}  // namespace vz
