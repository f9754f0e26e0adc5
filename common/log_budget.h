#pragma once
// A budget of log lines for what others can make a program write (lines
// repeated per packet, per point, per request), so that a flood of them
// never wraps the log over what came before: up to `burst` lines at once,
// then one more for every `refill_ms`. A line past the budget is left out
// and counted; the next line written says how many were left out before it.
//
// Threads: not thread-safe; one owner thread.
#include <cstdint>
#include <string>

namespace vz {

class LogBudget {
 public:
  LogBudget(uint32_t burst, uint64_t refill_ms);

  // True when a line may be written at `now_ms` (a monotonic clock); the
  // lines left out since the last one written are then in LeftOut() until
  // the next call.
  bool Take(uint64_t now_ms);
  uint64_t LeftOut() const { return reported_; }
  // "" or, when lines were left out before this one, the text to end it
  // with: " (N more like it left out of the log before this one)".
  std::string LeftOutNote() const;

 private:
  const uint32_t burst_;
  const uint64_t refill_ms_;
  uint32_t lines_;            // lines that may be written now
  uint64_t refilled_ms_ = 0;  // from when the next line is earned
  uint64_t left_out_ = 0;     // since the last line written
  uint64_t reported_ = 0;     // left out before the last line written
};

}  // namespace vz
