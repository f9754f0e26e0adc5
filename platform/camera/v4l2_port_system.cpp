// The V4L2 port over the kernel: the calls as they are, names from /dev/v4l
// and sysfs, hot-plug from a libudev monitor on "video4linux".
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include "platform/camera/v4l2_port.h"
#include "platform/platform_log.h"
#include "platform/run_loop.h"
#include "platform/udev_watch.h"

namespace vz {
namespace {

std::string RealPath(const std::string& path) {
  char resolved[PATH_MAX];
  return realpath(path.c_str(), resolved) != nullptr ? std::string(resolved) : std::string();
}

// The first link in `folder` that resolves to `node`.
std::string LinkTo(const std::string& folder, const std::string& node) {
  const std::string target = RealPath(node);
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr || target.empty()) {
    if (dir != nullptr) closedir(dir);
    return {};
  }
  std::vector<std::string> names;
  while (dirent* entry = readdir(dir)) {
    if (entry->d_name[0] == '.') continue;
    if (RealPath(folder + "/" + entry->d_name) == target) names.push_back(folder + "/" + entry->d_name);
  }
  closedir(dir);
  std::sort(names.begin(), names.end());
  return names.empty() ? std::string() : names.front();
}

std::string ReadLine(const std::string& path) {
  std::ifstream in(path);
  std::string line;
  std::getline(in, line);
  return line;
}

// Cameras that come and go: any change, the listing is made again.
class UdevCameraMonitor : public CameraHotplugMonitor {
 public:
  bool Start(std::function<void()> changed, int* error) override {
    return watch_.Start("video4linux", nullptr, "camera",
                        [changed = std::move(changed)](const std::string&, bool) {
                          if (changed) changed();
                        },
                        error);
  }
  void Stop() override { watch_.Stop(); }

 private:
  UdevWatch watch_;
};

class SystemPort : public V4l2Port {
 public:
  std::vector<std::string> ListNodes() override {
    std::vector<std::string> nodes;
    DIR* dir = opendir("/dev");
    if (dir == nullptr) return nodes;
    while (dirent* entry = readdir(dir)) {
      if (std::strncmp(entry->d_name, "video", 5) == 0) nodes.push_back(std::string("/dev/") + entry->d_name);
    }
    closedir(dir);
    std::sort(nodes.begin(), nodes.end());
    return nodes;
  }
  int Open(const std::string& node) override {
    const int fd = ::open(node.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    return fd >= 0 ? fd : -errno;
  }
  int Ioctl(int fd, unsigned long request, void* arg) override {
    int result;
    do {
      result = ::ioctl(fd, request, arg);
    } while (result < 0 && errno == EINTR);
    return result < 0 ? -errno : 0;
  }
  void* Mmap(int fd, size_t length, int64_t offset) override {
    void* address = ::mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_SHARED, fd, static_cast<off_t>(offset));
    return address == MAP_FAILED ? nullptr : address;
  }
  int Munmap(void* address, size_t length) override { return ::munmap(address, length) == 0 ? 0 : -errno; }
  int Poll(int fd, int timeout_ms) override {
    pollfd entry{fd, POLLIN, 0};
    const int result = ::poll(&entry, 1, timeout_ms);
    if (result < 0) return errno == EINTR ? 0 : -errno;
    if (result == 0) return 0;
    if (entry.revents & (POLLERR | POLLHUP | POLLNVAL)) return -ENODEV;
    return 1;
  }
  int Close(int fd) override { return ::close(fd) == 0 ? 0 : -errno; }
  std::string StableName(const std::string& node) override {
    std::string name = LinkTo("/dev/v4l/by-id", node);
    return name.empty() ? LinkTo("/dev/v4l/by-path", node) : name;
  }
  bool UsbIds(const std::string& node, std::string* vendor, std::string* product) override {
    const size_t slash = node.rfind('/');
    // The device folder of a USB camera's interface holds no ids; its parent does.
    std::string device = RealPath("/sys/class/video4linux/" + node.substr(slash + 1) + "/device");
    for (int up = 0; up < 3 && !device.empty(); ++up) {
      const std::string id_vendor = ReadLine(device + "/idVendor");
      if (!id_vendor.empty()) {
        *vendor = id_vendor;
        *product = ReadLine(device + "/idProduct");
        return true;
      }
      device = device.substr(0, device.rfind('/'));
    }
    return false;
  }
  std::unique_ptr<CameraHotplugMonitor> CreateHotplugMonitor() override {
    return std::make_unique<UdevCameraMonitor>();
  }
};

}  // namespace

V4l2Port& SystemV4l2Port() {
  static SystemPort port;
  return port;
}

}  // namespace vz
