#include "client/annotation/annotation_frame.h"

#include <cmath>
#include <cstdlib>

#include "client/annotation/annotation_painter.h"
#include "client/annotation/annotation_tools.h"
#include "common/trace_client.h"
#include "outside/vzres/vzres_ids.h"
#include "platform/run_loop.h"

namespace {

constexpr uint64_t kDoubleClickMs = 500;
constexpr int kDoubleClickSlop = 4;

bool IsInteractiveTool(int32_t tool) {
  return tool == kToolPointerIndicator || (tool >= kToolEraser && tool <= kToolArrow) ||
         (tool >= kToolRectangle && tool <= kToolFilledEllipse);
}

bool IsDrawingTool(int32_t tool) {
  return (tool >= kToolPen && tool <= kToolArrow) || (tool >= kToolRectangle && tool <= kToolFilledEllipse);
}

struct CursorEntry {
  uint32_t resource;
  vz::Point hotspot;
};

CursorEntry CursorOf(int32_t tool) {
  switch (tool) {
    case kToolPointerIndicator:
      return {vzres::IDB_CURSOR_POINTER, {16, 16}};
    case kToolEraser:
      return {vzres::IDB_CURSOR_ERASER, {12, 29}};
    case kToolPen:
      return {vzres::IDB_CURSOR_PEN, {5, 28}};
    case kToolHighlighter:
      return {vzres::IDB_CURSOR_HIGHLIGHTER, {7, 28}};
    default:
      return {vzres::IDB_CURSOR_SHAPE, {16, 16}};
  }
}

bool IsEmpty(const vz::Rect& r) { return r.IsEmpty(); }

}  // namespace

CDSAnnotationFrame::CDSAnnotationFrame(vz::Clock& clock) : clock_(clock) {}

CDSAnnotationFrame::~CDSAnnotationFrame() { DestroyWindow(); }

vz::Window* CDSAnnotationFrame::Create(const vz::Rect& rect, vz::WindowSystem* system) {
  if (window_) return window_.get();
  if (system == nullptr) system = vz::WindowSystem::Current();
  if (system == nullptr) {
    VZ_LOG_ERROR("no window system");
    return nullptr;
  }
  vz::WindowParams params;
  params.bounds = rect;
  params.flags = vz::kWindowTopmost | vz::kWindowTool | vz::kWindowNoActivate | vz::kWindowOverrideRedirect |
                 vz::kWindowTranslucent;
  params.class_name = kClassName;
  window_ = system->CreateWindow(params, this);
  if (!window_) {
    VZ_LOG_ERROR("overlay window over (%d, %d, %d, %d) refused", rect.left, rect.top, rect.right, rect.bottom);
    return nullptr;
  }
  // A new window starts click-through whatever the tool; setDrawTool
  // makes it interactive again.
  passThrough_ = false;
  ApplyInputMode(true);
  if (IsInteractiveTool(tool_)) ApplyInputMode(false);
  if (toolCursor_) window_->SetCursorImage(toolCursor_->image, toolCursor_->hotspot);
  window_->Show(false);
  vz::RunLoop::ForCurrentThread().StartTimer(this, kKeepOnTopTimer, kKeepOnTopMs, [this] { OnKeepOnTopTimer(); });
  return window_.get();
}

void CDSAnnotationFrame::DestroyWindow() {
  if (vz::RunLoop* loop = vz::RunLoop::Current()) loop->KillTimers(this);
  window_.reset();
}

void CDSAnnotationFrame::MoveWindow(const vz::Rect& rect) {
  if (!window_) return;
  window_->SetBounds(rect);
  if (!passThrough_) window_->SetInputShape({window_->ClientRect()});
  InvalidateAll();
}

void CDSAnnotationFrame::setPanelWindow(vz::Window* panel) {
  panelWindow_ = {panel, panel != nullptr ? panel->Alive() : nullptr};
}

void CDSAnnotationFrame::setToolWindow(vz::Window* tool_window) {
  toolWindow_ = {tool_window, tool_window != nullptr ? tool_window->Alive() : nullptr};
}

