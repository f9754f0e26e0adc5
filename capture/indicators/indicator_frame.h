#pragma once
// A border frame round one shared monitor or one shared window: a window
// shaped as a 5-pixel ring, filled with the frame colour (dim until the
// first full refresh after it was built), through which every click passes.
// A monitor frame lies along the monitor's edge; a window frame round the
// window, kept right below it every 300 ms, with the covered-area shadow
// of that window. UI thread only.
#include <cstdint>
#include <memory>
#include <vector>

#include "capture/indicators/indicator_host.h"
#include "capture/indicators/indicator_shadow.h"
#include "contracts/capture_records.h"
#include "platform/ui/window.h"

namespace vzgrab {

inline constexpr const char* kFrameClassName = "VELZAR_INDICATORFRAME";
inline constexpr uint32_t kFrameTimerMs = 300;

class CIndicatorFrame : public vz::WindowDelegate {
 public:
  // A monitor frame when `window` is null, else a window frame. Dim; no
  // window until Build.
  CIndicatorFrame(vz::WindowSystem& system, IndicatorHost& host, const MonitorInfo& monitor,
                  const ApplicationInfo* window, uint32_t header_bg_color);
  ~CIndicatorFrame() override;
  CIndicatorFrame(const CIndicatorFrame&) = delete;
  CIndicatorFrame& operator=(const CIndicatorFrame&) = delete;

  bool IsWindowFrame() const { return app_.Window != 0; }
  int32_t monitor_id() const { return monitor_.MonitorId; }
  VzWindowHandle shared_window() const { return app_.Window; }
  const MonitorInfo& monitor() const { return monitor_; }
  // A frame rebuilt for a later sharing state takes its new records.
  void SetRecords(const MonitorInfo& monitor, const ApplicationInfo* window, uint32_t header_bg_color);

  // The colours as COLORREF values.
  uint32_t normal_color() const;
  uint32_t dim_color() const;
  bool dim_for_testing() const { return dim_; }
  // Repaints when the state changes.
  void SetDim(bool dim);

  // Makes or moves the frame window: over the monitor's Rect, or round the
  // shared window's rectangle grown by 5 pixels. A shared window that is
  // gone or minimised (empty rectangle) destroys the frame's windows.
  void Build();
  // Makes or moves the frame window over `device_rect` (device pixels,
  // converted with the frame's monitor record).
  void CreateWindowFrameRect(const VzRect& device_rect);
  void DestroyWindows();

  // Rebuilds the covered-area shadow of a window frame from the covered
  // region (device pixels); none for a monitor frame, an empty region or a
  // scale not above 0.2.
  void RebuildShadow(const std::vector<VzRect>& covered);

  // The 300 ms step: a window frame right below its shared window (topmost
  // when that fails), a monitor frame topmost; the shadow topmost.
  void KeepStacking();

  vz::Window* window() const { return window_.get(); }
  CIndicatorShadow* shadow() const { return shadow_.get(); }

  void OnPaint(vz::Canvas& canvas) override;

 private:
  vz::WindowSystem& system_;
  IndicatorHost& host_;
  MonitorInfo monitor_;
  ApplicationInfo app_;
  uint32_t color_;  // the meeting's header colour
  bool dim_ = true;
  std::unique_ptr<vz::Window> window_;
  std::unique_ptr<CIndicatorShadow> shadow_;
};

}  // namespace vzgrab
