#include "outside/vzwire/relay/media_faults.h"

#include <algorithm>

namespace vzrelay {
namespace {
// How far a reordered packet falls behind.
constexpr uint64_t kReorderHoldMs = 20;
}  // namespace

MediaFaultInjector::MediaFaultInjector(const FaultOptions& options, uint64_t seed)
    : options_(options), state_(seed * 0x9E3779B97F4A7C15ull + 1) {}

double MediaFaultInjector::NextUnit() {
  // splitmix64: small, fast and good enough for fault decisions.
  uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  z ^= z >> 31;
  return static_cast<double>(z >> 11) * (1.0 / 9007199254740992.0);
}

bool MediaFaultInjector::Admit(uint64_t now_ms, uint64_t* due_ms) {
  if (options_.loss_rate > 0 && NextUnit() < options_.loss_rate) {
    ++dropped_;
    return false;
  }
  uint64_t due = now_ms + options_.delay_ms;
  if (options_.jitter_ms > 0) {
    due += static_cast<uint64_t>(NextUnit() * (options_.jitter_ms + 1));
  }
  if (options_.reorder_rate > 0 && NextUnit() < options_.reorder_rate) {
    *due_ms = due + kReorderHoldMs;  // overtaken by what follows; not a floor for it
    return true;
  }
  due = std::max(due, last_due_);
  last_due_ = due;
  *due_ms = due;
  return true;
}

}  // namespace vzrelay
