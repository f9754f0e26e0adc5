#include "client/annotation/annotation_tool_window.h"

#include <algorithm>

#include "client/annotation/annotation_tools.h"
#include "common/trace_client.h"
#include "outside/vzres/vzres_ids.h"
#include "platform/text.h"

const DSAnnotationToolWindow::ButtonLayout DSAnnotationToolWindow::kLayout[11] = {
    {vzres::IDC_TOOL_SELECT, 18, 48},      {vzres::IDC_TOOL_COLOR, 70, 54},  {vzres::IDC_TOOL_WEIGHT, 125, 54},
    {vzres::IDC_TOOL_PEN, 180, 54},        {vzres::IDC_TOOL_HIGHLIGHTER, 235, 54},
    {vzres::IDC_TOOL_SHAPES, 290, 54},     {vzres::IDC_TOOL_UNDO, 345, 54},  {vzres::IDC_TOOL_REDO, 400, 54},
    {vzres::IDC_TOOL_ERASER, 455, 54},     {vzres::IDC_TOOL_POINTER, 513, 51},
    {vzres::IDC_TOOL_CLOSE, 566, 18},
};

namespace {

constexpr uint32_t kPlainKey = 1;
constexpr uint32_t kSelectedKey = 2;

uint32_t WeightImage(int32_t weightIndex) {
  switch (weightIndex) {
    case 0:
      return vzres::IDB_WEIGHT_THIN;
    case 1:
      return vzres::IDB_WEIGHT_MEDIUM;
    case 2:
      return vzres::IDB_WEIGHT_THICK;
    default:
      return 0;
  }
}

// The system's colours carry alpha in the top byte; tints read 0x..BBGGRR.
uint32_t TintOf(uint32_t color) { return color & 0x00FFFFFFu; }

}  // namespace

DSAnnotationToolWindow::DSAnnotationToolWindow() : CVzDialog(vzres::IDD_ANNOTATION_TOOLS) {
  background_.Load(vzres::IDB_TOOL_BACKGROUND);
}

DSAnnotationToolWindow::~DSAnnotationToolWindow() = default;

uint32_t DSAnnotationToolWindow::ShapeImage(int32_t tool) {
  switch (tool) {
    case kToolLine:
      return vzres::IDB_SHAPE_LINE;
    case kToolArrow:
      return vzres::IDB_SHAPE_ARROW;
    case kToolRectangle:
      return vzres::IDB_SHAPE_RECTANGLE;
    case kToolTranslucentRectangle:
      return vzres::IDB_SHAPE_TRANSLUCENT_RECTANGLE;
    case kToolFilledRectangle:
      return vzres::IDB_SHAPE_FILLED_RECTANGLE;
    case kToolEllipse:
      return vzres::IDB_SHAPE_ELLIPSE;
    case kToolTranslucentEllipse:
      return vzres::IDB_SHAPE_TRANSLUCENT_ELLIPSE;
    case kToolFilledEllipse:
      return vzres::IDB_SHAPE_FILLED_ELLIPSE;
    default:
      return 0;
  }
}

uint32_t DSAnnotationToolWindow::WindowFlags() const {
  return vz::kWindowOverrideRedirect | vz::kWindowTopmost | vz::kWindowTool | vz::kWindowNoActivate;
}

bool DSAnnotationToolWindow::Create(vz::WindowSystem* system) {
  if (IsWindow()) return true;
  if (!CVzDialog::Create(nullptr, system)) return false;
  const vz::Size size = getBackgroundSize();
  const vz::Rect bounds = window()->bounds();
  window()->SetBounds(vz::Rect::FromXYWH(bounds.left, bounds.top, size.width, size.height));
  Layout(size);
  rebuildBackground();
  return true;
}

