#pragma once
// Where the answers to a member's own frames (pongs, counts of what it
// sent) lie in the stream the relay writes to it, so that what the member
// is sent can be told from what it asked for: a member must not fill its
// own queue, or show progress, with answers it calls up at will.
//
// Positions count the stream's bytes from its start. Answers one right
// after the other are kept as one stretch, so a member that pings without
// end costs a few bytes of bookkeeping, not one entry a pong.
//
// Threads: one (the relay's serving thread).
#include <cstdint>
#include <deque>

namespace vzrelay {

class StreamAnswers {
 public:
  // The stream's bytes [start, end) are an answer; stretches come in
  // stream order.
  void Add(uint64_t start, uint64_t end);
  // The member is through the stream up to `position` (what it handed on):
  // the answers before it are taken.
  void TakenThrough(uint64_t position);
  // Answer bytes past the position given last, and before it.
  uint64_t Unread() const { return unread_; }
  uint64_t Taken() const { return taken_; }

 private:
  struct Stretch {
    uint64_t start, end;
  };
  std::deque<Stretch> stretches_;
  uint64_t unread_ = 0;
  uint64_t taken_ = 0;
};

}  // namespace vzrelay
