#include "uikit/vz_dialog.h"

#include "uikit/combo_box.h"

#include "common/trace_client.h"
#include "outside/vzres/vzres.h"
#include "platform/run_loop.h"
#include "platform/text.h"

namespace {

constexpr uint32_t kStyleCaption = 0x00C00000;

std::u16string TextOf(uint32_t text_id, const std::string& literal) {
  return text_id != 0 ? vzres::LoadResString(text_id) : vz::Utf8ToUtf16(literal);
}

}  // namespace

CVzDialog::CVzDialog(uint32_t template_id) {
  std::optional<vzres::DialogDescription> description = vzres::LoadResDialog(template_id);
  if (description) {
    description_ = std::move(*description);
    loaded_ = true;
  } else {
    description_.id = template_id;
    VZ_LOG_ERROR("dialog description [%u] not found", template_id);
  }
}

CVzDialog::CVzDialog(vzres::DialogDescription description) : description_(std::move(description)), loaded_(true) {}

CVzDialog::~CVzDialog() {
  if (modal_ != nullptr) modal_->End(IDCANCEL);
  controls_.clear();
  window_.reset();
}

std::unique_ptr<CVzControl> CVzDialog::MakeControl(const vzres::DialogControl& control) {
  const std::string& kind = control.control_class;
  if (kind == "STATIC") return std::make_unique<CStaticText>();
  if (kind == "EDIT") return std::make_unique<CEditBox>();
  if (kind == "PROGRESS" || kind == "msctls_progress32") return std::make_unique<CProgressBar>();
  if (kind == "COMBOBOX") return std::make_unique<CComboBox>();
  if (kind == "BUTTON") {
    const uint32_t type = control.style & 0xF;
    if (type == kButtonOwnerDraw) return std::make_unique<CImageButton>();
    if (type == 2 || type == kButtonCheckBox) return std::make_unique<CCheckBox>();
    return std::make_unique<CPushButton>();
  }
  VZ_LOG_ERROR("control [%u]: unknown class [%s]", control.id, kind.c_str());
  return nullptr;
}

uint32_t CVzDialog::WindowFlags() const {
  uint32_t flags = vz::kWindowDialog;
  if (!(description_.style & kStyleCaption)) flags |= vz::kWindowTool;
  return flags;
}

bool CVzDialog::Build(vz::Window* owner, vz::WindowSystem* system) {
  if (window_) return true;
  if (system == nullptr) system = owner != nullptr ? &owner->system() : vz::WindowSystem::Current();
  if (system == nullptr) {
    VZ_LOG_ERROR("dialog [%u]: no window system", description_.id);
    return false;
  }
  if (!loaded_) return false;
  vz::WindowParams params;
  params.bounds = vz::Rect::FromXYWH(0, 0, description_.width, description_.height);
  params.owner = owner;
  params.flags = WindowFlags();
  params.title = vz::Utf16ToUtf8(TextOf(description_.caption_id, description_.caption));
  params.class_name = "dialog-" + std::to_string(description_.id);
  PrepareWindow(params);
  window_ = system->CreateWindow(params, this);
  if (!window_) {
    VZ_LOG_ERROR("dialog [%u]: window not created", description_.id);
    return false;
  }
  std::shared_ptr<const bool> alive = alive_.Watch();
  for (const vzres::DialogControl& control : description_.controls) {
    std::unique_ptr<CVzControl> made = MakeControl(control);
    if (!made) continue;
    if (!made->Create(window_.get(), vz::Rect::FromXYWH(control.x, control.y, control.width, control.height),
                      control.id, TextOf(control.text_id, control.text), control.style)) {
      continue;
    }
    // Reflected to the dialog; the dialog may be destroyed by the handler.
    made->SetCommandHandler([this, alive](uint32_t id, int code) {
      if (*alive) OnCommand(id, code);
    });
    controls_.push_back(std::move(made));
  }
  CenterWindow(owner);
  if (!OnInitDialog() || !*alive) return *alive && window_ != nullptr;
  // The focus starts on the first control that takes it.
  for (const auto& control : controls_) {
    if (control->WantsFocus() && control->IsWindowEnabled() && control->window()->IsVisible()) {
      control->window()->Focus();
      break;
    }
  }
  return true;
}

bool CVzDialog::Create(vz::Window* owner, vz::WindowSystem* system) {
  std::shared_ptr<const bool> alive = alive_.Watch();
  if (!Build(owner, system) || !*alive || !window_) return false;
  window_->Show(ActivateOnShow());
  return true;
}

bool CVzDialog::CreateHidden(vz::Window* owner, vz::WindowSystem* system) {
  std::shared_ptr<const bool> alive = alive_.Watch();
  return Build(owner, system) && *alive && window_ != nullptr;
}

