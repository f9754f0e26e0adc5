#include "capture/controller/whole_monitor_screen_set.h"

#include <algorithm>
#include <cstring>

#include "common/scoped_lock.h"
#include "common/trace_client.h"
#include "platform/text.h"

namespace {

constexpr int kMaxMonitors = 16;
constexpr int kMaxWindows = 64;
constexpr int kMinWindowSide = 27;
constexpr uint32_t kOutsideColour = 0x00606060;  // B, G, R, X bytes 60 60 60 00

VzRect Intersect(const VzRect& a, const VzRect& b) {
  VzRect r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right), std::min(a.bottom, b.bottom)};
  if (r.left >= r.right || r.top >= r.bottom) return VzRect{};
  return r;
}

bool IsEmpty(const VzRect& r) { return r.left >= r.right || r.top >= r.bottom; }

VzRect Union(const VzRect& a, const VzRect& b) {
  if (IsEmpty(a)) return b;
  if (IsEmpty(b)) return a;
  return VzRect{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
                std::max(a.bottom, b.bottom)};
}

bool SameRect(const VzRect& a, const VzRect& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

VzRect ToRect(const vz::ScreenRect& r) { return VzRect{r.x, r.y, r.x + r.width, r.y + r.height}; }

}  // namespace

CWholeMonitorScreenSet::CWholeMonitorScreenSet()
    : monitors_(std::make_unique<MonitorList>()), windows_(std::make_unique<ApplicationList>()) {}

CWholeMonitorScreenSet::~CWholeMonitorScreenSet() = default;

void CWholeMonitorScreenSet::Reset(vz::ScreenSource* source) {
  VZ_LOG("Monitor reset members");
  {
    // The grabbers are the capture thread's; EndScreen frees them.
    CScopedLock lock(lock_);
    *monitors_ = MonitorList{};
    *windows_ = ApplicationList{};
    sharing_kind_ = 0;
  }
  RefreshMonitors(source);
}

MonitorList* CWholeMonitorScreenSet::RefreshMonitors(vz::ScreenSource* source) {
  VZ_LOG("RefreshMonitors");
  CScopedLock lock(lock_);
  if (source == nullptr) return monitors_.get();
  std::vector<vz::ScreenMonitor> found = source->Monitors();
  if (found.empty()) {
    vz::ScreenMonitor whole;
    whole.bounds = source->Bounds();
    whole.name = "screen";
    whole.primary = true;
    found.push_back(whole);
  }
  auto fresh = std::make_unique<MonitorList>();
  for (const vz::ScreenMonitor& m : found) {
    if (fresh->Count == kMaxMonitors) {
      VZ_LOG_ERROR("The monitor numbers in the system is out of MAX caps");
      break;
    }
    MonitorInfo& info = fresh->Monitors[fresh->Count];
    vz::CopyUtf16(info.DeviceName, 128, vz::Utf8ToUtf16(m.name));
    info.MonitorId = fresh->Count + 1;
    info.Rect = ToRect(m.bounds);
    info.LogicalRect = info.Rect;
    info.BitsPerPixel = 32;
    info.StateFlags = kMonitorStateAttached | (m.primary ? kMonitorStatePrimary : 0);
    info.DpiScale = 1.0f;
    for (int i = 0; i < monitors_->Count; ++i) {
      const MonitorInfo& old = monitors_->Monitors[i];
      if (std::u16string_view(old.DeviceName) == std::u16string_view(info.DeviceName))
        info.StateFlags |= old.StateFlags & kMonitorStateShared;
    }
    ++fresh->Count;
  }
  *monitors_ = *fresh;
  VZ_LOG("RefreshMonitors get monitors count [%d]", monitors_->Count);
  return monitors_.get();
}

