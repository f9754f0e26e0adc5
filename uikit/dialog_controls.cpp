#include "uikit/dialog_controls.h"

#include "uikit/text_fit.h"
#include "platform/text.h"

namespace {

vz::TextStyle ControlText(const vz::Font& font, vz::Color color) {
  vz::TextStyle style;
  style.font = font;
  style.color = color;
  style.valign = vz::TextVAlign::kMiddle;
  return style;
}

bool IsLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

}  // namespace

// ---------------------------------------------------------------------------

void CStaticText::OnPaint(vz::Canvas& canvas) {
  CanvasMeasurer measurer(canvas);
  const std::string utf8 = vz::Utf16ToUtf8(text_);
  vz::TextStyle style =
      ControlText(FittedFont(measurer, utf8, font_, ClientRect().GetSize(), true), IsWindowEnabled() ? text_color : 0xFF6D6D6D);
  style.valign = vz::TextVAlign::kTop;
  style.wrap = true;
  style.ellipsis = true;
  if (style_ & kStaticCenter) style.align = vz::TextAlign::kCenter;
  canvas.DrawText(std::u16string_view(text_), ClientRect(), style);
}

// ---------------------------------------------------------------------------

void CPushButton::OnPaint(vz::Canvas& canvas) {
  const vz::Rect r = ClientRect();
  const bool enabled = IsWindowEnabled();
  const bool focused = window_ && window_->HasFocus();
  vz::Color fill = 0xFFE1E1E1;
  vz::Color border = kControlBorder;
  if (!enabled) {
    fill = 0xFFCCCCCC;
    border = 0xFFBFBFBF;
  } else if (pressed_) {
    fill = 0xFFCCE4F7;
    border = 0xFF005499;
  } else if (hover_) {
    fill = 0xFFE5F1FB;
    border = kAccent;
  } else if (IsDefault() || focused) {
    border = kAccent;
  }
  if (enabled && !pressed_ && !hover_ && face_color) fill = *face_color;
  canvas.FillRect(r, fill);
  canvas.StrokeRect(r, border, (IsDefault() || focused) && enabled ? 2 : 1);
  CanvasMeasurer measurer(canvas);
  const vz::Font font = FittedFont(measurer, vz::Utf16ToUtf8(text_), font_, r.Inset(3).GetSize(), false);
  vz::TextStyle style = ControlText(font, enabled ? kDialogText : 0xFF838383);
  style.align = vz::TextAlign::kCenter;
  style.ellipsis = true;
  canvas.DrawText(std::u16string_view(text_), r.Inset(3), style);
}

void CPushButton::OnMouse(const vz::MouseEvent& event) {
  switch (event.action) {
    case vz::MouseAction::kEnter:
      hover_ = true;
      Invalidate();
      break;
    case vz::MouseAction::kLeave:
      hover_ = false;
      Invalidate();
      break;
    case vz::MouseAction::kPress:
    case vz::MouseAction::kDoubleClick:
      if (event.button != vz::MouseButton::kLeft) break;
      pressed_ = true;
      if (window_) {
        window_->SetCapture();
        window_->Focus();
      }
      Invalidate();
      break;
    case vz::MouseAction::kRelease:
      if (event.button != vz::MouseButton::kLeft || !pressed_) break;
      pressed_ = false;
      if (window_) window_->ReleaseCapture();
      Invalidate();
      if (ClientRect().Contains(event.position)) NotifyCommand(kNotifyClicked);
      break;
    default:
      break;
  }
}

bool CPushButton::OnKey(const vz::KeyEvent& event) {
  if (event.pressed && event.keysym == vz::keys::kSpace) {
    NotifyCommand(kNotifyClicked);
    return true;
  }
  return false;
}

void CPushButton::OnCaptureLost() {
  pressed_ = false;
  Invalidate();
}

// ---------------------------------------------------------------------------

void CCheckBox::SetCheck(bool checked) {
  checked_ = checked;
  Invalidate();
}

