#pragma once
// The window port: windows of the UI thread, painted through a canvas,
// with input, shapes, stacking and modal loops.
//
// A top-level window is a window of the display (an X window, or an image
// in the headless backend) with one back buffer; child windows are areas of
// their top-level window, painted into its buffer after their parent and
// given input by hit test. Everything here runs on the thread that owns the
// WindowSystem (the UI thread); calls from elsewhere are refused with a log
// line. Failures are return values and log lines.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/ui/canvas.h"
#include "platform/ui/image.h"
#include "platform/ui/ui_events.h"
#include "platform/ui/ui_types.h"

namespace vz {

class Window;
class WindowSystem;

enum WindowFlags : uint32_t {
  kWindowTopmost = 1,           // above normal windows (keep-above; override-redirect raised)
  kWindowTool = 2,              // no task-bar entry (utility / skip-taskbar)
  kWindowNoActivate = 4,        // never takes the keyboard focus when shown or clicked
  kWindowOverrideRedirect = 8,  // placed exactly, no frame, not managed (popups, overlays)
  kWindowTranslucent = 16,      // per-pixel alpha: ARGB visual with a compositor, else a shape from alpha
  kWindowDialog = 32,           // a framed dialog (title, centred, transient for its owner)
  kWindowDisabled = 64,         // takes no input at all
};

enum class CursorKind { kArrow, kHand, kIBeam, kCross, kMove, kWait };

// What a window tells its owner object. Every call comes on the UI thread.
class WindowDelegate {
 public:
  virtual ~WindowDelegate() = default;
  // Paint the window's area; the canvas is clipped to it, (0,0) its top-left.
  virtual void OnPaint(Canvas& canvas) = 0;
  virtual void OnMouse(const MouseEvent&) {}
  // true when the key was used (it then goes no further).
  virtual bool OnKey(const KeyEvent&) { return false; }
  virtual void OnFocus(bool /*focused*/) {}
  virtual void OnResize(Size) {}
  // The user asked to close the window (frame's close box); default: ignore.
  virtual void OnCloseRequest() {}
  // The window lost a capture or grab it held (another window took it).
  virtual void OnCaptureLost() {}
  // A top-level window was minimised (true) by the user or the window
  // manager, or brought back from that (false). Reported once per change;
  // a window the program hides itself is not minimised. The headless
  // backend never minimises a window.
  virtual void OnMinimize(bool /*minimized*/) {}
  // A window made inside a host window (WindowParams::host): the host's
  // client area is now this size. The window itself does not move; its
  // owner decides.
  virtual void OnHostResize(Size) {}
  // A window made inside a host window: the host was destroyed, and this
  // window's display window with it (also said of a top-level window that
  // another program destroyed). The Window object stays as an empty shell
  // (NativeId 0, nothing shown) until its owner deletes it.
  virtual void OnHostGone() {}
};

struct WindowParams {
  Rect bounds;                 // top-level: screen; child: parent's client area
  Window* parent = nullptr;    // set: a child window of that window
  Window* owner = nullptr;     // top-level owned by (kept above) that window
  uint32_t flags = 0;          // WindowFlags
  std::string title;           // UTF-8
  std::string class_name;      // a name for the log and the window manager
  // Set: a top-level window made inside this window of the display (which
  // may belong to another program) rather than on the screen. Its bounds
  // are in the host's client area (empty bounds: all of it); no window
  // manager frames it. Creation
  // fails, logged, when the host is not on the display (always headless).
  uint64_t host = 0;
  // Top-level: the smallest client size the user may resize the window to
  // (0 on a side: no limit). The program's own SetBounds is not limited.
  Size min_size;
};

// A region: a union of rectangles (window coordinates).
using WindowRegion = std::vector<Rect>;

class Window {
 public:
  virtual ~Window() = default;

