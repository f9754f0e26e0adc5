#pragma once
// The covered-area shadow: a window over a shared window whose shape is the
// part that other windows cover (the part the attendees get in the header
// colour), filled with the shadow colour and pulsing in alpha every 90 ms.
// Input passes through it. Real translucency needs a compositor; without
// one the window's opacity is not honoured and the shadow shows opaque.
// UI thread only.
#include <cstdint>
#include <memory>

#include "capture/indicators/shadow_pulse.h"
#include "platform/ui/window.h"

namespace vzgrab {

inline constexpr const char* kShadowClassName = "VELZAR_INDICATORSHADOW";
inline constexpr uint32_t kShadowTickMs = 90;

class CIndicatorShadow : public vz::WindowDelegate {
 public:
  // Shows the shadow over `bounds` (window-manager coordinates) shaped to
  // `shape` (window coordinates), topmost, its 90 ms timer running. Null
  // when the shape is empty or the window cannot be made (logged).
  static std::unique_ptr<CIndicatorShadow> Create(vz::WindowSystem& system, const vz::Rect& bounds,
                                                  const vz::WindowRegion& shape, uint32_t colorref);
  ~CIndicatorShadow() override;

  // One timer step: the next alpha, applied to the window.
  void Tick();
  void KeepOnTop();
  vz::Window* window() const { return window_.get(); }

  void OnPaint(vz::Canvas& canvas) override;

 private:
  explicit CIndicatorShadow(uint32_t colorref) : colorref_(colorref) {}

  uint32_t colorref_;
  ShadowPulse pulse_;
  std::unique_ptr<vz::Window> window_;
};

}  // namespace vzgrab
