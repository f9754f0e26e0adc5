#include "uikit/gdip_button.h"

#include "uikit/color_matrix.h"
#include "common/trace_client.h"

CGdipButton::CGdipButton() = default;
CGdipButton::~CGdipButton() = default;

int CGdipButton::AddImage(uint32_t resource_id, uint32_t key) {
  images_.erase(key);
  auto image = std::make_unique<CGdiPlusBitmapResource>();
  if (!image->Load(resource_id)) {
    VZ_LOG_ERROR("image [%u] for key [%u] not loaded", resource_id, key);
    return 0;
  }
  images_[key] = std::move(image);
  if (current_key_ == 0) current_key_ = key;
  Invalidate();
  return 1;
}

void CGdipButton::SetCurrentImage(uint32_t key) {
  current_key_ = key;
  Invalidate();
}

void CGdipButton::SetImageColorForTesting(uint32_t colorref) {
  for (auto& [key, image] : images_) TintImage(*image, colorref);
  Invalidate();
}

bool CGdipButton::TintKeyImage(uint32_t key, uint32_t colorref) {
  auto it = images_.find(key);
  if (it == images_.end()) return false;
  TintImage(*it->second, colorref);
  Invalidate();
  return true;
}

void CGdipButton::CaptureBackground(const vz::Image& surface, vz::Point origin) {
  if (!window_) return;
  const vz::Point at = window_->ToScreen({0, 0});
  const vz::Point top = window_->TopLevel() ? window_->TopLevel()->ToScreen({0, 0}) : vz::Point{};
  const int x = at.x - top.x - origin.x;
  const int y = at.y - top.y - origin.y;
  const vz::Rect client = ClientRect();
  vz::Image copy(client.Width(), client.Height());
  for (int row = 0; row < copy.height(); ++row) {
    for (int column = 0; column < copy.width(); ++column) {
      copy.SetPixel(column, row, surface.GetPixel(x + column, y + row));
    }
  }
  snapshot_ = std::move(copy);
  background_color_.reset();
  Invalidate();
}

void CGdipButton::SetBackgroundColor(uint32_t colorref) {
  background_color_ = colorref;
  snapshot_.reset();
  Invalidate();
}

const CGdiPlusBitmapResource* CGdipButton::ImageOf(uint32_t key) const {
  auto it = images_.find(key);
  return it != images_.end() ? it->second.get() : nullptr;
}

vz::Size CGdipButton::GetCurrentImageSize() const {
  const CGdiPlusBitmapResource* image = ImageOf(current_key_);
  return image != nullptr ? GetImageSize(*image) : vz::Size{0, 0};
}

vz::Rect CGdipButton::GetImageRect() const {
  if (images_.empty()) return {};
  const vz::Size size = GetImageSize(*images_.begin()->second);
  const vz::Rect client = ClientRect();
  const int left = (client.Width() - size.width) / 2;
  const int top = (client.Height() - size.height) / 2;
  return {left, top, left + size.width, top + size.height};
}

void CGdipButton::OnPaint(vz::Canvas& canvas) {
  DrawBackground(canvas, pressed_);
  DrawImageStep(canvas, pressed_);
  DrawText(canvas, pressed_);
}

void CGdipButton::DrawBackground(vz::Canvas& canvas, bool) {
  if (background_color_) {
    canvas.FillRect(ClientRect(), vz::ColorFromColorRef(*background_color_));
  } else if (snapshot_) {
    canvas.DrawImage(*snapshot_, 0, 0);
  }
}

void CGdipButton::DrawImageStep(vz::Canvas& canvas, bool pressed) {
  const CGdiPlusBitmapResource* holder = ImageOf(current_key_);
  if (holder == nullptr || holder->bitmap() == nullptr) return;
  const vz::Image& image = *holder->bitmap();
  const vz::Rect rect = GetImageRect();
  const bool enabled = IsWindowEnabled();
  if (enabled && pressed) {
    canvas.DrawImage(image, rect.left + 1, rect.top + 1);
  } else if (enabled && hover_) {
    canvas.DrawImageScaled(ApplyColorMatrix(kHotColorMatrix, image), rect);
  } else if (!enabled && grey_when_disabled) {
    canvas.DrawImageScaled(ApplyColorMatrix(kGreyColorMatrix, image), rect);
  } else {
    canvas.DrawImage(image, rect.left, rect.top);
  }
}

