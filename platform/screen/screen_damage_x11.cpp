// Screen changes from the DAMAGE extension: one damage object on the root
// window, reported when its region stops being empty; each batch of reports
// takes the region out (XDamageSubtract) and looks whether it meets the
// watched area. A thread of its own waits on the connection and an eventfd.
#include <X11/Xlib.h>
#include <X11/extensions/Xdamage.h>
#include <X11/extensions/Xfixes.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <mutex>
#include <thread>
#include <utility>

#include "platform/platform_log.h"
#include "platform/screen/screen_damage.h"
#include "platform/ui/xlib_threads.h"

namespace vz {
namespace {

using Clock = std::chrono::steady_clock;

bool Meets(const XRectangle& r, const ScreenRect& a) {
  return r.x < a.x + a.width && a.x < r.x + r.width && r.y < a.y + a.height && a.y < r.y + r.height;
}

class X11ScreenDamageWatch : public ScreenDamageWatch {
 public:
  X11ScreenDamageWatch(Display* display, int event_base, int interval_ms, std::function<void()> on_damage)
      : display_(display), event_base_(event_base), interval_(std::chrono::milliseconds(interval_ms)),
        on_damage_(std::move(on_damage)) {}

  bool Start() {
    wake_fd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wake_fd_ < 0) {
      PlatformLog("screen damage: eventfd failed: %s", strerror(errno));
      return false;
    }
    damage_ = XDamageCreate(display_, DefaultRootWindow(display_), XDamageReportNonEmpty);
    parts_ = XFixesCreateRegion(display_, nullptr, 0);
    XSync(display_, False);
    thread_ = std::thread([this] { Run(); });
    return true;
  }

  ~X11ScreenDamageWatch() override {
    if (thread_.joinable()) {
      stop_.store(true);
      Wake();
      thread_.join();
    }
    if (damage_) XDamageDestroy(display_, damage_);
    if (parts_) XFixesDestroyRegion(display_, parts_);
    XCloseDisplay(display_);
    if (wake_fd_ >= 0) close(wake_fd_);
  }

  void SetArea(std::vector<ScreenRect> area) override {
    std::lock_guard<std::mutex> lock(mutex_);
    area_ = std::move(area);
  }

  uint64_t reports() const override { return reports_.load(); }

 private:
  void Wake() {
    const uint64_t one = 1;
    if (write(wake_fd_, &one, sizeof one) < 0) PlatformLog("screen damage: wake failed: %s", strerror(errno));
  }

  // Reads every queued event; true when the damaged region met the area.
  bool ReadEvents() {
    bool damaged = false;
    while (XPending(display_) > 0) {
      XEvent event;
      XNextEvent(display_, &event);
      if (event.type == event_base_ + XDamageNotify) damaged = true;
    }
    if (!damaged) return false;
    // The region goes empty again, so the next drawing reports anew.
    XDamageSubtract(display_, damage_, None, parts_);
    int count = 0;
    XRectangle* rects = XFixesFetchRegion(display_, parts_, &count);
    bool meets = false;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      for (int i = 0; i < count && !meets; ++i)
        for (const ScreenRect& a : area_)
          if (Meets(rects[i], a)) meets = true;
    }
    if (rects) XFree(rects);
    return meets;
  }

  void Run() {
    const int x_fd = ConnectionNumber(display_);
    bool pending = false;
    Clock::time_point last = Clock::now() - interval_;
    while (!stop_.load()) {
      if (ReadEvents()) pending = true;
      const Clock::time_point now = Clock::now();
      if (pending && now - last >= interval_) {
        pending = false;
        last = now;
        reports_.fetch_add(1);
        if (on_damage_) on_damage_();
        continue;
      }
      // A round trip may have queued events that the descriptor no longer shows.
      if (XEventsQueued(display_, QueuedAlready) > 0) continue;
      int timeout = -1;
      if (pending) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(last + interval_ - now).count();
        timeout = static_cast<int>(left) + 1;
      }
      pollfd fds[2] = {{x_fd, POLLIN, 0}, {wake_fd_, POLLIN, 0}};
      if (poll(fds, 2, timeout) < 0 && errno != EINTR) {
        PlatformLog("screen damage: poll failed: %s", strerror(errno));
        return;
      }
      if (fds[1].revents & POLLIN) {
        uint64_t value = 0;
        if (read(wake_fd_, &value, sizeof value) < 0 && errno != EAGAIN)
          PlatformLog("screen damage: wake read failed: %s", strerror(errno));
      }
      if (fds[0].revents & (POLLHUP | POLLERR)) {
        PlatformLog("screen damage: the X connection closed; no more reports");
        return;
      }
    }
  }

  Display* display_;
  int event_base_;
  Clock::duration interval_;
  std::function<void()> on_damage_;
  Damage damage_ = 0;
  XserverRegion parts_ = 0;
  int wake_fd_ = -1;
  std::thread thread_;
  std::atomic<bool> stop_{false};
  std::atomic<uint64_t> reports_{0};
  std::mutex mutex_;
  std::vector<ScreenRect> area_;  // under mutex_
};

}  // namespace

std::unique_ptr<ScreenDamageWatch> WatchScreenDamage(const ScreenDamageOptions& options,
                                                     std::function<void()> on_damage) {
  EnsureXlibThreads();
  Display* display = XOpenDisplay(options.display.empty() ? nullptr : options.display.c_str());
  if (!display) {
    PlatformLog("screen damage: cannot open display \"%s\"", options.display.c_str());
    return nullptr;
  }
  int event_base = 0, error_base = 0, fixes_event = 0, fixes_error = 0;
  if (!XDamageQueryExtension(display, &event_base, &error_base) ||
      !XFixesQueryExtension(display, &fixes_event, &fixes_error)) {
    PlatformLog("screen damage: no DAMAGE extension; capture keeps its own pace");
    XCloseDisplay(display);
    return nullptr;
  }
  int major = 0, minor = 0;
  XDamageQueryVersion(display, &major, &minor);
  XFixesQueryVersion(display, &major, &minor);
  auto watch = std::make_unique<X11ScreenDamageWatch>(display, event_base, options.min_interval_ms > 0 ? options.min_interval_ms : 1,
                                                      std::move(on_damage));
  if (!watch->Start()) return nullptr;
  return watch;
}

}  // namespace vz