void CCheckBox::Toggle() {
  SetCheck(!checked_);
  NotifyCommand(kNotifyClicked);
}

void CCheckBox::OnPaint(vz::Canvas& canvas) {
  const vz::Rect r = ClientRect();
  const int box = 13;
  const int top = (r.Height() - box) / 2;
  const vz::Rect square = vz::Rect::FromXYWH(0, top, box, box);
  const bool enabled = IsWindowEnabled();
  canvas.FillRect(square, enabled ? 0xFFFFFFFF : 0xFFE6E6E6);
  canvas.StrokeRect(square, window_ && window_->HasFocus() ? kAccent : 0xFF333333, 1);
  if (checked_) {
    vz::Path tick;
    tick.MoveTo(square.left + 3, square.top + 6.5);
    tick.LineTo(square.left + 5.5, square.top + 9.5);
    tick.LineTo(square.left + 10, square.top + 3.5);
    canvas.StrokePath(tick, vz::Pen{enabled ? 0xFF000000 : 0xFF838383, 1.6, vz::LineCap::kRound});
  }
  vz::Rect label = r;
  label.left = box + 6;
  canvas.DrawText(std::u16string_view(text_), label, ControlText(font_, enabled ? kDialogText : 0xFF838383));
}

void CCheckBox::OnMouse(const vz::MouseEvent& event) {
  if (event.button != vz::MouseButton::kLeft) return;
  if (event.action == vz::MouseAction::kPress) {
    pressed_ = true;
    if (window_) {
      window_->SetCapture();
      window_->Focus();
    }
  } else if (event.action == vz::MouseAction::kRelease && pressed_) {
    pressed_ = false;
    if (window_) window_->ReleaseCapture();
    if (ClientRect().Contains(event.position)) Toggle();
  }
}

bool CCheckBox::OnKey(const vz::KeyEvent& event) {
  if (event.pressed && event.keysym == vz::keys::kSpace) {
    Toggle();
    return true;
  }
  return false;
}

// ---------------------------------------------------------------------------

void CProgressBar::SetRangeForTesting(int low, int high) {
  if (high <= low) return;
  low_ = low;
  high_ = high;
  SetPosForTesting(position_);
}

void CProgressBar::SetPosForTesting(int position) {
  position_ = std::clamp(position, low_, high_);
  Invalidate();
}

void CProgressBar::OnPaint(vz::Canvas& canvas) {
  const vz::Rect r = ClientRect();
  canvas.FillRect(r, 0xFFE6E6E6);
  canvas.StrokeRect(r, 0xFFBCBCBC, 1);
  const vz::Rect inner = r.Inset(1);
  const int filled =
      static_cast<int>(static_cast<int64_t>(inner.Width()) * (position_ - low_) / std::max(1, high_ - low_));
  canvas.FillRect({inner.left, inner.top, inner.left + filled, inner.bottom}, 0xFF06B025);
}

// ---------------------------------------------------------------------------

CEditBox::CEditBox() : measurer_(&vz::DefaultTextMeasurer()) {}

void CEditBox::SetLimitText(size_t limit) {
  limit_ = limit == 0 ? 32767 : limit;
  if (text_.size() > limit_) SetWindowText(text_);
}

void CEditBox::SetWindowText(const std::u16string& text) {
  text_ = text.substr(0, limit_);
  if (!text_.empty() && IsLowSurrogate(text_.back()) && text.size() > limit_) text_.pop_back();
  caret_ = anchor_ = text_.size();
  scroll_x_ = 0;
  KeepCaretVisible();
  Invalidate();
}

void CEditBox::SetSel(size_t start, size_t end) {
  anchor_ = std::min(start, text_.size());
  caret_ = std::min(end, text_.size());
  KeepCaretVisible();
  Invalidate();
}

std::u16string CEditBox::DisplayText() const {
  if (!IsPassword()) return text_;
  std::u16string bullets;
  for (char16_t c : text_) {
    if (!IsLowSurrogate(c)) bullets.push_back(kPasswordChar);
  }
  return bullets;
}

