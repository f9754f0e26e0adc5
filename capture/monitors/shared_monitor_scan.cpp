// Change detection of a grabber: line and column probes against the
// previous image, the sampled scan that grows a box round the first change
// it meets, and the full compare of the whole monitor.
#include <algorithm>
#include <cstring>

#include "capture/monitors/multi_monitor.h"
#include "capture/monitors/pixel_compare.h"
#include "capture/monitors/shared_monitor.h"
#include "common/trace_client.h"

namespace {

// The cursor probe looks this many rows above and below the cursor too.
constexpr int kCursorProbeRows = 10;
// The random probe takes at most this many rows a round.
constexpr int kRandomProbeRows = 5;

int NextInOrder(const std::vector<int32_t>& order, int* position) {
  // The position advances before use and wraps to the start.
  *position += 1;
  if (*position >= static_cast<int>(order.size())) *position = 0;
  return order[static_cast<size_t>(*position)];
}

}  // namespace

bool CSharedMonitor::RowChanged(int row) {
  if (row < 0 || row >= height_ || !source_) return false;
  if (!source_->ReadPixels({monitor_.Rect.left, monitor_.Rect.top + row, width_, 1}, &line_) ||
      line_.width != width_) {
    VZ_LOG("GetScreenLineDIBmp: %d, error %d", row, 0);
    return false;
  }
  thread_local std::vector<uint32_t> line;
  line.resize(static_cast<size_t>(width_));
  std::memcpy(line.data(), line_.Row(0), static_cast<size_t>(width_) * 4);
  return FindRowChange(&previous_[static_cast<size_t>(row) * width_], line.data(), width_, &row_first_x_,
                       &row_end_x_);
}

bool CSharedMonitor::ColumnChanged(int column) {
  if (column < 0 || column >= width_ || !source_) return false;
  col_first_y_ = col_end_y_ = -1;
  if (!source_->ReadPixels({monitor_.Rect.left + column, monitor_.Rect.top, 1, height_}, &column_) ||
      column_.height != height_) {
    VZ_LOG("GetScreenLineDIBmp: column %d, error %d", column, 0);
    return false;
  }
  auto screen = [this](int y) {
    uint32_t pixel;
    std::memcpy(&pixel, column_.Row(y), 4);
    return pixel;
  };
  auto previous = [this, column](int y) { return previous_[static_cast<size_t>(y) * width_ + column]; };
  // From the bottom up, with the tolerance.
  int bottom = height_ - 1;
  while (bottom >= 0 && PixelsAlike(previous(bottom), screen(bottom))) --bottom;
  if (bottom < 0) return false;
  // From the top down to it, exactly.
  int top = 0;
  while (top < bottom && PixelsEqual(previous(top), screen(top))) ++top;
  col_first_y_ = top;
  col_end_y_ = bottom + 1;
  return true;
}

int CSharedMonitor::CursorProbe(const ScanContext& context) {
  int32_t local_phase = 0;
  int32_t* phase = context.cursor_phase ? context.cursor_phase : &local_phase;
  *phase = (*phase + 1) % 3;
  if (!context.has_cursor) return -1;
  const VzRect& rc = monitor_.Rect;
  if (context.cursor_x < rc.left || context.cursor_x >= rc.right || context.cursor_y < rc.top ||
      context.cursor_y >= rc.bottom)
    return -1;
  const int y = context.cursor_y - rc.top;
  int row = -1;
  if (*phase == 1) row = y;
  if (*phase == 0 && y + kCursorProbeRows < height_) row = y + kCursorProbeRows;
  if (*phase == 2 && y - kCursorProbeRows >= 0) row = y - kCursorProbeRows;
  return row >= 0 && RowChanged(row) ? row : -1;
}

int CSharedMonitor::RandomProbe() {
  for (int i = 0; i < kRandomProbeRows; ++i) {
    const int row = NextInOrder(row_order_, &row_order_pos_);
    if (RowChanged(row)) return row;
  }
  return -1;
}

void CSharedMonitor::Snap(const ScanContext& context) {
  const int bw = context.block_width, bh = context.block_height;
  if (context.capture_mode != 2 || bw <= 0 || bh <= 0) return;
  VzRect& box = changed_box_;
  box.left = box.left / bw * bw;
  box.top = box.top / bh * bh;
  box.right = std::min((box.right / bw + 1) * bw, width_);
  box.bottom = std::min((box.bottom / bh + 1) * bh, height_);
}