ApplicationList* CWholeMonitorScreenSet::RefreshWindows(vz::ScreenSource* source) {
  CScopedLock lock(lock_);
  if (source == nullptr) return windows_.get();
  std::vector<vz::ScreenWindow> found = source->Windows();
  auto fresh = std::make_unique<ApplicationList>();
  // The screen lists bottom first; the list is top first.
  for (auto it = found.rbegin(); it != found.rend() && fresh->Count < kMaxWindows; ++it) {
    if (!it->visible || it->bounds.width <= kMinWindowSide || it->bounds.height <= kMinWindowSide) continue;
    ApplicationInfo& app = fresh->Applications[fresh->Count++];
    vz::CopyUtf16(app.Title, 128, vz::Utf8ToUtf16(it->title));
    app.ProcessId = it->pid;
    app.Window = static_cast<VzWindowHandle>(it->id);
    app.Rect = ToRect(it->bounds);
    for (int i = 0; i < windows_->Count; ++i) {
      if (windows_->Applications[i].Window == app.Window) app.Shared = windows_->Applications[i].Shared;
    }
  }
  *windows_ = *fresh;
  return windows_.get();
}

int32_t CWholeMonitorScreenSet::ShareMonitor(int32_t monitor_id, int32_t share) {
  VZ_LOG("Monitor [%d] share [%d]", monitor_id, share);
  CScopedLock lock(lock_);
  sharing_kind_ = 1;
  for (int i = 0; i < monitors_->Count; ++i) monitors_->Monitors[i].StateFlags &= ~kMonitorStateShared;
  for (int i = 0; i < windows_->Count; ++i) windows_->Applications[i].Shared = 0;
  for (int i = 0; i < monitors_->Count; ++i) {
    MonitorInfo& m = monitors_->Monitors[i];
    if (m.MonitorId != monitor_id) continue;
    if (!share) {
      VZ_LOG_ERROR("monitor [%d] status no changed", monitor_id);
      return 0;
    }
    m.StateFlags |= kMonitorStateShared;
    return 1;
  }
  VZ_LOG_ERROR("monitor [%d] not found [%d]", monitor_id, monitors_->Count);
  return 0;
}

int32_t CWholeMonitorScreenSet::ShareWindow(VzWindowHandle window, int32_t share) {
  VZ_LOG("window handle [0x%08X] share [%d]", window, share);
  CScopedLock lock(lock_);
  sharing_kind_ = 2;
  for (int i = 0; i < monitors_->Count; ++i) monitors_->Monitors[i].StateFlags &= ~kMonitorStateShared;
  for (int i = 0; i < windows_->Count; ++i) windows_->Applications[i].Shared = 0;
  for (int i = 0; i < windows_->Count; ++i) {
    ApplicationInfo& app = windows_->Applications[i];
    if (app.Window != window) continue;
    if (!share) {
      VZ_LOG_ERROR("window handle [0x%08X] status no changed", window);
      return 0;
    }
    app.Shared = 1;
    return 1;
  }
  VZ_LOG_ERROR("window handle [0x%08X] not found [%d]", window, windows_->Count);
  return 0;
}

bool CWholeMonitorScreenSet::SharedWindowMoved(vz::ScreenSource* source) {
  CScopedLock lock(lock_);
  if (sharing_kind_ != 2 || source == nullptr) return false;
  bool moved = false;
  std::vector<vz::ScreenWindow> found;
  bool listed = false;
  for (int i = 0; i < windows_->Count; ++i) {
    ApplicationInfo& app = windows_->Applications[i];
    if (!app.Shared) continue;
    if (!listed) {
      found = source->Windows();
      listed = true;
    }
    for (const vz::ScreenWindow& w : found) {
      if (static_cast<VzWindowHandle>(w.id) != app.Window) continue;
      const VzRect now = ToRect(w.bounds);
      if (!SameRect(now, app.Rect)) {
        app.Rect = now;
        moved = true;
      }
    }
  }
  return moved;
}

