#pragma once
// The grabber of one shared monitor: keeps the monitor's previous and
// current image, finds the box that changed since the last round, copies it
// from the screen in bands, paints what must not be seen and hands the box
// to the sender.
//
// Threading: the capture thread only. The screen source is that thread's.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "capture/monitors/changed_box_sender.h"
#include "capture/monitors/screen_region.h"
#include "contracts/capture_records.h"
#include "platform/screen/screen_source.h"

// Results of copying one block from the screen.
enum BitBltBlockResult : int { kBlockCopied = 0, kBlockNoBitmap = 1, kBlockCopyFailed = 2, kBlockNoContext = 3 };

// Bands of a box copy are never lower than this many lines.
inline constexpr int kMinBandLines = 64;
// Parts of a sent box outside the shared area.
inline constexpr uint32_t kOutsideColour = 0x606060;

// What a scan needs to know of the round beyond its own monitor.
struct ScanContext {
  int32_t capture_mode = 0;  // 2: boxes widen to the block grid
  int32_t block_width = 128;
  int32_t block_height = 128;
  bool has_cursor = false;  // cursor position in device pixels
  int32_t cursor_x = 0;
  int32_t cursor_y = 0;
  // The cursor-probe phase, shared by all grabbers of a round: 1, 2, 0, ...
  int32_t* cursor_phase = nullptr;
};

class CSharedMonitor {
 public:
  explicit CSharedMonitor(const MonitorInfo& monitor);
  ~CSharedMonitor();
  CSharedMonitor(const CSharedMonitor&) = delete;
  CSharedMonitor& operator=(const CSharedMonitor&) = delete;

  // Takes the screen source and builds the images and probe orders; false
  // (with a log line) when the monitor is unusable or memory is short.
  bool InitMonitor(vz::ScreenSource* source);
  int EndMonitor();
  // Takes the screen source again (after the display was reopened).
  bool UpdateScreenDC(vz::ScreenSource* source);
  // The monitor record's device name, for log lines.
  std::string DeviceName() const;

  // Finds and copies the changed box: the whole monitor compared row by row
  // (full_compare), or sampled lines and columns grown into a box. 1 when a
  // box was found and taken into the images, 0 otherwise (box empty).
  int ScanScreenChanged(bool full_compare, const ScanContext& context);
  // Drawing that the display server reported (device pixels): the parts on
  // this monitor are probed first by the next sampled scans, one rectangle
  // after another until one shows a change, which seeds the growing box.
  // Kept until probed or inside a found box; at most vz::kMaxDamageRects.
  // A full compare or a whole copy forgets them.
  void AddDamage(const std::vector<VzRect>& rects);
  bool has_damage() const { return !damage_.empty(); }
  // Copies the whole monitor and sends it. 1 when the copy worked.
  int ForceDumpScreenRect(const CScreenRegion& shared, const CScreenRegion& covered, uint32_t header_colour,
                          IChangedBoxSender& sender);
  // Cuts the changed box to the shared area, paints the parts outside it in
  // 0x606060 and the covered parts in the header colour, and sends it. True
  // when the sender took it. Regions are in device pixels.
  bool SendChangedBox(const CScreenRegion& shared, const CScreenRegion& covered, uint32_t header_colour,
                      IChangedBoxSender& sender);

  // Copies a box of the screen (monitor coordinates) into the current image
  // in bands, retrying smaller bands when memory is short.
  bool BitBltBox(int x, int y, int width, int height);
  int BitBltBlock(int x, int y, int width, int height);

  const MonitorInfo& monitor() const { return monitor_; }
  int width() const { return width_; }
  int height() const { return height_; }
  const VzRect& changed_box_for_testing() const { return changed_box_; }
  // The previous image, top row first, width() pixels a row.
  const uint32_t* previous_bits_for_testing() const { return previous_.data(); }
  // Overwrites the previous image (tests and benchmarks start from a known frame).
  void SetPreviousImageForTesting(const std::vector<uint32_t>& pixels);

 private:
  // Line probes against the previous image; they set the row or column
  // range of the change they find.
  bool RowChanged(int row);
  bool ColumnChanged(int column);
  int CursorProbe(const ScanContext& context);
  int RandomProbe();
  // Reads the reported rectangles and compares them with the previous
  // image; true with the box of the first change found.
  bool DamageProbe();
  int SampledScan(const ScanContext& context);
  int FullCompareScan();
  void Grow(const ScanContext& context);
  void Snap(const ScanContext& context);
  // Extends the box's top and bottom by the last column probe's range.
  void ExtendRows(bool* up, bool* down);
  // Extends the box's left and right by the last row probe's range.
  void ExtendColumns(bool* left, bool* right);
  bool CopyCurrentToPrevious(const VzRect& box);
  void Fill(const CScreenRegion& region, uint32_t pixel);

  MonitorInfo monitor_;
  bool initialised_ = false;
  vz::ScreenSource* source_ = nullptr;
  int width_ = 0;
  int height_ = 0;
  int depth_ = 32;
  int colour_bits_ = 32;
  int row_first_x_ = 0, row_end_x_ = 0;
  int col_first_y_ = -1, col_end_y_ = -1;
  std::vector<uint32_t> previous_;
  // Made by the screen source, so a read of whole rows lands here directly
  // and the compare reads the pixels where the read put them.
  std::unique_ptr<vz::ScreenImage> current_;
  vz::ScreenPixels line_, column_;
  std::vector<int32_t> row_order_, column_order_;
  int row_order_pos_ = 0, column_order_pos_ = 0;
  VzRect changed_box_{};
  VzRect send_box_{};
  int alternate_ = 1;
  std::vector<vz::ScreenRect> damage_;  // monitor coordinates, oldest first
};