// The probes' ends are exclusive already, and the box takes one line more
// beyond them; that line is kept inside the monitor.
void CSharedMonitor::ExtendRows(bool* up, bool* down) {
  if (col_first_y_ < changed_box_.top) {
    changed_box_.top = col_first_y_;
    *up = true;
  }
  if (col_end_y_ > changed_box_.bottom) {
    changed_box_.bottom = std::min(col_end_y_ + 1, height_);
    *down = true;
  }
}

void CSharedMonitor::ExtendColumns(bool* left, bool* right) {
  if (row_first_x_ < changed_box_.left) {
    changed_box_.left = row_first_x_;
    *left = true;
  }
  if (row_end_x_ > changed_box_.right) {
    changed_box_.right = std::min(row_end_x_ + 1, width_);
    *right = true;
  }
}

void CSharedMonitor::Grow(const ScanContext& context) {
  VzRect& box = changed_box_;
  bool left = true, right = true, up = true, down = true;
  while (left || right || down) {
    while (box.left > 0 && ColumnChanged(box.left - 1)) {
      ExtendRows(&up, &down);
      box.left -= 1;
      Snap(context);
    }
    while (box.right < width_ && ColumnChanged(box.right)) {
      ExtendRows(&up, &down);
      box.right += 1;
      Snap(context);
    }
    left = right = false;
    while (up && box.top > 0 && RowChanged(box.top - 1)) {
      ExtendColumns(&left, &right);
      box.top -= 1;
      Snap(context);
    }
    while (down && box.bottom < height_ && RowChanged(box.bottom)) {
      ExtendColumns(&left, &right);
      box.bottom += 1;
      Snap(context);
    }
    up = down = false;
  }
}

int CSharedMonitor::SampledScan(const ScanContext& context) {
  const int was = alternate_;
  alternate_ ^= 1;
  int seed = was == 1 ? CursorProbe(context) : -1;
  if (seed < 0) seed = RandomProbe();
  if (seed < 0) {
    const int column = NextInOrder(column_order_, &column_order_pos_);
    if (ColumnChanged(column) && RowChanged(col_first_y_)) seed = col_first_y_;
  }
  if (seed < 0) {
    changed_box_ = {};
    return 0;
  }
  changed_box_ = {row_first_x_, seed, row_end_x_, seed + 1};
  if (ColumnChanged(changed_box_.left)) {
    bool up = false, down = false;
    ExtendRows(&up, &down);
  }
  Snap(context);
  Grow(context);

  VzRect& box = changed_box_;
  if (box.right <= box.left || box.bottom <= box.top) {
    box = {};
    return 0;
  }
  if (!BitBltBox(box.left, box.top, box.right - box.left, box.bottom - box.top)) {
    VZ_LOG_ERROR("BitBltBox failed");
    box = {};
    return 0;
  }
  if (!CopyCurrentToPrevious(box)) {
    box = {};
    return 0;
  }
  return 1;
}

int CSharedMonitor::FullCompareScan() {
  const VzRect whole{0, 0, width_, height_};
  changed_box_ = whole;
  if (!BitBltBox(0, 0, width_, height_)) {
    VZ_LOG_ERROR("BitBltBox failed.");
    changed_box_ = {};
    return 0;
  }
  VzRect found{};
  if (!FindImageChange(previous_.data(), current_->pixels(), width_, 0, 0, width_, height_, &found.left, &found.top,
                       &found.right, &found.bottom)) {
    changed_box_ = {};
    return 0;
  }
  // One column beyond the last changed pixel, as far as the monitor goes.
  found.right = std::min(found.right + 1, width_);
  VZ_LOG("draft [%s] smart [%s]", FormatRect(&whole).c_str(), FormatRect(&found).c_str());
  changed_box_ = found;
  if (!CopyCurrentToPrevious(found)) {
    VZ_LOG_ERROR("BitBlt failed.");
    changed_box_ = {};
    return 0;
  }
  return 1;
}

int CSharedMonitor::ScanScreenChanged(bool full_compare, const ScanContext& context) {
  if (!initialised_) return 0;
  return full_compare ? FullCompareScan() : SampledScan(context);
}
