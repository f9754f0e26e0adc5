#include "platform/udev_watch.h"

#include <cerrno>
#include <cstring>

#include "platform/platform_log.h"
#include "platform/run_loop.h"

#if defined(VZ_HAVE_LIBUDEV)
#include <libudev.h>
#endif

namespace vz {

#if defined(VZ_HAVE_LIBUDEV)

bool UdevWatch::Start(const char* subsystem, const char* devtype, const char* what, Callback callback,
                      int* error) {
  Stop();
  what_ = what;
  udev_ = udev_new();
  if (udev_ != nullptr) monitor_ = udev_monitor_new_from_netlink(udev_, "udev");
  int result = monitor_ == nullptr ? (errno != 0 ? errno : ENODEV) : 0;
  if (result == 0 && udev_monitor_filter_add_match_subsystem_devtype(monitor_, subsystem, devtype) < 0) {
    result = EINVAL;
  }
  if (result == 0) result = -udev_monitor_enable_receiving(monitor_);
  loop_ = &RunLoop::ForCurrentThread();
  const int fd = result == 0 ? udev_monitor_get_fd(monitor_) : -1;
  if (result == 0 && (fd < 0 || !loop_->WatchFd(fd, RunLoop::kFdReadable,
                                                [this](int, uint32_t events) { OnReadable(events); }))) {
    result = EBADF;
  }
  if (result != 0) {
    PlatformLog("no %s notifications: %s", what_.c_str(), std::strerror(result));
    Stop();
    if (error != nullptr) *error = result;
    return false;
  }
  fd_ = fd;
  callback_ = std::move(callback);
  return true;
}

void UdevWatch::Stop() {
  if (fd_ >= 0 && loop_ != nullptr) loop_->UnwatchFd(fd_);
  fd_ = -1;
  if (monitor_ != nullptr) udev_monitor_unref(monitor_);
  monitor_ = nullptr;
  if (udev_ != nullptr) udev_unref(udev_);
  udev_ = nullptr;
  callback_ = nullptr;
}

void UdevWatch::OnReadable(uint32_t events) {
  if (events & RunLoop::kFdHangup) {
    PlatformLog("the %s monitor closed", what_.c_str());
    fd_ = -1;  // the loop dropped the watch
    return;
  }
  udev_device* device = udev_monitor_receive_device(monitor_);
  if (device == nullptr) return;
  const char* action = udev_device_get_action(device);
  const char* node = udev_device_get_devnode(device);
  const char* path = udev_device_get_syspath(device);
  const std::string name = node != nullptr ? node : (path != nullptr ? path : "");
  const bool known = action != nullptr && (std::strcmp(action, "add") == 0 || std::strcmp(action, "remove") == 0);
  const bool arrived = known && std::strcmp(action, "add") == 0;
  udev_device_unref(device);
  if (known && callback_) callback_(name, arrived);
}

#else

bool UdevWatch::Start(const char*, const char*, const char* what, Callback, int* error) {
  PlatformLog("no %s notifications: built without libudev", what);
  if (error != nullptr) *error = ENOSYS;
  return false;
}

void UdevWatch::Stop() {}

void UdevWatch::OnReadable(uint32_t) {}

#endif

}  // namespace vz
