#pragma once
// Test support shared by the display tests of one program: one Xvfb server
// for the whole program, started on first use, and a wait that serves the
// run loop until a condition holds.
#include <functional>
#include <memory>
#include <string>

#include "platform/run_loop.h"
#include "platform/ui/xvfb_testlib.h"

namespace vz {

class DisplayTestEnv {
 public:
  static DisplayTestEnv& Get();
  bool available() const { return available_; }
  const std::string& why() const { return why_; }
  const std::string& display() const { return server_.display(); }
  // Serves the loop until `done` holds or 5 seconds pass.
  bool RunUntil(RunLoop& loop, const std::function<bool()>& done, int timeout_ms = 5000);
  // Serves the loop for `duration_ms`, asking `holds` every few ticks: false
  // at the first time it does not (what a manager does a moment after it
  // answered shows here), true when it held throughout.
  bool HoldsFor(RunLoop& loop, const std::function<bool()>& holds, int duration_ms);

 private:
  DisplayTestEnv();
  XvfbServer server_;
  bool available_ = false;
  std::string why_;
};

}  // namespace vz
