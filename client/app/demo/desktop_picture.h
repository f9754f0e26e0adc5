#pragma once
// The presenter's desktop for the local meeting demonstration: a picture of
// the project's own on the root window (a gradient, a few windows with
// text), a clock window that shows the time as text and as a stamp the
// attendee's frame can be read by (frame_measures.h), and a window that can
// be moved across the screen. Drawn by a client of its own; one thread at a
// time. The windows ask for their places as a user's program does; under a
// window manager that places or frames them elsewhere, StampPlace says
// where the clock's stamp really is.
#include <cstdint>
#include <memory>
#include <string>

#include "platform/screen/x11_picture_windows_testlib.h"

class DesktopPicture {
 public:
  // Null (with why) when the display cannot be opened or drawn on.
  static std::unique_ptr<DesktopPicture> Open(const std::string& display, std::string* why);

  int width() const { return windows_->screen_width(); }
  int height() const { return windows_->screen_height(); }
  // Where the clock window was asked to be (its client area's top left).
  int clock_asked_x() const { return clock_x_; }
  int clock_asked_y() const { return clock_y_; }
  // Where the stamp lies on the screen now (the clock window's client
  // area, wherever its manager put it); false when the window is gone.
  bool StampPlace(int* x, int* y);

  // Shows `ms` (the monotonic clock) in the clock window.
  bool ShowTime(uint64_t ms);
  // Moves the moving window one step along its path.
  void Step();

 private:
  static constexpr int kClockWidth = 460;
  static constexpr int kClockHeight = 76;
  static constexpr int kStampInset = 10;

  explicit DesktopPicture(std::unique_ptr<vz::X11PictureWindows> windows) : windows_(std::move(windows)) {}
  bool Draw();

  std::unique_ptr<vz::X11PictureWindows> windows_;
  uint64_t clock_ = 0;
  uint64_t mover_ = 0;
  int clock_x_ = 0;
  int clock_y_ = 0;
  int step_ = 0;
};
