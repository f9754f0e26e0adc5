#pragma once
// The base of every control of the kit: a child window of the window layer
// (drawn into its top-level window's buffer, no window of the display of its
// own), with the control id, text and style bits that dialogs address, and
// the command notification to its owner (the reflected WM_COMMAND).
//
// UI thread only.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/ui/window.h"

// Window style bits that keep their meaning here.
inline constexpr uint32_t kStyleVisible = 0x10000000;
inline constexpr uint32_t kStyleDisabled = 0x08000000;
inline constexpr uint32_t kStyleTabStop = 0x00010000;
inline constexpr uint32_t kButtonDefault = 0x1;
inline constexpr uint32_t kButtonCheckBox = 0x3;  // auto check box (low 4 bits)
inline constexpr uint32_t kButtonOwnerDraw = 0xB;
inline constexpr uint32_t kEditPassword = 0x20;
inline constexpr uint32_t kStaticCenter = 0x1;

// Notification codes sent with a command.
inline constexpr int kNotifyClicked = 0;  // BN_CLICKED
inline constexpr int kNotifyChanged = 0x300;  // EN_CHANGE

// The font every control draws with unless told otherwise.
vz::Font DefaultControlFont();

class CVzControl : public vz::WindowDelegate {
 public:
  using CommandHandler = std::function<void(uint32_t id, int code)>;

  CVzControl() = default;
  ~CVzControl() override = default;
  CVzControl(const CVzControl&) = delete;
  CVzControl& operator=(const CVzControl&) = delete;

  // Makes the child window. Style 0 means visible; kStyleDisabled disables.
  // False, logged, without a parent or when the window layer refuses.
  bool Create(vz::Window* parent, const vz::Rect& rect, uint32_t id, const std::u16string& text, uint32_t style = 0);
  void Destroy() { window_.reset(); }

  vz::Window* window() const { return window_.get(); }
  uint32_t GetDlgCtrlID() const { return id_; }

  virtual void SetWindowText(const std::u16string& text);
  const std::u16string& GetWindowText() const { return text_; }
  void EnableWindow(bool enabled);
  bool IsWindowEnabled() const { return window_ ? window_->IsEnabled() : (style_ & kStyleDisabled) == 0; }
  void ShowWindow(bool show);
  void Invalidate();
  vz::Rect ClientRect() const { return window_ ? window_->ClientRect() : vz::Rect{}; }
  void SetFont(const vz::Font& font) {
    font_ = font;
    Invalidate();
  }
  const vz::Font& font() const { return font_; }

  // Whom the control tells about clicks and changes.
  void SetCommandHandler(CommandHandler handler) { on_command_ = std::move(handler); }
  // Whether Tab stops here and the control takes the keyboard focus.
  virtual bool WantsFocus() const { return false; }

 protected:
  void NotifyCommand(int code);

  std::unique_ptr<vz::Window> window_;
  uint32_t id_ = 0;
  uint32_t style_ = 0;
  std::u16string text_;
  vz::Font font_ = DefaultControlFont();
  CommandHandler on_command_;
};
