// The X11 screen source: XRandR monitors, MIT-SHM reads with an XGetImage
// fall-back, XFixes cursor images and EWMH window lists (ICCCM's where a
// manager publishes none). Its own connection, used only by the thread that
// opened it.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <X11/extensions/Xfixes.h>
#include <X11/extensions/Xrandr.h>
#include <sys/ipc.h>
#include <sys/shm.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>

#include "platform/platform_log.h"
#include "platform/screen/screen_source.h"
#include "platform/screen/x11_client_windows.h"
#include "platform/screen/x11_window_facts.h"
#include "platform/ui/x11_client_identity.h"
#include "platform/ui/x11_error_trap.h"
#include "platform/ui/xlib_threads.h"

namespace vz {
namespace {

constexpr int kMaxCursorSide = 1024;

// Errors from requests on windows that vanished meanwhile are expected:
// they are trapped with the window layer's trap, the one error handler of
// the process (two handlers that each pass on to the other would call each
// other without end on an error neither traps).
using ErrorTrap = X11ErrorTrap;

// The connection outlives the source while images attached to it remain:
// an image detaches its segment through it when it goes.
struct X11Connection {
  explicit X11Connection(Display* d) : display(d) {}
  ~X11Connection() { XCloseDisplay(display); }
  Display* display;
};

// Screens of depth 24/32 whose 32-bit pixels are already B,G,R,x in memory.
bool DirectLayout(const XImage* image) {
  return image->bits_per_pixel == 32 && image->byte_order == LSBFirst && image->red_mask == 0xFF0000 &&
         image->green_mask == 0xFF00 && image->blue_mask == 0xFF;
}

// An image whose pixels are a shared-memory segment the server writes into.
class X11ShmImage : public ScreenImage {
 public:
  X11ShmImage(std::shared_ptr<X11Connection> connection, XImage* image, const XShmSegmentInfo& segment,
              const void* owner)
      : ScreenImage(reinterpret_cast<uint32_t*>(image->data), image->width, image->height),
        connection_(std::move(connection)),
        image_(image),
        segment_(segment),
        owner_(owner) {
    // Xlib finds the segment of a read through the image; the record it was
    // made with was a local of the caller.
    image_->obdata = reinterpret_cast<char*>(&segment_);
  }
  ~X11ShmImage() override {
    XShmDetach(connection_->display, &segment_);
    XSync(connection_->display, False);
    shmdt(segment_.shmaddr);
    image_->data = nullptr;
    XDestroyImage(image_);
  }
  XImage* image() { return image_; }
  XShmSegmentInfo* segment() { return &segment_; }
  const void* owner() const { return owner_; }

 private:
  std::shared_ptr<X11Connection> connection_;
  XImage* image_;
  XShmSegmentInfo segment_;
  const void* owner_;
};

// A shared-memory image of width x height with its segment attached to the
// server; null (with a log line) when any step fails.
XImage* CreateShmImage(Display* display, int width, int height, XShmSegmentInfo* segment) {
  const int screen = DefaultScreen(display);
  XImage* image = XShmCreateImage(display, DefaultVisual(display, screen), DefaultDepth(display, screen), ZPixmap,
                                  nullptr, segment, width, height);
  if (!image) {
    PlatformLog("screen: XShmCreateImage failed");
    return nullptr;
  }
  segment->shmid = shmget(IPC_PRIVATE, static_cast<size_t>(image->bytes_per_line) * height, IPC_CREAT | 0600);
  if (segment->shmid < 0) {
    PlatformLog("screen: shmget failed: %s", strerror(errno));
    XDestroyImage(image);
    return nullptr;
  }
  segment->shmaddr = image->data = static_cast<char*>(shmat(segment->shmid, nullptr, 0));
  segment->readOnly = False;
  ErrorTrap trap(display);
  const Bool attached = segment->shmaddr != reinterpret_cast<char*>(-1) && XShmAttach(display, segment);
  const bool failed = !attached || trap.Failed();
  // Marked for removal now so the segment goes with the process whatever happens.
  shmctl(segment->shmid, IPC_RMID, nullptr);
  if (failed) {
    PlatformLog("screen: the server cannot attach shared memory (remote display?)");
    if (segment->shmaddr != reinterpret_cast<char*>(-1)) shmdt(segment->shmaddr);
    image->data = nullptr;
    XDestroyImage(image);
    return nullptr;
  }
  return image;
}

class X11ScreenSource : public ScreenSource {
 public:
  X11ScreenSource(Display* display, bool use_shm, bool watch_windows)
      : connection_(std::make_shared<X11Connection>(display)), display_(display), facts_(display, LocalHostName(), watch_windows),
        root_children_(display, watch_windows) {
    root_ = DefaultRootWindow(display_);
    int major = 0, minor = 0;
    Bool pixmaps = False;
    shm_ok_ = use_shm && XShmQueryExtension(display_) && XShmQueryVersion(display_, &major, &minor, &pixmaps);
    int event_base = 0, error_base = 0;
    fixes_ok_ = XFixesQueryExtension(display_, &event_base, &error_base);
    randr_ok_ = XRRQueryExtension(display_, &event_base, &error_base);
  }
  ~X11ScreenSource() override { DropShm(); }

