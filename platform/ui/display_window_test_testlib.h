#pragma once
// Test support for display tests of windows: fixtures with this program's
// window system open on a real X display. DisplayWindowTest uses the
// program's shared private display (DisplayTestEnv) and skips when there is
// none; TwmDisplayWindowTest starts a 1024x768 server of the test's own run
// by twm, and skips when Xvfb or twm is missing. Both fail the test when
// the window system cannot be opened. Everything runs on the test's thread.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/run_loop.h"
#include "platform/test_requirement_testlib.h"
#include "platform/ui/display_probe.h"
#include "platform/ui/display_test_env_testlib.h"
#include "platform/ui/input_injector.h"
#include "platform/ui/window.h"
#include "platform/ui/x11_foreign_window_testlib.h"
#include "platform/ui/x11_window_manager_testlib.h"
#include "platform/ui/xvfb_testlib.h"

namespace vz {

class DisplayWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!env_.available()) VZ_SKIP_TEST_WITHOUT(vz::kNeedsXvfb) << env_.why();
    OpenWindowSystem(env_.display());
  }
  // The window system goes before the display it was opened on.
  void TearDown() override { system_.reset(); }

  // ":N" of the display the window system is open on.
  const std::string& display() const { return display_; }
  // Serves the run loop until `done` holds or `timeout_ms` passes.
  bool RunUntil(const std::function<bool()>& done, int timeout_ms = 5000) {
    return env_.RunUntil(loop_, done, timeout_ms);
  }
  // XTest on the display; null when it has none.
  std::unique_ptr<InputInjector> OpenInjector() { return InputInjector::Open(display_.c_str()); }

  // A shown top-level window of the program's, outside any window
  // manager's care (override-redirect); null when it was not made.
  std::unique_ptr<Window> ShowTopWindow(WindowDelegate* delegate, const Rect& bounds, const std::string& title) {
    WindowParams params;
    params.bounds = bounds;
    params.title = title;
    params.flags = kWindowOverrideRedirect;
    std::unique_ptr<Window> window = system_->CreateWindow(params, delegate);
    if (window) window->Show();
    return window;
  }

  void OpenWindowSystem(const std::string& display) {
    display_ = display;
    system_ = OpenDisplayWindowSystem(display_.c_str());
    ASSERT_TRUE(system_) << "cannot open the window system on " << display_;
  }

  DisplayTestEnv& env_ = DisplayTestEnv::Get();
  RunLoop& loop_ = RunLoop::ForCurrentThread();
  std::unique_ptr<WindowSystem> system_;

 private:
  std::string display_;
};

class TwmDisplayWindowTest : public DisplayWindowTest {
 protected:
  void SetUp() override {
    std::string why;
    if (!server_.Start(&why, 1024, 768)) VZ_SKIP_TEST_WITHOUT(vz::kNeedsXvfb) << why;
    twm_ = X11WindowManager::Start("twm", server_.display(), 30000, &why);
    if (!twm_) VZ_SKIP_TEST_WITHOUT(NeedsPackage("twm")) << why;
    OpenWindowSystem(server_.display());
  }

  // Whether twm took the window into a frame of its own: it is no longer
  // one of the root's own children.
  bool Framed(uint64_t window) const {
    for (const DisplayWindowInfo& info : ListDisplayWindows(display().c_str())) {
      if (info.id == window) return false;
    }
    return true;
  }

 private:
  XvfbServer server_;
  std::unique_ptr<X11WindowManager> twm_;
};

}  // namespace vz
