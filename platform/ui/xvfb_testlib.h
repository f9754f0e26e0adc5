#pragma once
// Test support: a private X server (Xvfb) for tests that need a real
// display. It picks a free display number itself; the server is stopped and
// reaped when the object goes. When Xvfb is not installed, Start says so and
// the test skips.
#include <string>

namespace vz {

class XvfbServer {
 public:
  XvfbServer() = default;
  ~XvfbServer();
  XvfbServer(const XvfbServer&) = delete;
  XvfbServer& operator=(const XvfbServer&) = delete;

  // Starts a 1280x1024x24 screen (or the size given); false (with `why`) when
  // Xvfb is missing or did not come up within a few seconds.
  bool Start(std::string* why, int width = 1280, int height = 1024);
  int pid() const { return pid_; }
  // ":N", for XOpenDisplay or $DISPLAY.
  const std::string& display() const { return display_; }

 private:
  int pid_ = -1;
  std::string display_;
};

}  // namespace vz
