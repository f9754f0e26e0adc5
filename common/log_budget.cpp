#include "common/log_budget.h"

#include <algorithm>

namespace vz {

LogBudget::LogBudget(uint32_t burst, uint64_t refill_ms)
    : burst_(std::max<uint32_t>(burst, 1)), refill_ms_(std::max<uint64_t>(refill_ms, 1)), lines_(burst_) {}

bool LogBudget::Take(uint64_t now_ms) {
  // A full budget earns nothing more; a clock that went back restarts.
  if (lines_ >= burst_ || now_ms < refilled_ms_) refilled_ms_ = now_ms;
  const uint64_t earned = (now_ms - refilled_ms_) / refill_ms_;
  if (earned > 0) {
    lines_ = static_cast<uint32_t>(std::min<uint64_t>(burst_, lines_ + earned));
    refilled_ms_ = lines_ >= burst_ ? now_ms : refilled_ms_ + earned * refill_ms_;
  }
  if (lines_ == 0) {
    ++left_out_;
    return false;
  }
  --lines_;
  reported_ = left_out_;
  left_out_ = 0;
  return true;
}

std::string LogBudget::LeftOutNote() const {
  if (reported_ == 0) return std::string();
  return " (" + std::to_string(reported_) + " more like it left out of the log before this one)";
}

}  // namespace vz
