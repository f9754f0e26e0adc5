#pragma once
// The I/O of one connected pipe, shared by both ends (CPipeClient and
// vzbridge's CPipeServer): polls the socket and a waker, reads into a frame
// cutter and hands out each whole frame, and writes a FIFO of whole frames in
// order, going on after a short write where it stopped. Writes of one round
// are capped so a long queue does not hold off reading. The link ends on a
// failed wait, a read or write error, the peer's end of the stream or an
// oversized frame; the owner gets the reason and logs it in its own shape.
//
// Threads: Queue, WriteOrQueue and the waker may be used from any thread with
// the owner's lock held (the lock given at construction, which also guards
// the queue and every write); Run, reads and the cutter belong to the one
// I/O thread.
#include <atomic>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <string>

#include "common/critical_section_lock.h"
#include "platform/local_socket.h"
#include "platform/local_socket_poll.h"
#include "weblink/pipe/pipe_frame.h"
#include "weblink/pipe/pipe_frame_cutter.h"

// Why Run returned.
struct PipeLinkEnd {
  enum class Reason {
    kStopped,      // the stop flag was seen set
    kWaitFailed,   // the poll failed (`error`)
    kPeerClosed,   // the peer closed its end of the stream
    kReadFailed,   // a read failed (`error`)
    kOversized,    // a header announced more than the limit (`rejected`)
    kWriteFailed,  // a write failed (`error`)
  };
  Reason reason = Reason::kStopped;
  int error = 0;
  PipeFrameHeader rejected;
};

class PipeStreamChannel {
 public:
  static constexpr size_t kReadChunkBytes = 0x8000;             // one read at a time, at most this much
  static constexpr size_t kMaxReadBytesPerRound = 256 * 1024;   // then the loop writes again
  static constexpr int kPollTimeoutMs = 200;                    // the loop's longest wait
  static constexpr size_t kMaxWriteBytesPerRound = 256 * 1024;  // then the loop reads again
  static constexpr size_t kMaxSpares = 4;                       // memory kept for TakeSpare
  static constexpr size_t kMaxSpareBytes = 1024 * 1024;         // larger frames' memory is freed

  class Delegate {
   public:
    // A whole frame, on the I/O thread without the lock held; the payload
    // view lasts until the call returns.
    virtual void OnFrame(const PipeFrameView& frame) = 0;
    // Bytes one write moved, with the lock held.
    virtual void OnWritten(size_t /*bytes*/) {}

   protected:
    ~Delegate() = default;
  };

  // `lock` guards the queue and must outlive the channel. `read_chunk_bytes`
  // is the most one read takes (a relay of large frames reads them whole).
  explicit PipeStreamChannel(CriticalSectionLock& lock, size_t read_chunk_bytes = kReadChunkBytes);
  PipeStreamChannel(const PipeStreamChannel&) = delete;
  PipeStreamChannel& operator=(const PipeStreamChannel&) = delete;

  // Where large payloads land within a 64-byte line (see PipeFrameCutter);
  // kept across Reset. Call it before the I/O thread runs.
  void SetPayloadPlacement(std::function<size_t(uint32_t kind)> line_offset);

  // Makes a fresh waker in place of the old one, with the lock held and no
  // I/O thread running. False, with the errno value in `*error`, when it
  // could not be made (the new one is kept: Waker()->IsValid() is false).
  bool CreateWaker(int* error);
  // Null before CreateWaker.
  vz::LocalSocketWaker* Waker() { return waker_.get(); }

  // The connection, the I/O thread's own (or the owner's while none runs).
  vz::LocalSocket& Socket() { return socket_; }

  // Appends a whole frame (header included) to the queue and, when the queue
  // was empty, wakes the loop. Takes the lock (the owner may hold it already).
  void Queue(std::string frame);
  // Queue, except that a frame with nothing queued ahead of it is first
  // written from the calling thread, as far as the socket takes it at once,
  // sparing the I/O thread a wake-up; the rest is queued as usual. Only for
  // an owner that never closes the socket while another thread may be here
  // (it checks its own connected state under the lock). Returns the bytes
  // written at once. A write error leaves the frame queued, so the I/O
  // thread meets the error and ends the link as it would have.
  size_t WriteOrQueue(std::string frame);
  // An empty string whose memory a written frame left behind (or a new one):
  // building the next frame in it spares the allocator and cold memory on
  // every large message. Takes the lock.
  std::string TakeSpare();
  // Drops every queued frame, with a fresh cutter as well for Reset.
  void ClearQueue();
  void Reset();

  // Runs the loop until `stop` is seen set or the link must end; the socket
  // stays open for the owner to close.
  PipeLinkEnd Run(const std::atomic<bool>& stop, Delegate& delegate);

 private:
  // Each returns false with `*end` filled when the link must end.
  bool ReadSome(Delegate& delegate, PipeLinkEnd* end);
  bool CutFrames(Delegate& delegate, PipeLinkEnd* end);
  bool WriteSome(Delegate& delegate, PipeLinkEnd* end);

  CriticalSectionLock& lock_;
  const size_t read_chunk_bytes_;
  std::unique_ptr<vz::LocalSocketWaker> waker_;
  // Guarded by lock_.
  std::deque<std::string> send_queue_;  // whole frames, header included
  size_t write_offset_ = 0;             // bytes of the head frame already written
  std::deque<std::string> spares_;      // written frames' memory, for TakeSpare
  // The I/O thread's own.
  vz::LocalSocket socket_;
  std::unique_ptr<PipeFrameCutter> cutter_;
  std::function<size_t(uint32_t)> payload_placement_;
};
