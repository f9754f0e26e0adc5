#pragma once
// Where the selection window's thumbnails come from: pixels of a screen
// rectangle, the program name of a window's process and the icons a window
// publishes. The screen's implementation reads the screen source of the
// platform (a window's pixels are the screen's over its rectangle: what is
// on top of it shows too) and /proc; tests give a fake.
//
// Called on the UI thread.
#include <cstdint>
#include <string>
#include <vector>

#include "contracts/capture_records.h"
#include "platform/screen/screen_source.h"
#include "platform/ui/image.h"

class IThumbnailSource {
 public:
  virtual ~IThumbnailSource() = default;
  // The pixels of a rectangle in device pixels, clipped to the screen; an
  // empty image when nothing of it can be read.
  virtual vz::Image GrabScreen(const VzRect& rect) = 0;
  // The program's file name (after the last '/'); empty when unknown.
  virtual std::u16string ProcessName(int32_t pid) = 0;
  // Every size of icon the window publishes for its program; empty when it
  // publishes none (and from a source that cannot tell).
  virtual std::vector<vz::ScreenIcon> WindowIcons(VzWindowHandle window) {
    (void)window;
    return {};
  }
};

class CScreenThumbnailSource : public IThumbnailSource {
 public:
  // The screen must outlive this object.
  explicit CScreenThumbnailSource(vz::ScreenSource* screen) : screen_(screen) {}
  vz::Image GrabScreen(const VzRect& rect) override;
  std::u16string ProcessName(int32_t pid) override;
  std::vector<vz::ScreenIcon> WindowIcons(VzWindowHandle window) override;

 private:
  vz::ScreenSource* screen_;
  vz::ScreenPixels pixels_;
};