int CVzDialog::DoModal(vz::Window* owner, vz::WindowSystem* system) {
  std::shared_ptr<const bool> alive = alive_.Watch();
  if (!Build(owner, system)) return -1;
  if (!*alive) return IDCANCEL;
  if (ended_) return result_;  // ended from OnInitDialog
  const bool owner_was_enabled = owner != nullptr && owner->IsEnabled();
  std::shared_ptr<const bool> owner_alive = owner != nullptr ? owner->Alive() : nullptr;
  if (owner_was_enabled) owner->SetEnabled(false);
  window_->Show(ActivateOnShow());
  vz::ModalLoop loop(vz::RunLoop::ForCurrentThread());
  modal_ = &loop;
  const int loop_result = loop.Run();
  if (!*alive) return IDCANCEL;  // destroyed while the loop ran: touch nothing
  modal_ = nullptr;
  if (owner_was_enabled && *owner_alive) owner->SetEnabled(true);
  if (window_) window_->Hide();
  return ended_ ? result_ : (loop_result >= 0 ? loop_result : IDCANCEL);
}

void CVzDialog::EndDialog(int result) {
  if (ended_) return;
  ended_ = true;
  result_ = result;
  if (modal_ != nullptr) {
    modal_->End(result);
  } else if (window_) {
    window_->Hide();  // modeless: the owner destroys it
  }
}

void CVzDialog::DestroyWindow() {
  controls_.clear();
  window_.reset();
}

CVzControl* CVzDialog::GetDlgItem(uint32_t id) const {
  for (const auto& control : controls_) {
    if (control->GetDlgCtrlID() == id) return control.get();
  }
  return nullptr;
}

bool CVzDialog::SetDlgItemText(uint32_t id, const std::u16string& text) {
  CVzControl* control = GetDlgItem(id);
  if (control == nullptr) return false;
  control->SetWindowText(text);
  return true;
}

std::u16string CVzDialog::GetDlgItemText(uint32_t id) const {
  const CVzControl* control = GetDlgItem(id);
  return control != nullptr ? control->GetWindowText() : std::u16string();
}

void CVzDialog::SetWindowText(const std::u16string& text) {
  if (window_) window_->SetTitle(vz::Utf16ToUtf8(text));
}

void CVzDialog::CenterWindow(vz::Window* parent) {
  if (!window_) return;
  const vz::Rect area = parent != nullptr && parent->IsVisible() ? parent->bounds() : window_->system().WorkArea();
  const vz::Rect b = window_->bounds();
  window_->Move(area.left + (area.Width() - b.Width()) / 2, area.top + (area.Height() - b.Height()) / 2);
}

void CVzDialog::GotoDlgCtrl(uint32_t id) {
  if (CVzControl* control = GetDlgItem(id); control != nullptr && control->window() != nullptr) {
    control->window()->Focus();
  }
}

void CVzDialog::OnCommand(uint32_t id, int code) {
  if (code != kNotifyClicked) return;
  if (id == IDOK) OnOK();
  if (id == IDCANCEL) OnCancel();
}

void CVzDialog::OnPaint(vz::Canvas& canvas) {
  canvas.FillRect({0, 0, canvas.size().width, canvas.size().height}, kDialogFace);
}

void CVzDialog::MoveFocus(bool forward) {
  std::vector<CVzControl*> stops;
  for (const auto& control : controls_) {
    if (control->WantsFocus() && control->IsWindowEnabled() && control->window()->IsVisible()) {
      stops.push_back(control.get());
    }
  }
  if (stops.empty()) return;
  size_t current = stops.size();
  for (size_t i = 0; i < stops.size(); ++i) {
    if (stops[i]->window()->HasFocus()) current = i;
  }
  size_t next = 0;
  if (current == stops.size()) {
    next = forward ? 0 : stops.size() - 1;
  } else {
    next = forward ? (current + 1) % stops.size() : (current + stops.size() - 1) % stops.size();
  }
  stops[next]->window()->Focus();
}

bool CVzDialog::OnKey(const vz::KeyEvent& event) {
  if (!event.pressed) return false;
  switch (event.keysym) {
    case vz::keys::kReturn:
    case vz::keys::kKpEnter: {
      // The focused push button, else the default button, else IDOK.
      uint32_t id = IDOK;
      for (const auto& control : controls_) {
        auto* button = dynamic_cast<CPushButton*>(control.get());
        if (button != nullptr && button->IsDefault()) id = button->GetDlgCtrlID();
      }
      for (const auto& control : controls_) {
        if (dynamic_cast<CPushButton*>(control.get()) != nullptr && control->window()->HasFocus()) {
          id = control->GetDlgCtrlID();
        }
      }
      if (const CVzControl* control = GetDlgItem(id); control != nullptr && !control->IsWindowEnabled()) return true;
      OnCommand(id, kNotifyClicked);
      return true;
    }
    case vz::keys::kEscape:
      OnCommand(IDCANCEL, kNotifyClicked);
      return true;
    case vz::keys::kTab:
      MoveFocus((event.modifiers & vz::kModShift) == 0);
      return true;
    case 0xfe20:  // ISO_Left_Tab: Shift+Tab on most keyboards
      MoveFocus(false);
      return true;
    default:
      return false;
  }
}

void CVzDialog::OnMouse(const vz::MouseEvent& event) {
  if (event.action == vz::MouseAction::kPress && event.button == vz::MouseButton::kLeft) OnBodyPress(event);
}

void CVzDialog::OnCloseRequest() { OnCommand(IDCANCEL, kNotifyClicked); }