  ScreenRect Bounds() override {
    const int screen = DefaultScreen(display_);
    return {0, 0, DisplayWidth(display_, screen), DisplayHeight(display_, screen)};
  }

  std::vector<ScreenMonitor> Monitors() override {
    std::vector<ScreenMonitor> result;
    if (!randr_ok_) return result;
    int count = 0;
    XRRMonitorInfo* monitors = XRRGetMonitors(display_, root_, True, &count);
    if (!monitors) {
      PlatformLog("screen: XRRGetMonitors failed");
      return result;
    }
    for (int i = 0; i < count; ++i) {
      ScreenMonitor m;
      m.bounds = {monitors[i].x, monitors[i].y, monitors[i].width, monitors[i].height};
      m.primary = monitors[i].primary != 0;
      if (char* name = monitors[i].name != None ? XGetAtomName(display_, monitors[i].name) : nullptr) {
        m.name = name;
        XFree(name);
      }
      if (!m.bounds.empty()) result.push_back(std::move(m));
    }
    XRRFreeMonitors(monitors);
    return result;
  }

  bool ReadPixels(const ScreenRect& rect, ScreenPixels* out) override {
    if (!ScreenRectInside(rect, Bounds())) {
      PlatformLog("screen: %d,%d %dx%d is outside the screen", rect.x, rect.y, rect.width, rect.height);
      return false;
    }
    used_shm_ = false;
    if (shm_ok_ && ReadShm(rect, out)) {
      used_shm_ = true;
      return true;
    }
    return ReadPlain(rect, out);
  }

  std::unique_ptr<ScreenImage> NewImage(int width, int height) override {
    if (shm_ok_ && width > 0 && height > 0) {
      XShmSegmentInfo segment{};
      if (XImage* image = CreateShmImage(display_, width, height, &segment)) {
        // Only a layout the compare can read as it stands, rows without padding.
        if (DirectLayout(image) && image->bytes_per_line == width * 4) {
          std::memset(image->data, 0, static_cast<size_t>(image->bytes_per_line) * height);
          return std::make_unique<X11ShmImage>(connection_, image, segment, this);
        }
        XShmDetach(display_, &segment);
        XSync(display_, False);
        shmdt(segment.shmaddr);
        image->data = nullptr;
        XDestroyImage(image);
      }
    }
    return ScreenSource::NewImage(width, height);
  }

  ScreenReadResult ReadInto(const ScreenRect& rect, ScreenImage* image, int x, int y) override {
    auto* shared = dynamic_cast<X11ShmImage*>(image);
    // Whole rows of an image of this connection: the server writes them in
    // place. Anything else takes the read-and-copy path.
    if (!shared || shared->owner() != this || in_place_failed_ || x != 0 || rect.width != image->width() || y < 0 ||
        rect.height <= 0 || y + rect.height > image->height())
      return ScreenSource::ReadInto(rect, image, x, y);
    if (!ScreenRectInside(rect, Bounds())) {
      PlatformLog("screen: %d,%d %dx%d is outside the screen", rect.x, rect.y, rect.width, rect.height);
      return ScreenReadResult::kReadFailed;
    }
    XImage* view = shared->image();
    char* const base = view->data;
    const int saved_h = view->height;
    view->data = base + static_cast<size_t>(y) * view->bytes_per_line;
    view->height = rect.height;
    ErrorTrap trap(display_);
    const Bool ok = XShmGetImage(display_, root_, view, rect.x, rect.y, AllPlanes);
    const bool failed = !ok || trap.Failed();
    view->data = base;
    view->height = saved_h;
    used_shm_ = !failed;
    if (failed) {
      // Not tried again on this connection: every round would fail and log.
      PlatformLog("screen: XShmGetImage of %dx%d into an image failed; reading by copy from now on", rect.width,
                  rect.height);
      in_place_failed_ = true;
      return ScreenSource::ReadInto(rect, image, x, y);
    }
    return ScreenReadResult::kOk;
  }

