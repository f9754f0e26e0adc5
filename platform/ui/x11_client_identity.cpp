#include "platform/ui/x11_client_identity.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <limits.h>
#include <unistd.h>

#include <cstring>

namespace vz {

std::string LocalHostName() {
  char name[HOST_NAME_MAX + 1] = {};
  if (gethostname(name, sizeof(name) - 1) != 0) return {};
  return std::string(name, strnlen(name, sizeof(name) - 1));
}

void PublishClientIdentity(Display* display, ::Window window) {
  // Format-32 items go to Xlib as longs.
  const long pid = static_cast<long>(getpid());
  XChangeProperty(display, window, XInternAtom(display, "_NET_WM_PID", False), XA_CARDINAL, 32, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(&pid), 1);
  std::string host = LocalHostName();
  if (host.empty()) return;
  char* names[] = {host.data()};
  XTextProperty text{};
  if (XStringListToTextProperty(names, 1, &text) == 0) return;
  XSetWMClientMachine(display, window, &text);
  XFree(text.value);
}

}  // namespace vz
