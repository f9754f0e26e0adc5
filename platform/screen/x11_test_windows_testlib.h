#pragma once
// Test support for display tests above the platform: top-level windows of a
// client of the test's own, painted in one colour, and the stacking list a
// window manager would publish for them (Xvfb runs none).
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace vz {

class X11TestWindows {
 public:
  // Null when the display cannot be opened.
  static std::unique_ptr<X11TestWindows> Open(const std::string& display);
  ~X11TestWindows();

  // A mapped window filled with 0xRRGGBB that names `pid` as its process;
  // 0 on failure.
  uint64_t Create(int x, int y, int width, int height, uint32_t rgb, int pid);
  void Move(uint64_t window, int x, int y);
  // Publishes the window's icons (_NET_WM_ICON) as these items: for each
  // icon its width, its height and its 0xAARRGGBB pixels.
  void SetIcons(uint64_t window, const std::vector<uint32_t>& items);
  // Publishes _NET_CLIENT_LIST_STACKING, bottom first, and waits until the
  // server has done everything asked so far.
  void PublishStacking(const std::vector<uint64_t>& bottom_first);

 private:
  explicit X11TestWindows(void* display) : display_(display) {}
  void* display_;
  std::vector<uint64_t> windows_;
};

}  // namespace vz
