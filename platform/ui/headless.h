#pragma once
// The headless backend: top-level windows are images in memory, input is
// synthetic. For tests and for pictures of windows. UI thread only.
#include <memory>
#include <string>

#include "platform/ui/image.h"
#include "platform/ui/window.h"

namespace vz {

class HeadlessWindowSystem : public WindowSystem {
 public:
  // Screen and work area default to 1920x1080 with no panels.
  static std::unique_ptr<HeadlessWindowSystem> Create(Size screen = {1920, 1080});

  // The monitors the screen is divided into; empty (the start): the whole
  // screen is one monitor with the work area.
  virtual void SetMonitors(std::vector<MonitorArea> monitors) = 0;
  virtual void SetPointerPosition(Point screen) = 0;

  // The top-level windows, bottom to top, visible or not.
  virtual std::vector<Window*> TopLevelWindows() = 0;
  // The top-level window named by its title, or null.
  virtual Window* FindWindowByTitle(const std::string& title) = 0;

  // Paints what is invalid and returns the back buffer of a top-level window
  // (alpha as painted; shape and opacity not applied).
  virtual const Image& Render(Window* top_level) = 0;
  // The window as a compositor shows it: Render's pixels, transparent
  // outside the window's shape, every pixel scaled by the opacity.
  virtual Image RenderVisible(Window* top_level) = 0;

  // Synthetic input on the screen: a mouse event goes to the window under
  // the point (or to the capture/grab holder), keys to the focused window.
  virtual void SendMouse(MouseAction action, MouseButton button, Point screen, int wheel = 0,
                         uint32_t modifiers = 0) = 0;
  void ClickForTesting(Point screen) {
    SendMouse(MouseAction::kPress, MouseButton::kLeft, screen);
    SendMouse(MouseAction::kRelease, MouseButton::kLeft, screen);
  }
  virtual void SendKey(uint32_t keysym, const std::string& text = "", uint32_t modifiers = 0) = 0;
  void TypeTextForTesting(const std::string& utf8);
};

}  // namespace vz
