#pragma once
// The application helper window: a mailbox on the run loop of the thread
// that starts it, through which worker threads hand work to that thread.
// Workers post messages; the derived class's OnMessage runs them on the
// starting thread in posting order, and OnTimer runs its timers there.
//
// Threads: Start, Stop, SetTimer, KillTimer and both handlers belong to the
// starting thread; PostMessage may be called from any thread. Each object
// has its own queue. Stop before the starting thread ends.
//
// Records carried by messages: PostMessage with a `free_payload` function
// hands the record (whatever wParam/lParam point at) to the message. When
// the message is handled, the handler owns the record, as before. When it is
// dropped undelivered (by Stop, by destroying the object, or because the
// post itself failed), free_payload(wParam, lParam) is called for it, so
// nothing queued leaks. A message posted without one owns nothing.
#include <cstdint>
#include <memory>

#include "common/vz_object.h"

namespace vz {
class RunLoop;
}

class CAppThread : public CVZObject {
 public:
  using PayloadFree = void (*)(uintptr_t wParam, intptr_t lParam);

  CAppThread();
  // Stops the mailbox if it is still started (its queue is freed).
  ~CAppThread() override;

  // Release is CVZObject's: the count starts at 1, the last Release deletes.

  // Binds the mailbox to the calling thread's run loop. The module instance
  // named the window class on Windows and is not needed here. True when the
  // mailbox is ready (also when it already was); false when the thread's
  // loop is stopped.
  virtual bool Start(void* module_instance = nullptr);
  // Drops every queued message unhandled (freeing the records it owns),
  // kills the timers and refuses later posts. Safe inside a handler.
  // Returns 1.
  virtual int Stop();
  // The owner's handlers, on the starting thread, only while started. The
  // result of OnMessage is not used. Either may Stop (and Release) the object.
  virtual intptr_t OnMessage(uint32_t msg, uintptr_t wParam, intptr_t lParam) = 0;
  virtual void OnTimer(uintptr_t timer_id) = 0;

  // Queues a message. Returns 1, or 0 when not started or already stopped.
  int PostMessage(uint32_t msg, uintptr_t wParam, intptr_t lParam);
  // The same for a message that owns a record (see above); on a 0 result the
  // record has already been freed.
  int PostMessage(uint32_t msg, uintptr_t wParam, intptr_t lParam, PayloadFree free_payload);

  // Windows-style timers on the starting thread, reaching OnTimer(timer_id)
  // every interval_ms until killed; setting an id again restarts it. False
  // when not started or called from another thread.
  bool SetTimer(uintptr_t timer_id, uint32_t interval_ms);
  bool KillTimer(uintptr_t timer_id);

  // True between Start and Stop (the helper window exists).
  bool IsStarted() const;

 private:
  struct Mailbox;
  static void DeliverOne(const std::shared_ptr<Mailbox>& mailbox, uint64_t generation);
  static void FireTimer(const std::shared_ptr<Mailbox>& mailbox, uint64_t generation,
                        vz::RunLoop* loop, uintptr_t timer_id);

  // Shared with the tasks queued on the run loop, which may outlive us.
  const std::shared_ptr<Mailbox> mailbox_;
};
