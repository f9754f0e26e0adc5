#include "capture/monitors/multi_monitor.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "capture/monitors/shared_monitor.h"
#include "common/scoped_lock.h"
#include "common/trace_client.h"
#include "platform/text.h"

namespace {

int Width(const VzRect& r) { return r.right - r.left; }
int Height(const VzRect& r) { return r.bottom - r.top; }

char16_t FoldCase(char16_t c) { return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c - u'A' + u'a') : c; }

bool SameDeviceName(const char16_t* a, const char16_t* b) {
  for (size_t i = 0; i < 128; ++i) {
    if (FoldCase(a[i]) != FoldCase(b[i])) return false;
    if (a[i] == 0) return true;
  }
  return true;
}

}  // namespace

std::string FormatRect(const VzRect* rect) {
  if (!rect) return "(null)";
  char text[96];
  std::snprintf(text, sizeof(text), "{%d, %d, %d, %d}(%d, %d)", rect->left, rect->top, rect->right, rect->bottom,
                Width(*rect), Height(*rect));
  return text;
}

CMultiMonitor::CMultiMonitor(int32_t own_process_id) : own_process_id_(own_process_id) {}

CMultiMonitor::~CMultiMonitor() = default;

void CMultiMonitor::Reset(vz::ScreenSource* source) {
  VZ_LOG("Monitor reset members");
  {
    // The grabbers belong to the capture thread, which may be scanning with
    // them; the screen set-up frees them (EndScreen), never a reset.
    CScopedLock guard(lock_);
    std::memset(&monitor_list_, 0, sizeof(monitor_list_));
    std::memset(&window_list_, 0, sizeof(window_list_));
    shared_box_ = {};
    shared_region_.Clear();
    covered_region_.Clear();
    monitor_region_.Clear();
    sharing_kind_ = kSharingNothing;
  }
  if (source) RefreshMonitors(*source);
}

MonitorList* CMultiMonitor::RefreshMonitors(vz::ScreenSource& source) {
  VZ_LOG("RefreshMonitors");
  std::vector<vz::ScreenMonitor> found = source.Monitors();
  if (found.empty()) {
    // A server without monitor information is one monitor: the whole screen.
    vz::ScreenMonitor whole;
    whole.bounds = source.Bounds();
    whole.name = "screen";
    whole.primary = true;
    if (!whole.bounds.empty()) found.push_back(whole);
  }
  auto fresh = std::make_unique<MonitorList>();
  std::memset(fresh.get(), 0, sizeof(MonitorList));
  for (const vz::ScreenMonitor& monitor : found) {
    if (fresh->Count >= kMaxMonitors) {
      VZ_LOG_ERROR("The monitor numbers in the system is out of MAX caps");
      break;
    }
    MonitorInfo& info = fresh->Monitors[fresh->Count];
    info.StateFlags = kMonitorStateAttached | (monitor.primary ? kMonitorStatePrimary : 0);
    info.Rect = {monitor.bounds.x, monitor.bounds.y, monitor.bounds.x + monitor.bounds.width,
                 monitor.bounds.y + monitor.bounds.height};
    // X11 has no per-process scaling: the window manager's rectangle is the
    // device rectangle.
    info.LogicalRect = info.Rect;
    info.DpiScale = 1.0f;
    info.BitsPerPixel = 32;
    vz::CopyUtf16(info.DeviceName, 128, vz::Utf8ToUtf16(monitor.name));
    info.MonitorId = fresh->Count + 1;
    ++fresh->Count;
    VZ_LOG("monitor %s %s, DPI %.02f", FormatRect(&info.Rect).c_str(), FormatRect(&info.LogicalRect).c_str(),
           static_cast<double>(info.DpiScale));
  }
  CScopedLock guard(lock_);
  for (int i = 0; i < fresh->Count; ++i) {
    for (int j = 0; j < monitor_list_.Count; ++j) {
      if ((monitor_list_.Monitors[j].StateFlags & kMonitorStateShared) &&
          SameDeviceName(monitor_list_.Monitors[j].DeviceName, fresh->Monitors[i].DeviceName)) {
        fresh->Monitors[i].StateFlags |= kMonitorStateShared;
      }
    }
  }
  monitor_list_ = *fresh;
  RecomputeMonitorRegion();
  VZ_LOG("RefreshMonitors get monitors count [%d]", monitor_list_.Count);
  return &monitor_list_;
}