void CDSAnnotationFrame::ApplyInputMode(bool pass_through) {
  if (!window_ || pass_through == passThrough_) return;
  passThrough_ = pass_through;
  if (pass_through) {
    window_->SetInputShape({});
  } else {
    window_->SetInputShape({window_->ClientRect()});
  }
}

void CDSAnnotationFrame::setDrawTool(int32_t tool) {
  VZ_LOG("tool=[%d]", tool);
  toolCursor_.reset();
  if (!IsInteractiveTool(tool)) {
    tool_ = kToolNone;
    ApplyInputMode(true);
    if (window_) window_->SetCursor(vz::CursorKind::kArrow);
    return;
  }
  tool_ = tool;
  ApplyInputMode(false);
  const CursorEntry entry = CursorOf(tool);
  toolCursor_ = CreateAlphaCursor(entry.resource, entry.hotspot);
  if (window_ && toolCursor_) window_->SetCursorImage(toolCursor_->image, toolCursor_->hotspot);
}

void CDSAnnotationFrame::setPen(int32_t weightIndex, uint32_t color) {
  weightIndex_ = weightIndex;
  color_ = color;
}

uint32_t CDSAnnotationFrame::ElementColor(int32_t tool, uint32_t color) {
  const uint32_t rgb = color & 0x00FFFFFFu;
  if (tool == kToolHighlighter || tool == kToolTranslucentRectangle || tool == kToolTranslucentEllipse) {
    return rgb | 0x7F000000u;
  }
  return rgb | 0xFF000000u;
}

int32_t CDSAnnotationFrame::ElementWeight(int32_t tool, int32_t weightIndex) {
  if (tool == kToolHighlighter) return 11;
  if (tool == kToolTranslucentRectangle || tool == kToolFilledRectangle || tool == kToolTranslucentEllipse ||
      tool == kToolFilledEllipse) {
    return 1;
  }
  return weightIndex == 0 ? 2 : (weightIndex == 1 ? 5 : 9);
}

// ---------------------------------------------------------------------------
// Remote events.

void CDSAnnotationFrame::addElement(int32_t code, const vz::Point* points, uint32_t count, uint32_t color,
                                    int32_t weight, const char16_t* rosterId) {
  if (elementLog_.Take(clock_.NowMs())) {
    VZ_LOG("pen [%d] color [0x%08X], weight [%d], counts [%d]%s", code, color, weight, static_cast<int>(count),
           elementLog_.LeftOutNote().c_str());
  }
  const vz::Rect origin = window_ ? window_->bounds() : vz::Rect{};
  std::vector<vz::Point> local;
  if (points != nullptr) {
    local.reserve(count);
    for (uint32_t i = 0; i < count; ++i) local.push_back({points[i].x - origin.left, points[i].y - origin.top});
  }
  const vz::Rect damage = drawing_.createElement(code, local, color, weight, NarrowRosterId(rosterId));
  if (IsEmpty(damage)) return;
  // The new element is the model's last: painted over what is kept, and
  // nothing under it again.
  drawing_.takeDamage();
  layer_.AddedOnTop(drawing_.at(drawing_.count() - 1)->elementId);
  if (window_) window_->Invalidate(AnnotationPaintReach(damage).Intersect(window_->ClientRect()));
}

void CDSAnnotationFrame::eraseRosterElementAt(const vz::Point* point, const char16_t* rosterId) {
  if (point == nullptr || rosterId == nullptr) return;
  const vz::Rect origin = window_ ? window_->bounds() : vz::Rect{};
  const vz::Rect damage =
      drawing_.eraseRosterElementAt(point->x - origin.left, point->y - origin.top, NarrowRosterId(rosterId));
  Changed(damage);
}

// Each repaints only where elements went or came back: a peer's command
// that changes nothing paints nothing.
void CDSAnnotationFrame::removeRosterElements(const char16_t* rosterId) {
  drawing_.removeRosterElements(NarrowRosterId(rosterId));
  Changed({});
}

