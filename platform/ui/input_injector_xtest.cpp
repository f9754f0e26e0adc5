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

 private:
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
