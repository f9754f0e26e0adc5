#pragma once
// Test support: an in-memory screen for unit tests of the capture side: a pixel buffer the
// test paints, monitors, a cursor and a window list it sets, and counters of
// the calls made. Reads behave as the X11 source's do (same bounds checks,
// same pixel layout), and a read can be made to fail on demand.
#include <cstdint>
#include <vector>

#include "platform/screen/screen_source.h"

namespace vz {

class ScreenDouble : public ScreenSource {
 public:
  ScreenDouble(int width, int height);

  // Test set-up.
  void Fill(const ScreenRect& rect, uint32_t bgra);  // clipped to the screen
  void SetPixel(int x, int y, uint32_t bgra);
  uint32_t Pixel(int x, int y) const;
  void SetMonitors(std::vector<ScreenMonitor> monitors) { monitors_ = std::move(monitors); }
  void SetCursor(const ScreenCursor& cursor) { cursor_ = cursor; has_cursor_ = true; }
  void HideCursorSource() { has_cursor_ = false; }
  void SetWindows(std::vector<ScreenWindow> windows) { windows_ = std::move(windows); }
  // The next `count` ReadPixels calls fail.
  void FailNextReads(int count) { fail_reads_ = count; }
  // The next ReadBlock calls answer these results in order (kOk reads as
  // usual); later calls read as usual again.
  void ScriptReadResults(std::vector<ScreenReadResult> results);
  // The rectangles of every ReadBlock call, in order.
  const std::vector<ScreenRect>& block_reads() const { return block_reads_; }
  void ClearBlockReads() { block_reads_.clear(); }
  // Extra bytes at the end of every row handed out, to catch callers that
  // assume stride == width * 4.
  void SetRowPadding(int bytes) { row_padding_ = bytes; }
  int reads() const { return reads_; }
  // Pixels handed out by successful reads, all told.
  uint64_t pixels_read() const { return pixels_read_; }

  ScreenRect Bounds() override { return {0, 0, width_, height_}; }
  std::vector<ScreenMonitor> Monitors() override { return monitors_; }
  bool ReadPixels(const ScreenRect& rect, ScreenPixels* out) override;
  ScreenReadResult ReadBlock(const ScreenRect& rect, ScreenPixels* out) override;
  bool ReadCursor(ScreenCursor* out) override;
  std::vector<ScreenWindow> Windows() override { return windows_; }
  bool BringToFront(uint64_t window) override {
    brought_to_front_.push_back(window);
    return true;
  }
  // What CompositionEnabled answers (false until set).
  void SetComposition(bool on) { composition_ = on; }
  bool CompositionEnabled() override { return composition_; }
  // The windows BringToFront was asked for, in order.
  const std::vector<uint64_t>& brought_to_front() const { return brought_to_front_; }

 private:
  int width_;
  int height_;
  std::vector<uint32_t> pixels_;
  std::vector<ScreenMonitor> monitors_;
  std::vector<ScreenWindow> windows_;
  ScreenCursor cursor_;
  bool has_cursor_ = false;
  bool composition_ = false;
  int fail_reads_ = 0;
  int row_padding_ = 0;
  int reads_ = 0;
  uint64_t pixels_read_ = 0;
  std::vector<uint64_t> brought_to_front_;
  std::vector<ScreenReadResult> scripted_;
  size_t scripted_next_ = 0;
  std::vector<ScreenRect> block_reads_;
};

}  // namespace vz
