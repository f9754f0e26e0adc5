#pragma once
// CWholeMonitorScreenSet: a plain monitor set for the controller: monitors
// and top-level windows as the screen lists them, one shared monitor or one
// shared window, and one grabber per monitor in play that compares the whole
// monitor with its previous copy every round. Parts outside a shared window
// are painted 0x606060; no window walk cuts out covering windows.
#include <memory>
#include <vector>

#include "capture/controller/screen_set.h"
#include "common/critical_section_lock.h"
#include "platform/screen/screen_source.h"

class CWholeMonitorScreenSet : public IScreenSet {
 public:
  CWholeMonitorScreenSet();
  ~CWholeMonitorScreenSet() override;

  void Reset(vz::ScreenSource* source) override;
  MonitorList* RefreshMonitors(vz::ScreenSource* source) override;
  ApplicationList* RefreshWindows(vz::ScreenSource* source) override;
  int32_t ShareMonitor(int32_t monitor_id, int32_t share) override;
  int32_t ShareWindow(VzWindowHandle window, int32_t share) override;
  bool SharedWindowMoved(vz::ScreenSource* source) override;
  bool InitScreen(vz::ScreenSource* source, int32_t* max_width, int32_t* max_height) override;
  void EndScreen() override;
  bool UpdateRegions(vz::ScreenSource* source) override;
  bool ScanAndSend(vz::ScreenSource* source, IScreenDataHandOver* sender) override;
  bool DumpAll(vz::ScreenSource* source, IScreenDataHandOver* sender) override;
  void FillSharingInfo(SharingInfo* info) override;
  bool MonitorAtLogicalPoint(int32_t x, int32_t y, MonitorInfo* out) override;
  int32_t SharedMonitorAtPoint(int32_t x, int32_t y, VzRect* monitor_rect) override;

 private:
  struct Grabber {
    MonitorInfo monitor{};
    vz::ScreenPixels current;
    std::vector<uint8_t> previous;  // width * 4 bytes a row
  };

  // The shared area in device pixels (empty when nothing is shared).
  VzRect SharedArea() const;
  bool Read(vz::ScreenSource* source, Grabber* grabber);
  // Sends `box` of the grabber's current image with the parts outside the
  // shared area painted; true when the sink took it.
  bool Send(Grabber* grabber, VzRect box, IScreenDataHandOver* sender);

  CriticalSectionLock lock_;  // guards the lists and the kind, never held over a send
  std::unique_ptr<MonitorList> monitors_;
  std::unique_ptr<ApplicationList> windows_;
  int32_t sharing_kind_ = 0;  // 0 nothing, 1 a monitor, 2 a window
  std::vector<std::unique_ptr<Grabber>> grabbers_;  // capture thread only
};
