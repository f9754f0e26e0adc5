#pragma once
// Messages posted to a window's thread and the hooks that see them before
// the window does: the run loop's per-thread message filter chain, shared
// by every library of the process (it lives here, in libvzplatform.so).
//
// A message is posted to the run loop of the window's thread
// (PostHookMessage); when the loop takes it from its queue it runs the
// thread's filter chain (DispatchHookMessage with removal 1). Each filter
// is one hook entry: one per thread and hook type, however many sinks share
// it, handing the message to its sinks in registration order until one sets
// handled.
//
// Threads: a hook is set on its own thread only. A sink may be removed from
// any thread (an owner released on another thread must not stay listed);
// removal waits while that thread's chain is dispatching, so once it
// returns the sink is never called again. On the dispatching thread itself,
// setting or removing a sink of the entry being dispatched is refused.
#include <cstddef>
#include <cstdint>
#include <string>
#include <thread>

namespace vz {

class RunLoop;

struct HookMessage {
  uint64_t window = 0;   // the window the message was posted to
  uint32_t message = 0;  // a registered message id
  uintptr_t wparam = 0;
  intptr_t lparam = 0;
};

// The hook type of messages taken from a thread's queue.
constexpr int32_t kHookGetMessage = 3;

class IHookMessageSink {
 public:
  // code 0 for a message taken from the queue; removal 1 when the message
  // is being removed from the queue, 0 when it is only looked at. A sink
  // sets *handled to 1 when the message was its own; the first that does
  // ends the round.
  virtual intptr_t OnHookMessage(int32_t code, uintptr_t removal, const HookMessage* message, int32_t* handled) = 0;

 protected:
  ~IHookMessageSink() = default;
};

// The id of a named message, the same for the same name everywhere in the
// process; ids count up from 0xC000. 0 for an empty name.
uint32_t RegisterWindowMessageName(const std::string& name);

// Adds the sink to the thread's entry for the hook type, making the entry
// (the thread's filter) when it is the first. False when called off that
// thread, for a null sink, or inside that entry's dispatch; a sink already
// listed is not listed twice (true).
bool SetCentralizedHook(std::thread::id thread, int32_t hook_type, IHookMessageSink* sink);
// Takes the sink out; the last one out removes the entry and the filter.
// True also when nothing was listed. False only inside that entry's
// dispatch on its own thread.
bool RemoveCentralizedHook(std::thread::id thread, int32_t hook_type, IHookMessageSink* sink);

// Runs the calling thread's chain for one message (what the loop does for
// each message it takes, with removal true; a look without taking it passes
// false). True when a sink handled it.
bool DispatchHookMessage(const HookMessage& message, bool removal);

// Queues the message on the loop; the loop's thread runs its chain when it
// takes it. False when the loop is stopped. Any thread, never waits.
bool PostHookMessage(RunLoop& loop, const HookMessage& message);

// How many filters (hook entries) the thread has; for tests.
size_t CentralizedHookFilterCount(std::thread::id thread);

}  // namespace vz
