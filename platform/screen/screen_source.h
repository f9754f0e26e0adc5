#pragma once
// The screen as the capture side sees it: monitors, pixels of a rectangle,
// the cursor shape and the top-level windows in stacking order.
//
// Threading: one ScreenSource belongs to the thread that made it (a capture
// worker); the X11 source opens its own display connection and never shares
// the window layer's. Failures are false/empty results with a log line.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/screen/window_icons.h"

namespace vz {

struct ScreenRect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  bool empty() const { return width <= 0 || height <= 0; }
  bool operator==(const ScreenRect&) const = default;
};

// Whether `rect` is non-empty and lies wholly inside `bounds`.
bool ScreenRectInside(const ScreenRect& rect, const ScreenRect& bounds);

struct ScreenMonitor {
  ScreenRect bounds;     // in root-window coordinates
  std::string name;      // output name, e.g. "screen"; UTF-8
  bool primary = false;
};

// 32-bit pixels, bytes B,G,R,A in memory (A is 0xFF for opaque screens);
// rows are `stride` bytes apart, stride >= width * 4.
struct ScreenPixels {
  int width = 0;
  int height = 0;
  int stride = 0;
  std::vector<uint8_t> bytes;
  const uint8_t* Row(int y) const { return bytes.data() + static_cast<size_t>(y) * stride; }
};

struct ScreenCursor {
  uint64_t serial = 0;   // changes whenever the shape changes
  int width = 0;
  int height = 0;
  int hot_x = 0;
  int hot_y = 0;
  std::vector<uint32_t> argb;  // width*height, premultiplied ARGB
  int x = 0;             // pointer position in root coordinates
  int y = 0;
  // A monochrome shape instead of `argb` (X11 cursors are always ARGB; test
  // doubles script these): the AND mask's rows over the XOR mask's rows,
  // each row (width + 31) / 32 * 4 bytes, most significant bit first, and
  // `height` is then the whole mask's, both halves.
  std::vector<uint8_t> mono_mask = {};
};

// What a top-level window is for, as its window type says.
enum class ScreenWindowKind {
  kNormal,        // normal windows and dialogs (also when no type is set)
  kDesktop,       // the desktop background
  kDock,          // panels and task bars
  kNotification,  // notification bubbles
  kPopup,         // menus, tooltips, splash screens, toolbars and other transients
};

struct ScreenWindow {
  uint64_t id = 0;
  ScreenRect bounds;     // frame position in root coordinates
  std::string title;     // _NET_WM_NAME, else WM_NAME; UTF-8
  int pid = 0;           // 0 when the window does not say, or is of another machine
  bool visible = false;  // mapped
  uint64_t owner = 0;    // the window it is transient for; 0 when none
  std::string class_name;  // the class part of WM_CLASS; UTF-8
  bool minimized = false;  // iconified (hidden by the window manager)
  ScreenWindowKind kind = ScreenWindowKind::kNormal;
};

// An image that reads land in directly, so the caller compares and sends
// the pixels where the read put them. On X11 it is shared with the server
// where it can be: a read of whole rows then costs the server's own copy
// alone. Pixels are B,G,R,X, top row first, width() pixels a row; the X
// byte is what the screen holds (on X11 often 0), never compared or sent.
// The image belongs to the thread of the source that made it.
class ScreenImage {
 public:
  virtual ~ScreenImage() = default;
  ScreenImage(const ScreenImage&) = delete;
  ScreenImage& operator=(const ScreenImage&) = delete;
  int width() const { return width_; }
  int height() const { return height_; }
  uint32_t* pixels() { return pixels_; }
  uint32_t* Row(int y) { return pixels_ + static_cast<size_t>(y) * width_; }

 protected:
  ScreenImage(uint32_t* pixels, int width, int height) : pixels_(pixels), width_(width), height_(height) {}

 private:
  uint32_t* pixels_;
  int width_;
  int height_;
};

