#include "capture/monitors/sharing_rgn_controller.h"

#include <string>

#include "common/trace_client.h"

namespace {

// The process id of the synthesised desktop: no process has it.
constexpr int32_t kDesktopProcessId = -1;

bool Contains(const std::string& text, const char* part) { return text.find(part) != std::string::npos; }

VzRect RectOf(const vz::ScreenRect& r) { return {r.x, r.y, r.x + r.width, r.y + r.height}; }

}  // namespace

void CSharingRgnController::ResetRgn() {
  VZ_LOG("Reset region");
  occluders_.Clear();
  visible_shared_.Clear();
  full_shared_.Clear();
  covered_.Clear();
}

bool CSharingRgnController::Update(const CScreenRegion& monitor_region, CMultiMonitor& monitors,
                                   vz::ScreenSource& source, const IsOwnWindowFn& is_own_window) {
  occluders_.Clear();
  CScreenRegion visible, full;

  std::vector<vz::ScreenWindow> windows = source.Windows();  // bottom first
  vz::ScreenWindow desktop;
  desktop.bounds = source.Bounds();
  desktop.visible = true;
  desktop.pid = kDesktopProcessId;
  desktop.kind = vz::ScreenWindowKind::kDesktop;
  windows.insert(windows.begin(), desktop);

  const bool shares_monitors = monitors.SharesMonitors();
  const std::vector<ApplicationInfo> shared_apps = monitors.SharedApplications();
  auto class_of = [&windows](VzWindowHandle id) -> std::string {
    for (const vz::ScreenWindow& w : windows)
      if (w.id == id) return w.class_name;
    return {};
  };

  for (auto it = windows.rbegin(); it != windows.rend(); ++it) {  // top first
    const vz::ScreenWindow& w = *it;
    const auto handle = static_cast<VzWindowHandle>(w.id);
    if (!w.visible || w.minimized) continue;
    if (w.id != 0 && is_own_window && is_own_window(handle)) continue;

    bool shared = w.pid == kDesktopProcessId ? shares_monitors : monitors.IsSharedWindow(handle, w.pid);
    if (!shared && w.pid != 0) {
      const ApplicationInfo* same_process = nullptr;
      for (const ApplicationInfo& app : shared_apps)
        if (app.ProcessId == w.pid) same_process = &app;
      if (same_process) {
        // A presentation program shows its slides in a window of its own.
        const bool slide_show = (class_of(same_process->Window) == "PPTFrameClass" && w.class_name == "screenClass") ||
                                Contains(w.class_name, "PP12FrameClass");
        if (!slide_show) continue;  // neither counts nor covers
        shared = true;
      }
    }
    // Menus and similar transients of this process (the client's own
    // pop-ups) never cover what is shared.
    if (!shared && w.pid == own_process_id_ && w.kind == vz::ScreenWindowKind::kPopup) continue;

    const CScreenRegion region(RectOf(w.bounds));
    if (region.IsEmpty()) continue;
    if (shared) {
      CScreenRegion part = region;
      part.Subtract(occluders_);
      visible.Union(part);
      full.Union(region);
      occluders_.Union(region);
    } else if (!Contains(w.class_name, kIndicatorFrameClass)) {
      occluders_.Union(region);
    }
  }

  visible.Intersect(monitor_region);
  full.Intersect(monitor_region);
  CScreenRegion covered = full;
  covered.Subtract(visible);
  const bool unchanged = visible == visible_shared_ && full == full_shared_;
  visible_shared_ = std::move(visible);
  full_shared_ = std::move(full);
  covered_ = std::move(covered);
  return unchanged;
}
