#pragma once
// A libudev monitor of one subsystem, watched by the run loop of the thread
// that starts it: each device added or removed is reported with its node
// name (its sysfs path when it has no node). The USB device monitor and the
// camera hot-plug monitor are built on it. Without libudev in the build,
// Start fails with ENOSYS. Owner thread only.
#include <cstdint>
#include <functional>
#include <string>

struct udev;
struct udev_monitor;

namespace vz {

class RunLoop;

class UdevWatch {
 public:
  using Callback = std::function<void(const std::string& name, bool arrived)>;

  UdevWatch() = default;
  ~UdevWatch() { Stop(); }
  UdevWatch(const UdevWatch&) = delete;
  UdevWatch& operator=(const UdevWatch&) = delete;

  // Watches `subsystem` (and `devtype`, null for any). False with `*error`
  // (an errno value) when no notifications can be had, logged as "no `what`
  // notifications: ...".
  bool Start(const char* subsystem, const char* devtype, const char* what, Callback callback, int* error);
  void Stop();

 private:
  void OnReadable(uint32_t events);

  udev* udev_ = nullptr;
  udev_monitor* monitor_ = nullptr;
  RunLoop* loop_ = nullptr;
  int fd_ = -1;
  std::string what_;
  Callback callback_;
};

}  // namespace vz
