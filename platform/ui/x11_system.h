#pragma once
// The X11 backend's two classes, shared by its files (nothing outside
// platform/ui's x11_*.cpp includes this): X11System, one display connection
// of a UI thread with the windows made on it, and X11Native, one of those
// windows. UI thread only; the connection's events are served from that
// thread's run loop.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/run_loop.h"
#include "platform/ui/window_core.h"

namespace vz {

class X11System;

class X11Native : public NativeWindow {
 public:
  // `host`: the display window this one was made inside (0: the root).
  X11Native(X11System& system, ::Window window, Visual* visual, int depth, Colormap colormap, uint32_t flags,
            Rect bounds, ::Window host);
  ~X11Native() override;

  ::Window window() const { return window_; }
  uint64_t Id() const override { return window_; }
  void Show(bool activate) override;
  void Hide() override;
  void SetBounds(const Rect& screen_bounds) override;
  void Raise() override;
  void Lower() override;
  void StackBelow(NativeWindow* sibling) override;
  bool StackBelowNative(uint64_t native_id) override;
  void Focus() override;
  bool Grab() override;
  void Ungrab() override;
  void SetShape(const WindowRegion* region) override;
  void SetInputShape(const WindowRegion* region) override;
  void SetOpacity(uint8_t alpha) override;
  void SetCursor(CursorKind shape) override;
  bool SetCursorImage(const Image& image, Point hotspot) override;
  void SetTitle(const std::string& utf8) override;
  bool SetIcon(const Image& icon) override;
  bool SetFullScreen(bool full, const Rect& screen_bounds) override;
  Point HostOrigin() const override { return host_origin_; }
  void Present(const Image& buffer, const Rect& area) override;

  ::Window host() const { return host_; }
  // Shown by the program (not hidden since): a window it hid is its own to
  // place, whatever a manager letting it go does to it.
  bool mapped() const { return mapped_; }
  // Reads where the host's client area is on the screen now (its ancestors
  // may move without telling us).
  void UpdateHostOrigin();
  void set_host_size(Size size) { host_size_ = size; }
  Size HostSize() const override { return host_size_; }
  // The server destroyed the window (its host went): nothing of it is
  // touched again.
  void MarkDestroyed() { destroyed_ = true; }
  // Reads the window manager's state properties: minimised, restored, or
  // nothing said (withdrawn, no manager).
  std::optional<bool> ReadMinimized();

  XIC ic() const { return ic_; }
  // The focus asked for (Show with activate, or Focus) before the window was
  // viewable: given once it is (its map, or its first exposure under a
  // window manager that maps its frame later). A window shown without it
  // takes input again then.
  void FocusIfAskedAndViewable();
  void set_known_bounds(const Rect& r) { bounds_ = r; }
  // The manager's windows around this one (its frame, and any around
  // that), watched from now on for their own changes: a manager that moves
  // a frame may tell the window nothing, its place inside the frame being
  // the same. Watched anew whenever the window or one of them changes
  // parent; none inside a host or on the root.
  void WatchFrames();
  // Where the window's origin is on the root now, read; nothing when the
  // read fails.
  std::optional<Point> ReadRootOrigin();
  // A notice of the window's place (its ConfigureNotify or MapNotify):
  // while a hold stands (a window the manager let go and maps again, or
  // made full screen), the window is judged where it was when the notice
  // was sent, not where a later move has it since. Where the manager left
  // it elsewhere than the program has it, it is asked there again, a few
  // times at most (xfwm4 and jwm keep a frame on the screen when they map
  // it, fluxbox may keep the title bar's place inside a full-screen
  // frame). The hold ends once the window is where the program has it,
  // however that is learned (a move to the place it already has sends no
  // notice: the map is judged too); a move by another program after that
  // is not undone, even when it came before the program served the map.
  void JudgeHold(const XEvent& event);
  bool holding() const { return hold_to_.has_value(); }
  void RequestAttention() override;

