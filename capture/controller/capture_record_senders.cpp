// The records the capture thread hands to the sink: sharing info, changed
// screen boxes and the cursor, with the send buffer they are built in.
#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

#include "capture/controller/capture_messages.h"
#include "capture/controller/ds_helper_window.h"
#include "capture/controller/sharing_base_controller.h"
#include "common/trace_client.h"

namespace {

// A cursor record with the largest shape: header area, 128 x 128 pixels and
// the room a mask of that size took behind them.
constexpr size_t kCursorRecordBytes =
    kCaptureMousePixelsOffset + kCaptureMouseMaxSide * kCaptureMouseMaxSide * 4 + kCaptureMouseMaxSide * 16;
constexpr size_t kSendBufferSlack = 2048;
// Larger monitors than this are refused rather than trusted for a size.
constexpr int32_t kMaxMonitorSide = 32768;

size_t RowBytes(int32_t width) { return static_cast<size_t>((width * 32 + 31) / 32) * 4; }

}  // namespace

bool CSharingBaseController::AllocateSendBuffer(int32_t max_width, int32_t max_height) {
  if (max_width <= 0 || max_height <= 0 || max_width > kMaxMonitorSide || max_height > kMaxMonitorSide) {
    VZ_LOG_ERROR("no buffer for a screen of %d x %d", max_width, max_height);
    return false;
  }
  // The cursor record uses the same buffer, so a small monitor still gets
  // room for the largest shape.
  const size_t screen_bytes = static_cast<size_t>(max_height) * RowBytes(max_width);
  const size_t size = std::max(screen_bytes, kCursorRecordBytes) + kSendBufferSlack;
  try {
    send_buffer_.assign(size, 0);
  } catch (const std::bad_alloc&) {
    VZ_LOG_ERROR("Fail to allocate memory: %zu", size);
    send_buffer_.clear();
    return false;
  }
  VZ_LOG("Allocate buffer successfully: %zx", size);
  return true;
}

bool CSharingBaseController::SendSharingInfo() {
  auto info = std::make_unique<SharingInfo>();  // zero-filled
  info->CaptureMode = capture_mode_.load();
  info->BlockWidth = block_width_;
  info->BlockHeight = block_height_;
  info->IsDesktopSharing = monitors_.SharesMonitors() ? 1 : 0;
  info->SharedRect = monitors_.SharedBox();
  info->MonitorCount = monitors_.CapturedMonitors(info->Monitors, kMaxMonitors);
  for (const ApplicationInfo& app : monitors_.SharedApplications()) {
    if (info->ApplicationCount == kMaxSharedApplications) break;
    info->Applications[info->ApplicationCount++] = app;
  }
  VZ_LOG(">DLLAPI : DSCreateCapture, monitor count=%d", info->MonitorCount);
  helper_->Send(WMDS_SHARING_INFO, reinterpret_cast<uintptr_t>(info.get()), sizeof(SharingInfo));
  return true;
}

bool CSharingBaseController::SendScreenData(int32_t monitor_id, const VzRect* monitor_rect, int32_t bits_per_pixel,
                                            const VzRect* box, const CaptureMonitorImage& source) {
  if (send_buffer_.empty() || IsStopping() || box == nullptr || monitor_rect == nullptr) return false;
  const int32_t monitor_width = monitor_rect->right - monitor_rect->left;
  const int32_t monitor_height = monitor_rect->bottom - monitor_rect->top;
  // The whole box must lie inside the monitor and the image, or the row
  // copies would read past them; such a box is not sent at all.
  if ((bits_per_pixel & 0xFF) != 32 || box->left < 0 || box->top < 0 || box->left >= box->right ||
      box->top >= box->bottom || box->right > monitor_width || box->bottom > monitor_height ||
      source.bits == nullptr || source.width < monitor_width || source.height != monitor_height ||
      source.stride < monitor_width * 4) {
    VZ_LOG_ERROR("box {%d, %d, %d, %d} of monitor [%d] (%d x %d) not sent", box->left, box->top, box->right,
                 box->bottom, monitor_id, monitor_width, monitor_height);
    return false;
  }
  const int32_t width = box->right - box->left;
  const int32_t height = box->bottom - box->top;
  const size_t row_bytes = RowBytes(width);
  const size_t data_size = static_cast<size_t>(height) * row_bytes;
  if (data_size + kCaptureScreenHeaderSize > send_buffer_.size()) {
    VZ_LOG_ERROR("box of %zu bytes exceeds the send buffer of %zu", data_size, send_buffer_.size());
    return false;
  }
  auto* record = reinterpret_cast<CaptureScreenData*>(send_buffer_.data());
  std::memset(record, 0, sizeof(CaptureScreenData));
  record->MonitorId = monitor_id;
  record->MonitorRect = *monitor_rect;
  record->DirtyRect = *box;
  record->BitsPerPixel = bits_per_pixel & 0xFF;
  record->DataSize = static_cast<int32_t>(data_size);
  record->Data = kCaptureScreenHeaderSize;
  uint8_t* out = CaptureScreenPixels(record);
  for (int32_t y = box->top; y < box->bottom; ++y) {
    const int32_t source_row = source.bottom_up ? monitor_height - y - 1 : y;
    const uint8_t* row = source.bits + static_cast<size_t>(source_row) * source.stride + box->left * 4;
    std::memcpy(out, row, static_cast<size_t>(width) * 4);
    out += row_bytes;
  }
  const intptr_t taken = helper_->Send(WMDS_SCREEN_DATA, reinterpret_cast<uintptr_t>(record),
                                       static_cast<intptr_t>(data_size + kCaptureScreenHeaderSize));
  return taken > 0;
}