int CEditBox::TextWidth(size_t units) const {
  units = std::min(units, text_.size());
  std::u16string prefix;
  if (IsPassword()) {
    for (size_t i = 0; i < units; ++i) {
      if (!IsLowSurrogate(text_[i])) prefix.push_back(kPasswordChar);
    }
  } else {
    prefix = text_.substr(0, units);
  }
  return measurer_->MeasureText(vz::Utf16ToUtf8(prefix), font_).width;
}

int CEditBox::CaretX() const { return TextWidth(caret_); }

size_t CEditBox::IndexAt(int x) const {
  // The stop nearest to x (pixels from the text's start).
  size_t best = 0;
  int best_distance = std::abs(x);
  for (size_t i = NextStop(0); i <= text_.size(); i = NextStop(i)) {
    const int distance = std::abs(TextWidth(i) - x);
    if (distance < best_distance) {
      best = i;
      best_distance = distance;
    }
    if (i == text_.size()) break;
  }
  return best;
}

size_t CEditBox::PreviousStop(size_t index) const {
  if (index == 0) return 0;
  --index;
  if (index > 0 && IsLowSurrogate(text_[index])) --index;
  return index;
}

size_t CEditBox::NextStop(size_t index) const {
  if (index >= text_.size()) return text_.size();
  ++index;
  if (index < text_.size() && IsLowSurrogate(text_[index])) ++index;
  return index;
}

void CEditBox::MoveCaret(size_t index, bool extend) {
  caret_ = std::min(index, text_.size());
  if (!extend) anchor_ = caret_;
  KeepCaretVisible();
  Invalidate();
}

void CEditBox::KeepCaretVisible() {
  const int width = ClientRect().Width() - 2 * kPadding;
  if (width <= 0) return;
  const int x = CaretX();
  if (x - scroll_x_ > width) scroll_x_ = x - width;
  if (x - scroll_x_ < 0) scroll_x_ = x;
}

void CEditBox::ReplaceSel(std::u16string_view text) {
  std::u16string clean;
  for (char16_t c : text) {
    if (c != u'\r' && c != u'\n') clean.push_back(c);
  }
  const size_t start = selection_start();
  const size_t end = selection_end();
  const size_t room = limit_ - std::min(limit_, text_.size() - (end - start));
  if (clean.size() > room) {
    clean.resize(room);
    if (!clean.empty() && (clean.back() >= 0xD800 && clean.back() <= 0xDBFF)) clean.pop_back();
  }
  if (clean.empty() && start == end) return;
  text_.replace(start, end - start, clean);
  caret_ = anchor_ = start + clean.size();
  KeepCaretVisible();
  Changed();
}

void CEditBox::Changed() {
  Invalidate();
  NotifyCommand(kNotifyChanged);
}

void CEditBox::Paste() {
  if (!window_) return;
  std::shared_ptr<const bool> alive = alive_.Watch();
  window_->system().RequestClipboardText([this, alive](std::string text) {
    if (!*alive) return;
    ReplaceSel(vz::Utf8ToUtf16(text));
  });
}

void CEditBox::OnPaint(vz::Canvas& canvas) {
  const vz::Rect r = ClientRect();
  const bool enabled = IsWindowEnabled();
  const bool focused = window_ && window_->HasFocus();
  canvas.FillRect(r, enabled ? 0xFFFFFFFF : 0xFFF0F0F0);
  canvas.StrokeRect(r, focused ? kAccent : 0xFF7A7A7A, 1);
  const vz::Rect inner{r.left + kPadding, r.top + 1, r.right - kPadding, r.bottom - 1};
  canvas.Save();
  canvas.ClipRect(inner);
  const int origin = inner.left - scroll_x_;
  if (focused && selection_start() != selection_end()) {
    const int x0 = origin + TextWidth(selection_start());
    const int x1 = origin + TextWidth(selection_end());
    canvas.FillRect({x0, inner.top + 2, x1, inner.bottom - 2}, 0xFF99C9EF);
  }
  vz::TextStyle style = ControlText(font_, enabled ? kDialogText : 0xFF6D6D6D);
  const std::u16string shown = DisplayText();
  canvas.DrawText(std::u16string_view(shown), {origin, inner.top, inner.right + 10000, inner.bottom}, style);
  if (focused) {
    const int x = origin + CaretX();
    canvas.FillRect({x, inner.top + 3, x + 1, inner.bottom - 3}, 0xFF000000);
  }
  canvas.Restore();
}