 private:
  void ShapeFromAlpha(const Image& buffer);
  // Stops watching the frames (in an error trap: one may be gone).
  void ForgetFrames();
  bool Viewable();
  // Where the window's client area was on the root when a notice was sent.
  struct PlaceSeen {
    Rect client;
    bool viewable = false;
    bool from_notice = false;  // the manager's word, not a read
  };
  // Read now, which tells the notice's moment only when no later change of
  // the window was generated before the read; else a synthetic configure
  // notice's own place (the manager's word) where it is trusted; else
  // nothing.
  std::optional<PlaceSeen> PlaceWhenSent(const XEvent& event);
  // Whether a change of the window's place generated before the request
  // `read_serial` is queued (nothing is taken from the queue).
  bool ChangeQueuedBefore(unsigned long read_serial);
  // A state in the window's own _NET_WM_STATE (before it is mapped), or
  // the full-screen state asked of the window manager (once it is).
  void WriteState(const char* name, bool on);
  void AskFullScreenState(bool full);
  // The place in the window's size hints, which a manager reads when it
  // maps the window.
  void WritePlaceHints(const Rect& r);
  // Asks the manager for no frame (the Motif hints managers read), or
  // takes that back.
  void WriteUndecorated(bool undecorated);
  // Names the monitor `r` is (by the index managers know it by) as the one
  // the window is full screen on: a manager may otherwise choose by its own
  // rules (xfwm4 takes the first). Nothing when `r` is no monitor.
  void NameFullScreenMonitor(const Rect& r, bool shown);
  void SetOverrideRedirect(bool on);
  // Managed by the window manager (not inside a host, not unmanaged).
  bool Managed() const {
    return host_ == 0 && !(flags_ & kWindowOverrideRedirect) && !unmanaged_full_screen_;
  }
  // Gives the window the focus: under a manager of the desktop conventions
  // it is asked to activate it (with the time of the user's last input, by
  // which it decides whether the window may take the focus), and the
  // server is asked too, as without one.
  void Activate();
  // The manager's part of it: _NET_ACTIVE_WINDOW with the user's time,
  // where a manager of the desktop conventions takes it.
  void AskManagerToActivate();
  // Whether the window takes the keyboard focus (WM_HINTS' input).
  void WriteInputHint(bool input);

  X11System& system_;
  ::Window window_;
  Visual* visual_;
  int depth_;
  Colormap colormap_;
  uint32_t flags_;
  Rect bounds_;
  XIC ic_ = nullptr;
  Cursor image_cursor_ = 0;  // owned: made from an image
  bool focus_on_map_ = false;
  // Shown without the focus under a manager that reads no user time: the
  // window takes input again once it is viewable.
  bool input_after_map_ = false;
  bool attention_after_map_ = false;  // asked before Show: asked again once shown
  bool has_shape_ = false;
  bool mapped_ = false;  // mapped by us (Show), not withdrawn since (Hide)
  bool shown_before_ = false;  // mapped by us at some time
  bool full_screen_ = false;   // the full-screen state asked for
  // The place the manager is held to (see JudgeHold), and how often
  // it may still be asked.
  std::optional<Rect> hold_to_;
  int asks_left_ = 0;
  // Set while full screen under a manager without the conventions for it.
  bool unmanaged_full_screen_ = false;
  ::Window host_ = 0;
  Point host_origin_{0, 0};
  Size host_size_{0, 0};
  bool destroyed_ = false;
  std::vector<::Window> frames_;  // watched (see WatchFrames), innermost first
};

class X11System : public WindowSystem {
 public:
  static std::unique_ptr<X11System> Open(const char* name);
  X11System(Display* display, RunLoop& loop);
  ~X11System() override;

  bool IsHeadless() const override { return false; }
  std::string DisplayName() const override { return DisplayString(display_); }
  bool BelongsToCurrentThread() const override { return core_.BelongsToCurrentThread(); }
  std::unique_ptr<Window> CreateWindow(const WindowParams& params, WindowDelegate* delegate) override;
  Rect ScreenBounds() override;
  Rect WorkArea() override;
  std::vector<MonitorArea> Monitors() override;
  bool HasCompositor() override;
  Point PointerPosition() override;
  Window* ActiveWindow() override { return core_.active(); }
  std::vector<Window*> VisibleTopLevels() override { return core_.VisibleTopLevels(); }
  void RequestClipboardText(std::function<void(std::string)> done) override;
  void SetClipboardText(const std::string& utf8) override;
  void Sync() override;

