// The shareable-window list of the monitor set: which top-level windows a
// presenter may pick, grouped by the window that owns them.
#include <cstring>
#include <memory>
#include <unordered_map>

#include "capture/monitors/multi_monitor.h"
#include "common/scoped_lock.h"
#include "common/trace_client.h"
#include "platform/text.h"

namespace {

constexpr size_t kTitleUnits = 127;  // the record's 128 units, terminated

// Panels, the desktop background, notification bubbles, menus and tooltips
// are part of the desktop's furniture, not something to share.
bool IsShareableKind(vz::ScreenWindowKind kind) { return kind == vz::ScreenWindowKind::kNormal; }

VzRect RectOf(const vz::ScreenRect& r) { return {r.x, r.y, r.x + r.width, r.y + r.height}; }

void Enlarge(VzRect* box, const VzRect& r) {
  if (r.left < box->left) box->left = r.left;
  if (r.top < box->top) box->top = r.top;
  if (r.right > box->right) box->right = r.right;
  if (r.bottom > box->bottom) box->bottom = r.bottom;
}

}  // namespace

ApplicationList* CMultiMonitor::RefreshWindows(vz::ScreenSource& source) {
  const std::vector<vz::ScreenWindow> windows = source.Windows();  // bottom first
  std::unordered_map<uint64_t, const vz::ScreenWindow*> by_id;
  for (const vz::ScreenWindow& w : windows) by_id[w.id] = &w;

  auto fresh = std::make_unique<ApplicationList>();
  std::memset(fresh.get(), 0, sizeof(ApplicationList));
  for (auto it = windows.rbegin(); it != windows.rend(); ++it) {  // top first
    const vz::ScreenWindow& w = *it;
    if (!w.visible && !w.minimized) continue;
    if (!IsShareableKind(w.kind)) continue;
    if (w.pid == own_process_id_) continue;
    if (!w.minimized && w.bounds.width <= kMinListedWindowSide && w.bounds.height <= kMinListedWindowSide) continue;
    // Window ids of the records are 32 bits, as X11 ids are.
    const VzWindowHandle owner = static_cast<VzWindowHandle>(w.owner ? w.owner : w.id);
    ApplicationInfo* record = nullptr;
    for (int i = 0; i < fresh->Count; ++i)
      if (fresh->Applications[i].Window == owner) record = &fresh->Applications[i];
    if (record) {
      Enlarge(&record->Rect, RectOf(w.bounds));
      continue;
    }
    if (fresh->Count >= kMaxApplications) {
      VZ_LOG("window list holds %d owners; the rest is left out", kMaxApplications);
      break;
    }
    record = &fresh->Applications[fresh->Count++];
    record->ProcessId = w.pid;
    record->Window = owner;
    record->Rect = RectOf(w.bounds);
    auto owner_window = by_id.find(owner);
    const std::string& title = owner_window != by_id.end() ? owner_window->second->title : w.title;
    std::u16string wide = vz::Utf8ToUtf16(title);
    if (wide.size() > kTitleUnits) {
      wide.resize(kTitleUnits);
      // Never keep half of a character.
      if (wide.back() >= 0xD800 && wide.back() <= 0xDBFF) wide.pop_back();
    }
    vz::CopyUtf16(record->Title, 128, wide);
  }

  CScopedLock guard(lock_);
  for (int i = 0; i < fresh->Count; ++i) {
    for (int j = 0; j < window_list_.Count; ++j) {
      if (window_list_.Applications[j].Window == fresh->Applications[i].Window)
        fresh->Applications[i].Shared = window_list_.Applications[j].Shared;
    }
  }
  window_list_ = *fresh;
  return &window_list_;
}
