#include "uikit/window_helpers.h"

#include <cstdarg>

#include "common/trace_client.h"
#include "outside/vzres/vzres.h"
#include "platform/text.h"
#include "platform/wide_format.h"

namespace {

constexpr size_t kMaxText = 255;
constexpr size_t kMaxCaption = 127;
constexpr int kMargin = 16;
constexpr int kButtonWidth = 84;
constexpr int kButtonHeight = 28;
constexpr int kButtonGap = 8;
constexpr int kIconSize = 32;

uint32_t IconOf(uint32_t flags) { return flags & 0xF0; }

}  // namespace

vzres::DialogDescription MessageBoxDescription(const std::u16string& text, const std::u16string& caption,
                                               uint32_t flags, vz::TextMeasurer& measurer) {
  struct Choice {
    int id;
    std::u16string label;
  };
  std::vector<Choice> buttons;
  auto text_or = [](uint32_t id, const char16_t* fallback) {
    std::u16string text = vzres::LoadResString(id);
    return text.empty() ? std::u16string(fallback) : text;
  };
  const std::u16string ok = text_or(vzres::IDS_OK, u"OK");
  const std::u16string cancel = text_or(vzres::IDS_CANCEL, u"Cancel");
  const std::u16string yes = text_or(vzres::IDS_YES, u"Yes");
  const std::u16string no = text_or(vzres::IDS_NO, u"No");
  switch (flags & 0xF) {
    case MB_OKCANCEL:
      buttons = {{IDOK, ok}, {IDCANCEL, cancel}};
      break;
    case MB_YESNOCANCEL:
      buttons = {{IDYES, yes}, {IDNO, no}, {IDCANCEL, cancel}};
      break;
    case MB_YESNO:
      buttons = {{IDYES, yes}, {IDNO, no}};
      break;
    default:
      buttons = {{IDOK, ok}};
      break;
  }
  vz::Font font;
  font.pixel_size = 12;
  const vz::Size measured = measurer.MeasureText(vz::Utf16ToUtf8(text), font);
  const int buttons_width = static_cast<int>(buttons.size()) * (kButtonWidth + kButtonGap) - kButtonGap;
  const int text_width = std::clamp(measured.width, 120, 420);
  const int lines = std::max(1, (measured.width + text_width - 1) / std::max(1, text_width));
  const int icon_room = IconOf(flags) != 0 ? kIconSize + kMargin : 0;
  const int text_height = std::max(IconOf(flags) != 0 ? kIconSize : 20, lines * (measured.height + 2));
  const int width = std::max(text_width + icon_room, buttons_width) + 2 * kMargin;

  vzres::DialogDescription d;
  d.id = 0;
  d.width = width;
  d.height = kMargin + text_height + kMargin + kButtonHeight + kMargin;
  d.style = 0x80C80080;
  d.caption = vz::Utf16ToUtf8(caption);
  vzres::DialogControl label;
  label.id = 0xFFFF;
  label.control_class = "STATIC";
  label.x = kMargin + icon_room;
  label.y = kMargin;
  label.width = width - 2 * kMargin - icon_room;
  label.height = text_height;
  label.style = 0x50000000;
  label.text = vz::Utf16ToUtf8(text);
  d.controls.push_back(label);
  int x = width - kMargin - buttons_width;
  for (size_t i = 0; i < buttons.size(); ++i) {
    vzres::DialogControl b;
    b.id = static_cast<uint32_t>(buttons[i].id);
    b.control_class = "BUTTON";
    b.x = x;
    b.y = d.height - kMargin - kButtonHeight;
    b.width = kButtonWidth;
    b.height = kButtonHeight;
    b.style = 0x50010000 | (i == 0 ? kButtonDefault : 0);
    b.text = vz::Utf16ToUtf8(buttons[i].label);
    d.controls.push_back(b);
    x += kButtonWidth + kButtonGap;
  }
  return d;
}

