#pragma once
// The standard controls of the kit's dialogs: static text, push button
// (default and cancel through the dialog), check box, single-line edit box
// and progress bar. Drawn in one light look; UI thread only.
#include <cstdint>
#include <algorithm>
#include <optional>
#include <string>

#include "uikit/vz_control.h"
#include "platform/ui/modal_loop.h"

// Colours of the dialog look.
inline constexpr vz::Color kDialogFace = 0xFFF0F0F0;
inline constexpr vz::Color kDialogText = 0xFF000000;
inline constexpr vz::Color kControlBorder = 0xFFADADAD;
inline constexpr vz::Color kAccent = 0xFF0078D7;

class CStaticText : public CVzControl {
 public:
  // Text colour and whether the control paints its background (else the
  // dialog's face shows through).
  vz::Color text_color = kDialogText;
  void OnPaint(vz::Canvas& canvas) override;
};

class CPushButton : public CVzControl {
 public:
  // The face of the enabled button when set (an owner's custom drawing, as
  // the header colour of the sharing selection's Share button); hover and
  // pressed still show their own looks.
  std::optional<vz::Color> face_color;
  bool IsDefault() const { return (style_ & 0xF) == kButtonDefault; }
  bool WantsFocus() const override { return true; }
  void OnPaint(vz::Canvas& canvas) override;
  void OnMouse(const vz::MouseEvent& event) override;
  bool OnKey(const vz::KeyEvent& event) override;
  void OnFocus(bool) override { Invalidate(); }
  void OnCaptureLost() override;

 private:
  bool hover_ = false;
  bool pressed_ = false;
};

class CCheckBox : public CVzControl {
 public:
  bool GetCheck() const { return checked_; }
  void SetCheck(bool checked);
  bool WantsFocus() const override { return true; }
  void OnPaint(vz::Canvas& canvas) override;
  void OnMouse(const vz::MouseEvent& event) override;
  bool OnKey(const vz::KeyEvent& event) override;
  void OnFocus(bool) override { Invalidate(); }

 private:
  void Toggle();
  bool checked_ = false;
  bool pressed_ = false;
};

// What a dialog description's progress control becomes. The dialog that has
// one is the launcher's upgrade dialog, which is never shown, so nothing but
// tests sets a bar's range or position yet.
class CProgressBar : public CVzControl {
 public:
  void SetRangeForTesting(int low, int high);
  void SetPosForTesting(int position);
  int GetPosForTesting() const { return position_; }
  void OnPaint(vz::Canvas& canvas) override;

 private:
  int low_ = 0;
  int high_ = 100;
  int position_ = 0;
};

// A single-line edit box: caret, selection, clipboard, password mode and
// text from the input method. Texts are UTF-16; the caret never stops
// inside a surrogate pair.
class CEditBox : public CVzControl {
 public:
  static constexpr char16_t kPasswordChar = u'\u25CF';

  CEditBox();
  bool IsPassword() const { return (style_ & kEditPassword) != 0; }
  // Longest text in UTF-16 units (the default is the system's 32,767).
  void SetLimitText(size_t limit);
  size_t limit_for_testing() const { return limit_; }
  void SetWindowText(const std::u16string& text) override;
  // Selection as [start, end) of units; the caret is at its moving end.
  void SetSel(size_t start, size_t end);
  size_t selection_start() const { return std::min(anchor_, caret_); }
  size_t selection_end() const { return std::max(anchor_, caret_); }
  size_t caret_for_testing() const { return caret_; }
  // Replaces the selection with text (cut at the limit, line breaks dropped).
  void ReplaceSel(std::u16string_view text);
  // The text the box shows (bullets in password mode).
  std::u16string DisplayText() const;
  // The measurer for caret placement; tests pass a fake.
  void SetTextMeasurerForTesting(vz::TextMeasurer* measurer) { measurer_ = measurer; }
  // Caret position in the box, in pixels from its text start.
  int CaretX() const;

  bool WantsFocus() const override { return true; }
  void OnPaint(vz::Canvas& canvas) override;
  void OnMouse(const vz::MouseEvent& event) override;
  bool OnKey(const vz::KeyEvent& event) override;
  void OnFocus(bool focused) override;

 private:
  static constexpr int kPadding = 4;
  int TextWidth(size_t units) const;
  size_t IndexAt(int x) const;
  size_t PreviousStop(size_t index) const;
  size_t NextStop(size_t index) const;
  void MoveCaret(size_t index, bool extend);
  void KeepCaretVisible();
  void Paste();
  void Changed();

  size_t caret_ = 0;
  size_t anchor_ = 0;
  size_t limit_ = 32767;
  int scroll_x_ = 0;
  bool dragging_ = false;
  vz::TextMeasurer* measurer_;
  vz::AliveFlag alive_;
};