VzRect CWholeMonitorScreenSet::SharedArea() const {
  VzRect area{};
  if (sharing_kind_ == 1) {
    for (int i = 0; i < monitors_->Count; ++i) {
      const MonitorInfo& m = monitors_->Monitors[i];
      if (m.StateFlags & kMonitorStateShared) area = Union(area, m.Rect);
    }
  } else if (sharing_kind_ == 2) {
    for (int i = 0; i < windows_->Count; ++i) {
      if (windows_->Applications[i].Shared) area = Union(area, windows_->Applications[i].Rect);
    }
  }
  return area;
}

bool CWholeMonitorScreenSet::InitScreen(vz::ScreenSource* source, int32_t* max_width, int32_t* max_height) {
  grabbers_.clear();
  *max_width = 0;
  *max_height = 0;
  if (source == nullptr) return false;
  CScopedLock lock(lock_);
  const VzRect area = SharedArea();
  const VzRect bounds = ToRect(source->Bounds());
  for (int i = 0; i < monitors_->Count; ++i) {
    const MonitorInfo& m = monitors_->Monitors[i];
    // A monitor the screen no longer holds is left out rather than read.
    if (IsEmpty(Intersect(m.Rect, area)) || !SameRect(Intersect(m.Rect, bounds), m.Rect)) continue;
    auto grabber = std::make_unique<Grabber>();
    grabber->monitor = m;
    const int32_t width = m.Rect.right - m.Rect.left;
    const int32_t height = m.Rect.bottom - m.Rect.top;
    VZ_LOG(" InitScreen shared monitor id =[%d], rect [{%d, %d, %d, %d}(%d, %d)]", m.MonitorId, m.Rect.left,
           m.Rect.top, m.Rect.right, m.Rect.bottom, width, height);
    *max_width = std::max(*max_width, width);
    *max_height = std::max(*max_height, height);
    grabbers_.push_back(std::move(grabber));
  }
  return !grabbers_.empty();
}

void CWholeMonitorScreenSet::EndScreen() { grabbers_.clear(); }

bool CWholeMonitorScreenSet::UpdateRegions(vz::ScreenSource*) { return false; }

bool CWholeMonitorScreenSet::Read(vz::ScreenSource* source, Grabber* grabber) {
  const VzRect& r = grabber->monitor.Rect;
  if (!source->ReadPixels(vz::ScreenRect{r.left, r.top, r.right - r.left, r.bottom - r.top}, &grabber->current)) {
    VZ_LOG_ERROR("BitBltBox failed.");
    return false;
  }
  return true;
}

bool CWholeMonitorScreenSet::Send(Grabber* grabber, VzRect box, IScreenDataHandOver* sender) {
  const VzRect& r = grabber->monitor.Rect;
  VzRect area;
  {
    CScopedLock lock(lock_);
    area = SharedArea();
  }
  const VzRect local_area = Intersect(VzRect{area.left - r.left, area.top - r.top, area.right - r.left,
                                             area.bottom - r.top},
                                      VzRect{0, 0, r.right - r.left, r.bottom - r.top});
  if (IsEmpty(Intersect(box, local_area))) return false;
  vz::ScreenPixels& image = grabber->current;
  for (int32_t y = box.top; y < box.bottom; ++y) {
    auto* row = reinterpret_cast<uint32_t*>(image.bytes.data() + static_cast<size_t>(y) * image.stride);
    for (int32_t x = box.left; x < box.right; ++x) {
      if (y < local_area.top || y >= local_area.bottom || x < local_area.left || x >= local_area.right)
        row[x] = kOutsideColour;
    }
  }
  CaptureMonitorImage source{image.bytes.data(), image.width, image.height, image.stride, false};
  return sender->SendScreenData(grabber->monitor.MonitorId, &grabber->monitor.Rect, 32, &box, source);
}

