#pragma once
// Shared helpers of the capture tests: window and monitor builders for the
// in-memory screen, and a sender that keeps what it was handed.
#include <string>
#include <vector>

#include "capture/monitors/changed_box_sender.h"
#include "platform/screen/screen_double_testlib.h"

namespace capture_test {

inline vz::ScreenWindow Window(uint64_t id, vz::ScreenRect bounds, int pid, std::string title = "w",
                               uint64_t owner = 0) {
  vz::ScreenWindow w;
  w.id = id;
  w.bounds = bounds;
  w.pid = pid;
  w.title = std::move(title);
  w.visible = true;
  w.owner = owner;
  w.class_name = "app";
  return w;
}

inline vz::ScreenMonitor Monitor(vz::ScreenRect bounds, std::string name, bool primary = false) {
  vz::ScreenMonitor m;
  m.bounds = bounds;
  m.name = std::move(name);
  m.primary = primary;
  return m;
}

// Keeps a copy of every box handed over, with its pixels.
class RecordingSender : public IChangedBoxSender {
 public:
  struct Sent {
    int32_t monitor_id;
    VzRect monitor_rect;
    VzRect box;
    std::vector<uint32_t> pixels;  // the box's, top row first
    uint32_t At(int x, int y) const {  // box coordinates
      return pixels[static_cast<size_t>(y) * (box.right - box.left) + x];
    }
  };
  bool SendScreenData(int32_t monitor_id, const VzRect& monitor_rect, int32_t, const VzRect& box,
                      const uint8_t* pixels, int32_t stride) override {
    Sent sent{monitor_id, monitor_rect, box, {}};
    for (int y = box.top; y < box.bottom; ++y) {
      const auto* row = reinterpret_cast<const uint32_t*>(pixels + static_cast<size_t>(y) * stride);
      sent.pixels.insert(sent.pixels.end(), row + box.left, row + box.right);
    }
    sent_.push_back(std::move(sent));
    return accept_;
  }
  std::vector<Sent> sent_;
  bool accept_ = true;
};

}  // namespace capture_test