bool CSharingBaseController::SendScreenData(int32_t monitor_id, const VzRect& monitor_rect, int32_t bits_per_pixel,
                                            const VzRect& box, const uint8_t* pixels, int32_t stride) {
  const CaptureMonitorImage source{pixels, monitor_rect.right - monitor_rect.left,
                                   monitor_rect.bottom - monitor_rect.top, stride, false};
  return SendScreenData(monitor_id, &monitor_rect, bits_per_pixel, &box, source);
}

bool CSharingBaseController::GetCursorBmpInfo(CaptureMouseInfo* record, const vz::ScreenCursor* cursor) {
  if (record == nullptr) return false;
  if (cursor == nullptr) {
    // A hidden cursor: the record says so with an empty shape.
    record->Width = 0;
    record->Height = 0;
    record->DataSize = 0;
    record->Data = 0;
    return true;
  }
  if (!cursor->mono_mask.empty()) return GetMonochromeCursor(record, *cursor);
  if (cursor->width > kCaptureMouseMaxSide || cursor->height > kCaptureMouseMaxSide) {
    VZ_LOG_ERROR("The dimension of the color icon not support : (%d,%d)(%d)", cursor->width, cursor->height, 32);
    return false;
  }
  const size_t count = static_cast<size_t>(std::max(cursor->width, 0)) * std::max(cursor->height, 0);
  if (count == 0 || cursor->argb.size() < count) {
    VZ_LOG_ERROR("cursor image of %d x %d holds %zu pixels", cursor->width, cursor->height, cursor->argb.size());
    return false;
  }
  record->Width = cursor->width;
  record->Height = cursor->height;
  record->HotspotX = cursor->hot_x;
  record->HotspotY = cursor->hot_y;
  record->Format = kCaptureMouseFormatArgb;
  record->DataSize = static_cast<int32_t>(count * 4);
  record->Data = kCaptureMousePixelsOffset;
  uint8_t* out = CaptureMousePixels(record);
  for (size_t i = 0; i < count; ++i) {
    // The screen gives premultiplied alpha; the record carries plain alpha,
    // as the shape's encoder expects.
    const uint32_t pixel = cursor->argb[i];
    const uint32_t a = pixel >> 24;
    uint32_t r = (pixel >> 16) & 0xFF;
    uint32_t g = (pixel >> 8) & 0xFF;
    uint32_t b = pixel & 0xFF;
    if (a != 0 && a != 255) {
      r = std::min<uint32_t>(255, (r * 255 + a / 2) / a);
      g = std::min<uint32_t>(255, (g * 255 + a / 2) / a);
      b = std::min<uint32_t>(255, (b * 255 + a / 2) / a);
    }
    out[i * 4 + 0] = static_cast<uint8_t>(a);
    out[i * 4 + 1] = static_cast<uint8_t>(r);
    out[i * 4 + 2] = static_cast<uint8_t>(g);
    out[i * 4 + 3] = static_cast<uint8_t>(b);
  }
  return true;
}

