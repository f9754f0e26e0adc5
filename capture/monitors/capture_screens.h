#pragma once
// The capture round's work on the shared monitors: building one grabber per
// monitor that meets the shared area, the incremental round (scan, then
// send), the full refresh of every monitor, and the visual-change test that
// decides whether the shared area itself moved.
//
// Threading: the capture thread (InitScreen, rounds); EndScreen also on the
// caller's thread once the capture thread has stopped. The controller holds
// its own lock round InitScreen and EndScreen; the monitor set's lock guards
// the grabber list.
#include "capture/monitors/multi_monitor.h"
#include "capture/monitors/changed_box_sender.h"
#include "capture/monitors/shared_monitor.h"
#include "capture/monitors/sharing_rgn_controller.h"

enum class CaptureRoundResult {
  kNoChange = 0,
  kChanged = 1,       // a sink took data
  kVisualChange = 2,  // the shared area moved: reopen the screen, skip the round
};

// What the controller passes into a round.
struct CaptureRoundSettings {
  bool full_compare = false;  // compare whole monitors instead of sampling lines
  int32_t capture_mode = 0;
  int32_t block_width = 128;
  int32_t block_height = 128;
  uint32_t header_colour = 0xff0084ff;  // MeetConfig HeaderBgColor
  bool has_cursor = false;              // cursor position in device pixels
  int32_t cursor_x = 0;
  int32_t cursor_y = 0;
};

class CCaptureScreens {
 public:
  CCaptureScreens(CMultiMonitor& monitors, CSharingRgnController& regions);

  // Resets the regions, walks the windows, and builds and initialises a
  // grabber for every monitor that meets the shared area. False (no
  // grabbers) when none does; otherwise the largest grabber size, for the
  // send buffer.
  bool InitScreen(vz::ScreenSource& source, const IsOwnWindowFn& is_own_window, int* max_width, int* max_height);
  // Frees every grabber.
  void EndScreen();

  // Walks the windows; true when the shared area is as before (the regions
  // are then stored in the monitor set), false on a visual change.
  bool RegionsUnchanged(vz::ScreenSource& source, const IsOwnWindowFn& is_own_window);
  // Scans every grabber and sends what changed; true when a sink took data.
  bool ScanAndSend(const CaptureRoundSettings& settings, IChangedBoxSender& sender);
  // One incremental round: visual-change test, then scan and send on every
  // grabber.
  CaptureRoundResult CheckSharedScreenData(vz::ScreenSource& source, const IsOwnWindowFn& is_own_window,
                                           const CaptureRoundSettings& settings, IChangedBoxSender& sender);
  // Where drawing can change what is sent: the shared area of the monitors
  // that have a grabber, less its covered part (sent in the header colour
  // whatever is drawn there). Rectangles in device pixels.
  std::vector<VzRect> WatchedArea();
  // Copies and sends every monitor whole; true when any grabber copied.
  bool DumpAllScreens(uint32_t header_colour, IChangedBoxSender& sender);

 private:
  CMultiMonitor& monitors_;
  CSharingRgnController& regions_;
  int32_t cursor_phase_ = 0;
};
