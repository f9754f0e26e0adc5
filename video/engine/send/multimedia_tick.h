#pragma once
// The process's shared multimedia tick: one thread, started by the first
// registration and joined when the last one leaves, wakes on the monotonic
// clock every period and calls every registered callback in registration
// order. Ids count from 1 and are never given twice in a process.
//
// What failure looks like: Register answers 0 (logged) and leaves nothing
// running when the thread cannot be started.
// Threads: Register and Unregister from any thread but the tick thread
// itself (a callback must not register or unregister: it runs under the
// list's lock). After Unregister returns, its callback is not running and
// will not be called again.
#include <cstdint>

namespace VZSE_ {

// What the timer device offers, fixed on this platform.
inline constexpr uint32_t kTimerMinPeriodMs = 1;
inline constexpr uint32_t kTimerMaxPeriodMs = 1000000;
inline constexpr uint32_t kTimerMinDelayMs = 10;

using MultimediaTickCallback = void (*)(void* owner);

// The id (> 0), or 0 when nothing was registered.
int32_t RegisterMultimediaTick(uint32_t period_ms, void* owner, MultimediaTickCallback callback);
// 0; an unknown id changes nothing.
int32_t UnregisterMultimediaTick(int32_t id);
// Registrations now, and whether the tick thread runs (for tests).
int32_t MultimediaTickRegistrations();
bool MultimediaTickThreadRunning();
// Thread starts so far in this process (for tests: a new start after the
// last registration left makes a new thread).
int32_t MultimediaTickThreadStarts();

}  // namespace VZSE_
