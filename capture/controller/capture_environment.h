#pragma once
// What the capture library is built over: the screen and the display-change
// and desktop-switch sources. The library's exports use the system's (X11)
// environment; tests hand in doubles.
#include <functional>
#include <memory>

namespace vz {
class DesktopSwitchEvents;
class DisplayChangeWatch;
class RunLoop;
class ScreenDamageWatch;
class ScreenSource;
}  // namespace vz

struct CaptureEnvironment {
  // A screen connection for the calling thread; null when the display cannot
  // be opened (the capture thread then captures nothing).
  std::function<std::unique_ptr<vz::ScreenSource>()> open_screen;
  // Desktop switches; null when the system has none.
  std::function<std::unique_ptr<vz::DesktopSwitchEvents>()> open_desktop_switch;
  // Display changes reported on `loop` (the creating thread's); null: none.
  std::function<std::unique_ptr<vz::DisplayChangeWatch>(vz::RunLoop& loop, std::function<void()> on_change)>
      watch_display_changes;
  // Reports of drawing on the screen, `on_damage` called on a thread of the
  // watch's own at most once per 33 ms; null: none (the capture thread then
  // keeps its own pace).
  std::function<std::unique_ptr<vz::ScreenDamageWatch>(std::function<void()> on_damage)> watch_damage;
};

// The X11 screen of $DISPLAY.
CaptureEnvironment SystemCaptureEnvironment();