  bool ReadCursor(ScreenCursor* out) override {
    if (!fixes_ok_) return false;
    XFixesCursorImage* image = XFixesGetCursorImage(display_);
    if (!image) {
      PlatformLog("screen: XFixesGetCursorImage failed");
      return false;
    }
    bool ok = image->width <= kMaxCursorSide && image->height <= kMaxCursorSide;
    if (ok) {
      out->serial = image->cursor_serial;
      out->width = image->width;
      out->height = image->height;
      out->hot_x = image->xhot;
      out->hot_y = image->yhot;
      out->x = image->x;
      out->y = image->y;
      const size_t n = static_cast<size_t>(image->width) * image->height;
      out->argb.resize(n);
      // Xlib hands the pixels out as longs, 32 significant bits each.
      for (size_t i = 0; i < n; ++i) out->argb[i] = static_cast<uint32_t>(image->pixels[i]);
    } else {
      PlatformLog("screen: cursor of %dx%d refused", image->width, image->height);
    }
    XFree(image);
    return ok;
  }

  bool CompositionEnabled() override {
    if (compositor_atom_ == None) {
      const std::string name = "_NET_WM_CM_S" + std::to_string(DefaultScreen(display_));
      compositor_atom_ = XInternAtom(display_, name.c_str(), False);
      if (compositor_atom_ == None) return false;
    }
    return XGetSelectionOwner(display_, compositor_atom_) != None;
  }

  std::vector<ScreenWindow> Windows() override {
    std::vector<ScreenWindow> result;
    // Windows go at any moment: a request on one that went fails quietly
    // here, and each read's own result says so.
    ErrorTrap trap(display_);
    bool published = false;
    std::vector<unsigned long> ids =
        ReadLongProperty(display_, root_, "_NET_CLIENT_LIST_STACKING", XA_WINDOW, &published);
    // After a reply: every change the server made before it has been told.
    facts_.TakeEvents(&root_children_);
    // A manager without EWMH (twm), or none: the windows as ICCCM gives them.
    std::vector<IcccmClientWindow> clients;
    if (!published) {
      clients = ListIcccmClientWindows(display_, kMaxPropertyItems, &root_children_);
      ids.clear();
      for (const IcccmClientWindow& client : clients) ids.push_back(client.window);
    }
    for (size_t i = 0; i < ids.size(); ++i) {
      const Window id = ids[i];
      ScreenWindow w;
      w.id = id;
      if (i < clients.size() && clients[i].known) {
        // A root child: its place and state are the listing's.
        w.visible = clients[i].child.viewable;
        w.bounds = clients[i].child.place;
      } else {
        XWindowAttributes attributes;
        if (!XGetWindowAttributes(display_, id, &attributes)) continue;  // gone meanwhile
        w.visible = attributes.map_state == IsViewable;
        int x = 0, y = 0;
        Window child = 0;
        if (!XTranslateCoordinates(display_, id, root_, 0, 0, &x, &y, &child)) continue;
        w.bounds = {x, y, attributes.width, attributes.height};
      }
      const X11WindowFacts* facts = facts_.Of(id);
      if (facts == nullptr) continue;
      w.title = facts->title;
      w.pid = facts->pid;
      w.owner = facts->owner;
      w.class_name = facts->class_name;
      // A manager without EWMH says it in the ICCCM state alone.
      w.minimized = facts->hidden || (!published && facts->iconic);
      w.kind = facts->kind;
      result.push_back(std::move(w));
    }
    facts_.KeepOnly(ids);
    return result;
  }

