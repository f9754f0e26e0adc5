#include "sharing/engine/pdu_counter.h"

#include <atomic>

namespace {
std::atomic<uint32_t> g_pdu_id{0};
std::atomic<uint32_t> g_stamp{0};
}  // namespace

uint32_t NextDsPduId() {
  uint32_t current = g_pdu_id.load(std::memory_order_relaxed);
  uint32_t next = 0;
  do {
    next = current + 1;
    if (next == 0) next = 1;  // 0 means "no image yet"; never give it out
  } while (!g_pdu_id.compare_exchange_weak(current, next, std::memory_order_relaxed));
  return next;
}

uint32_t NextDsCacheStamp() { return g_stamp.fetch_add(1, std::memory_order_relaxed); }

void SetDsPduIdCounterForTest(uint32_t value) { g_pdu_id.store(value, std::memory_order_relaxed); }
