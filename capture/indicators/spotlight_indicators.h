#pragma once
// The pointer window and the arrow label of the capture interface: shown,
// moved and destroyed here, one of each at most. The capture controller
// calls these on its UI thread (under its own lock where it keeps one).
#include <cstdint>
#include <functional>
#include <memory>

#include "capture/indicators/arrow_indicator.h"
#include "capture/indicators/indicator_host.h"
#include "capture/indicators/indicator_images.h"
#include "capture/indicators/spotlight_window.h"
#include "contracts/capture_records.h"
#include "platform/ui/window.h"

namespace vzgrab {

inline constexpr uint32_t kPointerTickMs = 30;

class CSpotlightIndicators {
 public:
  // `system` null: the process's window system at each call; with none,
  // nothing is shown.
  CSpotlightIndicators(IndicatorHost& host, IndicatorImages& images, vz::WindowSystem* system = nullptr);
  ~CSpotlightIndicators();
  CSpotlightIndicators(const CSpotlightIndicators&) = delete;
  CSpotlightIndicators& operator=(const CSpotlightIndicators&) = delete;

  // Called, on the UI thread, when the arrow's close box is clicked; it
  // must post (the capture controller posts its "arrow clicked" message,
  // whose handling calls DestroyArrow). Without a handler the arrow is
  // destroyed on the next turn of the loop.
  void SetArrowClickedHandler(std::function<void()> handler) { arrow_clicked_ = std::move(handler); }

  // 1: make the pointer window at the cursor (picture 125) when there is
  // none, and start the 30 ms tick; 0: destroy it and stop the tick.
  // Returns 1.
  int32_t ShowPointerWindow(int32_t show);
  int32_t IsPointerWindowShown() const { return pointer_ ? 1 : 0; }
  // One tick: centre on the cursor; alpha 1.0 where the cursor is in the
  // shared, uncovered area, else 0.25.
  void PointerTick();

  // Makes the arrow at the cursor when there is none; with a point
  // (window-manager coordinates), sets label and colour and centres it
  // there at alpha 1.0. Returns 1.
  int32_t ShowArrowIndicator(const char16_t* label, uint32_t colorref, const VzPoint* point);
  // Label and colour of an existing arrow; returns 1.
  int32_t SetArrowIndicatorText(const char16_t* label, uint32_t colorref);
  void DestroyArrow();
  // The arrow's display window id (0 without one): the capture side counts
  // it as its own window, never listed and never covering.
  uint64_t ArrowWindowId() const;

  CSpotlightWindow* pointer() const { return pointer_.get(); }
  CArrowIndicator* arrow() const { return arrow_.get(); }

 private:
  vz::WindowSystem* System() const;

  IndicatorHost& host_;
  IndicatorImages& images_;
  vz::WindowSystem* system_;
  std::function<void()> arrow_clicked_;
  std::unique_ptr<CSpotlightWindow> pointer_;
  std::unique_ptr<CArrowIndicator> arrow_;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace vzgrab