void CDSAnnotationFrame::undo(const char16_t* rosterId) {
  drawing_.undo(NarrowRosterId(rosterId));
  Changed({});
}

void CDSAnnotationFrame::redo(const char16_t* rosterId) {
  drawing_.redo(NarrowRosterId(rosterId));
  Changed({});
}

void CDSAnnotationFrame::clearAll() {
  TraceA("%s", VZ_FUNC);
  drawing_.removeAllElements(myRosterId_);
  Changed({});
}

bool CDSAnnotationFrame::applyRemoteEvent(const DSAnnotationEvent& event, const char16_t* sender) {
  switch (event.type) {
    case DSAnnotationErase:
      if (!event.points.empty()) eraseRosterElementAt(&event.points[0], sender);
      return true;
    case DSAnnotationRedo:
      redo(sender);
      return true;
    case DSAnnotationUndo:
      undo(sender);
      return true;
    case DSAnnotationRemove:
      removeRosterElements(sender);
      return true;
    default:
      break;
  }
  const int32_t code = AnnotationElementCode(event.type);
  if (code == 0) return false;
  addElement(code, event.points.data(), static_cast<uint32_t>(event.points.size()), event.color, event.weight,
             sender);
  return true;
}

// ---------------------------------------------------------------------------
// The keep-on-top step.

void CDSAnnotationFrame::OnKeepOnTopTimer() {
  if (!window_) return;
  if (passThrough_ && window_->HasCapture()) {
    window_->ReleaseCapture();
    return;
  }
  if (panelWindow_.live() == nullptr) {
    if (vz::Window* tools = toolWindow_.live()) tools->Raise();
    return;
  }
  // Above other programs, yet below every other window of this program (its
  // questions, menus, tools and panel, in their own order): a click on a
  // question must reach the question, not draw on the screen.
  window_->Raise();
  for (vz::Window* own : window_->system().VisibleTopLevels()) {
    if (own != window_.get()) own->Raise();
  }
}

// ---------------------------------------------------------------------------
// Painting and the mouse.

void CDSAnnotationFrame::InvalidateAll() {
  if (window_) window_->Invalidate();
}

void CDSAnnotationFrame::Changed(const vz::Rect& damage) {
  const vz::Rect area = damage.Union(drawing_.takeDamage());
  if (IsEmpty(area)) return;
  layer_.Damage(area);
  if (window_) window_->Invalidate(AnnotationPaintReach(area).Intersect(window_->ClientRect()));
}

void CDSAnnotationFrame::PaintNow(const vz::Rect& damage) {
  if (!window_) return;
  // Only the damage is repainted: the same pixels as a whole repaint, at
  // the cost of the elements that reach into it.
  layer_.Damage(damage.Union(drawing_.takeDamage()));
  const vz::Rect area = AnnotationPaintReach(damage).Intersect(window_->ClientRect());
  if (area.IsEmpty()) return;
  window_->Invalidate(area);
  window_->Update();
}

void CDSAnnotationFrame::OnPaint(vz::Canvas& canvas) { layer_.Paint(canvas, drawing_); }

void CDSAnnotationFrame::OnResize(vz::Size) {
  if (window_ && !passThrough_) window_->SetInputShape({window_->ClientRect()});
  InvalidateAll();
}

bool CDSAnnotationFrame::IsDoubleClick(const vz::MouseEvent& event) {
  const uint64_t now = clock_.NowMs();
  const bool quick = lastPressValid_ && now - lastPressMs_ < kDoubleClickMs;
  const bool near = std::abs(event.screen_position.x - lastPress_.x) <= kDoubleClickSlop &&
                    std::abs(event.screen_position.y - lastPress_.y) <= kDoubleClickSlop;
  const bool is_double = quick && near;
  // A third press starts a new pair, as the second one ended this one.
  lastPressValid_ = !is_double;
  lastPressMs_ = now;
  lastPress_ = event.screen_position;
  return is_double;
}

