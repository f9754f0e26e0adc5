#pragma once
// What both backends share: the window tree, the registry of a system's
// windows, painting into one back buffer per top-level window, and the
// routing of input (hit test, capture, grab, focus, enter and leave).
// A backend supplies the display side of each top-level window.
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#include "platform/run_loop.h"
#include "platform/ui/image.h"
#include "platform/ui/modal_loop.h"
#include "platform/ui/window.h"

namespace vz {

class WindowNode;

// The display side of one top-level window.
class NativeWindow {
 public:
  virtual ~NativeWindow() = default;
  virtual uint64_t Id() const = 0;
  virtual void Show(bool activate) = 0;
  virtual void Hide() = 0;
  virtual void SetBounds(const Rect& screen_bounds) = 0;
  virtual void Raise() = 0;
  virtual void Lower() = 0;
  virtual void StackBelow(NativeWindow* sibling) = 0;
  virtual bool StackBelowNative(uint64_t native_id) = 0;
  virtual void Focus() = 0;
  virtual void RequestAttention() {}
  virtual bool Grab() = 0;
  virtual void Ungrab() = 0;
  // Null clears the shape.
  virtual void SetShape(const WindowRegion* region) = 0;
  virtual void SetInputShape(const WindowRegion* region) = 0;
  virtual void SetOpacity(uint8_t alpha) = 0;
  virtual void SetCursor(CursorKind shape) = 0;
  virtual bool SetCursorImage(const Image& image, Point hotspot) = 0;
  virtual void SetTitle(const std::string& utf8) = 0;
  // The image is checked (not empty, at most 256 on a side).
  virtual bool SetIcon(const Image& icon) = 0;
  // Enters (the monitor's bounds given) or leaves (the bounds to go back
  // to) full screen, moving the window there itself; false when this
  // window cannot be full screen (nothing then changes).
  virtual bool SetFullScreen(bool full, const Rect& screen_bounds) = 0;
  // Where the host's client area starts on the screen, for a window made
  // inside a host window; (0, 0) for a window on the screen.
  virtual Point HostOrigin() const { return {0, 0}; }
  // The host's client size when the window was made or last heard of.
  virtual Size HostSize() const { return {0, 0}; }
  // The buffer's area changed: put it on the display.
  virtual void Present(const Image& buffer, const Rect& area) = 0;
};

class WindowCore {
 public:
  // `facade` is the WindowSystem the windows report as theirs.
  WindowCore(WindowSystem& facade, RunLoop& loop);
  ~WindowCore();

  using NativeFactory = std::function<std::unique_ptr<NativeWindow>(WindowNode*, const WindowParams&)>;
  std::unique_ptr<Window> CreateWindow(const WindowParams& params, WindowDelegate* delegate,
                                       const NativeFactory& make_native);

  bool BelongsToCurrentThread() const { return owner_ == std::this_thread::get_id(); }
  bool CheckThread(const char* what) const;
  WindowSystem& facade() { return facade_; }
  RunLoop& loop() { return loop_; }

  // Registry.
  const std::vector<WindowNode*>& top_levels() const { return top_levels_; }
  std::vector<Window*> VisibleTopLevels() const;
  WindowNode* FindByNative(const NativeWindow* native) const;
  void Register(WindowNode* top);
  void Unregister(WindowNode* node);  // any node: clears every reference to it
  void MoveToTop(WindowNode* top);
  void MoveToBottom(WindowNode* top);
  void MoveBelow(WindowNode* top, WindowNode* sibling);

  // Input, in top-level window coordinates.
  void DispatchMouse(WindowNode* top, MouseEvent event);
  void DispatchKey(WindowNode* top, const KeyEvent& event);
  // The pointer left the top-level window (or the display lost it).
  void PointerLeft(WindowNode* top);
  void FocusChanged(WindowNode* top, bool focused);
  WindowNode* active() const { return active_; }

  WindowNode* capture() const { return capture_; }
  void SetCapture(WindowNode* node);
  void ReleaseCapture(WindowNode* node);
  WindowNode* grab() const { return grab_; }
  void SetGrab(WindowNode* top) { grab_ = top; }

  // Windows whose uncovered area someone watches (Window::WatchUncoveredArea).
  void Watch(WindowNode* node);
  void Unwatch(WindowNode* node);

  // Painting.
  void SchedulePaint();
  void PaintAll();
  void PaintTopLevel(WindowNode* top);

 private:
  WindowNode* HitTest(WindowNode* top, Point p);
  // Tells the watchers of windows inside `top` whose uncovered area changed.
  void NotifyUncovered(WindowNode* top);

  WindowSystem& facade_;
  RunLoop& loop_;
  const std::thread::id owner_;
  std::vector<WindowNode*> top_levels_;  // bottom to top
  std::vector<WindowNode*> watched_;
  WindowNode* capture_ = nullptr;
  WindowNode* grab_ = nullptr;
  WindowNode* hovered_ = nullptr;
  WindowNode* active_ = nullptr;
  bool paint_scheduled_ = false;
  std::shared_ptr<bool> alive_;
  // Double clicks.
  std::chrono::steady_clock::time_point last_press_time_{};
  Point last_press_screen_{};
  MouseButton last_press_button_ = MouseButton::kNone;
};

class WindowNode : public Window {
 public:
  WindowNode(WindowCore& core, const WindowParams& params, WindowDelegate* delegate);
  ~WindowNode() override;

