// The window manager's windows around one of ours (its frame, and any
// frame around that), watched for their own moves: a manager that moves a
// frame owes the window inside a notice of its new place on the screen,
// but not every one sends it (openbox tells only of changes inside the
// frame), and a real notice's place is the one inside the frame.
#include <X11/Xlib.h>

#include "platform/ui/x11_error_trap.h"
#include "platform/ui/x11_system.h"

namespace vz {

namespace {

// More nested frames than any manager makes: a bound on the walk to the
// root, which another program may change under it.
constexpr int kMostFrames = 8;

}  // namespace

void X11Native::WatchFrames() {
  Display* d = system_.display();
  // A frame may go while it is walked or let go (the manager let the
  // window go).
  X11ErrorTrap trap(d);
  ForgetFrames();
  if (host_ != 0 || destroyed_) return;
  ::Window current = window_;
  for (int depth = 0; depth < kMostFrames; ++depth) {
    ::Window root = 0, parent = 0;
    ::Window* children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(d, current, &root, &parent, &children, &count)) break;
    if (children != nullptr) XFree(children);
    if (parent == 0 || parent == root) break;
    // Selected before the next read: a change after it is told.
    XSelectInput(d, parent, StructureNotifyMask);
    frames_.push_back(parent);
    system_.frames_[parent] = this;
    current = parent;
  }
  system_.DrainSoon();
}

void X11Native::ForgetFrames() {
  for (::Window frame : frames_) {
    auto it = system_.frames_.find(frame);
    if (it == system_.frames_.end() || it->second != this) continue;
    system_.frames_.erase(it);
    // Its later notices (the manager destroys it) are nobody's.
    XSelectInput(system_.display(), frame, NoEventMask);
  }
  frames_.clear();
}

std::optional<Point> X11Native::ReadRootOrigin() {
  ::Window child = 0;
  int x = 0, y = 0;
  const bool read = XTranslateCoordinates(system_.display(), window_, system_.root(), 0, 0, &x, &y, &child) != 0;
  system_.DrainSoon();
  if (!read) return std::nullopt;
  return Point{x, y};
}

}  // namespace vz