  Display* display() const { return display_; }
  Atom atom(const char* name) {
    auto it = atoms_.find(name);
    if (it != atoms_.end()) return it->second;
    const Atom a = XInternAtom(display_, name, False);
    atoms_[name] = a;
    return a;
  }
  XIM im() const { return im_; }
  Cursor cursor(CursorKind shape);
  enum class Manager { kNone, kFullScreenAware, kOther };
  // Who manages the screen now: nobody (nobody redirects the root's
  // windows), a manager of the desktop conventions that knows the
  // full-screen state, or another one (twm).
  Manager ScreenManager();
  // Up to `most` 32-bit items of a property of that type (a window that is
  // gone, or another type, gives none).
  std::vector<long> ReadCardinals(::Window window, Atom property, Atom type, long most);
  // Whether the manager of the desktop conventions now running says it
  // supports the hint `name` (false with none, or a stale one).
  bool ManagerSupports(const char* name);
  // The time of the user's last input to this program (a key or button
  // pressed or released), by which a manager judges a window's asking for
  // the focus; before any, the server's time now, read with a round trip.
  Time UserTime();
  void NoteUserTime(Time time) {
    if (time != CurrentTime && (user_time_ == CurrentTime || static_cast<long>(time - user_time_) > 0)) {
      user_time_ = time;
    }
  }
  // The window the program's focus is in (0: none of ours).
  ::Window ActiveNative();
  ::Window root() const { return root_; }
  int screen() const { return screen_; }
  // Sends what is buffered. Any call may have read events into Xlib's queue
  // (cairo and the input method make round trips), where the descriptor
  // does not show them: they are served from the loop.
  void Flush() {
    XFlush(display_);
    DrainSoon();
  }
  // Events may have been read into Xlib's queue by a round trip: serve them
  // from the loop, since the descriptor will not wake it for those.
  void DrainSoon();

 private:
  void OnReadable();
  void Drain();
  void Dispatch(XEvent& event);
  WindowNode* NodeOf(::Window window);
  std::unique_ptr<NativeWindow> CreateHostedWindow(const WindowParams& p, Visual* visual, int depth,
                                                   unsigned long mask, XSetWindowAttributes attributes);
  // An event on a host of our windows (not one of ours).
  void DispatchHostEvent(const XEvent& event);
  // An event on a manager's window around one of ours (see WatchFrames).
  void DispatchFrameEvent(X11Native& native, const XEvent& event);
  // Takes the window's place as the server has it now, read (a real
  // notice gives the place inside the frame), with `size` (a frame's
  // notice gives the frame's), as its bounds.
  void TakeReadPlace(WindowNode& node, X11Native& native, Size size);
  // Notes `bounds` as the window's, and tells its node when they changed.
  void TakeBounds(WindowNode& node, X11Native& native, const Rect& bounds);
  void FinishClipboardRequest(std::string text);
  void AnswerSelectionRequest(const XSelectionRequestEvent& request);
  // The owner's answer to our request for the clipboard's text.
  void OnSelectionNotify(const XSelectionEvent& event);

  Display* display_;
  int screen_;
  ::Window root_;
  ::Window utility_ = 0;  // unmapped: owns and receives selections
  WindowCore core_;
  XIM im_ = nullptr;
  std::map<std::string, Atom> atoms_;
  std::map<int, Cursor> cursors_;
  std::map<::Window, X11Native*> natives_;
  std::map<::Window, X11Native*> frames_;  // a manager's windows around ours
  std::function<void(std::string)> clipboard_done_;
  std::string clipboard_text_;
  bool drain_posted_ = false;
  Time user_time_ = CurrentTime;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);

  friend class X11Native;
};

}  // namespace vz
