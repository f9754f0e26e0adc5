#pragma once
// Dialogs built from the resource library's dialog descriptions: a top-level
// window of the description's size holding its controls under their ids,
// modal (DoModal runs a nested loop until EndDialog) or modeless (Create).
// Enter presses the default button, Esc and the frame's close box send
// IDCANCEL, Tab moves the focus among the controls that take it.
//
// A dialog destroyed while its modal loop runs ends the loop; DoModal then
// returns IDCANCEL without touching the destroyed object. UI thread only.
#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "uikit/dialog_controls.h"
#include "uikit/gdip_button.h"
#include "outside/vzres/dialog_description.h"
#include "platform/ui/modal_loop.h"
#include "platform/ui/window.h"

inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;
inline constexpr int IDYES = 6;
inline constexpr int IDNO = 7;

class CVzDialog : public vz::WindowDelegate {
 public:
  // From the description with that id in the resource library.
  explicit CVzDialog(uint32_t template_id);
  // From a description made in code.
  explicit CVzDialog(vzres::DialogDescription description);
  ~CVzDialog() override;
  CVzDialog(const CVzDialog&) = delete;
  CVzDialog& operator=(const CVzDialog&) = delete;

  // Modeless: makes and shows the window. False, logged, without a window
  // system, without the description, or when the window is refused.
  bool Create(vz::Window* owner = nullptr, vz::WindowSystem* system = nullptr);
  // The same, leaving the window hidden (the owner shows it later).
  bool CreateHidden(vz::Window* owner = nullptr, vz::WindowSystem* system = nullptr);
  // Modal: makes the window, disables the owner while it runs, and returns
  // the EndDialog result (IDCANCEL when it could not be shown or was
  // destroyed meanwhile; -1 when it could not be made at all).
  int DoModal(vz::Window* owner = nullptr, vz::WindowSystem* system = nullptr);
  void EndDialog(int result);
  void DestroyWindow();
  bool IsWindow() const { return window_ != nullptr; }
  vz::Window* window() const { return window_.get(); }

  CVzControl* GetDlgItem(uint32_t id) const;
  template <typename T>
  T* GetDlgItemAs(uint32_t id) const {
    return dynamic_cast<T*>(GetDlgItem(id));
  }
  bool SetDlgItemText(uint32_t id, const std::u16string& text);
  std::u16string GetDlgItemText(uint32_t id) const;
  void SetWindowText(const std::u16string& text);
  // Centres the window over the parent's bounds, or in the work area.
  void CenterWindow(vz::Window* parent = nullptr);
  // Gives the keyboard focus to a control.
  void GotoDlgCtrl(uint32_t id);

 protected:
  // After the controls exist and before the window shows. False: the dialog
  // chose its focus itself (else the first control that takes it has it).
  virtual bool OnInitDialog() { return true; }
  // Whether showing the window takes the keyboard focus (by default it does).
  virtual bool ActivateOnShow() const { return true; }
  // The window's parameters before it is made (panels and popups that are
  // not framed dialogs change the flags here).
  virtual void PrepareWindow(vz::WindowParams& /*params*/) {}
  // A control's click or change. By default IDOK calls OnOK, IDCANCEL OnCancel.
  virtual void OnCommand(uint32_t id, int code);
  virtual void OnOK() { EndDialog(IDOK); }
  virtual void OnCancel() { EndDialog(IDCANCEL); }
  // The left button pressed on the dialog's body (not on a control).
  virtual void OnBodyPress(const vz::MouseEvent&) {}
  // The window layer's flags of the dialog's window (vz::WindowFlags): by
  // default a framed dialog, without a task-bar entry when it has no caption.
  virtual uint32_t WindowFlags() const;

  // vz::WindowDelegate
  void OnPaint(vz::Canvas& canvas) override;
  bool OnKey(const vz::KeyEvent& event) override;
  void OnMouse(const vz::MouseEvent& event) override;
  void OnCloseRequest() override;

  vzres::DialogDescription description_;
  bool loaded_ = false;

 private:
  bool Build(vz::Window* owner, vz::WindowSystem* system);
  std::unique_ptr<CVzControl> MakeControl(const vzres::DialogControl& control);
  void MoveFocus(bool forward);

  std::unique_ptr<vz::Window> window_;
  std::vector<std::unique_ptr<CVzControl>> controls_;  // description order (the tab order)
  vz::ModalLoop* modal_ = nullptr;
  int result_ = 0;
  bool ended_ = false;
  vz::AliveFlag alive_;
};