bool CWholeMonitorScreenSet::ScanAndSend(vz::ScreenSource* source, IScreenDataHandOver* sender) {
  bool taken = false;
  for (auto& grabber : grabbers_) {
    if (sender->IsStopping()) break;
    if (!Read(source, grabber.get())) continue;
    vz::ScreenPixels& image = grabber->current;
    const size_t row_bytes = static_cast<size_t>(image.width) * 4;
    if (grabber->previous.size() != row_bytes * image.height) {
      // No earlier copy to compare with: this one is the base.
      grabber->previous.resize(row_bytes * image.height);
      for (int y = 0; y < image.height; ++y) std::memcpy(&grabber->previous[y * row_bytes], image.Row(y), row_bytes);
      continue;
    }
    VzRect box{image.width, image.height, 0, 0};
    for (int y = 0; y < image.height; ++y) {
      const auto* now = reinterpret_cast<const uint32_t*>(image.Row(y));
      const auto* before = reinterpret_cast<const uint32_t*>(&grabber->previous[y * row_bytes]);
      if (std::memcmp(now, before, row_bytes) == 0) continue;
      int first = 0;
      while (now[first] == before[first]) ++first;
      int last = image.width - 1;
      while (now[last] == before[last]) --last;
      box.left = std::min(box.left, first);
      box.right = std::max(box.right, last + 1);
      box.top = std::min(box.top, y);
      box.bottom = y + 1;
      std::memcpy(&grabber->previous[y * row_bytes], now, row_bytes);
    }
    if (IsEmpty(box)) continue;
    taken = Send(grabber.get(), box, sender) || taken;
  }
  return taken;
}

bool CWholeMonitorScreenSet::DumpAll(vz::ScreenSource* source, IScreenDataHandOver* sender) {
  bool copied = false;
  for (auto& grabber : grabbers_) {
    if (!Read(source, grabber.get())) continue;
    copied = true;
    vz::ScreenPixels& image = grabber->current;
    const size_t row_bytes = static_cast<size_t>(image.width) * 4;
    grabber->previous.resize(row_bytes * image.height);
    for (int y = 0; y < image.height; ++y) std::memcpy(&grabber->previous[y * row_bytes], image.Row(y), row_bytes);
    Send(grabber.get(), VzRect{0, 0, image.width, image.height}, sender);
  }
  return copied;
}

void CWholeMonitorScreenSet::FillSharingInfo(SharingInfo* info) {
  CScopedLock lock(lock_);
  info->IsDesktopSharing = sharing_kind_ == 1 ? 1 : 0;
  info->SharedRect = SharedArea();
  for (const auto& grabber : grabbers_) {
    if (info->MonitorCount == kMaxMonitors) break;
    info->Monitors[info->MonitorCount++] = grabber->monitor;
  }
  for (int i = 0; i < windows_->Count && info->ApplicationCount < kMaxMonitors; ++i) {
    if (windows_->Applications[i].Shared) info->Applications[info->ApplicationCount++] = windows_->Applications[i];
  }
}

bool CWholeMonitorScreenSet::MonitorAtLogicalPoint(int32_t x, int32_t y, MonitorInfo* out) {
  CScopedLock lock(lock_);
  for (int i = 0; i < monitors_->Count; ++i) {
    const VzRect& r = monitors_->Monitors[i].LogicalRect;
    if (x >= r.left && x < r.right && y >= r.top && y < r.bottom) {
      *out = monitors_->Monitors[i];
      return true;
    }
  }
  return false;
}

int32_t CWholeMonitorScreenSet::SharedMonitorAtPoint(int32_t x, int32_t y, VzRect* monitor_rect) {
  CScopedLock lock(lock_);
  const VzRect area = SharedArea();
  if (x < area.left || x >= area.right || y < area.top || y >= area.bottom) return 0;
  for (const auto& grabber : grabbers_) {
    const VzRect& r = grabber->monitor.Rect;
    if (x >= r.left && x < r.right && y >= r.top && y < r.bottom) {
      *monitor_rect = r;
      return grabber->monitor.MonitorId;
    }
  }
  return 0;
}
