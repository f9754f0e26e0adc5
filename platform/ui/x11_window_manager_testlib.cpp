#include "platform/ui/x11_window_manager_testlib.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <unistd.h>

#include <cstdio>
#include <vector>

#include "platform/clock.h"
#include "platform/process.h"
#include "platform/ui/xlib_threads.h"

namespace vz {

namespace {

// twm's own default fonts may be missing on Xvfb.
constexpr char kTwmConfig[] =
    "TitleFont \"fixed\"\nResizeFont \"fixed\"\nMenuFont \"fixed\"\nIconFont \"fixed\"\nIconManagerFont \"fixed\"\n";

// Maps a small window and waits until the manager has taken it (set its
// WM_STATE): a manager may hold the redirection a while before it handles
// the windows mapped meanwhile. False when it was not taken within
// `timeout_ms` or the display cannot be opened.
bool ManagerTakesAWindow(const std::string& display, int timeout_ms) {
  Display* d = XOpenDisplay(display.c_str());
  if (d == nullptr) return false;
  const Atom wm_state = XInternAtom(d, "WM_STATE", False);
  const ::Window probe = XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 0, 8, 8, 0, 0, 0);
  XStoreName(d, probe, "window manager probe");
  // Its place given as the user's: a manager that would otherwise let the
  // user place it (twm holds the whole server until a click) puts it there.
  XSizeHints hints{};
  hints.flags = USPosition | USSize;
  hints.width = hints.height = 8;
  XSetWMNormalHints(d, probe, &hints);
  const uint64_t deadline = MonotonicMs() + static_cast<uint64_t>(timeout_ms);
  bool taken = false;
  while (!taken && MonotonicMs() < deadline) {
    XMapWindow(d, probe);
    XSync(d, False);
    // A request the manager missed is made again after a while.
    const uint64_t again = MonotonicMs() + 2000;
    while (!taken && MonotonicMs() < again && MonotonicMs() < deadline) {
      Atom type = None;
      int format = 0;
      unsigned long count = 0, after = 0;
      unsigned char* data = nullptr;
      taken = XGetWindowProperty(d, probe, wm_state, 0, 2, False, AnyPropertyType, &type, &format, &count, &after,
                                 &data) == Success &&
              type != None;
      if (data != nullptr) XFree(data);
      if (!taken) SleepMs(20);
    }
    if (!taken) {
      XUnmapWindow(d, probe);
      XSync(d, False);
    }
  }
  // Withdrawn, then gone once the manager has let it go (handed it back to
  // the root): a frame still held for it would take the next client's
  // window of the same id (the server gives this connection's ids again).
  XWithdrawWindow(d, probe, DefaultScreen(d));
  XSync(d, False);
  const uint64_t released = MonotonicMs() + 10000;
  for (;;) {
    ::Window root = 0, parent = 0;
    ::Window* children = nullptr;
    unsigned int count = 0;
    const bool listed = XQueryTree(d, probe, &root, &parent, &children, &count);
    if (children != nullptr) XFree(children);
    if (!listed || parent == root || MonotonicMs() > released) break;
    SleepMs(20);
  }
  XDestroyWindow(d, probe);
  XSync(d, False);
  XCloseDisplay(d);
  return taken;
}

}  // namespace

bool DisplayHasWindowManager(const std::string& display) {
  EnsureXlibThreads();
  Display* d = XOpenDisplay(display.c_str());
  if (d == nullptr) return false;
  XWindowAttributes attributes{};
  // The event masks of every client together: a manager's redirection shows
  // there without this client competing for it.
  const bool managed = XGetWindowAttributes(d, DefaultRootWindow(d), &attributes) &&
                       (attributes.all_event_masks & SubstructureRedirectMask);
  XCloseDisplay(d);
  return managed;
}

