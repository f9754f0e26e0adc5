// vz_managed_display: runs a program on a private X server (Xvfb) under a
// window manager, as on a user's desktop, for the tests of programs that
// must work there too.
//
//   vz_managed_display --manager M [--size WxH] -- <program> [args...]
//
// M: a window manager (openbox, twm, metacity, fluxbox, icewm, xfwm4 with
// its compositor, jwm, i3), a compositing manager alone (picom, xcompmgr),
// or none (the bare server).
// The program gets DISPLAY; its exit code is this one's. Exit code 77 (a
// skip) when Xvfb or the manager is not installed, 2 on a wrong command
// line, 1 when the server or the manager would not start. The manager and
// the server are stopped when the program ends; SIGTERM or SIGINT is passed
// on to the program, which is then waited for.
#include <signal.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/process.h"
#include "platform/ui/x11_window_manager_testlib.h"
#include "platform/ui/xvfb_testlib.h"

namespace {

constexpr int kSkipped = 77;
constexpr int kManagerStartMs = 30000;

constexpr char kManagers[] = "openbox|twm|metacity|fluxbox|icewm|xfwm4|jwm|i3|picom|xcompmgr|none";

volatile sig_atomic_t g_stop_signal = 0;

void NoteStop(int signal_number) { g_stop_signal = signal_number; }

int Usage(const char* why) {
  std::fprintf(stderr,
               "vz_managed_display: %s\nusage: vz_managed_display --manager %s "
               "[--size WxH] -- <program> [args...]\n",
               why, kManagers);
  return 2;
}

bool ParseSize(const std::string& text, int* width, int* height) {
  int w = 0, h = 0;
  char extra = 0;
  if (std::sscanf(text.c_str(), "%dx%d%c", &w, &h, &extra) != 2 || w < 320 || h < 240 || w > 8192 || h > 8192) {
    return false;
  }
  *width = w;
  *height = h;
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  std::string manager_name;
  int width = 1280, height = 1024;
  int first = argc;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--") {
      first = i + 1;
      break;
    }
    if (arg == "--help" || arg == "-h") {
      std::printf("usage: vz_managed_display --manager %s [--size WxH] -- <program> [args...]\n", kManagers);
      return 0;
    }
    if (i + 1 >= argc) return Usage(("\"" + arg + "\" needs a value or is unknown").c_str());
    if (arg == "--manager") {
      manager_name = argv[++i];
      if (!vz::X11WindowManager::IsKnown(manager_name) && !vz::X11CompositingManager::IsKnown(manager_name) &&
          manager_name != "none") {
        return Usage("unknown manager");
      }
    } else if (arg == "--size") {
      if (!ParseSize(argv[++i], &width, &height)) return Usage("the size is WxH, from 320x240 to 8192x8192");
    } else {
      return Usage(("unknown option \"" + arg + "\"").c_str());
    }
  }
  if (manager_name.empty()) return Usage("--manager is needed");
  if (first >= argc) return Usage("no program to run after --");

  std::string why;
  vz::XvfbServer server;
  if (!server.Start(&why, width, height)) {
    std::fprintf(stderr, "vz_managed_display: %s\n", why.c_str());
    return why.find("not installed") != std::string::npos ? kSkipped : 1;
  }
  std::unique_ptr<vz::X11WindowManager> manager;
  std::unique_ptr<vz::X11CompositingManager> compositor;
  if (vz::X11CompositingManager::IsKnown(manager_name)) {
    compositor = vz::X11CompositingManager::Start(server.display(), kManagerStartMs, &why, manager_name);
  } else if (manager_name != "none") {
    manager = vz::X11WindowManager::Start(manager_name, server.display(), kManagerStartMs, &why);
  }
  if (manager_name != "none" && !manager && !compositor) {
    std::fprintf(stderr, "vz_managed_display: %s\n", why.c_str());
    return why.find("not installed") != std::string::npos ? kSkipped : 1;
  }
  std::printf("vz_managed_display: Xvfb %s of %dx%d under %s\n", server.display().c_str(), width, height,
              manager_name.c_str());
  std::fflush(stdout);

  struct sigaction action {};
  action.sa_handler = NoteStop;
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);
  std::vector<std::string> args = {"env", "DISPLAY=" + server.display()};
  for (int i = first; i < argc; ++i) args.emplace_back(argv[i]);
  const int child = vz::SpawnProcess("/usr/bin/env", args, &why);
  if (child <= 0) {
    std::fprintf(stderr, "vz_managed_display: cannot start %s: %s\n", argv[first], why.c_str());
    return 1;
  }
  int code = 1;
  bool passed_on = false;
  while (!vz::WaitForProcess(child, 100, &code)) {
    if (g_stop_signal != 0 && !passed_on) {
      kill(child, g_stop_signal);
      passed_on = true;
    }
  }
  return code;
}