  std::vector<ScreenIcon> WindowIcons(uint64_t window) override {
    const Window id = static_cast<Window>(window);
    const Atom icon_atom = InternAtom("_NET_WM_ICON");
    Atom actual = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    ErrorTrap trap(display_);
    // Its length first (a read of nothing tells what is left), so the whole
    // property is read, as far as the parser reads one.
    int status = XGetWindowProperty(display_, id, icon_atom, 0, 0, False, XA_CARDINAL, &actual, &format, &count,
                                    &after, &data);
    if (data) XFree(data);
    data = nullptr;
    if (status != Success || trap.Failed() || actual != XA_CARDINAL || format != 32) return {};
    const unsigned long items = after / 4;
    if (items > kMaxWindowIconItems) {
      PlatformLog("screen: icons of window 0x%lx are %lu items; the sizes past %zu items dropped",
                  static_cast<unsigned long>(id), items, kMaxWindowIconItems);
    }
    const long wanted = static_cast<long>(std::min<unsigned long>(items, kMaxWindowIconItems));
    status = XGetWindowProperty(display_, id, icon_atom, 0, wanted, False, XA_CARDINAL, &actual, &format, &count,
                                &after, &data);
    std::vector<ScreenIcon> icons;
    if (status == Success && !trap.Failed() && data && actual == XA_CARDINAL && format == 32) {
      icons = ParseWindowIcons({reinterpret_cast<const unsigned long*>(data), count});
      if (icons.empty()) PlatformLog("screen: icons of window 0x%lx unreadable", static_cast<unsigned long>(id));
    }
    if (data) XFree(data);
    return icons;
  }

  bool BringToFront(uint64_t window) override {
    ErrorTrap trap(display_);
    const Window id = static_cast<Window>(window);
    // A minimised window is mapped again; then the window manager is asked
    // to activate it, and without one the window is raised directly.
    XMapRaised(display_, id);
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = id;
    event.xclient.message_type = InternAtom("_NET_ACTIVE_WINDOW");
    event.xclient.format = 32;
    event.xclient.data.l[0] = 2;  // from a pager or task bar: always honoured
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display_, root_, False, SubstructureRedirectMask | SubstructureNotifyMask, &event);
    if (trap.Failed()) {
      PlatformLog("screen: window 0x%lx cannot be brought to the front", static_cast<unsigned long>(id));
      return false;
    }
    return true;
  }

  bool used_shm() const { return used_shm_; }
  size_t facts_read() const { return facts_.ReadsForTesting(); }
  size_t root_children_read() const { return root_children_.ReadsForTesting(); }

 private:
  bool ReadShm(const ScreenRect& rect, ScreenPixels* out) {
    if (!image_ || image_->width < rect.width || image_->height < rect.height) {
      DropShm();
      if (!MakeShm(rect.width, rect.height)) {
        shm_ok_ = false;  // do not retry every frame
        return false;
      }
    }
    // XShmGetImage fills as much of the segment as the image's size says,
    // and the server lays the rows out for that width: a smaller rectangle
    // uses a view of the same segment with the narrower row stride.
    const int saved_w = image_->width, saved_h = image_->height, saved_stride = image_->bytes_per_line;
    image_->width = rect.width;
    image_->height = rect.height;
    const int pad = image_->bitmap_pad;
    image_->bytes_per_line = (rect.width * image_->bits_per_pixel + pad - 1) / pad * (pad / 8);
    ErrorTrap trap(display_);
    const Bool ok = XShmGetImage(display_, root_, image_, rect.x, rect.y, AllPlanes);
    const bool failed = !ok || trap.Failed();
    const bool copied = !failed && CopyOut(image_, rect.width, rect.height, out);
    image_->width = saved_w;
    image_->height = saved_h;
    image_->bytes_per_line = saved_stride;
    if (failed) {
      PlatformLog("screen: XShmGetImage failed; using XGetImage");
      DropShm();
      shm_ok_ = false;
      return false;
    }
    return copied;
  }

  bool MakeShm(int width, int height) {
    image_ = CreateShmImage(display_, width, height, &segment_);
    attached_ = image_ != nullptr;
    return attached_;
  }

  void DropShm() {
    if (!image_) return;
    if (attached_) XShmDetach(display_, &segment_);
    XSync(display_, False);
    shmdt(segment_.shmaddr);
    image_->data = nullptr;
    XDestroyImage(image_);
    image_ = nullptr;
    attached_ = false;
  }

