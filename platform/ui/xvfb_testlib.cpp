#include "platform/ui/xvfb_testlib.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>

namespace vz {

namespace {
const char* const kXvfbPaths[] = {"/usr/bin/Xvfb", "/usr/local/bin/Xvfb"};
}

bool XvfbServer::Start(std::string* why, int width, int height) {
  const char* path = nullptr;
  for (const char* candidate : kXvfbPaths) {
    if (access(candidate, X_OK) == 0) path = candidate;
  }
  if (path == nullptr) {
    *why = "Xvfb is not installed (apt-get install xvfb); display tests skipped";
    return false;
  }
  int fds[2];
  const std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
  if (pipe2(fds, O_CLOEXEC) != 0) {
    *why = "pipe failed";
    return false;
  }
  const pid_t pid = fork();
  if (pid < 0) {
    close(fds[0]);
    close(fds[1]);
    *why = "fork failed";
    return false;
  }
  if (pid == 0) {
    // The server writes its display number to this descriptor when ready.
    dup2(fds[1], 3);
    const int devnull = open("/dev/null", O_RDWR);
    if (devnull >= 0) {
      dup2(devnull, 0);
      dup2(devnull, 1);
      dup2(devnull, 2);
    }
    execl(path, "Xvfb", "-displayfd", "3", "-screen", "0", screen.c_str(), "-nolisten", "tcp", "-noreset",
          static_cast<char*>(nullptr));
    _exit(127);
  }
  close(fds[1]);
  pid_ = pid;
  std::string number;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (std::chrono::steady_clock::now() < deadline) {
    pollfd p{fds[0], POLLIN, 0};
    if (poll(&p, 1, 100) <= 0) continue;
    char c = 0;
    const ssize_t got = read(fds[0], &c, 1);
    if (got <= 0) break;
    if (c == '\n') {
      close(fds[0]);
      display_ = ":" + number;
      return true;
    }
    number.push_back(c);
  }
  close(fds[0]);
  *why = "Xvfb did not start";
  return false;
}

XvfbServer::~XvfbServer() {
  if (pid_ <= 0) return;
  kill(pid_, SIGTERM);
  int status = 0;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (waitpid(pid_, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      kill(pid_, SIGKILL);
      waitpid(pid_, &status, 0);
      break;
    }
    usleep(10000);
  }
}

}  // namespace vz

#include "platform/ui/display_test_env_testlib.h"

namespace vz {

DisplayTestEnv::DisplayTestEnv() { available_ = server_.Start(&why_); }

DisplayTestEnv& DisplayTestEnv::Get() {
  static DisplayTestEnv* env = new DisplayTestEnv();  // stopped by a test's atexit below
  static bool registered = [] {
    atexit([] { delete env; });
    return true;
  }();
  (void)registered;
  return *env;
}

bool DisplayTestEnv::RunUntil(RunLoop& loop, const std::function<bool()>& done, int timeout_ms) {
  // done() is asked once per tick and its answer kept: a condition that
  // holds one moment (a grab of a window the manager is reparenting) may
  // not hold at a second asking, and the first yes is what counts.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  bool met = done();
  if (met) return true;
  loop.StartTimer(this, 1, 10, [&] {
    met = done();
    if (met || std::chrono::steady_clock::now() > deadline) loop.Quit();
  });
  loop.Run();
  loop.KillTimer(this, 1);
  return met;
}

bool DisplayTestEnv::HoldsFor(RunLoop& loop, const std::function<bool()>& holds, int duration_ms) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(duration_ms);
  bool held = holds();
  if (!held) return false;
  loop.StartTimer(this, 2, 50, [&] {
    held = holds();
    if (!held || std::chrono::steady_clock::now() > end) loop.Quit();
  });
  loop.Run();
  loop.KillTimer(this, 2);
  return held;
}

}  // namespace vz