bool DSAnnotationToolWindow::OnInitDialog() {
  VZ_LOGW(u"");
  for (const ButtonLayout& entry : kLayout) {
    CImageButton* b = button(entry.id);
    if (b == nullptr) {
      VZ_LOG_ERROR("tool button [%u] missing", entry.id);
      continue;
    }
    b->LoadHighlightImage(vzres::IDB_TOOL_HIGHLIGHT);
    if (entry.id == vzres::IDC_TOOL_COLOR || entry.id == vzres::IDC_TOOL_WEIGHT ||
        entry.id == vzres::IDC_TOOL_SHAPES || entry.id == vzres::IDC_TOOL_ERASER) {
      b->LoadMarkImage();
    }
    // 11 pixels, smaller where a language's caption would not fit the button.
    vz::Font font = b->font();
    font.pixel_size = 11;
    const std::string caption = vz::Utf16ToUtf8(b->GetWindowText());
    vz::TextMeasurer& measurer = vz::DefaultTextMeasurer();
    while (font.pixel_size > 7 && measurer.MeasureText(caption, font).width > entry.width - 2) font.pixel_size -= 0.5;
    b->SetFont(font);
  }
  setButtonImage(vzres::IDC_TOOL_SELECT, vzres::IDB_TOOL_SELECT);
  LoadKey(vzres::IDC_TOOL_COLOR, kPlainKey, vzres::IDB_TOOL_COLOR, std::nullopt);
  LoadKey(vzres::IDC_TOOL_WEIGHT, kPlainKey, vzres::IDB_WEIGHT_THIN, std::nullopt);
  setButtonImage(vzres::IDC_TOOL_PEN, vzres::IDB_TOOL_PEN);
  setButtonImage(vzres::IDC_TOOL_HIGHLIGHTER, vzres::IDB_TOOL_HIGHLIGHTER);
  LoadKey(vzres::IDC_TOOL_SHAPES, kPlainKey, vzres::IDB_TOOL_SHAPES, std::nullopt);
  setButtonImage(vzres::IDC_TOOL_UNDO, vzres::IDB_TOOL_UNDO);
  setButtonImage(vzres::IDC_TOOL_REDO, vzres::IDB_TOOL_REDO);
  setButtonImage(vzres::IDC_TOOL_ERASER, vzres::IDB_TOOL_ERASER);
  setButtonImage(vzres::IDC_TOOL_POINTER, vzres::IDB_TOOL_POINTER);
  setButtonImage(vzres::IDC_TOOL_CLOSE, vzres::IDB_TOOL_CLOSE);
  for (uint32_t id : {vzres::IDC_TOOL_COLOR, vzres::IDC_TOOL_WEIGHT, vzres::IDC_TOOL_SHAPES}) SetState(id, 1, false);
  SetState(vzres::IDC_TOOL_SELECT, 2, true);
  SetState(vzres::IDC_TOOL_CLOSE, 1, false);
  SetWindowText(u"");
  return true;
}

void DSAnnotationToolWindow::LoadKey(uint32_t button_id, uint32_t key, uint32_t image_id,
                                     std::optional<uint32_t> tint) {
  CImageButton* b = button(button_id);
  if (b == nullptr) return;
  if (b->AddImage(image_id, key) && tint) b->TintKeyImage(key, TintOf(*tint));
  if (key == kPlainKey) states_[button_id].image_id = image_id;
}

void DSAnnotationToolWindow::SetState(uint32_t button_id, int state, bool checked) {
  ButtonState& s = states_[button_id];
  s.state = state;
  s.checked = checked;
  CImageButton* b = button(button_id);
  if (b == nullptr) return;
  // The state picks the image of that key; a button without a selected
  // image keeps showing its plain one.
  b->SetImageState(state);
  if (b->ImageOf(static_cast<uint32_t>(state)) == nullptr) b->SetCurrentImage(kPlainKey);
  // The frame (the kit's highlight) shows for checked buttons and on hover.
  b->SetCheck(checked);
}

void DSAnnotationToolWindow::setButtonImage(uint32_t button_id, uint32_t image_id) {
  LoadKey(button_id, kSelectedKey, image_id, headerBgColor_);
  LoadKey(button_id, kPlainKey, image_id, std::nullopt);
  SetState(button_id, 1, states_[button_id].checked);
}

void DSAnnotationToolWindow::setHeaderColors(uint32_t background, uint32_t text) {
  headerBgColor_ = background;
  headerTextColor_ = text;
}

void DSAnnotationToolWindow::updatePenButtons(int32_t weightIndex, uint32_t color) {
  LoadKey(vzres::IDC_TOOL_COLOR, kPlainKey, vzres::IDB_TOOL_COLOR, color);
  // Another index keeps the weight image; it is loaded again so that the
  // tint does not fall on an earlier tint.
  uint32_t weight_image = WeightImage(weightIndex);
  if (weight_image == 0) weight_image = states_[vzres::IDC_TOOL_WEIGHT].image_id;
  if (weight_image != 0) LoadKey(vzres::IDC_TOOL_WEIGHT, kPlainKey, weight_image, color);
  SetState(vzres::IDC_TOOL_COLOR, 1, false);
  SetState(vzres::IDC_TOOL_WEIGHT, 1, false);
}