void CGdipButton::DrawText(vz::Canvas& canvas, bool pressed) {
  const std::u16string caption = Caption();
  if (caption.empty()) return;
  vz::Rect box = ClientRect();
  box.left = text_margin;
  if (pressed) box = box.Offset(1, 1);
  vz::TextStyle style;
  style.font = font_;
  style.color = vz::ColorFromColorRef(text_color);
  style.align = text_margin != 0 ? vz::TextAlign::kLeft : vz::TextAlign::kCenter;
  style.valign = vz::TextVAlign::kMiddle;
  canvas.DrawText(std::u16string_view(caption), box, style);
}

void CGdipButton::OnMouse(const vz::MouseEvent& event) {
  switch (event.action) {
    case vz::MouseAction::kEnter:
      if (window_) window_->SetCursor(vz::CursorKind::kHand);
      hover_ = true;
      Invalidate();
      break;
    case vz::MouseAction::kLeave:
      if (window_) window_->SetCursor(vz::CursorKind::kArrow);
      hover_ = false;
      Invalidate();
      break;
    case vz::MouseAction::kMove:
      if (forward_mouse_moves && on_forwarded_move) on_forwarded_move(event);
      break;
    case vz::MouseAction::kPress:
    case vz::MouseAction::kDoubleClick:
      if (event.button != vz::MouseButton::kLeft) break;
      pressed_ = true;
      if (window_) window_->SetCapture();
      Invalidate();
      break;
    case vz::MouseAction::kRelease: {
      if (event.button != vz::MouseButton::kLeft || !pressed_) break;
      pressed_ = false;
      if (window_) window_->ReleaseCapture();
      Invalidate();
      if (ClientRect().Contains(event.position)) NotifyCommand(kNotifyClicked);  // may destroy this button
      break;
    }
    default:
      break;
  }
}

bool CGdipButton::OnKey(const vz::KeyEvent& event) {
  if (event.pressed && event.keysym == vz::keys::kSpace) {
    NotifyCommand(kNotifyClicked);
    return true;
  }
  return false;
}

void CGdipButton::OnCaptureLost() {
  pressed_ = false;
  Invalidate();
}

// ---------------------------------------------------------------------------

bool CImageButton::LoadHighlightImage(uint32_t resource_id) {
  const bool loaded = highlight_.Load(resource_id);
  Invalidate();
  return loaded;
}

bool CImageButton::LoadMarkImage() {
  const bool loaded = mark_.Load(kMarkImageId);
  Invalidate();
  return loaded;
}

void CImageButton::SetImageState(int state) {
  image_state_ = state;
  if (state > 0 && ImageOf(static_cast<uint32_t>(state)) != nullptr) SetCurrentImage(static_cast<uint32_t>(state));
  Invalidate();
}

void CImageButton::SetCheck(bool checked) {
  checked_ = checked;
  Invalidate();
}

vz::Rect CImageButton::GetImageRect() const {
  vz::Rect rect = CGdipButton::GetImageRect();
  if (!text_.empty()) rect = rect.Offset(0, -6);
  return rect;
}

void CImageButton::DrawBackground(vz::Canvas& canvas, bool pressed) {
  CGdipButton::DrawBackground(canvas, pressed);
  const vz::Size mark = GetImageSize(mark_);
  if (mark.width > 0 && mark.height > 0) {
    const vz::Rect rect = GetImageRect();
    canvas.DrawImage(*mark_.bitmap(), rect.left, rect.top);
  }
  if ((pressed || IsHover() || checked_) && highlight_.bitmap() != nullptr) {
    canvas.DrawImageScaled(*highlight_.bitmap(), ClientRect());
  }
}

void CImageButton::DrawText(vz::Canvas& canvas, bool pressed) {
  const std::u16string caption = Caption();
  if (caption.empty()) return;
  const vz::Rect image = GetImageRect();
  vz::TextStyle style;
  style.font = font_;
  style.color = vz::ColorFromColorRef(text_color);
  style.align = vz::TextAlign::kCenter;
  if (image.Height() >= 1) {
    vz::Rect box = ClientRect();
    box.top = image.bottom + 2;
    style.valign = vz::TextVAlign::kTop;
    canvas.DrawText(std::u16string_view(caption), box, style);
    return;
  }
  vz::Rect box = ClientRect();
  if (pressed) box = box.Offset(1, 1);
  style.valign = vz::TextVAlign::kMiddle;
  canvas.DrawText(std::u16string_view(caption), box, style);
}