void CMultiMonitor::RecomputeMonitorRegion() {
  monitor_region_.Clear();
  for (int i = 0; i < monitor_list_.Count; ++i) {
    const MonitorInfo& info = monitor_list_.Monitors[i];
    if (sharing_kind_ == kSharingMonitor && !(info.StateFlags & kMonitorStateShared)) continue;
    monitor_region_.Union(CScreenRegion(info.Rect));
  }
}

void CMultiMonitor::ClearMarks() {
  for (int i = 0; i < monitor_list_.Count; ++i) monitor_list_.Monitors[i].StateFlags &= ~kMonitorStateShared;
  for (int i = 0; i < window_list_.Count; ++i) window_list_.Applications[i].Shared = 0;
}

int32_t CMultiMonitor::ShareMonitor(int32_t monitor_id, int32_t share) {
  VZ_LOG("Monitor [%d] share [%d]", monitor_id, share);
  CScopedLock guard(lock_);
  sharing_kind_ = kSharingMonitor;
  ClearMarks();
  MonitorInfo* found = nullptr;
  for (int i = 0; i < monitor_list_.Count; ++i)
    if (monitor_list_.Monitors[i].MonitorId == monitor_id) found = &monitor_list_.Monitors[i];
  if (!found) {
    VZ_LOG_ERROR("monitor [%d] not found [%d]", monitor_id, share);
    RecomputeMonitorRegion();
    return 0;
  }
  if (!share) {
    VZ_LOG_ERROR("monitor [%d] status no changed", monitor_id);
    RecomputeMonitorRegion();
    return 0;
  }
  found->StateFlags |= kMonitorStateShared;
  RecomputeMonitorRegion();
  return 1;
}

int32_t CMultiMonitor::ShareWindow(VzWindowHandle window, int32_t share, vz::ScreenSource* source) {
  VZ_LOG("window handle [0x%08X] share [%d]", window, share);
  // Read before taking the lock: a window-list read may be slow.
  const std::vector<vz::ScreenWindow> windows = share && source ? source->Windows() : std::vector<vz::ScreenWindow>();
  CScopedLock guard(lock_);
  sharing_kind_ = kSharingWindow;
  ClearMarks();
  RecomputeMonitorRegion();
  ApplicationInfo* found = nullptr;
  for (int i = 0; i < window_list_.Count; ++i)
    if (window_list_.Applications[i].Window == window) found = &window_list_.Applications[i];
  if (!found) {
    VZ_LOG_ERROR("window handle [0x%08X] not found [%d]", window, share);
    return 0;
  }
  if (!share) {
    VZ_LOG_ERROR("window handle [0x%08X] status no changed", window);
    return 0;
  }
  found->Shared = 1;
  for (const vz::ScreenWindow& w : windows) {
    if (w.id == window)
      found->Rect = {w.bounds.x, w.bounds.y, w.bounds.x + w.bounds.width, w.bounds.y + w.bounds.height};
  }
  return 1;
}

bool CMultiMonitor::SharedWindowMoved(vz::ScreenSource& source) {
  {
    CScopedLock guard(lock_);
    if (sharing_kind_ == kSharingMonitor) return false;
    bool any = false;
    for (int i = 0; i < window_list_.Count; ++i) any = any || window_list_.Applications[i].Shared;
    if (!any) return false;
  }
  const std::vector<vz::ScreenWindow> windows = source.Windows();
  CScopedLock guard(lock_);
  bool moved = false;
  for (int i = 0; i < window_list_.Count; ++i) {
    ApplicationInfo& app = window_list_.Applications[i];
    if (!app.Shared) continue;
    for (const vz::ScreenWindow& w : windows) {
      if (w.id != app.Window) continue;
      const VzRect now{w.bounds.x, w.bounds.y, w.bounds.x + w.bounds.width, w.bounds.y + w.bounds.height};
      if (std::memcmp(&now, &app.Rect, sizeof(now)) != 0) {
        app.Rect = now;
        moved = true;
      }
    }
  }
  return moved;
}

