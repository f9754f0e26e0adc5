#pragma once
// The monitor set of the capture: every monitor, the shareable top-level
// windows grouped by owner, what is shared (one monitor or one window at a
// time), the regions of the shared area, and the per-monitor grabbers.
//
// Threading: every operation takes the set's own lock; the caller's thread
// (the provider operations) and the capture thread both use it. The screen
// source is passed per call because each thread reads through its own.
#include <memory>
#include <string>
#include <vector>

#include "capture/monitors/screen_region.h"
#include "common/critical_section_lock.h"
#include "contracts/capture_records.h"
#include "platform/screen/screen_source.h"

class CSharedMonitor;

// What is shared.
enum SharingKind : int32_t { kSharingNothing = 0, kSharingMonitor = 1, kSharingWindow = 2 };

// Monitors and windows beyond these are left out (with a log line).
inline constexpr int kMaxMonitors = 16;
inline constexpr int kMaxApplications = 64;
inline constexpr int kMaxSharedApplications = 16;
// Windows not larger than this on both sides are not listed unless minimised.
inline constexpr int kMinListedWindowSide = 27;
// The process id that no window has (a failed look-up).
inline constexpr int32_t kNoProcessId = static_cast<int32_t>(0x80000000u);

class CMultiMonitor {
 public:
  // `own_process_id`: this process, whose windows are never listed.
  explicit CMultiMonitor(int32_t own_process_id);
  ~CMultiMonitor();
  CMultiMonitor(const CMultiMonitor&) = delete;
  CMultiMonitor& operator=(const CMultiMonitor&) = delete;

  CriticalSectionLock& lock() { return lock_; }

  // Forgets the lists, marks and regions, then reads the monitors again (not
  // without a source). The grabbers stay until the screen set-up ends them.
  void Reset(vz::ScreenSource* source);
  // Reads the monitors (at most 16), carrying each one's shared mark over by
  // device name; returns the set's list, valid until the next refresh.
  MonitorList* RefreshMonitors(vz::ScreenSource& source);
  // Reads the shareable windows (at most 64 owners, top first), carrying the
  // Shared marks over by window; returns the set's list.
  ApplicationList* RefreshWindows(vz::ScreenSource& source);

  // Shares one monitor (by MonitorId) or one window (by owner handle) and
  // clears every other mark. 1 when something is shared now, 0 when the id
  // is unknown or share is 0 (the marks are cleared all the same).
  // A window takes its current rectangle from `source`, or (null) keeps the
  // one of the last list refresh.
  int32_t ShareMonitor(int32_t monitor_id, int32_t share);
  int32_t ShareWindow(VzWindowHandle window, int32_t share, vz::ScreenSource* source);
  // Re-reads the shared windows' rectangles; true when one of them changed.
  bool SharedWindowMoved(vz::ScreenSource& source);

  // Whether a window of process `pid` is part of what is shared: every
  // window while a monitor is shared, else only the shared record's own
  // window, whatever its process. An unknown process (0) does not make a
  // window shared.
  bool IsSharedWindow(VzWindowHandle window, int32_t pid);
  // The shared window records (Shared set), in list order.
  std::vector<ApplicationInfo> SharedApplications();

  int32_t sharing_kind_for_testing();
  bool SharesMonitors();
  CScreenRegion MonitorRegion();
  CScreenRegion SharedRegion();
  CScreenRegion CoveredRegion();
  VzRect SharedBox();
  // Stores the region walk's result: the full and the covered shared area.
  void SetRegions(const CScreenRegion& full, const CScreenRegion& covered);
  // Empties the shared and covered regions and the shared box.
  void ResetRegions();

  // The monitor whose Rect contains the device point; false when none.
  bool MonitorAt(int x, int y, MonitorInfo* out);
  // Whether a device point lies in the shared area and outside the covered.
  bool IsPointShared(int x, int y);
  // The lists as they stand (the caller's thread reads them between refreshes).
  MonitorList* monitor_list() { return &monitor_list_; }
  ApplicationList* window_list() { return &window_list_; }
  // Copies of all monitors, of the list as it stands.
  std::vector<MonitorInfo> Monitors();

  // The grabbers, one per captured monitor (built by the screen set-up).
  std::vector<std::unique_ptr<CSharedMonitor>>& grabbers() { return grabbers_; }
  // The captured monitors' records (from the grabbers, at most 16).
  int CapturedMonitors(MonitorInfo* out, int capacity);

 private:
  void RecomputeMonitorRegion();
  void ClearMarks();

  CriticalSectionLock lock_;
  int32_t own_process_id_;
  std::vector<std::unique_ptr<CSharedMonitor>> grabbers_;
  MonitorList monitor_list_{};
  ApplicationList window_list_{};
  VzRect shared_box_{};
  CScreenRegion shared_region_;
  CScreenRegion covered_region_;
  CScreenRegion monitor_region_;
  int32_t sharing_kind_ = kSharingNothing;
};

// "{left, top, right, bottom}(width, height)", or "(null)".
std::string FormatRect(const VzRect* rect);