  void set_native(std::unique_ptr<NativeWindow> native) { native_ = std::move(native); }
  NativeWindow* native() const { return native_.get(); }
  WindowDelegate* delegate() const { return delegate_; }
  WindowCore& core() { return core_; }
  const std::vector<WindowNode*>& children() const { return children_; }
  WindowNode* focused_child() const { return focused_child_; }
  Image& buffer() { return buffer_; }
  Rect dirty() const { return dirty_; }
  void ClearDirty() { dirty_ = {}; }
  void DetachChild(WindowNode* child);
  // Parent destroyed (or, with core_gone, the whole system): the window
  // becomes an empty shell that shows nothing and touches nothing.
  void Orphan(bool core_gone = false);
  // The display moved or resized the window (top-level).
  void OnNativeBounds(const Rect& bounds);
  // The window manager minimised or restored the window (top-level); the
  // delegate hears of changes only.
  void OnNativeMinimized(bool minimized);
  // The host of a window made inside one changed its client size.
  void OnHostResized(Size size);
  // Made with empty bounds inside a host: it covers the host's client area.
  void AdoptHostArea(Size size);
  // The host was destroyed and the display window with it: the native side
  // goes (touching nothing on the display) and the delegate is told.
  void OnNativeGone();
  // Window coordinates of this node inside its top-level window.
  Point OffsetInTopLevel() const;
  bool IsShownInTree() const;  // this and every ancestor visible

  // Window.
  WindowSystem& system() override { return core_.facade(); }
  Window* parent() const override { return parent_; }
  bool IsTopLevel() const override { return top_level_; }
  Window* TopLevel() override;
  uint32_t flags() const override { return flags_; }
  uint64_t NativeId() const override { return native_ ? native_->Id() : 0; }
  void Show(bool activate) override;
  void Hide() override;
  bool IsVisible() const override { return visible_; }
  void SetBounds(const Rect& bounds) override;
  Rect bounds() const override { return bounds_; }
  Point ToScreen(Point p) const override;
  void SetTitle(const std::string& utf8) override;
  std::string GetTitle() const override { return title_; }
  bool SetIcon(const Image& icon) override;
  bool IsMinimized() const override { return minimized_; }
  void SetEnabled(bool enabled) override;
  bool IsEnabled() const override { return enabled_; }
  bool SetFullScreen(bool full) override;
  bool IsFullScreen() const override { return full_screen_; }
  void Raise() override;
  void Lower() override;
  void StackBelow(Window* sibling) override;
  bool StackBelowNative(uint64_t native_id) override;
  void Focus() override;
  bool HasFocus() const override;
  void RequestAttention() override;
  void SetCapture() override { core_.SetCapture(this); }
  void ReleaseCapture() override { core_.ReleaseCapture(this); }
  bool HasCapture() const override { return core_.capture() == this; }
  bool Grab() override;
  void Ungrab() override;
  void SetShape(const WindowRegion& region) override;
  void SetInputShape(const WindowRegion& region) override;
  void ClearShape() override;
  WindowRegion UncoveredArea() override;
  void WatchUncoveredArea(std::function<void(const WindowRegion&)> watcher) override;
  // Calls the watcher when the uncovered area differs from what it last got.
  void NotifyUncoveredIfChanged();
  void SetOpacity(uint8_t alpha) override;
  uint8_t opacity() const override { return opacity_; }
  void SetCursor(CursorKind shape) override;
  bool SetCursorImage(const Image& image, Point hotspot) override;
  CursorKind cursor() const { return cursor_; }
  void Invalidate(const Rect& area) override;
  void Update() override;

  // Paints this node and its children into the canvas (translated to this
  // node's origin, clipped to it).
  void PaintTree(Canvas& canvas);
  const std::string& title() const { return title_; }
  const WindowRegion* input_shape() const { return has_input_shape_ ? &input_shape_ : nullptr; }
  const WindowRegion* shape() const { return has_shape_ ? &shape_ : nullptr; }
  std::shared_ptr<const bool> Alive() const override { return alive_.Watch(); }

 private:
  // Takes new bounds (checked by the caller), telling the display side
  // unless it placed the window itself.
  void ApplyBounds(const Rect& bounds, bool tell_native);

  WindowCore& core_;
  WindowDelegate* delegate_;
  WindowNode* parent_ = nullptr;
  const bool top_level_;
  const uint32_t flags_;
  std::string title_;
  Rect bounds_;
  bool visible_ = false;
  bool minimized_ = false;
  bool enabled_ = true;
  bool full_screen_ = false;
  Rect bounds_before_full_screen_;
  uint8_t opacity_ = 255;
  CursorKind cursor_ = CursorKind::kArrow;
  std::vector<WindowNode*> children_;  // bottom to top
  WindowNode* focused_child_ = nullptr;
  std::unique_ptr<NativeWindow> native_;
  Image buffer_;
  Rect dirty_;
  WindowRegion input_shape_;
  bool has_input_shape_ = false;
  WindowRegion shape_;
  bool has_shape_ = false;
  std::function<void(const WindowRegion&)> uncovered_watcher_;
  WindowRegion uncovered_told_;
  AliveFlag alive_;
  bool core_gone_ = false;
};

}  // namespace vz