bool CMultiMonitor::IsSharedWindow(VzWindowHandle window, int32_t pid) {
  // An unknown process (pid 0, or none found) says nothing about the window:
  // counting it as shared would send the pixels of a window nobody chose to
  // share. The window chosen itself is shared whether it names a process or
  // not.
  (void)pid;
  CScopedLock guard(lock_);
  for (int i = 0; i < monitor_list_.Count; ++i)
    if (monitor_list_.Monitors[i].StateFlags & kMonitorStateShared) return true;
  for (int i = 0; i < window_list_.Count; ++i)
    if (window_list_.Applications[i].Window == window && window_list_.Applications[i].Shared) return true;
  return false;
}

std::vector<ApplicationInfo> CMultiMonitor::SharedApplications() {
  CScopedLock guard(lock_);
  std::vector<ApplicationInfo> shared;
  for (int i = 0; i < window_list_.Count && static_cast<int>(shared.size()) < kMaxSharedApplications; ++i)
    if (window_list_.Applications[i].Shared) shared.push_back(window_list_.Applications[i]);
  return shared;
}

int32_t CMultiMonitor::sharing_kind_for_testing() {
  CScopedLock guard(lock_);
  return sharing_kind_;
}

bool CMultiMonitor::SharesMonitors() {
  CScopedLock guard(lock_);
  for (int i = 0; i < monitor_list_.Count; ++i)
    if (monitor_list_.Monitors[i].StateFlags & kMonitorStateShared) return true;
  return false;
}

CScreenRegion CMultiMonitor::MonitorRegion() {
  CScopedLock guard(lock_);
  return monitor_region_;
}

CScreenRegion CMultiMonitor::SharedRegion() {
  CScopedLock guard(lock_);
  return shared_region_;
}

CScreenRegion CMultiMonitor::CoveredRegion() {
  CScopedLock guard(lock_);
  return covered_region_;
}

VzRect CMultiMonitor::SharedBox() {
  CScopedLock guard(lock_);
  return shared_box_;
}

void CMultiMonitor::SetRegions(const CScreenRegion& full, const CScreenRegion& covered) {
  CScopedLock guard(lock_);
  shared_region_ = full;
  covered_region_ = covered;
  shared_box_ = shared_region_.Box();
}

void CMultiMonitor::ResetRegions() {
  CScopedLock guard(lock_);
  shared_region_.Clear();
  covered_region_.Clear();
  shared_box_ = {};
}

bool CMultiMonitor::MonitorAt(int x, int y, MonitorInfo* out) {
  CScopedLock guard(lock_);
  for (int i = 0; i < monitor_list_.Count; ++i) {
    const VzRect& r = monitor_list_.Monitors[i].Rect;
    if (x >= r.left && x < r.right && y >= r.top && y < r.bottom) {
      if (out) *out = monitor_list_.Monitors[i];
      return true;
    }
  }
  return false;
}

bool CMultiMonitor::IsPointShared(int x, int y) {
  CScopedLock guard(lock_);
  return shared_region_.Contains(x, y) && !covered_region_.Contains(x, y);
}

std::vector<MonitorInfo> CMultiMonitor::Monitors() {
  CScopedLock guard(lock_);
  return std::vector<MonitorInfo>(monitor_list_.Monitors, monitor_list_.Monitors + monitor_list_.Count);
}

int CMultiMonitor::CapturedMonitors(MonitorInfo* out, int capacity) {
  CScopedLock guard(lock_);
  int count = 0;
  for (const auto& grabber : grabbers_) {
    if (count >= capacity || count >= kMaxMonitors) break;
    out[count++] = grabber->monitor();
  }
  return count;
}
