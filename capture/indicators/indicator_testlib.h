#pragma once
// Test support of the indicators: a scripted host, fixed pictures and
// monitor records.
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "capture/indicators/indicator_host.h"
#include "capture/indicators/indicator_images.h"

namespace vzgrab::testing {

class FakeHost : public IndicatorHost {
 public:
  VzRect WindowRect(VzWindowHandle window) override {
    auto it = windows.find(window);
    return it != windows.end() ? it->second : VzRect{};
  }
  bool IsPointShared(VzPoint logical) override {
    asked.push_back(logical);
    return shared_area.left <= logical.x && logical.x < shared_area.right && shared_area.top <= logical.y &&
           logical.y < shared_area.bottom;
  }
  std::map<VzWindowHandle, VzRect> windows;
  VzRect shared_area{};
  std::vector<VzPoint> asked;
};

// Flat pictures of known colours and sizes; an id can be taken away.
class FixedImages : public IndicatorImages {
 public:
  std::optional<vz::Image> LoadPng(uint32_t id) override {
    ++loads[id];
    if (missing.count(id) != 0) return std::nullopt;
    vz::Image image;
    switch (id) {
      case kArrowImageId:
        image = vz::Image(100, 20);
        image.FillForTesting(0xFFFFFFFF);
        break;
      case kPointerImageId:
        image = vz::Image(32, 24);
        image.FillForTesting(0xFF00FF00);
        break;
      case kCloseImageId:
        image = vz::Image(10, 10);
        break;  // transparent: the red box shows through
      default:
        return std::nullopt;
    }
    return image;
  }
  std::map<uint32_t, int> loads;
  std::map<uint32_t, bool> missing;
};

inline MonitorInfo MakeMonitor(int32_t id, VzRect rect, VzRect logical, float scale) {
  MonitorInfo m{};
  m.MonitorId = id;
  m.Rect = rect;
  m.LogicalRect = logical;
  m.DpiScale = scale;
  m.StateFlags = kMonitorStateAttached | kMonitorStateShared;
  m.BitsPerPixel = 32;
  return m;
}

inline ApplicationInfo MakeApp(VzWindowHandle window) {
  ApplicationInfo a{};
  a.Window = window;
  a.Shared = 1;
  return a;
}

}  // namespace vzgrab::testing
