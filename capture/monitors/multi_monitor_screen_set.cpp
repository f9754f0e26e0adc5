#include "capture/monitors/multi_monitor_screen_set.h"

#include "common/scoped_lock.h"
#include "common/trace_client.h"

namespace {

// Hands a grabber's box to the controller, which copies it into its record.
class HandOverSender : public IChangedBoxSender {
 public:
  explicit HandOverSender(IScreenDataHandOver& hand_over) : hand_over_(hand_over) {}
  bool SendScreenData(int32_t monitor_id, const VzRect& monitor_rect, int32_t bits_per_pixel, const VzRect& box,
                      const uint8_t* pixels, int32_t stride) override {
    if (hand_over_.IsStopping()) return false;
    CaptureMonitorImage image;
    image.bits = pixels;
    image.width = monitor_rect.right - monitor_rect.left;
    image.height = monitor_rect.bottom - monitor_rect.top;
    image.stride = stride;
    image.bottom_up = false;
    return hand_over_.SendScreenData(monitor_id, &monitor_rect, bits_per_pixel, &box, image);
  }

 private:
  IScreenDataHandOver& hand_over_;
};

}  // namespace

CMultiMonitorScreenSet::CMultiMonitorScreenSet(int32_t own_process_id)
    : monitors_(own_process_id), regions_(own_process_id), screens_(monitors_, regions_) {
  // An X server copies a whole monitor through shared memory in a few
  // milliseconds, so the whole-monitor compare is the default here.
  settings_.full_compare = true;
}

CMultiMonitorScreenSet::~CMultiMonitorScreenSet() { screens_.EndScreen(); }

void CMultiMonitorScreenSet::SetCaptureContext(int32_t capture_mode, int32_t block_width, int32_t block_height,
                                               uint32_t header_colour,
                                               std::function<bool(VzWindowHandle)> is_own_window) {
  CScopedLock guard(context_lock_);
  settings_.capture_mode = capture_mode;
  settings_.block_width = block_width;
  settings_.block_height = block_height;
  settings_.header_colour = header_colour;
  is_own_window_ = std::move(is_own_window);
}

CaptureRoundSettings CMultiMonitorScreenSet::Settings() {
  CScopedLock guard(context_lock_);
  return settings_;
}

void CMultiMonitorScreenSet::Reset(vz::ScreenSource* source) { monitors_.Reset(source); }

MonitorList* CMultiMonitorScreenSet::RefreshMonitors(vz::ScreenSource* source) {
  return source ? monitors_.RefreshMonitors(*source) : monitors_.monitor_list();
}

ApplicationList* CMultiMonitorScreenSet::RefreshWindows(vz::ScreenSource* source) {
  return source ? monitors_.RefreshWindows(*source) : monitors_.window_list();
}

int32_t CMultiMonitorScreenSet::ShareMonitor(int32_t monitor_id, int32_t share) {
  return monitors_.ShareMonitor(monitor_id, share);
}

int32_t CMultiMonitorScreenSet::ShareWindow(VzWindowHandle window, int32_t share) {
  return monitors_.ShareWindow(window, share, nullptr);
}

bool CMultiMonitorScreenSet::SharedWindowMoved(vz::ScreenSource* source) {
  return source && monitors_.SharedWindowMoved(*source);
}

bool CMultiMonitorScreenSet::InitScreen(vz::ScreenSource* source, int32_t* max_width, int32_t* max_height) {
  *max_width = 0;
  *max_height = 0;
  screens_.EndScreen();
  if (!source) return false;
  IsOwnWindowFn is_own;
  {
    CScopedLock guard(context_lock_);
    is_own = is_own_window_;
  }
  int width = 0, height = 0;
  if (!screens_.InitScreen(*source, is_own, &width, &height)) return false;
  *max_width = width;
  *max_height = height;
  return true;
}

void CMultiMonitorScreenSet::EndScreen() { screens_.EndScreen(); }

bool CMultiMonitorScreenSet::UpdateRegions(vz::ScreenSource* source) {
  if (!source) return false;
  IsOwnWindowFn is_own;
  {
    CScopedLock guard(context_lock_);
    is_own = is_own_window_;
  }
  return !screens_.RegionsUnchanged(*source, is_own);
}

bool CMultiMonitorScreenSet::ScanAndSend(vz::ScreenSource* source, IScreenDataHandOver* sender) {
  if (!source || !sender) return false;
  CaptureRoundSettings settings = Settings();
  vz::ScreenCursor cursor;
  if (source->ReadCursor(&cursor)) {
    // The sampled scan looks near the cursor first; X11 positions are device pixels.
    settings.has_cursor = true;
    settings.cursor_x = cursor.x;
    settings.cursor_y = cursor.y;
  }
  HandOverSender hand_over(*sender);
  return screens_.ScanAndSend(settings, hand_over);
}

bool CMultiMonitorScreenSet::DumpAll(vz::ScreenSource* source, IScreenDataHandOver* sender) {
  if (!source || !sender) return false;
  HandOverSender hand_over(*sender);
  return screens_.DumpAllScreens(Settings().header_colour, hand_over);
}

void CMultiMonitorScreenSet::FillSharingInfo(SharingInfo* info) {
  info->IsDesktopSharing = monitors_.SharesMonitors() ? 1 : 0;
  info->SharedRect = monitors_.SharedBox();
  info->MonitorCount = monitors_.CapturedMonitors(info->Monitors, kMaxMonitors);
  const std::vector<ApplicationInfo> shared = monitors_.SharedApplications();
  info->ApplicationCount = 0;
  for (const ApplicationInfo& app : shared) {
    if (info->ApplicationCount >= kMaxSharedApplications) break;
    info->Applications[info->ApplicationCount++] = app;
  }
}

bool CMultiMonitorScreenSet::MonitorAtLogicalPoint(int32_t x, int32_t y, MonitorInfo* out) {
  for (const MonitorInfo& monitor : monitors_.Monitors()) {
    const VzRect& r = monitor.LogicalRect;
    if (x >= r.left && x < r.right && y >= r.top && y < r.bottom) {
      if (out) *out = monitor;
      return true;
    }
  }
  return false;
}

int32_t CMultiMonitorScreenSet::SharedMonitorAtPoint(int32_t x, int32_t y, VzRect* monitor_rect) {
  if (!monitors_.SharedRegion().Contains(x, y)) return 0;
  MonitorInfo captured[kMonitorListCapacity];
  const int count = monitors_.CapturedMonitors(captured, kMaxMonitors);
  for (int i = 0; i < count; ++i) {
    const VzRect& r = captured[i].Rect;
    if (x >= r.left && x < r.right && y >= r.top && y < r.bottom) {
      if (monitor_rect) *monitor_rect = r;
      return captured[i].MonitorId;
    }
  }
  return 0;
}
