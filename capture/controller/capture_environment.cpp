#include "capture/controller/capture_environment.h"

#include <string>

#include "platform/desktop_switch.h"
#include "platform/screen/display_changes.h"
#include "platform/screen/screen_damage.h"
#include "platform/screen/screen_source.h"

CaptureEnvironment SystemCaptureEnvironment() {
  CaptureEnvironment environment;
  environment.open_screen = [] {
    vz::X11ScreenOptions options;
    options.watch_windows = true;  // the window list is read every round
    return vz::OpenX11ScreenSource(options);
  };
  environment.open_desktop_switch = [] { return vz::OpenDesktopSwitchEvents(); };
  environment.watch_display_changes = [](vz::RunLoop& loop, std::function<void()> on_change) {
    return vz::WatchDisplayChanges(loop, std::string(), std::move(on_change));
  };
  environment.watch_damage = [](std::function<void()> on_damage) {
    return vz::WatchScreenDamage(vz::ScreenDamageOptions{}, std::move(on_damage));
  };
  return environment;
}
