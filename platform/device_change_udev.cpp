// The USB device monitor over libudev (without it in the build, Start fails
// and says so: see UdevWatch).
#include "platform/device_change.h"
#include "platform/udev_watch.h"

namespace vz {
namespace {

// The USB devices that come and go, reported as they happen.
class UdevUsbDeviceMonitor : public UsbDeviceMonitor {
 public:
  bool Start(Callback callback, int* error) override {
    return watch_.Start("usb", "usb_device", "USB device",
                        [callback = std::move(callback)](const std::string& name, bool arrived) {
                          Change change;
                          change.name = name;
                          change.arrived = arrived;
                          if (callback) callback(change);
                        },
                        error);
  }
  void Stop() override { watch_.Stop(); }

 private:
  UdevWatch watch_;
};

}  // namespace

std::unique_ptr<UsbDeviceMonitor> CreateUsbDeviceMonitor() { return std::make_unique<UdevUsbDeviceMonitor>(); }

}  // namespace vz
