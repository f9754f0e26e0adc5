#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include "platform/platform_log.h"
#include "platform/ui/xlib_threads.h"
#include "platform/ui/input_injector.h"

namespace vz {

namespace {

class XTestInjector : public InputInjector {
 public:
  explicit XTestInjector(Display* display) : display_(display) {}
  ~XTestInjector() override { XCloseDisplay(display_); }

  void MoveTo(Point p) override {
    XTestFakeMotionEvent(display_, -1, p.x, p.y, CurrentTime);
    XFlush(display_);
  }
  void Button(MouseButton button, bool down) override {
    unsigned int number = button == MouseButton::kRight ? 3 : button == MouseButton::kMiddle ? 2 : 1;
    XTestFakeButtonEvent(display_, number, down ? True : False, CurrentTime);
    XFlush(display_);
  }
  void Wheel(int delta) override {
    if (delta == 0) return;
    int clicks = delta / 120;
    if (clicks == 0) clicks = delta > 0 ? 1 : -1;
    const unsigned int number = clicks > 0 ? 4 : 5;
    for (int i = 0; i < (clicks > 0 ? clicks : -clicks); ++i) {
      XTestFakeButtonEvent(display_, number, True, CurrentTime);
      XTestFakeButtonEvent(display_, number, False, CurrentTime);
    }
    XFlush(display_);
  }
  bool Key(uint32_t keysym, bool down) override {
    const KeyCode code = XKeysymToKeycode(display_, keysym);
    if (code == 0) {
      PlatformLog("input injector: no key makes keysym 0x%x", keysym);
      return false;
    }
    XTestFakeKeyEvent(display_, code, down ? True : False, CurrentTime);
    XFlush(display_);
    return true;
  }
  bool TypeAscii(const std::string& text) override {
    for (char c : text) {
      const auto keysym = static_cast<KeySym>(static_cast<unsigned char>(c));
      const KeyCode code = XKeysymToKeycode(display_, keysym);
      if (code == 0) return false;
      // Shift when the unshifted key does not make the character.
      const bool shift = XkbKeycodeToKeysymCompat(code) != keysym;
      const KeyCode shift_code = XKeysymToKeycode(display_, XK_Shift_L);
      if (shift) XTestFakeKeyEvent(display_, shift_code, True, CurrentTime);
      XTestFakeKeyEvent(display_, code, True, CurrentTime);
      XTestFakeKeyEvent(display_, code, False, CurrentTime);
      if (shift) XTestFakeKeyEvent(display_, shift_code, False, CurrentTime);
    }
    XFlush(display_);
    return true;
  }
  void Sync() override { XSync(display_, False); }

  Point PointerPosition() override {
    unsigned int mask = 0;
    Point p;
    QueryPointer(&p, &mask);
    return p;
  }
  bool IsButtonDown(MouseButton button) override {
    unsigned int mask = 0;
    Point p;
    QueryPointer(&p, &mask);
    const unsigned int bit = button == MouseButton::kRight    ? Button3Mask
                             : button == MouseButton::kMiddle ? Button2Mask
                                                               : Button1Mask;
    return (mask & bit) != 0;
  }
  bool IsKeyDown(uint32_t keysym) override {
    const KeyCode code = XKeysymToKeycode(display_, keysym);
    if (code == 0) return false;
    XSync(display_, False);
    char keys[32] = {};
    XQueryKeymap(display_, keys);
    return (keys[code / 8] & (1 << (code % 8))) != 0;
  }

 private:
  // Synced first: the display must have taken the injected events, or the
  // position read back is the one before them.
  void QueryPointer(Point* p, unsigned int* mask) {
    XSync(display_, False);
    Window root = 0, child = 0;
    int root_x = 0, root_y = 0, x = 0, y = 0;
    if (XQueryPointer(display_, DefaultRootWindow(display_), &root, &child, &root_x, &root_y, &x, &y, mask)) {
      *p = Point{root_x, root_y};
    }
  }

  KeySym XkbKeycodeToKeysymCompat(KeyCode code) {
    int per_code = 0;
    KeySym* syms = XGetKeyboardMapping(display_, code, 1, &per_code);
    const KeySym first = (syms != nullptr && per_code > 0) ? syms[0] : NoSymbol;
    if (syms != nullptr) XFree(syms);
    return first;
  }

  Display* display_;
};

}  // namespace

std::unique_ptr<InputInjector> InputInjector::Open(const char* display_name) {
  EnsureXlibThreads();
  Display* display = XOpenDisplay(display_name);
  if (display == nullptr) {
    PlatformLog("input injector: cannot open the display");
    return nullptr;
  }
  int event_base = 0, error_base = 0, major = 0, minor = 0;
  if (!XTestQueryExtension(display, &event_base, &error_base, &major, &minor)) {
    PlatformLog("input injector: the display has no XTest");
    XCloseDisplay(display);
    return nullptr;
  }
  return std::make_unique<XTestInjector>(display);
}

}  // namespace vz
