#pragma once
// A connected Unix-domain stream socket, always non-blocking. The pipe client
// and the pipe server run their own poll loops over it (see
// local_socket_poll.h), so every call returns at once and says whether it
// moved bytes, would block, met the end of the stream or failed.
#include <cstddef>
#include <cstdint>
#include <string>

namespace vz {

enum class IoStatus {
  kOk,           // `bytes` were moved (at least one)
  kWouldBlock,   // nothing can move now; poll and try again
  kEndOfStream,  // the peer closed its end (reads only)
  kError,        // `error` holds the errno value
};

struct IoResult {
  IoStatus status = IoStatus::kError;
  size_t bytes = 0;
  int error = 0;
};

class LocalSocket {
 public:
  LocalSocket() = default;
  // Takes ownership of a connected, non-blocking socket descriptor.
  explicit LocalSocket(int fd) : fd_(fd) {}
  ~LocalSocket() { Close(); }
  LocalSocket(LocalSocket&& other) noexcept : fd_(other.Release()) {}
  LocalSocket& operator=(LocalSocket&& other) noexcept;
  LocalSocket(const LocalSocket&) = delete;
  LocalSocket& operator=(const LocalSocket&) = delete;

  bool IsOpenForTesting() const { return fd_ >= 0; }
  // The descriptor, for a poll set; -1 when closed.
  int Fd() const { return fd_; }

  // Reads up to `size` bytes (size > 0). EINTR is retried.
  IoResult Read(void* buffer, size_t size);
  // Writes up to `size` bytes (size > 0); a short count is normal. A closed
  // peer gives kError with EPIPE, never SIGPIPE.
  IoResult Write(const void* data, size_t size);

  // The kernel's send buffer size (SO_SNDBUF; the kernel keeps twice it for
  // its bookkeeping): what the kernel holds of what was written and the
  // peer has not read. The relay bounds its members' with it; tests shrink
  // it to force short writes. False with a platform log line on failure.
  bool SetSendBufferSize(int bytes);
  // Bytes written here that the peer has not read yet (SIOCOUTQ). Tests wait
  // for 0 to know the peer has consumed what was sent.
  bool UnreadSentBytesForTesting(size_t* bytes) const;
  // The user id of the process at the other end (SO_PEERCRED).
  bool PeerUid(uint32_t* uid) const;
  // True when the peer runs as the same user as this process; false when it
  // does not or when it cannot be told (logged).
  bool PeerIsCurrentUser() const;

  void Close();
  // Gives the descriptor up without closing it.
  int Release();

 private:
  int fd_ = -1;
};

enum class ConnectStatus {
  kConnected,
  kBusy,      // a socket is there but takes no connection now (ECONNREFUSED, EAGAIN): retry
  kNotFound,  // nothing at the path (ENOENT): no server
  kFailed,    // anything else; `error` holds the errno value
};

struct ConnectResult {
  ConnectStatus status = ConnectStatus::kFailed;
  int error = 0;
};

// One connection attempt to the listener at `path`; never blocks. On
// kConnected `socket` holds the non-blocking connection. Retrying is up to
// the caller, which owns the time budget.
ConnectResult ConnectLocalSocket(const std::string& path, LocalSocket* socket);

// A connected pair of non-blocking sockets (socketpair), for tests and
// benchmarks.
bool CreateLocalSocketPair(LocalSocket* first, LocalSocket* second);

// The user id this process runs as.
uint32_t CurrentUserId();

}  // namespace vz