std::unique_ptr<X11WindowManager> X11WindowManager::Start(const std::string& name, const std::string& display,
                                                          int timeout_ms, std::string* why) {
  if (!IsKnown(name)) {
    *why = "unknown window manager \"" + name + "\" (openbox, twm or metacity)";
    return nullptr;
  }
  const std::string program = "/usr/bin/" + name;
  if (::access(program.c_str(), X_OK) != 0) {
    *why = name + " is not installed (apt-get install " + name + ")";
    return nullptr;
  }
  std::unique_ptr<X11WindowManager> manager(new X11WindowManager());
  const std::string& folder = manager->folder_.path();
  if (folder.empty()) {
    *why = "cannot make a folder for the window manager's files";
    return nullptr;
  }
  // Its configuration, cache and session files in its own folder, never the user's.
  std::vector<std::string> args = {"env",
                                   "LC_ALL=C",
                                   "DISPLAY=" + display,
                                   "HOME=" + folder,
                                   "XDG_CONFIG_HOME=" + folder,
                                   "XDG_CACHE_HOME=" + folder,
                                   "XDG_DATA_HOME=" + folder,
                                   // Its settings in memory: no settings daemon to ask.
                                   "GSETTINGS_BACKEND=memory",
                                   program};
  if (name == "twm") {
    const std::string rc = folder + "/twmrc";
    std::FILE* file = std::fopen(rc.c_str(), "w");
    if (file == nullptr || std::fputs(kTwmConfig, file) < 0) {
      if (file != nullptr) std::fclose(file);
      *why = "cannot write " + rc;
      return nullptr;
    }
    std::fclose(file);
    args.insert(args.end(), {"-f", rc});
  } else {
    args.emplace_back("--sm-disable");
  }
  manager->pid_ = SpawnProcess("/usr/bin/env", args, why);
  if (manager->pid_ <= 0) return nullptr;
  const uint64_t deadline = MonotonicMs() + static_cast<uint64_t>(timeout_ms);
  while (!DisplayHasWindowManager(display)) {
    int code = 0;
    if (WaitForProcess(manager->pid_, 0, &code)) {
      manager->pid_ = -1;
      *why = name + " ended (" + std::to_string(code) + ") before it managed " + display;
      return nullptr;
    }
    if (MonotonicMs() > deadline) {
      *why = name + " did not manage " + display + " within " + std::to_string(timeout_ms / 1000) + " s";
      return nullptr;
    }
    SleepMs(50);
  }
  const int64_t left = static_cast<int64_t>(deadline) - static_cast<int64_t>(MonotonicMs());
  if (!ManagerTakesAWindow(display, static_cast<int>(left > 1000 ? left : 1000))) {
    *why = name + " took no window on " + display + " within " + std::to_string(timeout_ms / 1000) + " s";
    return nullptr;
  }
  return manager;
}

std::unique_ptr<X11CompositingManager> X11CompositingManager::Start(const std::string& display, int timeout_ms,
                                                                    std::string* why) {
  constexpr char kProgram[] = "/usr/bin/xcompmgr";
  if (::access(kProgram, X_OK) != 0) {
    *why = "xcompmgr is not installed (apt-get install xcompmgr)";
    return nullptr;
  }
  std::unique_ptr<X11CompositingManager> manager(new X11CompositingManager());
  manager->pid_ = SpawnProcess(kProgram, {"xcompmgr", "-d", display}, why);
  if (manager->pid_ <= 0) return nullptr;
  EnsureXlibThreads();
  Display* d = XOpenDisplay(display.c_str());
  if (d == nullptr) {
    *why = "cannot open " + display;
    return nullptr;
  }
  const std::string name = "_NET_WM_CM_S" + std::to_string(DefaultScreen(d));
  const Atom selection = XInternAtom(d, name.c_str(), False);
  const uint64_t deadline = MonotonicMs() + static_cast<uint64_t>(timeout_ms);
  bool composing = false;
  while (!(composing = XGetSelectionOwner(d, selection) != None) && MonotonicMs() < deadline) {
    int code = 0;
    if (WaitForProcess(manager->pid_, 0, &code)) {
      manager->pid_ = -1;
      *why = "xcompmgr ended (" + std::to_string(code) + ") before it composed " + display;
      break;
    }
    SleepMs(20);
  }
  XCloseDisplay(d);
  if (!composing) {
    if (manager->pid_ > 0) {
      *why = "xcompmgr did not compose " + display + " within " + std::to_string(timeout_ms / 1000) + " s";
    }
    return nullptr;
  }
  return manager;
}

X11CompositingManager::~X11CompositingManager() {
  if (pid_ <= 0) return;
  KillProcess(pid_);
  WaitForProcess(pid_, 30000, nullptr);
}

X11WindowManager::~X11WindowManager() {
  if (pid_ <= 0) return;
  KillProcess(pid_);
  WaitForProcess(pid_, 30000, nullptr);
}

}  // namespace vz