  virtual WindowSystem& system() = 0;
  virtual Window* parent() const = 0;
  virtual bool IsTopLevel() const = 0;
  // The top-level window this one lives in (itself for a top-level).
  virtual Window* TopLevel() = 0;
  virtual uint32_t flags() const = 0;
  // An id of the display's window for the log and the window list; 0 headless.
  virtual uint64_t NativeId() const = 0;
  // False once the window is destroyed: for code that ran a nested loop.
  virtual std::shared_ptr<const bool> Alive() const = 0;

  // Visibility and placement. Bounds of a top-level window are on the
  // screen; a child's are in its parent. A top-level window shown without
  // `activate` tells the window manager that it is not to take the focus.
  virtual void Show(bool activate = true) = 0;
  virtual void Hide() = 0;
  virtual bool IsVisible() const = 0;
  virtual void SetBounds(const Rect& bounds) = 0;
  virtual Rect bounds() const = 0;
  void Move(int x, int y);
  void Resize(int width, int height);
  Rect ClientRect() const { return Rect{0, 0, bounds().Width(), bounds().Height()}; }
  // Window point -> screen point.
  virtual Point ToScreen(Point p) const = 0;
  virtual void SetTitle(const std::string& utf8) = 0;
  virtual std::string GetTitle() const = 0;
  // The icon a top-level window shows in its frame and the task bar (alpha
  // kept). False, logged, for a child window, an empty image or one above
  // 256 pixels on a side.
  virtual bool SetIcon(const Image& icon) = 0;
  // A top-level window minimised by the user or the window manager.
  virtual bool IsMinimized() const = 0;
  virtual void SetEnabled(bool enabled) = 0;
  virtual bool IsEnabled() const = 0;

  // Full screen (a top-level window on the screen): the window covers the
  // whole monitor its bounds are on (MonitorOfRect), without a frame, above
  // the desktop's panels and the other windows; leaving it gives the window
  // back the bounds it had before. Set before Show, the window opens full
  // screen; set while shown, the display changes it then. A window manager
  // of the desktop conventions does it, and its answer arrives as a move
  // and resize; under a manager without them, a window made full screen
  // before Show opens unmanaged over the monitor, one already shown is only
  // moved over it and raised; with no manager it is placed over the
  // monitor. Made full screen before Show, it maps there in that state and
  // without a frame from its first moment; leaving, it asks for its frame
  // back, which a manager that reads the frame hints only when it maps a
  // window (jwm) does not give. False, logged, for a child window or one
  // inside a host.
  virtual bool SetFullScreen(bool full) = 0;
  virtual bool IsFullScreen() const = 0;

  // Stacking among top-level windows (children: among siblings).
  virtual void Raise() = 0;
  virtual void Lower() = 0;
  virtual void StackBelow(Window* sibling) = 0;
  // Places this top-level window right below a window of the display that
  // may belong to another program (its NativeId or a window-list id). False,
  // logged, when that window is not on the display (then nothing moves);
  // always false headless, which has no other programs' windows.
  virtual bool StackBelowNative(uint64_t native_id) = 0;

  // Keyboard focus: a top-level window takes the display's focus, a child
  // the focus inside its top-level window.
  virtual void Focus() = 0;
  virtual bool HasFocus() const = 0;
  // Asks for the user's attention to a top-level window that did not take
  // the focus (a task bar marks it) until the user activates it. Best asked
  // before Show; nothing for a child, or without a window manager of the
  // desktop conventions (always headless).
  virtual void RequestAttention() = 0;
  // Mouse capture: every mouse event goes to this window until released.
  virtual void SetCapture() = 0;
  virtual void ReleaseCapture() = 0;
  virtual bool HasCapture() const = 0;
  // Pointer and keyboard grab of the display (popup menus); false when the
  // display refused it.
  virtual bool Grab() = 0;
  virtual void Ungrab() = 0;