void CEditBox::OnMouse(const vz::MouseEvent& event) {
  const int x = event.position.x - kPadding + scroll_x_;
  switch (event.action) {
    case vz::MouseAction::kEnter:
      if (window_) window_->SetCursor(vz::CursorKind::kIBeam);
      break;
    case vz::MouseAction::kLeave:
      if (window_) window_->SetCursor(vz::CursorKind::kArrow);
      break;
    case vz::MouseAction::kPress:
      if (event.button != vz::MouseButton::kLeft) break;
      if (window_) {
        window_->Focus();
        window_->SetCapture();
      }
      dragging_ = true;
      MoveCaret(IndexAt(x), (event.modifiers & vz::kModShift) != 0);
      break;
    case vz::MouseAction::kDoubleClick:
      SetSel(0, text_.size());
      break;
    case vz::MouseAction::kMove:
      if (dragging_) MoveCaret(IndexAt(x), true);
      break;
    case vz::MouseAction::kRelease:
      dragging_ = false;
      if (window_) window_->ReleaseCapture();
      break;
    default:
      break;
  }
}

bool CEditBox::OnKey(const vz::KeyEvent& event) {
  if (!event.pressed) return false;
  const bool shift = (event.modifiers & vz::kModShift) != 0;
  const bool control = (event.modifiers & vz::kModControl) != 0;
  switch (event.keysym) {
    case vz::keys::kLeft:
      if (!shift && selection_start() != selection_end()) {
        MoveCaret(selection_start(), false);
      } else {
        MoveCaret(PreviousStop(caret_), shift);
      }
      return true;
    case vz::keys::kRight:
      if (!shift && selection_start() != selection_end()) {
        MoveCaret(selection_end(), false);
      } else {
        MoveCaret(NextStop(caret_), shift);
      }
      return true;
    case vz::keys::kHome:
      MoveCaret(0, shift);
      return true;
    case vz::keys::kEnd:
      MoveCaret(text_.size(), shift);
      return true;
    case vz::keys::kBackSpace:
      if (selection_start() == selection_end()) anchor_ = PreviousStop(caret_);
      ReplaceSel(u"");
      return true;
    case vz::keys::kDelete:
      if (selection_start() == selection_end()) anchor_ = NextStop(caret_);
      ReplaceSel(u"");
      return true;
    default:
      break;
  }
  if (control) {
    switch (event.keysym) {
      case vz::keys::kLowerA:
      case 0x41:
        SetSel(0, text_.size());
        return true;
      case vz::keys::kLowerV:
      case 0x56:
        Paste();
        return true;
      case vz::keys::kLowerC:
      case 0x43:
      case vz::keys::kLowerX:
      case 0x58:
        if (IsPassword() || !window_) return true;  // a password is never copied
        window_->system().SetClipboardText(
            vz::Utf16ToUtf8(std::u16string_view(text_).substr(selection_start(), selection_end() - selection_start())));
        if (event.keysym == vz::keys::kLowerX || event.keysym == 0x58) ReplaceSel(u"");
        return true;
      default:
        return false;  // other shortcuts go on to the dialog
    }
  }
  if (event.keysym == vz::keys::kInsert && shift) {
    Paste();
    return true;
  }
  if (!event.text.empty()) {
    ReplaceSel(vz::Utf8ToUtf16(event.text));
    return true;
  }
  return false;
}

void CEditBox::OnFocus(bool focused) {
  if (focused) SetSel(0, text_.size());  // as a dialog's edit box does when tabbed into
  Invalidate();
}