  bool ReadPlain(const ScreenRect& rect, ScreenPixels* out) {
    ErrorTrap trap(display_);
    XImage* image = XGetImage(display_, root_, rect.x, rect.y, rect.width, rect.height, AllPlanes, ZPixmap);
    if (!image || trap.Failed()) {
      PlatformLog("screen: XGetImage of %dx%d failed", rect.width, rect.height);
      if (image) XDestroyImage(image);
      return false;
    }
    const bool ok = CopyOut(image, rect.width, rect.height, out);
    XDestroyImage(image);
    return ok;
  }

  // Screens of depth 24/32 keep 32-bit pixels whose bytes are already
  // B,G,R,x on little-endian servers; other layouts go pixel by pixel.
  static bool CopyOut(XImage* image, int width, int height, ScreenPixels* out) {
    out->width = width;
    out->height = height;
    out->stride = width * 4;
    out->bytes.resize(static_cast<size_t>(out->stride) * height);
    const bool direct = DirectLayout(image);
    for (int y = 0; y < height; ++y) {
      uint8_t* dst = out->bytes.data() + static_cast<size_t>(y) * out->stride;
      if (direct) {
        // Copy and opaque alpha in one pass of whole words (vectorised).
        const char* src = image->data + static_cast<size_t>(y) * image->bytes_per_line;
        for (int x = 0; x < width; ++x) {
          uint32_t p;
          std::memcpy(&p, src + x * 4, 4);
          p |= 0xFF000000u;
          std::memcpy(dst + x * 4, &p, 4);
        }
        continue;
      }
      for (int x = 0; x < width; ++x) {
        const unsigned long p = XGetPixel(image, x, y);
        dst[x * 4 + 0] = Channel(p, image->blue_mask);
        dst[x * 4 + 1] = Channel(p, image->green_mask);
        dst[x * 4 + 2] = Channel(p, image->red_mask);
        dst[x * 4 + 3] = 0xFF;
      }
    }
    return true;
  }

  static uint8_t Channel(unsigned long pixel, unsigned long mask) {
    if (mask == 0) return 0;
    int shift = 0;
    while (!((mask >> shift) & 1)) ++shift;
    const unsigned long max = mask >> shift;
    return static_cast<uint8_t>(((pixel & mask) >> shift) * 255 / max);
  }

  unsigned long InternAtom(const char* name) { return XInternAtom(display_, name, False); }

  std::shared_ptr<X11Connection> connection_;
  Display* display_;
  Window root_ = 0;
  bool shm_ok_ = false;
  bool fixes_ok_ = false;
  bool randr_ok_ = false;
  Atom compositor_atom_ = None;  // _NET_WM_CM_S<screen>, interned once
  bool used_shm_ = false;
  bool in_place_failed_ = false;  // reads into images go by copy
  XImage* image_ = nullptr;
  XShmSegmentInfo segment_{};
  bool attached_ = false;
  X11WindowFactsCache facts_;
  X11RootChildren root_children_;
};

}  // namespace

std::unique_ptr<ScreenSource> OpenX11ScreenSource(const X11ScreenOptions& options) {
  EnsureXlibThreads();
  Display* display = XOpenDisplay(options.display.empty() ? nullptr : options.display.c_str());
  if (!display) {
    PlatformLog("screen: cannot open display %s", options.display.empty() ? "$DISPLAY" : options.display.c_str());
    return nullptr;
  }
  return std::make_unique<X11ScreenSource>(display, options.use_shm, options.watch_windows);
}

bool X11ScreenUsedShm(ScreenSource* source) {
  auto* x11 = dynamic_cast<X11ScreenSource*>(source);
  return x11 && x11->used_shm();
}

size_t X11WindowFactsReadsForTesting(ScreenSource* source) {
  auto* x11 = dynamic_cast<X11ScreenSource*>(source);
  return x11 ? x11->facts_read() : 0;
}

size_t X11RootChildReadsForTesting(ScreenSource* source) {
  auto* x11 = dynamic_cast<X11ScreenSource*>(source);
  return x11 ? x11->root_children_read() : 0;
}

}  // namespace vz