void CDSAnnotationFrame::OnMouse(const vz::MouseEvent& event) {
  switch (event.action) {
    case vz::MouseAction::kPress:
      if (event.button == vz::MouseButton::kLeft) PointerDown(event);
      break;
    case vz::MouseAction::kMove:
      PointerMove(event);
      break;
    case vz::MouseAction::kRelease:
      if (event.button == vz::MouseButton::kLeft) PointerUp();
      break;
    default:
      break;  // the double click (after its press) starts nothing
  }
}

void CDSAnnotationFrame::PointerDown(const vz::MouseEvent& event) {
  if (owner_ == nullptr || !window_) return;
  if (IsDoubleClick(event)) return;
  window_->SetCapture();
  if (!toolCursor_) return;
  const vz::Point p = event.position;
  if (tool_ == kToolPointerIndicator) {
    owner_->onMoveArrowIndicator(event.screen_position.x, event.screen_position.y);
    return;
  }
  if (tool_ == kToolEraser) {
    Changed(drawing_.eraseElementAt(p.x, p.y, myRosterId_));
    return;
  }
  if (!IsDrawingTool(tool_)) return;
  Changed(drawing_.beginElement(p.x, p.y, ElementColor(tool_, color_), ElementWeight(tool_, weightIndex_), tool_,
                                myRosterId_));
}

void CDSAnnotationFrame::PointerMove(const vz::MouseEvent& event) {
  if (!window_ || !window_->HasCapture()) return;
  const vz::Point p = event.position;
  // The model is asked each time: a clear may have ended the element.
  if (drawing_.current() != nullptr) {
    const vz::Rect damage = drawing_.addPointToCurrent(p);
    if (!IsEmpty(damage)) PaintNow(damage);
    return;
  }
  if (!toolCursor_ || owner_ == nullptr) return;
  if (tool_ == kToolPointerIndicator) {
    owner_->onMoveArrowIndicator(event.screen_position.x, event.screen_position.y);
  } else if (tool_ == kToolEraser) {
    const vz::Rect damage = drawing_.eraseElementAt(p.x, p.y, myRosterId_);
    if (!IsEmpty(damage)) PaintNow(damage);
  }
}

void CDSAnnotationFrame::PointerUp() {
  if (window_ && window_->HasCapture()) window_->ReleaseCapture();
  drawing_.endElement();
}

// ---------------------------------------------------------------------------

std::optional<vz::Rect> AnnotationFramePlacement(const VzRect& shared, const MonitorInfo* monitors, int count) {
  const int64_t cx = (int64_t{shared.right} - shared.left) / 2 + shared.left;
  const int64_t cy = (int64_t{shared.bottom} - shared.top) / 2 + shared.top;
  for (int i = 0; i < count && monitors != nullptr; ++i) {
    const MonitorInfo& m = monitors[i];
    if (cx < m.Rect.left || cx >= m.Rect.right || cy < m.Rect.top || cy >= m.Rect.bottom) continue;
    const float scale = m.DpiScale;
    if (!(scale > 0.0f) || !std::isfinite(scale)) {
      VZ_LOG_ERROR("monitor id [%d]: scale [%f] not usable", m.MonitorId, static_cast<double>(scale));
      return std::nullopt;
    }
    auto map = [scale](int64_t v, int32_t device_origin, int32_t logical_origin) {
      const float scaled = static_cast<float>(v - device_origin) / scale;
      const float limit = static_cast<float>(kMaxAnnotationCoordinate);
      const float clamped = scaled < -limit ? -limit : (scaled > limit ? limit : scaled);
      return static_cast<int32_t>(clamped) + logical_origin;
    };
    return vz::Rect{map(shared.left, m.Rect.left, m.LogicalRect.left), map(shared.top, m.Rect.top, m.LogicalRect.top),
                    map(shared.right, m.Rect.left, m.LogicalRect.left),
                    map(shared.bottom, m.Rect.top, m.LogicalRect.top)};
  }
  return std::nullopt;
}