void DSAnnotationToolWindow::updateToolButtons(int32_t tool) {
  const struct {
    uint32_t id;
    int32_t tool;
  } singles[] = {{vzres::IDC_TOOL_SELECT, kToolNone},
                 {vzres::IDC_TOOL_PEN, kToolPen},
                 {vzres::IDC_TOOL_HIGHLIGHTER, kToolHighlighter},
                 {vzres::IDC_TOOL_ERASER, kToolEraser},
                 {vzres::IDC_TOOL_POINTER, kToolPointerIndicator}};
  for (const auto& single : singles) {
    const bool on = tool == single.tool;
    SetState(single.id, on ? 2 : 1, on);
  }
  const uint32_t shape = ShapeImage(tool);
  if (shape != 0) {
    LoadKey(vzres::IDC_TOOL_SHAPES, kPlainKey, shape, headerBgColor_);
    SetState(vzres::IDC_TOOL_SHAPES, 1, true);
  } else {
    LoadKey(vzres::IDC_TOOL_SHAPES, kPlainKey, vzres::IDB_TOOL_SHAPES, std::nullopt);
    SetState(vzres::IDC_TOOL_SHAPES, 1, false);
  }
}

DSAnnotationToolWindow::ButtonState DSAnnotationToolWindow::buttonStateForTesting(uint32_t button_id) const {
  auto it = states_.find(button_id);
  return it == states_.end() ? ButtonState{} : it->second;
}

void DSAnnotationToolWindow::Layout(vz::Size size) {
  for (const ButtonLayout& entry : kLayout) {
    if (CImageButton* b = button(entry.id); b != nullptr && b->window() != nullptr) {
      b->window()->SetBounds(vz::Rect::FromXYWH(entry.x, 0, entry.width, size.height));
    }
  }
  // Rounded corners (4 x 4): the corner pixels are cut away.
  if (window() != nullptr && size.width > 2 && size.height > 2) {
    window()->SetShape({{1, 0, size.width - 1, 1}, {0, 1, size.width, size.height - 1},
                        {1, size.height - 1, size.width - 1, size.height}});
  }
}

void DSAnnotationToolWindow::OnResize(vz::Size size) {
  Layout(size);
  rebuildBackground();
}

void DSAnnotationToolWindow::rebuildBackground() {
  if (background_.bitmap() == nullptr) return;
  for (const ButtonLayout& entry : kLayout) {
    if (CImageButton* b = button(entry.id)) b->CaptureBackground(*background_.bitmap(), {0, 0});
  }
  if (window() != nullptr) window()->Invalidate();
}

void DSAnnotationToolWindow::OnPaint(vz::Canvas& canvas) {
  const vz::Size size = canvas.size();
  if (background_.bitmap() == nullptr) {
    CVzDialog::OnPaint(canvas);
    return;
  }
  canvas.DrawImageScaled(*background_.bitmap(), {0, 0, size.width, size.height});
}

void DSAnnotationToolWindow::OnCommand(uint32_t id, int code) {
  if (code != kNotifyClicked) return;
  for (const ButtonLayout& entry : kLayout) {
    if (entry.id != id) continue;
    if (owner_ != nullptr) owner_->OnAnnotationToolButtonClicked(id);
    return;
  }
}

vz::Point DSAnnotationToolWindow::ClampPosition(vz::Point p, vz::Size size, vz::Size screen) {
  if (p.x < kMarginSide) p.x = kMarginSide;
  if (p.x + size.width > screen.width - kMarginSide) p.x = screen.width - kMarginSide - size.width;
  if (p.y < kMarginTop) p.y = kMarginTop;
  if (p.y + size.height > screen.height - kMarginBottom) p.y = screen.height - kMarginBottom - size.height;
  return p;
}

void DSAnnotationToolWindow::MoveTo(int x, int y) {
  if (window() == nullptr) return;
  vz::WindowSystem& system = window()->system();
  vz::Rect screen = system.ScreenBounds();
  for (const vz::MonitorArea& monitor : system.Monitors()) {
    if (monitor.primary) screen = monitor.bounds;
  }
  const vz::Rect bounds = window()->bounds();
  const vz::Point at = ClampPosition({x, y}, bounds.GetSize(), screen.GetSize());
  window()->SetBounds(vz::Rect::FromXYWH(at.x, at.y, bounds.Width(), bounds.Height()));
}

void DSAnnotationToolWindow::OnBodyPress(const vz::MouseEvent& event) {
  if (window() == nullptr) return;
  const vz::Rect bounds = window()->bounds();
  dragOffset_ = {event.screen_position.x - bounds.left, event.screen_position.y - bounds.top};
  dragging_ = true;
  window()->SetCapture();
}

void DSAnnotationToolWindow::OnMouse(const vz::MouseEvent& event) {
  if (dragging_ && event.action == vz::MouseAction::kMove) {
    MoveTo(event.screen_position.x - dragOffset_.x, event.screen_position.y - dragOffset_.y);
    return;
  }
  if (dragging_ && event.action == vz::MouseAction::kRelease) {
    dragging_ = false;
    if (window() != nullptr) window()->ReleaseCapture();
    return;
  }
  CVzDialog::OnMouse(event);
}
