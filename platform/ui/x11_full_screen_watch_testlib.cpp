#include "platform/ui/x11_full_screen_watch_testlib.h"

#include <X11/Xlib.h>

#include "platform/clock.h"
#include "platform/screen/x11_top_windows_testlib.h"
#include "platform/ui/x11_desk_testlib.h"
#include "platform/ui/x11_error_trap.h"
#include "platform/ui/xlib_threads.h"

namespace vz {

namespace {

std::string Text(const Rect& r) {
  return std::to_string(r.Width()) + "x" + std::to_string(r.Height()) + " at " + std::to_string(r.left) + "," +
         std::to_string(r.top);
}

// Between reads: a moment out of place is a fault.
constexpr uint32_t kReadEveryMs = 5;
// A manager restacks the window it activates once it sees it has the focus
// (openbox a few milliseconds after it gave it): that much, at the start,
// is its own doing, not a window left over this one.
constexpr uint64_t kRestackOnFocusMs = 250;

}  // namespace

bool X11FocusIsIn(const std::string& display, uint64_t window) {
  EnsureXlibThreads();
  Display* d = XOpenDisplay(display.c_str());
  if (d == nullptr) return false;
  bool in = false;
  {
    X11ErrorTrap trap(d);
    ::Window focus = 0;
    int revert = 0;
    XGetInputFocus(d, &focus, &revert);
    const ::Window root = DefaultRootWindow(d);
    for (int depth = 0; depth < 64 && focus != 0 && focus != PointerRoot && focus != root; ++depth) {
      if (focus == window) {
        in = true;
        break;
      }
      ::Window tree_root = 0, parent = 0;
      ::Window* children = nullptr;
      unsigned int count = 0;
      if (!XQueryTree(d, focus, &tree_root, &parent, &children, &count)) break;
      if (children != nullptr) XFree(children);
      focus = parent;
    }
  }
  XCloseDisplay(d);
  return in;
}

FullScreenWatcher::FullScreenWatcher(const std::string& display, const FullScreenWatch& watch)
    : display_(display), watch_(watch), thread_([this] { Watch(); }) {}

FullScreenWatcher::~FullScreenWatcher() {
  stop_ = true;
  thread_.join();
}

std::string FullScreenWatcher::Result(RunLoop& loop) {
  if (!done_) {
    loop.StartTimer(this, 1, 10, [&] {
      if (done_) loop.Quit();
    });
    loop.Run();
    loop.KillTimer(this, 1);
  }
  thread_.join();
  thread_ = std::thread([] {});
  return fault_;
}

void FullScreenWatcher::Watch() {
  uint64_t id = watch_.window;
  uint64_t first = 0;  // when the first read found it shown
  bool had_focus = false;
  bool focused = false;
  bool clear_seen = false;  // seen with nothing over it
  const uint64_t asked = MonotonicMs();
  std::string fault;
  while (!stop_) {
    const uint64_t now = MonotonicMs();
    if (id == 0) {
      for (const X11TopWindow& top : ListX11TopWindows(display_)) {
        if (top.res_name == watch_.instance) id = top.id;
      }
    }
    const X11Cover cover = id != 0 ? ReadX11Cover(display_, id) : X11Cover{};
    if (first == 0 && cover.viewable) first = now;
    if (first == 0) {
      if (now - asked > static_cast<uint64_t>(watch_.first_read_ms)) {
        fault = "it did not show within " + std::to_string(watch_.first_read_ms) + " ms";
        break;
      }
      SleepMs(kReadEveryMs);
      continue;
    }
    const std::string when = std::to_string(now - first) + " ms after it showed: ";
    focused = X11FocusIsIn(display_, id);
    if (!cover.viewable) {
      fault = when + "it is not shown";
    } else if (cover.client != watch_.monitor || cover.frame != cover.client) {
      fault = when + "its client area is " + Text(cover.client) + " in a frame of " + Text(cover.frame) +
              ", not the monitor " + Text(watch_.monitor);
    } else if (!cover.above.empty() && !(focused && !clear_seen && now - first < kRestackOnFocusMs)) {
      fault = when + std::to_string(cover.above.size()) + " window(s) over it, the first over " +
              Text(cover.overlaps.front());
    } else if (had_focus && !focused) {
      fault = when + "it lost the keyboard focus it had";
    } else if (!focused && watch_.shown_until_focused != 0 &&
               !ReadX11Cover(display_, watch_.shown_until_focused).viewable) {
      fault = when + "the program's other window went before this one had the keyboard focus";
    }
    if (!fault.empty()) break;
    had_focus = had_focus || focused;
    clear_seen = clear_seen || cover.above.empty();
    if (now - first > static_cast<uint64_t>(watch_.watch_ms)) {
      if (!focused) {
        fault = "it did not have the keyboard focus " + std::to_string(watch_.watch_ms) + " ms after it showed";
      }
      break;
    }
    SleepMs(kReadEveryMs);
  }
  found_ = id;
  fault_ = fault;
  done_ = true;
}

}  // namespace vz
