#include "common/budgeted_log.h"

#include "platform/clock.h"

namespace vz {

bool SharedLogBudget::Take(std::string* note) {
  std::lock_guard<std::mutex> hold(lock_);
  if (!budget_.Take(MonotonicMs())) return false;
  *note = budget_.LeftOutNote();
  return true;
}

}  // namespace vz
