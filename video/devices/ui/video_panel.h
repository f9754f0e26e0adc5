#pragma once
// The video panel as the platform video controller drives it: its window,
// its main view's model, its toolbar, its title. The window panel
// (VideoMainPanelWindow) implements it; tests use a fake. UI thread only.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "video/devices/ui/main_view_model.h"

namespace vzpanel {

// The toolbar's operations the controller uses.
class IVideoPanelToolbar {
 public:
  // The invisible attendee: my-video and options hidden, the status shown in state 8.
  virtual void setInvisibleMode() = 0;
  virtual void setLogo(bool on) = 0;
  virtual void setHeaderColors(uint32_t background, uint32_t text) = 0;
  // The status button's state (my RosterRecord's AudioStatus, 1 to 8).
  virtual void setStatus(int32_t state) = 0;

 protected:
  ~IVideoPanelToolbar() = default;
};

class IVideoPanel {
 public:
  virtual ~IVideoPanel() = default;
  // Creates the window: a child filling `container` (a window id of the
  // display; 0 for none) or a top-level window, then the main view's layout.
  // False, logged, when no window could be made.
  virtual bool createVideoWindow(uint64_t container, int32_t layout) = 0;
  // The main view's model; null once the views are gone.
  virtual MainViewModel* mainView() = 0;
  // The toolbar; null once removed.
  virtual IVideoPanelToolbar* toolbar() = 0;
  virtual void removeToolbar() = 0;
  virtual void setMyVideoStatus(bool started) = 0;
  virtual void setTitle(const std::u16string& title) = 0;
  // Brings the panel window to the front.
  virtual void activate() = 0;
  // The options button's command: opens or closes the camera options window.
  virtual void onOptionsCommand() = 0;
  // The main view's model changed from outside: repaint what shows it.
  virtual void refresh() = 0;
  // Uninitialises the views and destroys the window; a second call does nothing.
  virtual void destroyVideoWindow() = 0;
};

class CWinVideoController;
// Makes a panel for a controller and my wide roster id; null when none can be made.
using VideoPanelFactory =
    std::function<std::unique_ptr<IVideoPanel>(CWinVideoController* controller, const std::u16string& my_roster_id)>;

}  // namespace vzpanel
