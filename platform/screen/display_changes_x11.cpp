// Display changes from XRandR: RRScreenChangeNotify and output changes on the
// root window, read from the connection's descriptor on the owner's run loop.
#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>

#include <utility>

#include "platform/platform_log.h"
#include "platform/run_loop.h"
#include "platform/screen/display_changes.h"
#include "platform/ui/xlib_threads.h"

namespace vz {
namespace {

class X11DisplayChangeWatch : public DisplayChangeWatch {
 public:
  X11DisplayChangeWatch(RunLoop& loop, Display* display, int event_base, std::function<void()> on_change)
      : loop_(loop), display_(display), event_base_(event_base), on_change_(std::move(on_change)) {}

  bool Start() {
    const Window root = DefaultRootWindow(display_);
    XRRSelectInput(display_, root, RRScreenChangeNotifyMask | RRCrtcChangeNotifyMask | RROutputChangeNotifyMask);
    XFlush(display_);
    return loop_.WatchFd(ConnectionNumber(display_), RunLoop::kFdReadable,
                         [this](int, uint32_t events) { OnReadable(events); });
  }

  ~X11DisplayChangeWatch() override {
    loop_.UnwatchFd(ConnectionNumber(display_));
    XCloseDisplay(display_);
  }

 private:
  void OnReadable(uint32_t events) {
    if (events & RunLoop::kFdHangup) {
      PlatformLog("display changes: the X connection closed");
      loop_.UnwatchFd(ConnectionNumber(display_));
      return;
    }
    bool changed = false;
    while (XPending(display_) > 0) {
      XEvent event;
      XNextEvent(display_, &event);
      const int type = event.type - event_base_;
      if (type == RRScreenChangeNotify || type == RRNotify) {
        XRRUpdateConfiguration(&event);
        changed = true;
      }
    }
    // One report per batch: a mode switch arrives as several events.
    if (changed && on_change_) on_change_();
  }

  RunLoop& loop_;
  Display* display_;
  int event_base_;
  std::function<void()> on_change_;
};

}  // namespace

std::unique_ptr<DisplayChangeWatch> WatchDisplayChanges(RunLoop& loop, const std::string& display,
                                                        std::function<void()> on_change) {
  EnsureXlibThreads();
  Display* connection = XOpenDisplay(display.empty() ? nullptr : display.c_str());
  if (!connection) {
    PlatformLog("display changes: cannot open display \"%s\"", display.c_str());
    return nullptr;
  }
  int event_base = 0, error_base = 0;
  if (!XRRQueryExtension(connection, &event_base, &error_base)) {
    PlatformLog("display changes: no RandR extension");
    XCloseDisplay(connection);
    return nullptr;
  }
  auto watch = std::make_unique<X11DisplayChangeWatch>(loop, connection, event_base, std::move(on_change));
  if (!watch->Start()) {
    PlatformLog("display changes: the run loop refused the watch");
    return nullptr;
  }
  return watch;
}

}  // namespace vz
