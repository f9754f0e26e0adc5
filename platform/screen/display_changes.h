#pragma once
// Display changes (a monitor added, removed, moved or set to another mode),
// reported on the run loop of the thread that starts the watch.
//
// Threading: start, run and destroy the watch on one thread; its run loop
// calls `on_change` there, once for each batch of change events read.
// Failure: null (with a log line) when the display cannot be opened or has
// no RandR extension; the caller then simply hears of no changes.
#include <functional>
#include <memory>
#include <string>

namespace vz {

class RunLoop;

class DisplayChangeWatch {
 public:
  virtual ~DisplayChangeWatch() = default;
};

// `display` empty: $DISPLAY. The watch keeps a connection of its own.
std::unique_ptr<DisplayChangeWatch> WatchDisplayChanges(RunLoop& loop, const std::string& display,
                                                        std::function<void()> on_change);

}  // namespace vz