  // Shapes (top-level windows): the visible area and the area that takes
  // input; an empty optional-like call (ClearShape) restores the rectangle.
  // An empty input region makes every click pass through.
  virtual void SetShape(const WindowRegion& region) = 0;
  virtual void SetInputShape(const WindowRegion& region) = 0;
  virtual void ClearShape() = 0;
  // What a display window placed over this window (a video window)
  // would hide: everything painted after it (its own children, its later
  // siblings and its ancestors' later siblings, as far as they are shown).
  // UncoveredArea is the rest of this window's area, clipped by its
  // ancestors, in this window's coordinates; empty when it is not shown.
  // The watcher gets it at once and then after each paint of the top-level
  // window in which it changed (every move, resize, show, hide or restack
  // repaints), so that display window can be cut to it. One watcher a
  // window; an empty function removes it. UI thread.
  virtual WindowRegion UncoveredArea() = 0;
  virtual void WatchUncoveredArea(std::function<void(const WindowRegion&)> watcher) = 0;

  // Whole-window opacity 0..255 (255 opaque).
  virtual void SetOpacity(uint8_t alpha) = 0;
  virtual uint8_t opacity() const = 0;

  virtual void SetCursor(CursorKind shape) = 0;
  // A cursor made from an image (alpha kept) with its hot spot; false when
  // the display cannot make it (the cursor then stays as it was).
  virtual bool SetCursorImage(const Image& image, Point hotspot) = 0;

  // Painting: marks an area (window coordinates; empty means all) to paint
  // on the next turn of the loop; Update paints what is marked now.
  virtual void Invalidate(const Rect& area = Rect{}) = 0;
  virtual void Update() = 0;
};

struct MonitorArea {
  Rect bounds;
  Rect work_area;
  bool primary = false;
  std::string name;
};

// The monitor a rectangle is on: the one it overlaps most (the first of
// equals); when it overlaps none, the one nearest to its centre. Null for
// an empty list.
const MonitorArea* MonitorOfRect(const std::vector<MonitorArea>& monitors, const Rect& rect);

// The windows of one UI thread and their display.
class WindowSystem {
 public:
  virtual ~WindowSystem() = default;

  // The window system of the process (set by the program; any library of the
  // process reaches it here); null when none is open. UI thread only.
  static WindowSystem* Current();
  static void SetCurrent(WindowSystem* system);

  virtual bool IsHeadless() const = 0;
  // The display's name, for a second connection to the same display (a
  // video window's); "" when there is no display.
  virtual std::string DisplayName() const { return {}; }
  virtual bool BelongsToCurrentThread() const = 0;

  // Null, logged, on bad parameters or when the display refuses the window.
  // The delegate must outlive the window.
  virtual std::unique_ptr<Window> CreateWindow(const WindowParams& params, WindowDelegate* delegate) = 0;

  virtual Rect ScreenBounds() = 0;
  // The desktop's work area (without panels); the screen when unknown.
  virtual Rect WorkArea() = 0;
  virtual std::vector<MonitorArea> Monitors() = 0;
  // Whether translucent windows get per-pixel alpha (a compositor runs).
  virtual bool HasCompositor() = 0;
  virtual Point PointerPosition() = 0;
  // The window with the keyboard focus, or null.
  virtual Window* ActiveWindow() = 0;
  // This system's visible top-level windows, bottom to top as last stacked.
  virtual std::vector<Window*> VisibleTopLevels() = 0;

  // Clipboard text (UTF-8): the callback runs on the UI thread with the text,
  // or with "" when there is none.
  virtual void RequestClipboardText(std::function<void(std::string)> done) = 0;
  virtual void SetClipboardText(const std::string& utf8) = 0;

  // Pushes pending requests to the display and waits until it has done them.
  virtual void Sync() = 0;
};

// The backend of the display named (null: $DISPLAY), dispatching on the
// calling thread's run loop. Null, logged, when no display can be opened.
std::unique_ptr<WindowSystem> OpenDisplayWindowSystem(const char* display_name = nullptr);

}  // namespace vz
