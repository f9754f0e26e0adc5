#include "platform/ui/x11_window_manager_testlib.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "platform/clock.h"
#include "platform/process.h"
#include "platform/ui/xlib_threads.h"

namespace vz {

namespace {

// twm's own default fonts may be missing on Xvfb.
constexpr char kTwmConfig[] =
    "TitleFont \"fixed\"\nResizeFont \"fixed\"\nMenuFont \"fixed\"\nIconFont \"fixed\"\nIconManagerFont \"fixed\"\n";

// jwm as Debian sets it up (a tray along the bottom that keeps its strip
// from other windows, focus following the pointer, new windows placed
// side by side), without the programs its own file starts.
constexpr char kJwmConfig[] = R"(<?xml version="1.0"?>
<JWM>
  <Group><Option>tiled</Option></Group>
  <Tray x="0" y="-1" height="25" autohide="off">
    <TrayButton label="_">showdesktop</TrayButton>
    <Pager labeled="true"/>
    <TaskList maxwidth="256"/>
    <Dock/>
    <Clock format="%H:%M"/>
  </Tray>
  <Desktops width="4" height="1"><Background type="solid">#111111</Background></Desktops>
  <FocusModel>sloppy</FocusModel>
</JWM>
)";

// i3 with a bar along the bottom and nothing started (its own file would
// start its configuration wizard).
constexpr char kI3Config[] =
    "font pango:DejaVu Sans Mono 8\n"
    "bar {\n  position bottom\n  status_command true\n}\n";

// fluxbox draws the desktop's picture through fbsetbg, which puts up a
// message (a window that takes the focus) when it finds no tool to draw it
// with: the manager finds one in its folder that draws nothing.
constexpr char kFluxboxBackgroundSetter[] = "#!/bin/sh\nexit 0\n";

// A manager known to Start: its program and what it is started with; a
// configuration file of its own where it needs one, written into its folder.
struct KnownManager {
  const char* name;
  const char* config;       // contents of the file, or null
  const char* config_flag;  // the option naming that file
};

constexpr KnownManager kManagers[] = {
    {"openbox", nullptr, nullptr}, {"twm", kTwmConfig, "-f"},      {"metacity", nullptr, nullptr},
    {"fluxbox", nullptr, nullptr}, {"icewm", nullptr, nullptr},    {"xfwm4", nullptr, nullptr},
    {"jwm", kJwmConfig, "-f"},     {"i3", kI3Config, "-c"},
};

std::string KnownNames() {
  std::string names;
  for (const KnownManager& manager : kManagers) names += (names.empty() ? "" : ", ") + std::string(manager.name);
  return names;
}

const KnownManager* FindManager(const std::string& name) {
  for (const KnownManager& manager : kManagers) {
    if (name == manager.name) return &manager;
  }
  return nullptr;
}

bool WriteFile(const std::string& path, const char* text) {
  std::FILE* file = std::fopen(path.c_str(), "w");
  if (file == nullptr) return false;
  const bool written = std::fputs(text, file) >= 0;
  return std::fclose(file) == 0 && written;
}

// A session bus of the test's own in `folder`, for a manager that keeps its
// settings behind one (xfwm4); its address, empty when it did not start.
// The settings service it starts for the manager ends with it.
std::string StartSessionBus(const std::string& folder, int* pid, std::string* why) {
  const std::string socket = folder + "/session-bus";
  *pid = SpawnProcess("/bin/sh",
                      {"sh", "-c", "exec /usr/bin/dbus-daemon --session --nofork --nopidfile --address=unix:path=\"$0\" "
                                   ">\"$0.log\" 2>&1",
                       socket},
                      why);
  if (*pid <= 0) return "";
  const uint64_t deadline = MonotonicMs() + 10000;
  while (::access(socket.c_str(), F_OK) != 0) {
    if (WaitForProcess(*pid, 0, nullptr)) *pid = -1;
    if (*pid <= 0 || MonotonicMs() > deadline) {
      *why = "the session bus for the manager did not start";
      return "";
    }
    SleepMs(20);
  }
  return "unix:path=" + socket;
}

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

bool X11WindowManager::IsKnown(const std::string& name) { return FindManager(name) != nullptr; }

std::unique_ptr<X11WindowManager> X11WindowManager::Start(const std::string& name, const std::string& display,
                                                          int timeout_ms, std::string* why) {
  const KnownManager* known = FindManager(name);
  if (known == nullptr) {
    *why = "unknown window manager \"" + name + "\" (" + KnownNames() + ")";
    return nullptr;
  }
  const std::string program = "/usr/bin/" + name;
  if (::access(program.c_str(), X_OK) != 0) {
    *why = name + " is not installed (apt-get install " + (name == "i3" ? std::string("i3-wm") : name) + ")";
    return nullptr;
  }
  std::unique_ptr<X11WindowManager> manager(new X11WindowManager());
  const std::string& folder = manager->folder_.path();
  if (folder.empty()) {
    *why = "cannot make a folder for the window manager's files";
    return nullptr;
  }
  // Its configuration, cache and session files in its own folder, never the user's.
  std::vector<std::string> args = {"/usr/bin/env",
                                   "LC_ALL=C",
                                   "DISPLAY=" + display,
                                   "HOME=" + folder,
                                   "XDG_CONFIG_HOME=" + folder,
                                   "XDG_CACHE_HOME=" + folder,
                                   "XDG_DATA_HOME=" + folder,
                                   "XDG_RUNTIME_DIR=" + folder,
                                   // Its settings in memory: no settings daemon to ask.
                                   "GSETTINGS_BACKEND=memory",
                                   // No accessibility bus started on its behalf (it would outlive it).
                                   "NO_AT_BRIDGE=1"};
  const std::string log = folder + "/manager.log";
  if (name == "xfwm4") {
    const std::string bus = StartSessionBus(folder, &manager->bus_pid_, why);
    if (bus.empty()) return nullptr;
    args.push_back("DBUS_SESSION_BUS_ADDRESS=" + bus);
  } else {
    // Nothing reached through the user's session bus.
    args.push_back("DBUS_SESSION_BUS_ADDRESS=unix:path=" + folder + "/no-session-bus");
  }
  if (name == "fluxbox") {
    const std::string setter = folder + "/bin/fbsetbg";
    if (::mkdir((folder + "/bin").c_str(), 0700) != 0 || !WriteFile(setter, kFluxboxBackgroundSetter) ||
        ::chmod(setter.c_str(), 0700) != 0) {
      *why = "cannot write " + setter;
      return nullptr;
    }
    const char* path = std::getenv("PATH");
    args.push_back("PATH=" + folder + "/bin:" + (path != nullptr ? path : "/usr/bin:/bin"));
  }
  args.push_back(program);
  if (known->config != nullptr) {
    const std::string rc = folder + "/" + name + "rc";
    if (!WriteFile(rc, known->config)) {
      *why = "cannot write " + rc;
      return nullptr;
    }
    args.insert(args.end(), {known->config_flag, rc});
  }
  if (name == "openbox" || name == "metacity") args.emplace_back("--sm-disable");
  // xfwm4 draws the screen itself, as it does on a user's desktop.
  if (name == "xfwm4") args.emplace_back("--compositor=on");
  // What it says (fluxbox, a line for each setting it lacks) goes to a log
  // in its folder; the shell becomes the manager, so the process is its.
  args.insert(args.begin(), {"sh", "-c", "exec \"$0\" \"$@\" >\"" + log + "\" 2>&1"});
  manager->pid_ = SpawnProcess("/bin/sh", args, why);
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
                                                                    std::string* why, const std::string& program) {
  if (!IsKnown(program)) {
    *why = "unknown compositing manager \"" + program + "\" (xcompmgr or picom)";
    return nullptr;
  }
  const std::string path = "/usr/bin/" + program;
  if (::access(path.c_str(), X_OK) != 0) {
    *why = program + " is not installed (apt-get install " + program + ")";
    return nullptr;
  }
  std::unique_ptr<X11CompositingManager> manager(new X11CompositingManager());
  // picom: drawn with XRender (no GPU on a virtual server), no file of the user's read.
  const std::vector<std::string> args =
      program == "picom"
          ? std::vector<std::string>{"env", "DISPLAY=" + display, path, "--backend", "xrender", "--config", "/dev/null"}
          : std::vector<std::string>{"env", path, "-d", display};
  manager->pid_ = SpawnProcess("/usr/bin/env", args, why);
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
      *why = program + " ended (" + std::to_string(code) + ") before it composed " + display;
      break;
    }
    SleepMs(20);
  }
  XCloseDisplay(d);
  if (!composing) {
    if (manager->pid_ > 0) {
      *why = program + " did not compose " + display + " within " + std::to_string(timeout_ms / 1000) + " s";
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

// The manager before its session bus, which the settings service leaves with.
X11WindowManager::~X11WindowManager() {
  for (int pid : {pid_, bus_pid_}) {
    if (pid <= 0) continue;
    KillProcess(pid);
    WaitForProcess(pid, 30000, nullptr);
  }
}

}  // namespace vz
