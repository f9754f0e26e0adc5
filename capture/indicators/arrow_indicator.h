#pragma once
// The arrow label: a picture window (the arrow image tinted with the label
// colour) with a participant's name on it, which the presenter may drag
// and close. While the pointer is over it a red close box shows at its
// left; a click there calls the close handler, which must only post (the
// handler's owner destroys the label later, never inside the click).
// UI thread only.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "capture/indicators/indicator_images.h"
#include "capture/indicators/spotlight_window.h"

namespace vzgrab {

class CArrowIndicator : public CSpotlightWindow {
 public:
  // Centred on `center` (window-manager coordinates), alpha 1.0, taking
  // clicks, with the hand cursor. Null (logged) when the arrow image is
  // missing or the window cannot be made.
  static std::unique_ptr<CArrowIndicator> Create(vz::WindowSystem& system, IndicatorImages& images,
                                                 vz::Point center, std::function<void()> on_close_clicked);

  // Stores the label, picks the text colour (white on a dark colour, black
  // on a light one), reloads the arrow image tinted with the colour, repaints.
  void SetText(std::u16string label, uint32_t colorref);
  const std::u16string& label_for_testing() const { return label_; }
  uint32_t text_colorref_for_testing() const { return text_colorref_; }
  bool hover_for_testing() const { return hover_; }
  // The close box in window coordinates: 3 pixels from the left, the close
  // image's size, centred vertically.
  vz::Rect CloseBox() const;

  void OnMouse(const vz::MouseEvent& event) override;

 protected:
  void PaintContent(vz::Canvas& canvas) override;

 private:
  CArrowIndicator(vz::Image picture, IndicatorImages& images) : CSpotlightWindow(std::move(picture)), images_(images) {}

  IndicatorImages& images_;
  std::function<void()> on_close_clicked_;
  vz::Image close_;
  std::u16string label_;
  uint32_t text_colorref_ = 0xFFFFFF;
  bool hover_ = true;
  bool tracking_ = false;
  vz::Point drag_from_;  // screen position of the last press or drag step
};

}  // namespace vzgrab
