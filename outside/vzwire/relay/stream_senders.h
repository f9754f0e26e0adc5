#pragma once
// Whose frames wait in the stream the relay writes to one member: for each
// sender, the bytes relayed from it (or written in answer to it) that the
// member has not taken yet. The server holds a sender whose frames a member
// that takes what it is sent has too much of, so that the member whose
// frames others cannot take is the one held, not the others dropped.
//
// Positions count the stream's bytes from its start. One sender's frames
// one right after the other are kept as one stretch, so a sender that
// writes without end costs a few bytes of bookkeeping here, not an entry a
// frame.
//
// Threads: one (the relay's serving thread).
#include <cstdint>
#include <deque>
#include <functional>
#include <map>

namespace vzrelay {

class StreamSenders {
 public:
  using Sender = uint64_t;
  // The stream's bytes [start, end) came from `sender`; stretches come in
  // stream order.
  void Add(Sender sender, uint64_t start, uint64_t end);
  // The member is through the stream up to `position` (what it handed on):
  // the bytes before it are taken.
  void TakenThrough(uint64_t position);
  // Bytes of `sender` past the position given last.
  uint64_t Waiting(Sender sender) const;
  // Calls `over` for each sender with more than `limit` bytes waiting.
  void ForEachOver(uint64_t limit, const std::function<void(Sender)>& over) const;

 private:
  struct Stretch {
    Sender sender;
    uint64_t start, end;
  };
  std::deque<Stretch> stretches_;
  std::map<Sender, uint64_t> waiting_;  // only senders with bytes waiting
};

}  // namespace vzrelay
