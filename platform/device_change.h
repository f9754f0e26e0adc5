#pragma once
// USB device arrivals and removals, as the meeting client hears of them to
// rejoin audio when an audio device comes or goes.
//
// Lives on the thread that starts it: the callback runs there, from that
// thread's run loop. Stop, or destroy, on that thread.
//
// Backend: a libudev monitor (subsystem "usb", device type "usb_device")
// whose descriptor the run loop watches. Without libudev at build time, or
// when the system refuses a monitor (no netlink, as in some containers),
// Start fails with an errno value.
#include <functional>
#include <memory>
#include <string>

namespace vz {

class UsbDeviceMonitor {
 public:
  struct Change {
    bool arrived = false;  // false: removed
    std::string name;      // the device's node or system path
  };
  using Callback = std::function<void(const Change& change)>;

  virtual ~UsbDeviceMonitor() = default;
  // Starts reporting on the calling thread. False, logged, with `error` set
  // to an errno value, when no notifications can be had.
  virtual bool Start(Callback callback, int* error) = 0;
  virtual void Stop() = 0;
};

std::unique_ptr<UsbDeviceMonitor> CreateUsbDeviceMonitor();

}  // namespace vz
