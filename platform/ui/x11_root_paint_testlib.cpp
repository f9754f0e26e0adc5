#include "platform/ui/x11_root_paint_testlib.h"

#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>

#include <string>

namespace vz {

bool FillRootRectangle(const std::string& display, int x, int y, int width, int height, uint32_t rgb) {
  Display* connection = XOpenDisplay(display.c_str());
  if (connection == nullptr) return false;
  Window root = DefaultRootWindow(connection);
  GC gc = XCreateGC(connection, root, 0, nullptr);
  XSetSubwindowMode(connection, gc, IncludeInferiors);
  XSetForeground(connection, gc, rgb);
  XFillRectangle(connection, root, gc, x, y, static_cast<unsigned>(width), static_cast<unsigned>(height));
  XFreeGC(connection, gc);
  XSync(connection, False);
  XCloseDisplay(connection);
  return true;
}

namespace {
int g_size_errors = 0;
int CountSizeError(Display*, XErrorEvent*) {
  ++g_size_errors;
  return 0;
}
}  // namespace

bool SetScreenSize(const std::string& display, int width, int height) {
  Display* connection = XOpenDisplay(display.c_str());
  if (connection == nullptr) return false;
  int event_base = 0, error_base = 0;
  if (!XRRQueryExtension(connection, &event_base, &error_base)) {
    XCloseDisplay(connection);
    return false;
  }
  const Window root = DefaultRootWindow(connection);
  // A refused request is an X error, which must not end the test program.
  XSync(connection, False);
  g_size_errors = 0;
  auto* previous = XSetErrorHandler(CountSizeError);
  bool ok = false;
  XRRScreenResources* resources = XRRGetScreenResourcesCurrent(connection, root);
  if (resources != nullptr && resources->ncrtc > 0 && resources->noutput > 0) {
    // The first CRTC shows a mode of that size on its outputs: one is made
    // when the server has none.
    RRMode mode = None;
    for (int i = 0; i < resources->nmode && mode == None; ++i) {
      if (static_cast<int>(resources->modes[i].width) == width &&
          static_cast<int>(resources->modes[i].height) == height)
        mode = resources->modes[i].id;
    }
    const RRCrtc crtc = resources->crtcs[0];
    XRRCrtcInfo* info = XRRGetCrtcInfo(connection, resources, crtc);
    if (info != nullptr && info->noutput > 0) {
      if (mode == None) {
        std::string name = std::to_string(width) + "x" + std::to_string(height) + "_test";
        XRRModeInfo made{};
        made.width = static_cast<unsigned>(width);
        made.height = static_cast<unsigned>(height);
        made.hTotal = static_cast<unsigned>(width);
        made.vTotal = static_cast<unsigned>(height);
        made.dotClock = static_cast<unsigned long>(width) * height * 60;
        made.name = name.data();
        made.nameLength = static_cast<unsigned>(name.size());
        mode = XRRCreateMode(connection, root, &made);
        XRRAddOutputMode(connection, info->outputs[0], mode);
      }
      ok = XRRSetCrtcConfig(connection, resources, crtc, CurrentTime, 0, 0, mode, info->rotation, info->outputs,
                            info->noutput) == RRSetConfigSuccess;
    }
    if (info != nullptr) XRRFreeCrtcInfo(info);
  }
  if (resources != nullptr) XRRFreeScreenResources(resources);
  XSync(connection, False);
  XSetErrorHandler(previous);
  XCloseDisplay(connection);
  return ok && g_size_errors == 0;
}

}  // namespace vz
