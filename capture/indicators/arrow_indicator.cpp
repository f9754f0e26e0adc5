#include "capture/indicators/arrow_indicator.h"

#include <algorithm>

#include "capture/indicators/indicator_colors.h"
#include "common/trace_client.h"
#include "platform/text.h"
#include "platform/ui/canvas.h"

namespace vzgrab {

namespace {

// "Tahoma" 8 point at 96 dots per inch; the font library picks a sans
// face where Tahoma is not installed.
vz::Font LabelFont() {
  vz::Font font;
  font.family = "Tahoma";
  font.pixel_size = 8.0 * 96.0 / 72.0;
  return font;
}

constexpr vz::Color kCloseBoxColor = 0xFFFF0000;
constexpr int kCloseBoxLeft = 3;

}  // namespace

std::unique_ptr<CArrowIndicator> CArrowIndicator::Create(vz::WindowSystem& system, IndicatorImages& images,
                                                         vz::Point center, std::function<void()> on_close_clicked) {
  std::optional<vz::Image> arrow = images.LoadPng(kArrowImageId);
  if (!arrow) return nullptr;
  std::unique_ptr<CArrowIndicator> indicator(new CArrowIndicator(std::move(*arrow), images));
  indicator->on_close_clicked_ = std::move(on_close_clicked);
  if (std::optional<vz::Image> close = images.LoadPng(kCloseImageId)) indicator->close_ = std::move(*close);
  if (!indicator->MakeWindow(system, center, true)) return nullptr;
  indicator->window_->SetCursor(vz::CursorKind::kHand);
  return indicator;
}

void CArrowIndicator::SetText(std::u16string label, uint32_t colorref) {
  label_ = std::move(label);
  text_colorref_ = LabelTextColorRef(colorref);
  if (std::optional<vz::Image> arrow = images_.LoadPng(kArrowImageId)) {
    TintIndicatorImage(*arrow, colorref);
    picture_ = std::move(*arrow);
  }
  if (window_) window_->Invalidate();
}

vz::Rect CArrowIndicator::CloseBox() const {
  if (!window_) return {};
  const int height = window_->bounds().Height();
  return vz::Rect::FromXYWH(kCloseBoxLeft, (height - close_.height()) / 2, close_.width(), close_.height());
}

void CArrowIndicator::PaintContent(vz::Canvas& canvas) {
  const vz::Rect client = window_->ClientRect();
  if (!label_.empty()) {
    vz::TextStyle style;
    style.font = LabelFont();
    style.color = vz::ColorFromColorRef(text_colorref_);
    style.align = vz::TextAlign::kCenter;
    const std::string text = vz::Utf16ToUtf8(label_);
    const int text_height = canvas.MeasureText(text, style.font).height;
    const int top = std::max(1, (client.Height() - text_height) / 2);
    canvas.DrawText(text, vz::Rect{0, top, client.Width(), top + text_height}, style);
  }
  if (hover_ && !close_.IsEmpty()) {
    const vz::Rect box = CloseBox();
    canvas.FillRect(box, kCloseBoxColor);
    canvas.DrawImage(close_, box.left, box.top);
  }
}

void CArrowIndicator::OnMouse(const vz::MouseEvent& event) {
  if (!window_) return;
  switch (event.action) {
    case vz::MouseAction::kEnter:
    case vz::MouseAction::kMove:
      if (!tracking_) {
        // Hover follows at once (a hover time of 1 ms).
        tracking_ = true;
        if (!hover_) {
          hover_ = true;
          window_->Invalidate();
        }
      }
      if (event.action == vz::MouseAction::kMove && window_->HasCapture()) {
        const int dx = event.screen_position.x - drag_from_.x, dy = event.screen_position.y - drag_from_.y;
        drag_from_ = event.screen_position;
        if (dx != 0 || dy != 0) {
          const vz::Rect b = window_->bounds();
          window_->Move(b.left + dx, b.top + dy);
        }
      }
      break;
    case vz::MouseAction::kLeave:
      tracking_ = false;
      if (hover_) {
        hover_ = false;
        window_->Invalidate();
      }
      break;
    case vz::MouseAction::kPress:
      if (event.button != vz::MouseButton::kLeft) break;
      drag_from_ = event.screen_position;
      window_->SetCapture();
      if (!close_.IsEmpty() && CloseBox().Contains(event.position)) {
        VZ_LOG("arrow close clicked");
        if (on_close_clicked_) on_close_clicked_();
      }
      break;
    case vz::MouseAction::kRelease:
      if (event.button == vz::MouseButton::kLeft) window_->ReleaseCapture();
      break;
    default:
      break;
  }
}

}  // namespace vzgrab
