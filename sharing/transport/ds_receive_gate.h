#pragma once
// Back-pressure on received sharing messages: the transport's thread parses
// a message and posts its records to the engine's thread, which may fall
// behind (an attendee short of CPU). Unbounded, those posts would queue
// seconds of stale screen updates inside this process while the transport
// went on reading as fast as the server sends, so the server would never see
// the attendee fall behind. With the gate the transport's thread waits
// before taking the next message while more than `limit` bytes of received
// messages are still to be handled; its socket then fills, the server's
// queue for this member grows, and the server holds the presenter back.
//
// A wait lasts at most `max_wait_ms` (the engine's thread may be busy for
// long, or stopping), and none happens once the gate is opened for good.
//
// Threads: Admit on the transport's thread; Handled on the engine's thread;
// Open from any thread.
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>

class CDsReceiveGate {
 public:
  CDsReceiveGate(size_t limit, uint32_t max_wait_ms) : limit_(limit), max_wait_ms_(max_wait_ms) {}

  // Waits while more than the limit is still to be handled (at most
  // max_wait_ms, or until Open), then counts `size` more. False when the
  // wait ran out of time.
  bool Admit(size_t size);
  // `size` bytes counted by Admit were handled (or dropped unhandled).
  void Handled(size_t size);
  // Lets any waiter go; later Admits count but never wait.
  void Open();
  size_t Waiting() const;

 private:
  const size_t limit_;
  const uint32_t max_wait_ms_;
  mutable std::mutex mutex_;
  std::condition_variable drained_;
  size_t waiting_ = 0;
  bool open_ = false;
};
