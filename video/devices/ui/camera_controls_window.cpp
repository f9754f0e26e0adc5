#include "video/devices/ui/camera_controls_window.h"

#include <algorithm>

#include "common/trace_client.h"
#include "outside/vzres/vzres.h"
#include "platform/text.h"
#include "video/devices/capture/camera_controls.h"

namespace vzpanel {

namespace {

constexpr int32_t kRowHeight = 28;
constexpr int32_t kMargin = 10;
constexpr int32_t kNameWidth = 200;
constexpr int32_t kValueWidth = 70;
constexpr int32_t kButtonWidth = 28;
constexpr int32_t kWidth = kMargin + kNameWidth + kValueWidth + 2 * (kButtonWidth + 4) + kMargin;

class V4l2ControlSource final : public ICameraControlSource {
 public:
  explicit V4l2ControlSource(IVideoCapDevice* device) : controls_(device) {}
  bool IsOpen() const { return controls_.IsOpen(); }
  std::vector<vz::CameraControl> List() override { return controls_.List(); }
  bool Get(uint32_t id, int32_t* value) override { return controls_.Get(id, value) == VSE_S_OK; }
  bool Set(uint32_t id, int32_t value) override { return controls_.Set(id, value) == VSE_S_OK; }

 private:
  vzcapture::CCameraControls controls_;
};

}  // namespace

std::unique_ptr<ICameraControlSource> OpenCameraControls(IVideoCapDevice* device) {
  if (device == nullptr) return nullptr;
  auto source = std::make_unique<V4l2ControlSource>(device);
  if (!source->IsOpen()) {
    VZ_LOG_WARN("the camera [%s] offers no controls", vz::Utf16ToUtf8(device->GetDisplayName()).c_str());
    return nullptr;
  }
  return source;
}

vzres::DialogDescription CCameraControlsWindow::Layout(const std::vector<vz::CameraControl>& controls) {
  vzres::DialogDescription d;
  d.width = kWidth;
  const int32_t rows = static_cast<int32_t>(controls.size());
  d.height = kMargin + std::max(rows, 1) * kRowHeight + kMargin + 26 + kMargin;
  auto add = [&d](uint32_t id, const char* kind, int32_t x, int32_t y, int32_t w, int32_t h, uint32_t style,
                  std::string text) {
    vzres::DialogControl c;
    c.id = id;
    c.control_class = kind;
    c.x = x;
    c.y = y;
    c.width = w;
    c.height = h;
    c.style = style;
    c.text = std::move(text);
    d.controls.push_back(std::move(c));
  };
  for (size_t row = 0; row < controls.size(); ++row) {
    const vz::CameraControl& control = controls[row];
    const int32_t y = kMargin + static_cast<int32_t>(row) * kRowHeight;
    int32_t x = kMargin;
    add(NameId(row), "STATIC", x, y + 4, kNameWidth - 6, 20, 0, control.name);
    x += kNameWidth;
    if (control.is_boolean) {
      add(CheckId(row), "BUTTON", x, y + 2, kValueWidth + 2 * (kButtonWidth + 4), 22, kButtonCheckBox, "");
      continue;
    }
    add(ValueId(row), "STATIC", x, y + 4, kValueWidth - 6, 20, kStaticCenter, "");
    x += kValueWidth;
    add(DownId(row), "BUTTON", x, y + 1, kButtonWidth, 24, 0, "-");
    x += kButtonWidth + 4;
    add(UpId(row), "BUTTON", x, y + 1, kButtonWidth, 24, 0, "+");
  }
  const int32_t bottom = d.height - kMargin - 26;
  add(IDOK, "BUTTON", kWidth - kMargin - 80, bottom, 80, 26, kButtonDefault, "");
  return d;
}

CCameraControlsWindow::CCameraControlsWindow(std::unique_ptr<ICameraControlSource> source,
                                             const std::u16string& title)
    : CVzDialog([&source] {
        std::vector<vz::CameraControl> list = source ? source->List() : std::vector<vz::CameraControl>{};
        if (list.size() > kMaxRows) list.resize(kMaxRows);
        return Layout(list);
      }()),
      source_(std::move(source)),
      title_(title) {
  if (source_) controls_ = source_->List();
  if (controls_.size() > kMaxRows) controls_.resize(kMaxRows);
  values_.resize(controls_.size());
  for (size_t row = 0; row < controls_.size(); ++row) {
    if (!source_->Get(controls_[row].id, &values_[row])) values_[row] = controls_[row].default_value;
  }
}

bool CCameraControlsWindow::OnInitDialog() {
  SetWindowText(title_);
  SetDlgItemText(IDOK, vzres::LoadResString(vzres::IDS_OK));
  for (size_t row = 0; row < controls_.size(); ++row) ShowValue(row);
  return true;
}

void CCameraControlsWindow::ShowValue(size_t row) {
  if (controls_[row].is_boolean) {
    if (CCheckBox* box = GetDlgItemAs<CCheckBox>(CheckId(row))) box->SetCheck(values_[row] != 0);
    return;
  }
  // A menu's value shows as its entry's name where the camera names it.
  for (const vz::CameraMenuEntry& entry : controls_[row].menu) {
    if (entry.value == values_[row]) {
      SetDlgItemText(ValueId(row), vz::Utf8ToUtf16(entry.name));
      return;
    }
  }
  SetDlgItemText(ValueId(row), vz::Utf8ToUtf16(std::to_string(values_[row])));
}

void CCameraControlsWindow::Apply(size_t row, int32_t wanted) {
  const vz::CameraControl& control = controls_[row];
  if (!source_->Set(control.id, wanted)) {
    VZ_LOG_WARN("the camera refused %s = %d", control.name.c_str(), wanted);
  }
  // What the camera has now, whatever it made of the request.
  int32_t value = 0;
  if (source_->Get(control.id, &value)) values_[row] = value;
  ShowValue(row);
}

void CCameraControlsWindow::Step(size_t row, int direction) {
  const vz::CameraControl& control = controls_[row];
  if (!control.menu.empty()) {
    // A named menu steps from entry to entry (values it leaves out are skipped).
    const vz::CameraMenuEntry* next = nullptr;
    for (const vz::CameraMenuEntry& entry : control.menu) {
      const bool beyond = direction > 0 ? entry.value > values_[row] : entry.value < values_[row];
      if (beyond && (next == nullptr || (direction > 0) == (entry.value < next->value))) next = &entry;
    }
    if (next != nullptr) Apply(row, next->value);
    return;
  }
  const int64_t step = std::max(1, control.step);
  // In 64 bits: a range near the int32 limits must not wrap.
  const int64_t wanted = std::clamp<int64_t>(static_cast<int64_t>(values_[row]) + direction * step, control.minimum,
                                             control.maximum);
  if (wanted == values_[row]) return;
  Apply(row, static_cast<int32_t>(wanted));
}

void CCameraControlsWindow::OnCommand(uint32_t id, int code) {
  for (size_t row = 0; row < controls_.size(); ++row) {
    if (id == DownId(row)) return Step(row, -1);
    if (id == UpId(row)) return Step(row, +1);
    if (id == CheckId(row)) {
      const CCheckBox* box = GetDlgItemAs<CCheckBox>(CheckId(row));
      return Apply(row, box != nullptr && box->GetCheck() ? 1 : 0);
    }
  }
  CVzDialog::OnCommand(id, code);
}

}  // namespace vzpanel