// A zero-filled image in ordinary memory; null when memory is short or a
// side is not positive.
std::unique_ptr<ScreenImage> NewHeapScreenImage(int width, int height);

// Why a read failed, for callers that retry in smaller pieces.
enum class ScreenReadResult {
  kOk = 0,
  kNoBuffer = 1,      // no memory for the rectangle: smaller pieces may work
  kReadFailed = 2,    // the server refused the read
  kNoConnection = 3,  // the source is not usable
};

class ScreenSource {
 public:
  virtual ~ScreenSource() = default;
  // The whole screen in root coordinates.
  virtual ScreenRect Bounds() = 0;
  // Every active monitor; empty when the source cannot tell (callers then
  // use Bounds() as one monitor).
  virtual std::vector<ScreenMonitor> Monitors() = 0;
  // Copies `rect` (which must lie inside Bounds()) into `out`, reusing its
  // buffer. False when the rectangle is outside or the read fails.
  virtual bool ReadPixels(const ScreenRect& rect, ScreenPixels* out) = 0;
  // The same read, telling why it failed.
  virtual ScreenReadResult ReadBlock(const ScreenRect& rect, ScreenPixels* out) {
    return ReadPixels(rect, out) ? ScreenReadResult::kOk : ScreenReadResult::kReadFailed;
  }
  // An image for ReadInto, zero-filled; null (with a log line) when memory
  // is short. The default is an ordinary heap image.
  virtual std::unique_ptr<ScreenImage> NewImage(int width, int height);
  // Reads `rect` (inside Bounds()) into `image` with its top-left pixel at
  // (x, y), which must leave the rectangle inside the image (else
  // kReadFailed and nothing written). The default reads with ReadBlock and
  // copies the rows; the X11 source reads whole rows of its own images
  // straight into them.
  virtual ScreenReadResult ReadInto(const ScreenRect& rect, ScreenImage* image, int x, int y);
  // The current cursor shape; false when it is not available.
  virtual bool ReadCursor(ScreenCursor* out) = 0;
  // Top-level client windows, bottom first (the last one is on top). On
  // X11 the window manager's stacking list; without one (a manager without
  // EWMH, or none) the windows as ICCCM gives them.
  virtual std::vector<ScreenWindow> Windows() = 0;
  // Whether a compositing manager composes the screen (on X11: one owns the
  // selection _NET_WM_CM_S<screen>). Asked again on every call, since one
  // can start or stop at any time; false when the source cannot tell.
  virtual bool CompositionEnabled() { return false; }
  // The icons a top-level window publishes for itself, every size it
  // offers (on X11 its _NET_WM_ICON); empty when it publishes none, the
  // window is gone or the source cannot tell. A damaged property gives the
  // icons before the damage.
  virtual std::vector<ScreenIcon> WindowIcons(uint64_t window) {
    (void)window;
    return {};
  }
  // Brings a top-level window to the front, restoring it when minimised (as
  // a task bar would ask the window manager); false when it cannot be asked.
  virtual bool BringToFront(uint64_t window) {
    (void)window;
    return false;
  }
};

struct X11ScreenOptions {
  std::string display;   // empty: $DISPLAY
  bool use_shm = true;   // false forces the XGetImage path
  // Keeps what it read of the windows between lists and is told of their
  // changes by the server: for a source whose window list is asked for on
  // every capture round. Their events wait in the connection until the
  // next list, so a source that lists now and then leaves it off.
  bool watch_windows = false;
};

// Opens a connection of its own; null (with a log line) when the display
// cannot be opened.
std::unique_ptr<ScreenSource> OpenX11ScreenSource(const X11ScreenOptions& options);
// Whether the last ReadPixels of an X11 source went through shared memory.
bool X11ScreenUsedShm(ScreenSource* source);
// How many times an X11 source has read a window's properties: once a
// window, and again only after one of them changed.
size_t X11WindowFactsReadsForTesting(ScreenSource* source);
// How many times it has read a root child's place without a manager.
size_t X11RootChildReadsForTesting(ScreenSource* source);

}  // namespace vz
