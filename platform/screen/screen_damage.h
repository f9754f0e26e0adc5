#pragma once
// Change reports from the display server: the watch hears which parts of the
// screen were drawn and calls `on_damage` when any of them meets the watched
// area, at most once per `min_interval_ms` (a report that comes sooner is
// held back to the end of the interval, never dropped).
//
// Threading: the watch runs a thread of its own with a connection of its
// own; `on_damage` is called on that thread and must only post or signal.
// SetArea and the destructor may be called from any one thread; the
// destructor joins the watch's thread, after which no call comes.
// Failure: null (with a log line) when the display cannot be opened or has no
// DAMAGE extension; the caller then hears of no changes.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/screen/screen_source.h"

namespace vz {

class ScreenDamageWatch {
 public:
  virtual ~ScreenDamageWatch() = default;
  // The parts of the screen (root coordinates) whose changes count; empty:
  // none count. Takes effect for the reports read after it.
  virtual void SetArea(std::vector<ScreenRect> area) = 0;
  // Reports passed on so far (for tests and diagnostics).
  virtual uint64_t reports() const = 0;
};

struct ScreenDamageOptions {
  std::string display;        // empty: $DISPLAY
  int min_interval_ms = 33;   // at most one report per interval
};

std::unique_ptr<ScreenDamageWatch> WatchScreenDamage(const ScreenDamageOptions& options,
                                                     std::function<void()> on_damage);

}  // namespace vz
