#include "platform/ui/x11_window_manager_testlib.h"

#include <X11/Xlib.h>
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

}  // namespace

bool DisplayHasWindowManager(const std::string& display) {
  EnsureXlibThreads();
  Display* d = XOpenDisplay(display.c_str());
  if (d == nullptr) return false;
  XWindowAttributes attributes{};
  // The event masks of every client together: a manager's redirection shows
  // there without this client competing for it.
  const bool managed =
      XGetWindowAttributes(d, DefaultRootWindow(d), &attributes) && (attributes.all_event_masks & SubstructureRedirectMask);
  XCloseDisplay(d);
  return managed;
}

std::unique_ptr<X11WindowManager> X11WindowManager::Start(const std::string& name, const std::string& display,
                                                          int timeout_ms, std::string* why) {
  if (!IsKnown(name)) {
    *why = "unknown window manager \"" + name + "\" (openbox or twm)";
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
  std::vector<std::string> args = {"env",           "LC_ALL=C",          "HOME=" + folder,
                                   "XDG_CONFIG_HOME=" + folder, "XDG_CACHE_HOME=" + folder, "XDG_DATA_HOME=" + folder,
                                   program,         "-display",          display};
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
  return manager;
}

X11WindowManager::~X11WindowManager() {
  if (pid_ <= 0) return;
  KillProcess(pid_);
  WaitForProcess(pid_, 30000, nullptr);
}

}  // namespace vz
