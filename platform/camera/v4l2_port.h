#pragma once
// The narrow port through which the camera backend reaches a V4L2 device:
// open, ioctl, mmap, poll and close on a node, the node list, and the names
// the system keeps beside a node. The system port passes the calls to the
// kernel; the in-process emulation (v4l2_emulation.h) answers the same
// requests with the same structures and errors.
//
// Results: Open gives a descriptor or -errno; Ioctl, Munmap, Close 0 or
// -errno; Mmap null on failure; Poll 1 when a buffer is ready, 0 on time-out,
// -errno on failure (-ENODEV once the camera has gone).
// Threads: any; a descriptor is used by one thread at a time.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace vz {

// Told, on the thread that started it and from that thread's run loop, that
// cameras may have come or gone.
class CameraHotplugMonitor {
 public:
  virtual ~CameraHotplugMonitor() = default;
  // False, logged, with `error` an errno value, when no notifications can be had.
  virtual bool Start(std::function<void()> changed, int* error) = 0;
  virtual void Stop() = 0;
};

class V4l2Port {
 public:
  virtual ~V4l2Port() = default;
  // The device nodes that may be cameras ("/dev/video0", ...), sorted.
  virtual std::vector<std::string> ListNodes() = 0;
  virtual int Open(const std::string& node) = 0;
  virtual int Ioctl(int fd, unsigned long request, void* arg) = 0;
  virtual void* Mmap(int fd, size_t length, int64_t offset) = 0;
  virtual int Munmap(void* address, size_t length) = 0;
  virtual int Poll(int fd, int timeout_ms) = 0;
  virtual int Close(int fd) = 0;
  // The name that survives re-plugging (a /dev/v4l/by-id or by-path link
  // to the node), or empty.
  virtual std::string StableName(const std::string& node) = 0;
  // The USB vendor and product ids of the node's device; false when it is
  // not on USB.
  virtual bool UsbIds(const std::string& node, std::string* vendor, std::string* product) = 0;
  // A monitor of camera arrivals and removals (not started).
  virtual std::unique_ptr<CameraHotplugMonitor> CreateHotplugMonitor() = 0;
};

// The kernel's devices (process-wide).
V4l2Port& SystemV4l2Port();

}  // namespace vz
