#pragma once
// A small picture window that stands on top of everything: the pointer
// window (a picture that follows the cursor, through which clicks pass) and,
// derived from it, the arrow label. The picture is drawn scaled to the
// window with per-pixel alpha (a compositor shows it translucent; without
// one the transparent parts are cut away) and a constant alpha on top.
// UI thread only.
#include <cstdint>
#include <memory>

#include "platform/ui/image.h"
#include "platform/ui/window.h"

namespace vzgrab {

inline constexpr const char* kSpotlightClassName = "VELZAR_SPOTLIGHTINDICATOR";
inline constexpr uint32_t kSpotlightTopmostMs = 500;

class CSpotlightWindow : public vz::WindowDelegate {
 public:
  ~CSpotlightWindow() override;
  CSpotlightWindow(const CSpotlightWindow&) = delete;
  CSpotlightWindow& operator=(const CSpotlightWindow&) = delete;

  // The pointer window: the picture's size, centred on `center`
  // (window-manager coordinates), alpha 1.0, click-through. Null (logged)
  // for an empty picture or when the window cannot be made.
  static std::unique_ptr<CSpotlightWindow> Create(vz::WindowSystem& system, vz::Image picture, vz::Point center);

  void CenterOn(vz::Point center);
  // Alpha in hundredths (100 opaque); repaints only when it changes.
  void SetAlphaPercent(int percent);
  int alpha_percent_for_testing() const { return alpha_percent_; }
  vz::Window* window() const { return window_.get(); }

  void OnPaint(vz::Canvas& canvas) override;

 protected:
  explicit CSpotlightWindow(vz::Image picture) : picture_(std::move(picture)) {}
  // Makes the window; `clickable` keeps input (the arrow label).
  bool MakeWindow(vz::WindowSystem& system, vz::Point center, bool clickable);
  // What a derived window draws over the picture.
  virtual void PaintContent(vz::Canvas&) {}

  vz::Image picture_;
  std::unique_ptr<vz::Window> window_;
  int alpha_percent_ = 100;
};

}  // namespace vzgrab