bool CSharingBaseController::GetMonochromeCursor(CaptureMouseInfo* record, const vz::ScreenCursor& cursor) {
  if (cursor.width > kCaptureMouseMaxSide || cursor.height > kCaptureMouseMaxSide) {
    VZ_LOG_ERROR("The dimension of the icon exceed the limit: %d,%d", cursor.width, cursor.height);
    return false;
  }
  const int width = cursor.width;
  const int height = cursor.height / 2;  // the AND half over the XOR half
  const size_t mask_row = static_cast<size_t>((width + 31) / 32) * 4;
  if (width <= 0 || height <= 0 || cursor.mono_mask.size() < mask_row * height * 2) {
    VZ_LOG_ERROR("monochrome cursor of %d x %d holds %zu mask bytes", width, cursor.height, cursor.mono_mask.size());
    return false;
  }
  record->Width = width;
  record->Height = height;
  record->HotspotX = cursor.hot_x;
  record->HotspotY = cursor.hot_y;
  record->Format = kCaptureMouseFormatArgb;
  record->DataSize = static_cast<int32_t>(static_cast<size_t>(height) * RowBytes(width));
  record->Data = kCaptureMousePixelsOffset;
  uint8_t* out = CaptureMousePixels(record);
  const uint8_t* and_mask = cursor.mono_mask.data();
  const uint8_t* xor_mask = and_mask + mask_row * height;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const size_t byte = static_cast<size_t>(y) * mask_row + static_cast<size_t>(x / 8);
      const uint8_t bit = static_cast<uint8_t>(0x80u >> (x % 8));
      const bool and_bit = (and_mask[byte] & bit) != 0;
      const bool xor_bit = (xor_mask[byte] & bit) != 0;
      // AND 1, XOR 0 is see-through; the inverting pixels (both 1) cannot be
      // shown as such and are drawn black; the others are black (XOR 0) or
      // white (XOR 1), so the usual two-colour shapes stay visible.
      uint8_t* pixel = out + (static_cast<size_t>(y) * width + x) * 4;
      if (and_bit && !xor_bit) {
        pixel[0] = pixel[1] = pixel[2] = pixel[3] = 0;
      } else {
        const uint8_t level = (!and_bit && xor_bit) ? 0xFF : 0x00;
        pixel[0] = 0xFF;
        pixel[1] = pixel[2] = pixel[3] = level;
      }
    }
  }
  return true;
}

bool CSharingBaseController::SendMouseInfo() {
  if (send_buffer_.empty()) return false;
  if (IsStopping()) return true;
  if (cursor_capture_enabled_.load() == 0) return true;
  vz::ScreenCursor cursor;
  if (!capture_screen_ || !capture_screen_->ReadCursor(&cursor)) return true;
  const bool visible = cursor.width > 0 && cursor.height > 0 && (!cursor.argb.empty() || !cursor.mono_mask.empty());
  MonitorInfo monitor{};
  if (!MonitorAtLogicalPoint(cursor.x, cursor.y, &monitor)) return true;
  const float scale = monitor.DpiScale > 0.0f ? monitor.DpiScale : 1.0f;
  const int32_t x = static_cast<int32_t>((cursor.x - monitor.LogicalRect.left) * scale) + monitor.Rect.left;
  const int32_t y = static_cast<int32_t>((cursor.y - monitor.LogicalRect.top) * scale) + monitor.Rect.top;
  // The point must lie in the shared area and on a monitor.
  MonitorInfo under{};
  if (!monitors_.SharedRegion().Contains(x, y) || !monitors_.MonitorAt(x, y, &under)) return true;
  const int32_t monitor_id = under.MonitorId;
  const VzRect rect = under.Rect;

  auto* record = reinterpret_cast<CaptureMouseInfo*>(send_buffer_.data());
  std::memset(record, 0, sizeof(CaptureMouseInfo));
  const bool shape_changed =
      visible ? (last_shape_hidden_ || cursor.serial != last_cursor_shape_) : !last_shape_hidden_;
  const bool resend = cursor_resend_pending_.exchange(0) != 0;
  bool shape_filled = false;
  if (shape_changed || resend) {
    shape_filled = GetCursorBmpInfo(record, visible ? &cursor : nullptr);
    if (shape_filled) {
      last_shape_hidden_ = !visible;
      last_cursor_shape_ = visible ? cursor.serial : 0;
    }
  }
  const int32_t rel_x = x - rect.left;
  const int32_t rel_y = y - rect.top;
  if (!shape_filled && rel_x == last_cursor_x_.load() && rel_y == last_cursor_y_.load()) return true;
  record->MonitorId = monitor_id;
  record->X = rel_x;
  record->Y = rel_y;
  helper_->Send(WMDS_MOUSE_INFO, reinterpret_cast<uintptr_t>(record),
                static_cast<intptr_t>(record->DataSize + kCaptureMouseHeaderSize));
  last_cursor_x_.store(rel_x);
  last_cursor_y_.store(rel_y);
  return true;
}
