#pragma once
// Log lines that another party can make this program write at its own pace
// (a line for each packet a member sends), written the way VZ_LOG writes
// them but within a budget: each call site writes up to
// kBudgetedLogBurst lines at once, then one more every kBudgetedLogRefillMs;
// the lines left out meanwhile are counted, and the next line written ends
// with " (N more like it left out of the log before this one)". So one
// member's packets never fill another member's log.
//
// Threads: any; a call site's budget is shared by every thread reaching it.
#include <cstdint>
#include <mutex>
#include <string>

#include "common/log_budget.h"
#include "common/trace_client.h"

namespace vz {

constexpr uint32_t kBudgetedLogBurst = 20;
// One line every 5 s after the burst: 720 an hour, under a third of a
// 256,000-byte log for a site that is hit without pause.
constexpr uint64_t kBudgetedLogRefillMs = 5000;

class SharedLogBudget {
 public:
  // True when a line may be written now; `note` then holds what the line
  // ends with ("" when nothing was left out before it).
  bool Take(std::string* note);

 private:
  std::mutex lock_;
  LogBudget budget_{kBudgetedLogBurst, kBudgetedLogRefillMs};
};

}  // namespace vz

#define VZ_LOG_BUDGETED(fmt, ...)                                                   \
  do {                                                                              \
    static vz::SharedLogBudget vz_site_budget;                                      \
    std::string vz_left_out;                                                        \
    if (vz_site_budget.Take(&vz_left_out)) VZ_LOG(fmt "%s", ##__VA_ARGS__, vz_left_out.c_str()); \
  } while (0)