vz::Rect MessageBoxIconRect(uint32_t flags) {
  return IconOf(flags) != 0 ? vz::Rect::FromXYWH(kMargin, kMargin, kIconSize, kIconSize) : vz::Rect{};
}

namespace {

// The box's sign, drawn rather than loaded: the resource library has none.
void DrawMessageIcon(vz::Canvas& canvas, uint32_t icon, const vz::Rect& r) {
  vz::TextStyle mark;
  mark.font.pixel_size = 22;
  mark.font.weight = 700;
  mark.align = vz::TextAlign::kCenter;
  mark.valign = vz::TextVAlign::kMiddle;
  mark.color = 0xFFFFFFFF;
  if (icon == MB_ICONWARNING) {
    vz::Path triangle;
    triangle.MoveTo(r.left + r.Width() / 2.0, r.top + 1);
    triangle.LineTo(r.right - 1, r.bottom - 2);
    triangle.LineTo(r.left + 1, r.bottom - 2);
    triangle.Close();
    canvas.FillPath(triangle, 0xFFF2B100);
    mark.color = 0xFF000000;
    canvas.DrawText(std::string_view("!"), r.Offset(0, 3), mark);
    return;
  }
  const vz::Color face = icon == MB_ICONHAND ? 0xFFD83B01 : 0xFF0078D7;
  canvas.FillEllipse(r, face);
  canvas.DrawText(std::string_view(icon == MB_ICONHAND ? "\u00d7" : icon == MB_ICONQUESTION ? "?" : "i"), r, mark);
}

// Every button ends the box with its own id.
class MessageBoxDialog : public CVzDialog {
 public:
  MessageBoxDialog(const vzres::DialogDescription& description, uint32_t flags)
      : CVzDialog(description), flags_(flags) {}

 protected:
  void OnCommand(uint32_t id, int code) override {
    if (code == kNotifyClicked) EndDialog(static_cast<int>(id));
  }
  uint32_t WindowFlags() const override {
    return CVzDialog::WindowFlags() | ((flags_ & MB_TOPMOST) != 0 ? vz::kWindowTopmost : 0u);
  }
  void OnPaint(vz::Canvas& canvas) override {
    CVzDialog::OnPaint(canvas);
    if (IconOf(flags_) != 0) DrawMessageIcon(canvas, IconOf(flags_), MessageBoxIconRect(flags_));
  }

 private:
  uint32_t flags_;
};

}  // namespace

std::unique_ptr<CVzDialog> MakeMessageBox(const std::u16string& text, const std::u16string& caption, uint32_t flags) {
  return std::make_unique<MessageBoxDialog>(MessageBoxDescription(text, caption, flags, vz::DefaultTextMeasurer()),
                                            flags);
}

int ResourceMessageBox(vz::Window* owner, uint32_t text_id, uint32_t caption_id, uint32_t flags,
                       vz::WindowSystem* system) {
  const std::u16string text = vzres::LoadResString(text_id).substr(0, kMaxText);
  const std::u16string caption = vzres::LoadResString(caption_id).substr(0, kMaxCaption);
  const std::unique_ptr<CVzDialog> box = MakeMessageBox(text, caption, flags);
  const int result = box->DoModal(owner, system);
  VZ_LOG("text [%u] result [%d]", text_id, result);
  return result < 0 ? IDCANCEL : result;
}

bool SetDlgItemTextFormat(CVzDialog* dialog, uint32_t id, const char16_t* format, ...) {
  if (dialog == nullptr || format == nullptr) return false;
  char16_t buffer[1024];
  va_list args;
  va_start(args, format);
  vz::FormatWideV(buffer, 1024, format, args);
  va_end(args);
  return dialog->SetDlgItemText(id, buffer);
}

int SetLayeredWindowAttributesEx(vz::Window* window, uint8_t alpha) {
  if (window == nullptr) return 0;
  window->SetOpacity(alpha != 0 ? alpha : 255);
  VZ_LOG("bSet =%d", 1);
  return 1;
}
