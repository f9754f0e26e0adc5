#include "video/engine/core/engine_clock.h"

#include <algorithm>
#include <bit>
#include <chrono>
#include <mutex>

#include "platform/clock.h"

namespace VZSE_ {
namespace {

class SystemClock final : public EngineClock {
 public:
  int64_t MonotonicUs() const override { return static_cast<int64_t>(vz::MonotonicUs()); }
  int64_t WallUs() const override {
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
  }
};

std::atomic<EngineClock*> g_clock{nullptr};

struct WallBase {
  const EngineClock* clock = nullptr;
  int64_t monotonic_us = 0;
  int64_t wall_us = 0;
};

}  // namespace

EngineClock& SystemEngineClock() {
  static SystemClock clock;
  return clock;
}

EngineClock& CurrentEngineClock() {
  EngineClock* c = g_clock.load(std::memory_order_acquire);
  return c ? *c : SystemEngineClock();
}

EngineClock* SetEngineClockForTest(EngineClock* clock) {
  EngineClock* previous = g_clock.exchange(clock, std::memory_order_acq_rel);
  return previous ? previous : &SystemEngineClock();
}

int64_t MonotonicMicroseconds() { return CurrentEngineClock().MonotonicUs(); }
uint32_t NowMs() { return static_cast<uint32_t>(static_cast<uint64_t>(MonotonicMicroseconds() / 1000)); }
TimeValue NowTime() { return TimeValue::FromUs(CurrentEngineClock().WallUs()); }

int64_t WallClockMicroseconds() {
  static std::mutex mutex;
  static WallBase base;
  const EngineClock& clock = CurrentEngineClock();
  std::lock_guard<std::mutex> lock(mutex);
  if (base.clock != &clock) {  // first use, or a test changed the clock
    base = {&clock, clock.MonotonicUs(), clock.WallUs()};
  }
  return base.wall_us + (clock.MonotonicUs() - base.monotonic_us);
}

void SwapByteOrder(void* data, size_t size) {
  if constexpr (std::endian::native == std::endian::little) {
    auto* p = static_cast<unsigned char*>(data);
    std::reverse(p, p + size);
  }
}

}  // namespace VZSE_
