#include "platform/ui/x11_error_trap.h"

#include <atomic>
#include <mutex>

#include "platform/platform_log.h"

namespace vz {
namespace {

thread_local Display* g_trapped = nullptr;
thread_local int g_errors = 0;
std::atomic<int (*)(Display*, XErrorEvent*)> g_previous{nullptr};

int CountTrappedError(Display* display, XErrorEvent* error) {
  if (display == g_trapped) {
    ++g_errors;
    return 0;
  }
  if (auto previous = g_previous.load()) return previous(display, error);
  PlatformLog("X error %d (request %d)", error->error_code, error->request_code);
  return 0;
}

}  // namespace

X11ErrorTrap::X11ErrorTrap(Display* display)
    : display_(display), previous_display_(g_trapped), previous_errors_(g_errors) {
  // One handler for the process, never swapped back (which would race with
  // other threads); put back in front when a window system opened later
  // replaced it, with the replacement kept as the one errors of other
  // connections go on to.
  static std::mutex lock;
  {
    std::lock_guard<std::mutex> guard(lock);
    int (*current)(Display*, XErrorEvent*) = XSetErrorHandler(CountTrappedError);
    if (current != CountTrappedError) g_previous = current;
  }
  XSync(display_, False);
  g_trapped = display_;
  g_errors = 0;
}

X11ErrorTrap::~X11ErrorTrap() {
  XSync(display_, False);
  g_trapped = previous_display_;
  g_errors = previous_errors_;
}

bool X11ErrorTrap::Failed() {
  XSync(display_, False);
  return g_errors != 0;
}

}  // namespace vz
