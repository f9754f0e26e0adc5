#pragma once
// Which accepted connections that have not joined yet the relay keeps, over
// one turn of accepts. A burst of connections that send nothing must not
// take the room of members whose joins are on their way: at most
// `max_unjoined` connections that have not joined count at a time, and past
// that each newcomer closes the oldest of them that still has sent nothing
// (read once more first: its join may have come meanwhile). One that has
// begun a frame (its join, arriving) stays and still counts; when every
// older one has, the newcomer itself closes. Joined connections, and those
// closing or gone, never count. Connections in all are bounded too: at
// `max_total` a newcomer is closed at once, before it is served.
//
// Threads: not thread-safe; the relay's serving thread.
#include <cstddef>
#include <deque>

namespace vzrelay {

// An accepted connection as the share sees it.
class UnjoinedShareConnection {
 public:
  virtual bool Joined() const = 0;
  // A refused join whose answer is still being written: it goes after it.
  virtual bool Closing() const = 0;
  // Closed, or its peer left: it is about to be removed.
  virtual bool Gone() const = 0;
  // Bytes of a frame it began that is not whole yet (0: none).
  virtual size_t PartialBytes() const = 0;

 protected:
  ~UnjoinedShareConnection() = default;
};

// What the share asks of the relay, for connections it was given.
class UnjoinedShareHost {
 public:
  // Reads what waits on `connection` (it may join, or go).
  virtual void ReadWaiting(UnjoinedShareConnection& connection) = 0;
  // Closes `connection` (Gone from then on): past the share, with `unjoined`
  // counted. The host logs it.
  virtual void CloseUnjoined(UnjoinedShareConnection& connection, size_t unjoined) = 0;

 protected:
  ~UnjoinedShareHost() = default;
};

class UnjoinedShare {
 public:
  // `max_unjoined` of at least 1; both bounds are the relay's options.
  UnjoinedShare(size_t max_unjoined, size_t max_total);

  // At the turn's start: one of the relay's connections, oldest first. The
  // share keeps a pointer to it for this turn.
  void Count(UnjoinedShareConnection& connection);
  // Whether a newcomer would pass the connections in all: it is then to be
  // closed at once (the caller logs it).
  bool Full() const { return open_ >= max_total_; }
  // A newcomer, served once (its join read when it came with it), newer than
  // every connection counted before it: counted, and the share kept.
  void Admit(UnjoinedShareConnection& newcomer, UnjoinedShareHost& host);

  // Open connections, and those of them that count as unjoined.
  size_t Open() const { return open_; }
  size_t Unjoined() const { return unjoined_count_; }

 private:
  static bool LeftTheShare(const UnjoinedShareConnection& connection);

  const size_t max_unjoined_;
  const size_t max_total_;
  size_t open_ = 0;
  // Connections that may still be closed for the share, oldest first; one
  // that stayed for its arriving join is no longer here but still counts.
  std::deque<UnjoinedShareConnection*> unjoined_;
  size_t unjoined_count_ = 0;
};

}  // namespace vzrelay
