#include "platform/ui/window_core.h"

#include <algorithm>

#include "platform/platform_log.h"
#include "platform/ui/region_subtract.h"

namespace vz {

namespace {

constexpr int kDoubleClickMs = 500;
constexpr int kDoubleClickSlop = 4;

bool RegionContains(const WindowRegion& region, Point p) {
  return std::any_of(region.begin(), region.end(), [p](const Rect& r) { return r.Contains(p); });
}

}  // namespace

// ---------------------------------------------------------------------------
// WindowCore

WindowCore::WindowCore(WindowSystem& facade, RunLoop& loop)
    : facade_(facade), loop_(loop), owner_(std::this_thread::get_id()), alive_(std::make_shared<bool>(true)) {}

WindowCore::~WindowCore() {
  *alive_ = false;
  // Windows still alive outlive their system only as empty shells.
  if (!top_levels_.empty()) PlatformLog("window layer: %zu windows outlive their system", top_levels_.size());
  for (WindowNode* top : std::vector<WindowNode*>(top_levels_)) top->Orphan(true);
  top_levels_.clear();
}

bool WindowCore::CheckThread(const char* what) const {
  if (BelongsToCurrentThread()) return true;
  PlatformLog("window layer: %s refused off the UI thread", what);
  return false;
}

std::unique_ptr<Window> WindowCore::CreateWindow(const WindowParams& params, WindowDelegate* delegate,
                                                 const NativeFactory& make_native) {
  if (!CheckThread("CreateWindow")) return nullptr;
  if (delegate == nullptr || params.bounds.Width() < 0 || params.bounds.Height() < 0 ||
      params.bounds.Width() > 16384 || params.bounds.Height() > 16384) {
    PlatformLog("window layer: bad window parameters for \"%s\"", params.class_name.c_str());
    return nullptr;
  }
  if (params.parent != nullptr && params.host != 0) {
    PlatformLog("window layer: \"%s\" cannot be both a child and inside a host", params.class_name.c_str());
    return nullptr;
  }
  if (params.parent != nullptr && &params.parent->system() != &facade_) {
    PlatformLog("window layer: the parent belongs to another window system");
    return nullptr;
  }
  auto node = std::make_unique<WindowNode>(*this, params, delegate);
  if (node->IsTopLevel()) {
    std::unique_ptr<NativeWindow> native = make_native(node.get(), params);
    if (!native) {
      PlatformLog("window layer: the display refused the window \"%s\"", params.class_name.c_str());
      return nullptr;
    }
    if (params.host != 0 && params.bounds.IsEmpty()) node->AdoptHostArea(native->HostSize());
    node->set_native(std::move(native));
    Register(node.get());
  }
  return node;
}

std::vector<Window*> WindowCore::VisibleTopLevels() const {
  std::vector<Window*> visible;
  for (WindowNode* top : top_levels_) {
    if (top->IsVisible()) visible.push_back(top);
  }
  return visible;
}

WindowNode* WindowCore::FindByNative(const NativeWindow* native) const {
  for (WindowNode* top : top_levels_) {
    if (top->native() == native) return top;
  }
  return nullptr;
}

void WindowCore::Register(WindowNode* top) { top_levels_.push_back(top); }

void WindowCore::Unregister(WindowNode* node) {
  top_levels_.erase(std::remove(top_levels_.begin(), top_levels_.end(), node), top_levels_.end());
  if (capture_ == node) capture_ = nullptr;
  if (grab_ == node) grab_ = nullptr;
  if (hovered_ == node) hovered_ = nullptr;
  if (active_ == node) active_ = nullptr;
  Unwatch(node);
}

void WindowCore::Watch(WindowNode* node) {
  if (std::find(watched_.begin(), watched_.end(), node) == watched_.end()) watched_.push_back(node);
}

void WindowCore::Unwatch(WindowNode* node) {
  watched_.erase(std::remove(watched_.begin(), watched_.end(), node), watched_.end());
}

void WindowCore::NotifyUncovered(WindowNode* top) {
  // A watcher may unwatch (or destroy) windows: walk a copy and skip what left.
  for (WindowNode* node : std::vector<WindowNode*>(watched_)) {
    if (std::find(watched_.begin(), watched_.end(), node) == watched_.end()) continue;
    if (node->TopLevel() == top) node->NotifyUncoveredIfChanged();
  }
}

void WindowCore::MoveToTop(WindowNode* top) {
  auto it = std::find(top_levels_.begin(), top_levels_.end(), top);
  if (it == top_levels_.end()) return;
  top_levels_.erase(it);
  top_levels_.push_back(top);
}

void WindowCore::MoveToBottom(WindowNode* top) {
  auto it = std::find(top_levels_.begin(), top_levels_.end(), top);
  if (it == top_levels_.end()) return;
  top_levels_.erase(it);
  top_levels_.insert(top_levels_.begin(), top);
}

void WindowCore::MoveBelow(WindowNode* top, WindowNode* sibling) {
  auto it = std::find(top_levels_.begin(), top_levels_.end(), top);
  if (it == top_levels_.end() || top == sibling) return;
  top_levels_.erase(it);
  auto at = std::find(top_levels_.begin(), top_levels_.end(), sibling);
  top_levels_.insert(at, top);
}

WindowNode* WindowCore::HitTest(WindowNode* node, Point p) {
  // Children on top first; p is in node's coordinates.
  const auto& children = node->children();
  for (auto it = children.rbegin(); it != children.rend(); ++it) {
    WindowNode* child = *it;
    if (!child->IsVisible() || !child->bounds().Contains(p)) continue;
    return HitTest(child, {p.x - child->bounds().left, p.y - child->bounds().top});
  }
  return node;
}

void WindowCore::SetCapture(WindowNode* node) {
  if (capture_ == node) return;
  WindowNode* previous = capture_;
  capture_ = node;
  if (previous != nullptr && previous->delegate()) previous->delegate()->OnCaptureLost();
}

void WindowCore::ReleaseCapture(WindowNode* node) {
  if (capture_ == node) capture_ = nullptr;
}

void WindowCore::DispatchMouse(WindowNode* top, MouseEvent event) {
  if (top == nullptr) return;
  // Screen position of the event, for routing to another window.
  const Point top_origin = top->ToScreen({0, 0});
  event.screen_position = {event.position.x + top_origin.x, event.position.y + top_origin.y};
  if (event.action == MouseAction::kEnter) return;  // enter and leave are made here per node
  if (event.action == MouseAction::kLeave) {
    PointerLeft(top);
    return;
  }

  WindowNode* target = nullptr;
  if (grab_ != nullptr && grab_ != top && grab_->TopLevel() != top) {
    target = grab_;  // everything goes to the grabbing window, even from elsewhere
  } else if (capture_ != nullptr) {
    target = capture_;
  } else {
    const WindowRegion* input = top->input_shape();
    if (input != nullptr && !RegionContains(*input, event.position)) return;
    target = HitTest(top, event.position);
  }
  // A disabled window, or one inside a disabled window (the owner of a
  // modal dialog), takes no input unless it holds the capture or the grab.
  bool enabled = true;
  for (Window* w = target; w != nullptr; w = w->parent()) enabled = enabled && w->IsEnabled();
  if (!enabled && capture_ == nullptr && grab_ == nullptr) return;

  if (event.action == MouseAction::kPress) {
    const auto now = std::chrono::steady_clock::now();
    const bool quick = now - last_press_time_ < std::chrono::milliseconds(kDoubleClickMs);
    const bool near = std::abs(event.screen_position.x - last_press_screen_.x) <= kDoubleClickSlop &&
                      std::abs(event.screen_position.y - last_press_screen_.y) <= kDoubleClickSlop;
    const bool is_double = quick && near && last_press_button_ == event.button;
    last_press_time_ = is_double ? std::chrono::steady_clock::time_point{} : now;
    last_press_screen_ = event.screen_position;
    last_press_button_ = event.button;
    if (is_double) {
      std::shared_ptr<const bool> alive = target->Alive();
      MouseEvent first = event;
      first.position = {event.screen_position.x - target->ToScreen({0, 0}).x,
                        event.screen_position.y - target->ToScreen({0, 0}).y};
      target->delegate()->OnMouse(first);
      if (!*alive) return;
      event.action = MouseAction::kDoubleClick;
    }
  }

  // Enter and leave, when the pointer moved onto another window.
  if (target != hovered_ && capture_ == nullptr) {
    WindowNode* old = hovered_;
    hovered_ = target;
    std::shared_ptr<const bool> target_alive = target->Alive();
    if (old != nullptr) {
      MouseEvent leave;
      leave.action = MouseAction::kLeave;
      leave.screen_position = event.screen_position;
      const Point o = old->ToScreen({0, 0});
      leave.position = {event.screen_position.x - o.x, event.screen_position.y - o.y};
      old->delegate()->OnMouse(leave);
    }
    if (!*target_alive) return;
    if (hovered_ == target) {
      MouseEvent enter = event;
      enter.action = MouseAction::kEnter;
      enter.button = MouseButton::kNone;
      const Point o = target->ToScreen({0, 0});
      enter.position = {event.screen_position.x - o.x, event.screen_position.y - o.y};
      target->delegate()->OnMouse(enter);
      if (!*target_alive) return;
    }
  }
  const Point o = target->ToScreen({0, 0});
  event.position = {event.screen_position.x - o.x, event.screen_position.y - o.y};
  target->delegate()->OnMouse(event);
}

void WindowCore::PointerLeft(WindowNode* top) {
  if (hovered_ == nullptr || hovered_->TopLevel() != top || capture_ != nullptr) return;
  WindowNode* old = hovered_;
  hovered_ = nullptr;
  MouseEvent leave;
  leave.action = MouseAction::kLeave;
  old->delegate()->OnMouse(leave);
}

void WindowCore::DispatchKey(WindowNode* top, const KeyEvent& event) {
  WindowNode* target = grab_ != nullptr ? grab_ : top;
  if (target == nullptr) return;
  WindowNode* node = target->focused_child() != nullptr ? target->focused_child() : target;
  // The focused window first, then its ancestors (a dialog takes Enter and Esc).
  while (node != nullptr) {
    std::shared_ptr<const bool> alive = node->Alive();
    WindowNode* up = static_cast<WindowNode*>(node->parent());
    std::shared_ptr<const bool> up_alive = up ? up->Alive() : nullptr;
    if (node->IsEnabled() && node->delegate()->OnKey(event)) return;
    if (up == nullptr || !*up_alive) return;
    node = up;
  }
}

void WindowCore::FocusChanged(WindowNode* top, bool focused) {
  if (focused) {
    active_ = top;
  } else if (active_ == top) {
    active_ = nullptr;
  }
  WindowNode* node = top->focused_child() != nullptr ? top->focused_child() : top;
  node->delegate()->OnFocus(focused);
}

void WindowCore::SchedulePaint() {
  if (paint_scheduled_) return;
  paint_scheduled_ = true;
  std::shared_ptr<bool> alive = alive_;
  loop_.Post([this, alive] {
    if (!*alive) return;
    paint_scheduled_ = false;
    PaintAll();
  });
}

void WindowCore::PaintAll() {
  for (WindowNode* top : std::vector<WindowNode*>(top_levels_)) {
    if (top->IsVisible() && !top->dirty().IsEmpty()) PaintTopLevel(top);
  }
}

void WindowCore::PaintTopLevel(WindowNode* top) {
  const Rect area = top->dirty().Intersect(top->ClientRect());
  top->ClearDirty();
  // Every change of the tree marks an area to paint, so this is where
  // windows over video learn what now covers it (even when the change lies
  // outside the client area and nothing is painted).
  if (!watched_.empty()) NotifyUncovered(top);
  Image& buffer = top->buffer();
  if (area.IsEmpty() || buffer.IsEmpty()) return;
  {
    std::unique_ptr<Canvas> canvas = CreateImageCanvas(buffer);
    canvas->ClipRect(area);
    canvas->ClearRect(area, 0);
    top->PaintTree(*canvas);
  }
  if (top->native()) top->native()->Present(buffer, area);
}

// ---------------------------------------------------------------------------
// WindowNode

WindowNode::WindowNode(WindowCore& core, const WindowParams& params, WindowDelegate* delegate)
    : core_(core),
      delegate_(delegate),
      parent_(static_cast<WindowNode*>(params.parent)),
      top_level_(params.parent == nullptr),
      flags_(params.flags),
      title_(params.title),
      bounds_(params.bounds) {
  if (parent_ != nullptr) {
    parent_->children_.push_back(this);
  } else {
    buffer_ = Image(std::max(1, bounds_.Width()), std::max(1, bounds_.Height()));
  }
  enabled_ = (flags_ & kWindowDisabled) == 0;
}

WindowNode::~WindowNode() {
  if (core_gone_) return;
  if (!top_level_ && parent_ != nullptr && IsVisible()) parent_->Invalidate(bounds_);
  for (WindowNode* child : std::vector<WindowNode*>(children_)) child->Orphan();
  if (parent_ != nullptr) parent_->DetachChild(this);
  // Release a grab before the native window goes.
  if (core_.grab() == this && native_) native_->Ungrab();
  core_.Unregister(this);
  native_.reset();
}

void WindowNode::DetachChild(WindowNode* child) {
  children_.erase(std::remove(children_.begin(), children_.end(), child), children_.end());
  if (focused_child_ == child) focused_child_ = nullptr;
  // A grandchild may hold the focus of this top-level window.
  WindowNode* top = static_cast<WindowNode*>(TopLevel());
  if (top != nullptr && top->focused_child_ != nullptr) {
    for (Window* w = top->focused_child_; w != nullptr; w = w->parent()) {
      if (w == child) {
        top->focused_child_ = nullptr;
        break;
      }
    }
  }
}

void WindowNode::Orphan(bool core_gone) {
  for (WindowNode* child : std::vector<WindowNode*>(children_)) child->Orphan(core_gone);
  children_.clear();
  if (parent_ != nullptr && !core_gone) parent_->DetachChild(this);
  parent_ = nullptr;
  visible_ = false;
  if (core_gone) {
    core_gone_ = true;
    native_.reset();
  } else {
    core_.Unregister(this);
  }
}

Window* WindowNode::TopLevel() {
  if (core_gone_) return nullptr;
  WindowNode* node = this;
  while (node->parent_ != nullptr) node = node->parent_;
  return node->top_level_ ? node : nullptr;
}

Point WindowNode::OffsetInTopLevel() const {
  Point p{0, 0};
  for (const WindowNode* node = this; node != nullptr && !node->top_level_; node = node->parent_) {
    p.x += node->bounds_.left;
    p.y += node->bounds_.top;
  }
  return p;
}

bool WindowNode::IsShownInTree() const {
  for (const WindowNode* node = this; node != nullptr; node = node->parent_) {
    if (!node->visible_) return false;
  }
  return true;
}

Point WindowNode::ToScreen(Point p) const {
  const WindowNode* top = this;
  while (top->parent_ != nullptr) top = top->parent_;
  const Point offset = OffsetInTopLevel();
  const Point host = top->native_ ? top->native_->HostOrigin() : Point{0, 0};
  return {p.x + offset.x + top->bounds_.left + host.x, p.y + offset.y + top->bounds_.top + host.y};
}

void WindowNode::Show(bool activate) {
  if (!core_.CheckThread("Show")) return;
  visible_ = true;
  if (top_level_) {
    if (native_) native_->Show(activate && !(flags_ & kWindowNoActivate));
    core_.MoveToTop(this);
    Invalidate({});
  } else if (parent_ != nullptr) {
    parent_->Invalidate(bounds_);
  }
}

void WindowNode::Hide() {
  if (!core_.CheckThread("Hide")) return;
  if (!visible_) return;
  visible_ = false;
  if (core_.capture() == this) core_.ReleaseCapture(this);
  if (top_level_) {
    if (native_) native_->Hide();
  } else if (parent_ != nullptr) {
    parent_->Invalidate(bounds_);
  }
}

void WindowNode::SetBounds(const Rect& bounds) {
  if (!core_.CheckThread("SetBounds")) return;
  if (bounds.Width() < 0 || bounds.Height() < 0 || bounds.Width() > 16384 || bounds.Height() > 16384) {
    PlatformLog("window layer: bad bounds %dx%d", bounds.Width(), bounds.Height());
    return;
  }
  ApplyBounds(bounds, true);
}

void WindowNode::ApplyBounds(const Rect& bounds, bool tell_native) {
  const Rect old = bounds_;
  const bool resized = old.GetSize() != bounds.GetSize();
  bounds_ = bounds;
  if (top_level_) {
    if (resized) buffer_ = Image(std::max(1, bounds_.Width()), std::max(1, bounds_.Height()));
    if (native_ && tell_native) native_->SetBounds(bounds_);
    if (resized) Invalidate({});
  } else if (parent_ != nullptr) {
    parent_->Invalidate(old.Union(bounds_));
  }
  if (resized) delegate_->OnResize(bounds_.GetSize());
}

void WindowNode::OnNativeBounds(const Rect& bounds) {
  const bool resized = bounds.GetSize() != bounds_.GetSize();
  bounds_ = bounds;
  if (resized) {
    buffer_ = Image(std::max(1, bounds_.Width()), std::max(1, bounds_.Height()));
    Invalidate({});
    delegate_->OnResize(bounds_.GetSize());
  }
}

void WindowNode::OnNativeMinimized(bool minimized) {
  if (minimized_ == minimized) return;
  minimized_ = minimized;
  delegate_->OnMinimize(minimized);
}

void WindowNode::OnHostResized(Size size) { delegate_->OnHostResize(size); }

void WindowNode::AdoptHostArea(Size size) {
  bounds_ = Rect{0, 0, std::clamp(size.width, 0, 16384), std::clamp(size.height, 0, 16384)};
  buffer_ = Image(std::max(1, bounds_.Width()), std::max(1, bounds_.Height()));
}

void WindowNode::OnNativeGone() {
  PlatformLog("window layer: the host of \"%s\" is gone, and the window with it", title_.c_str());
  visible_ = false;
  if (core_.grab() == this) core_.SetGrab(nullptr);
  core_.Unregister(this);
  native_.reset();
  delegate_->OnHostGone();
}

bool WindowNode::SetIcon(const Image& icon) {
  if (!core_.CheckThread("SetIcon")) return false;
  if (!top_level_ || icon.IsEmpty() || icon.width() > 256 || icon.height() > 256) {
    PlatformLog("window layer: no icon of %dx%d for \"%s\"", icon.width(), icon.height(), title_.c_str());
    return false;
  }
  return !native_ || native_->SetIcon(icon);
}

void WindowNode::SetTitle(const std::string& utf8) {
  title_ = utf8;
  if (native_) native_->SetTitle(utf8);
}

bool WindowNode::SetFullScreen(bool full) {
  if (!core_.CheckThread("SetFullScreen")) return false;
  if (!top_level_) {
    PlatformLog("window layer: the child window \"%s\" cannot be full screen", title_.c_str());
    return false;
  }
  if (full == full_screen_) return true;
  Rect target = bounds_before_full_screen_;
  if (full) {
    const std::vector<MonitorArea> monitors = core_.facade().Monitors();
    const MonitorArea* monitor = MonitorOfRect(monitors, bounds_);
    target = monitor != nullptr ? monitor->bounds : core_.facade().ScreenBounds();
  }
  if (native_ && !native_->SetFullScreen(full, target)) return false;
  if (full) bounds_before_full_screen_ = bounds_;
  full_screen_ = full;
  ApplyBounds(target, false);
  return true;
}

void WindowNode::SetEnabled(bool enabled) {
  if (enabled_ == enabled) return;
  enabled_ = enabled;
  Invalidate({});
}

void WindowNode::Raise() {
  if (top_level_) {
    core_.MoveToTop(this);
    if (native_) native_->Raise();
  } else if (parent_ != nullptr) {
    auto& s = parent_->children_;
    s.erase(std::remove(s.begin(), s.end(), this), s.end());
    s.push_back(this);
    parent_->Invalidate(bounds_);
  }
}

void WindowNode::Lower() {
  if (top_level_) {
    core_.MoveToBottom(this);
    if (native_) native_->Lower();
  } else if (parent_ != nullptr) {
    auto& s = parent_->children_;
    s.erase(std::remove(s.begin(), s.end(), this), s.end());
    s.insert(s.begin(), this);
    parent_->Invalidate(bounds_);
  }
}

void WindowNode::StackBelow(Window* sibling) {
  auto* other = static_cast<WindowNode*>(sibling);
  if (other == nullptr || other == this) return;
  if (top_level_ && other->top_level_) {
    core_.MoveBelow(this, other);
    if (native_ && other->native_) native_->StackBelow(other->native_.get());
  } else if (!top_level_ && parent_ != nullptr && other->parent_ == parent_) {
    auto& s = parent_->children_;
    s.erase(std::remove(s.begin(), s.end(), this), s.end());
    s.insert(std::find(s.begin(), s.end(), other), this);
    parent_->Invalidate(bounds_);
  }
}

bool WindowNode::StackBelowNative(uint64_t native_id) {
  if (!core_.CheckThread("StackBelowNative")) return false;
  if (!top_level_ || !native_ || native_id == 0) return false;
  if (native_id == native_->Id()) return false;
  return native_->StackBelowNative(native_id);
}

void WindowNode::Focus() {
  if (!core_.CheckThread("Focus")) return;
  auto* top = static_cast<WindowNode*>(TopLevel());
  if (top == nullptr) return;
  if (top_level_) {
    if (native_ && !(flags_ & kWindowNoActivate)) native_->Focus();
    return;
  }
  WindowNode* previous = top->focused_child_;
  if (previous == this) return;
  top->focused_child_ = this;
  std::shared_ptr<const bool> alive = Alive();
  if (previous != nullptr) previous->delegate_->OnFocus(false);
  if (*alive) delegate_->OnFocus(true);
}

void WindowNode::RequestAttention() {
  if (!core_.CheckThread("RequestAttention")) return;
  if (top_level_ && native_) native_->RequestAttention();
}

bool WindowNode::HasFocus() const {
  const WindowNode* top = this;
  while (top->parent_ != nullptr) top = top->parent_;
  if (!top->top_level_ || core_.active() != top) return false;
  if (top_level_) return focused_child_ == nullptr;
  return top->focused_child_ == this;
}

bool WindowNode::Grab() {
  if (!top_level_ || !native_) return false;
  if (!native_->Grab()) return false;
  core_.SetGrab(this);
  return true;
}

void WindowNode::Ungrab() {
  if (core_.grab() != this) return;
  core_.SetGrab(nullptr);
  if (native_) native_->Ungrab();
}

void WindowNode::SetShape(const WindowRegion& region) {
  shape_ = region;
  has_shape_ = true;
  if (native_) native_->SetShape(&region);
}

void WindowNode::SetInputShape(const WindowRegion& region) {
  input_shape_ = region;
  has_input_shape_ = true;
  if (native_) native_->SetInputShape(&region);
}

void WindowNode::ClearShape() {
  has_input_shape_ = false;
  input_shape_.clear();
  has_shape_ = false;
  shape_.clear();
  if (native_) {
    native_->SetShape(nullptr);
    native_->SetInputShape(nullptr);
  }
}

namespace {

// `node`'s area in its top-level window, clipped by every ancestor's.
Rect ClippedArea(const WindowNode* node) {
  const Point offset = node->OffsetInTopLevel();
  Rect area = node->ClientRect().Offset(offset.x, offset.y);
  for (const Window* up = node->parent(); up != nullptr; up = up->parent()) {
    const Point o = static_cast<const WindowNode*>(up)->OffsetInTopLevel();
    area = area.Intersect(up->ClientRect().Offset(o.x, o.y));
  }
  return area;
}

}  // namespace

WindowRegion WindowNode::UncoveredArea() {
  if (core_gone_ || !IsShownInTree() || TopLevel() == nullptr) return {};
  const Rect own = ClippedArea(this);
  if (own.IsEmpty()) return {};
  WindowRegion region{own};
  auto cut_by = [&region](const WindowNode* over) {
    if (over->visible_) region = SubtractRect(region, ClippedArea(over));
  };
  // Painted after this window: its children, then each ancestor's later
  // siblings (with everything inside them, which stays within their area).
  for (const WindowNode* child : children_) cut_by(child);
  for (const WindowNode* node = this; node->parent_ != nullptr && !region.empty(); node = node->parent_) {
    const auto& siblings = node->parent_->children_;
    auto it = std::find(siblings.begin(), siblings.end(), node);
    if (it == siblings.end()) continue;
    for (++it; it != siblings.end(); ++it) cut_by(*it);
  }
  const Point offset = OffsetInTopLevel();
  for (Rect& r : region) r = r.Offset(-offset.x, -offset.y);
  return region;
}

void WindowNode::WatchUncoveredArea(std::function<void(const WindowRegion&)> watcher) {
  if (core_gone_) {  // an empty shell: nothing covers it, nothing to tell
    uncovered_watcher_ = nullptr;
    return;
  }
  if (!core_.CheckThread("WatchUncoveredArea")) return;
  uncovered_watcher_ = std::move(watcher);
  uncovered_told_.clear();
  if (!uncovered_watcher_) {
    core_.Unwatch(this);
    return;
  }
  core_.Watch(this);
  uncovered_told_ = UncoveredArea();
  // Copied: the watcher may replace itself.
  auto watcher_now = uncovered_watcher_;
  watcher_now(uncovered_told_);
}

void WindowNode::NotifyUncoveredIfChanged() {
  if (!uncovered_watcher_) return;
  WindowRegion now = UncoveredArea();
  if (now == uncovered_told_) return;
  uncovered_told_ = std::move(now);
  auto watcher_now = uncovered_watcher_;
  watcher_now(uncovered_told_);
}

void WindowNode::SetOpacity(uint8_t alpha) {
  opacity_ = alpha;
  if (native_) native_->SetOpacity(alpha);
}

void WindowNode::SetCursor(CursorKind shape) {
  cursor_ = shape;
  if (auto* top = static_cast<WindowNode*>(TopLevel()); top != nullptr && top->native_) {
    top->native_->SetCursor(shape);
  }
}

bool WindowNode::SetCursorImage(const Image& image, Point hotspot) {
  if (image.IsEmpty() || hotspot.x < 0 || hotspot.y < 0 || hotspot.x >= image.width() ||
      hotspot.y >= image.height()) {
    PlatformLog("window layer: bad cursor image %dx%d, hot spot %d,%d", image.width(), image.height(), hotspot.x,
                hotspot.y);
    return false;
  }
  auto* top = static_cast<WindowNode*>(TopLevel());
  return top != nullptr && top->native_ && top->native_->SetCursorImage(image, hotspot);
}

void WindowNode::Invalidate(const Rect& area) {
  auto* top = static_cast<WindowNode*>(TopLevel());
  if (top == nullptr) return;
  Rect r = area.IsEmpty() ? ClientRect() : area;
  const Point offset = OffsetInTopLevel();
  r = r.Offset(offset.x, offset.y);
  top->dirty_ = top->dirty_.Union(r);
  core_.SchedulePaint();
}

void WindowNode::Update() {
  auto* top = static_cast<WindowNode*>(TopLevel());
  if (top == nullptr || !top->visible_ || top->dirty_.IsEmpty()) return;
  core_.PaintTopLevel(top);
}

void WindowNode::PaintTree(Canvas& canvas) {
  canvas.Save();
  canvas.ClipRect(ClientRect());
  delegate_->OnPaint(canvas);
  canvas.Restore();
  for (WindowNode* child : std::vector<WindowNode*>(children_)) {
    if (!child->visible_) continue;
    canvas.Save();
    canvas.Translate(child->bounds_.left, child->bounds_.top);
    child->PaintTree(canvas);
    canvas.Restore();
  }
}

void Window::Move(int x, int y) {
  const Rect b = bounds();
  SetBounds(Rect::FromXYWH(x, y, b.Width(), b.Height()));
}

void Window::Resize(int width, int height) {
  const Rect b = bounds();
  SetBounds(Rect::FromXYWH(b.left, b.top, width, height));
}

namespace {
WindowSystem* g_current_system = nullptr;
}

WindowSystem* WindowSystem::Current() { return g_current_system; }
void WindowSystem::SetCurrent(WindowSystem* system) { g_current_system = system; }

}  // namespace vz
