// The USB device monitor over libudev, when the build found it.
#include <cerrno>
#include <cstring>

#include "platform/device_change.h"
#include "platform/platform_log.h"
#include "platform/run_loop.h"

#if defined(VZ_HAVE_LIBUDEV)
#include <libudev.h>
#endif

namespace vz {
namespace {

#if defined(VZ_HAVE_LIBUDEV)

class UdevUsbDeviceMonitor : public UsbDeviceMonitor {
 public:
  ~UdevUsbDeviceMonitor() override { Stop(); }

  bool Start(Callback callback, int* error) override {
    Stop();
    udev_ = udev_new();
    if (udev_ != nullptr) monitor_ = udev_monitor_new_from_netlink(udev_, "udev");
    int result = monitor_ == nullptr ? (errno != 0 ? errno : ENODEV) : 0;
    if (result == 0 && udev_monitor_filter_add_match_subsystem_devtype(monitor_, "usb", "usb_device") < 0) {
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
      PlatformLog("no USB device notifications: %s", std::strerror(result));
      Stop();
      if (error != nullptr) *error = result;
      return false;
    }
    fd_ = fd;
    callback_ = std::move(callback);
    return true;
  }

  void Stop() override {
    if (fd_ >= 0 && loop_ != nullptr) loop_->UnwatchFd(fd_);
    fd_ = -1;
    if (monitor_ != nullptr) udev_monitor_unref(monitor_);
    monitor_ = nullptr;
    if (udev_ != nullptr) udev_unref(udev_);
    udev_ = nullptr;
    callback_ = nullptr;
  }

 private:
  void OnReadable(uint32_t events) {
    if (events & RunLoop::kFdHangup) {
      PlatformLog("the USB device monitor closed");
      fd_ = -1;  // the loop dropped the watch
      return;
    }
    udev_device* device = udev_monitor_receive_device(monitor_);
    if (device == nullptr) return;
    const char* action = udev_device_get_action(device);
    const char* node = udev_device_get_devnode(device);
    Change change;
    change.name = node != nullptr ? node : (udev_device_get_syspath(device) ? udev_device_get_syspath(device) : "");
    const bool known = action != nullptr && (std::strcmp(action, "add") == 0 || std::strcmp(action, "remove") == 0);
    change.arrived = known && std::strcmp(action, "add") == 0;
    udev_device_unref(device);
    if (known && callback_) callback_(change);
  }

  udev* udev_ = nullptr;
  udev_monitor* monitor_ = nullptr;
  RunLoop* loop_ = nullptr;
  int fd_ = -1;
  Callback callback_;
};

#else

class UnavailableUsbDeviceMonitor : public UsbDeviceMonitor {
 public:
  bool Start(Callback, int* error) override {
    PlatformLog("no USB device notifications: built without libudev");
    if (error != nullptr) *error = ENOSYS;
    return false;
  }
  void Stop() override {}
};

#endif

}  // namespace

std::unique_ptr<UsbDeviceMonitor> CreateUsbDeviceMonitor() {
#if defined(VZ_HAVE_LIBUDEV)
  return std::make_unique<UdevUsbDeviceMonitor>();
#else
  return std::make_unique<UnavailableUsbDeviceMonitor>();
#endif
}

}  // namespace vz
