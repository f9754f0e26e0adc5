#include "sharing/engine/monitor_data.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

#include "common/trace_client.h"

namespace {

constexpr size_t kPixelBytes = 4;

int64_t WidthOf(const VzRect& rect) { return static_cast<int64_t>(rect.right) - rect.left; }
int64_t HeightOf(const VzRect& rect) { return static_cast<int64_t>(rect.bottom) - rect.top; }

}  // namespace

CMonitorData* CMonitorData::Create(const MonitorInfo& info) {
  const int64_t width = WidthOf(info.Rect);
  const int64_t height = HeightOf(info.Rect);
  if (width < 1 || height < 1 || width > kMaxSide || height > kMaxSide || width * height > kMaxPixels ||
      info.BitsPerPixel != 32) {
    VZ_LOG_ERROR("monitor [%d] of %lld x %lld at [%d] bits per pixel refused.", info.MonitorId,
                 static_cast<long long>(width), static_cast<long long>(height), info.BitsPerPixel);
    return nullptr;
  }
  const size_t bytes = static_cast<size_t>(width) * static_cast<size_t>(height) * kPixelBytes;
  auto* pixels = static_cast<uint8_t*>(std::malloc(bytes));
  if (pixels == nullptr) {
    VZ_LOG_ERROR("malloc memory size [%zu] failed.", bytes);
    return nullptr;
  }
  auto* frame = new (std::nothrow) CMonitorData(info, static_cast<int32_t>(width), static_cast<int32_t>(height), pixels);
  if (frame == nullptr) {
    std::free(pixels);
    VZ_LOG_ERROR("no memory for the frame of monitor [%d].", info.MonitorId);
  }
  return frame;
}

CMonitorData::CMonitorData(const MonitorInfo& info, int32_t width, int32_t height, uint8_t* pixels)
    : info_(info),
      width_(width),
      height_(height),
      // 32 bits per pixel: ((width x 32 + 31) / 32) x 4 is width x 4.
      stride_(static_cast<size_t>(width) * kPixelBytes),
      size_(static_cast<size_t>(width) * kPixelBytes * static_cast<size_t>(height)),
      pixels_(pixels) {
  VZ_LOG("CMonitorData::CMonitorData");
  FillGrey(0, 0, width_, height_);
}

CMonitorData::~CMonitorData() {
  VZ_LOG("CMonitorData::~CMonitorData");
  std::free(pixels_);
}

bool CMonitorData::Matches(const MonitorInfo& other) const {
  return other.MonitorId == info_.MonitorId && SameRect(other.Rect);
}

bool CMonitorData::SameRect(const VzRect& rect) const {
  return rect.left == info_.Rect.left && rect.top == info_.Rect.top && rect.right == info_.Rect.right &&
         rect.bottom == info_.Rect.bottom;
}

bool CMonitorData::Contains(const VzRect& rect) const {
  return 0 <= rect.left && rect.left < rect.right && rect.right <= width_ && 0 <= rect.top &&
         rect.top < rect.bottom && rect.bottom <= height_;
}

size_t CMonitorData::CopyRows(const uint8_t* source, const VzRect& box) {
  const size_t row_bytes = static_cast<size_t>(box.right - box.left) * kPixelBytes;
  uint8_t* target = pixels_ + static_cast<size_t>(box.top) * stride_ + static_cast<size_t>(box.left) * kPixelBytes;
  for (int32_t row = box.top; row < box.bottom; ++row) {
    std::memcpy(target, source, row_bytes);
    target += stride_;
    source += row_bytes;
  }
  return row_bytes * static_cast<size_t>(box.bottom - box.top);
}

bool CMonitorData::CheckScreenData(const CaptureScreenData& data) const {
  if (data.BitsPerPixel != info_.BitsPerPixel) {
    VZ_LOG_ERROR("monitor [%d]: screen data of [%d] bits per pixel, frame of [%d].", info_.MonitorId,
                 data.BitsPerPixel, info_.BitsPerPixel);
    return false;
  }
  if (data.Data == 0) return true;
  const VzRect& box = data.DirtyRect;
  // An empty box inside the frame changes nothing; any other box must lie
  // wholly inside it.
  const bool empty = box.left == box.right || box.top == box.bottom;
  const bool inside = 0 <= box.left && box.left <= box.right && box.right <= width_ && 0 <= box.top &&
                      box.top <= box.bottom && box.bottom <= height_;
  if (!inside) {
    VZ_LOG_ERROR("monitor [%d]: changed box {%d, %d, %d, %d} outside the frame (%d, %d).", info_.MonitorId,
                 box.left, box.top, box.right, box.bottom, width_, height_);
    return false;
  }
  if (empty) return true;
  const int64_t needed = WidthOf(box) * HeightOf(box) * static_cast<int64_t>(kPixelBytes);
  if (data.DataSize < needed) {
    VZ_LOG_ERROR("monitor [%d]: [%d] bytes of screen data for a box of [%lld].", info_.MonitorId, data.DataSize,
                 static_cast<long long>(needed));
    return false;
  }
  return true;
}

void CMonitorData::CopyScreenRows(const CaptureScreenData& data, int32_t top, int32_t bottom) {
  const VzRect& box = data.DirtyRect;
  if (data.Data == 0 || box.left >= box.right) return;
  const int32_t first = top > box.top ? top : box.top;
  const int32_t end = bottom < box.bottom ? bottom : box.bottom;
  if (first >= end) return;
  const size_t row_bytes = static_cast<size_t>(box.right - box.left) * kPixelBytes;
  CopyRows(CaptureScreenPixels(&data) + row_bytes * static_cast<size_t>(first - box.top),
           VzRect{box.left, first, box.right, end});
}

bool CMonitorData::ApplyScreenDataForTesting(const CaptureScreenData& data) {
  if (!CheckScreenData(data)) return false;
  CopyScreenRows(data, data.DirtyRect.top, data.DirtyRect.bottom);
  return true;
}

uint8_t* CMonitorData::BlockTarget(const VzRect& rect) {
  if (!Contains(rect)) {
    VZ_LOG_ERROR("monitor [%d]: block {%d, %d, %d, %d} refused for a frame of (%d, %d).", info_.MonitorId, rect.left,
                 rect.top, rect.right, rect.bottom, width_, height_);
    return nullptr;
  }
  return pixels_ + static_cast<size_t>(rect.top) * stride_ + static_cast<size_t>(rect.left) * kPixelBytes;
}

bool CMonitorData::PaintBlockForTesting(const uint8_t* pixels, size_t size, const VzRect& rect) {
  if (pixels == nullptr || !Contains(rect)) {
    VZ_LOG_ERROR("monitor [%d]: block {%d, %d, %d, %d} refused for a frame of (%d, %d).", info_.MonitorId,
                 rect.left, rect.top, rect.right, rect.bottom, width_, height_);
    return false;
  }
  const size_t needed = static_cast<size_t>(WidthOf(rect) * HeightOf(rect)) * kPixelBytes;
  if (size != needed) {
    VZ_LOG_ERROR("monitor [%d]: [%zu] decoded bytes for a block of [%zu].", info_.MonitorId, size, needed);
    return false;
  }
  return CopyRows(pixels, rect) > 0;
}

void CMonitorData::FillGrey(int32_t left, int32_t top, int32_t right, int32_t bottom) {
  if (left >= right || top >= bottom) return;
  // The first row pixel by pixel, the others copied from it (a large frame
  // is made in a fraction of the time).
  uint8_t* first = pixels_ + static_cast<size_t>(top) * stride_ + static_cast<size_t>(left) * kPixelBytes;
  for (int32_t x = left; x < right; ++x) std::memcpy(first + static_cast<size_t>(x - left) * kPixelBytes, &kGreyPixel, 4);
  const size_t row_bytes = static_cast<size_t>(right - left) * kPixelBytes;
  for (int32_t row = top + 1; row < bottom; ++row) std::memcpy(first + static_cast<size_t>(row - top) * stride_, first, row_bytes);
}

void CMonitorData::GreyOutside(const VzRect& shared) {
  // The shared rectangle in frame coordinates, cut to the frame (64-bit:
  // the rectangle may come from the network).
  const int64_t left = std::clamp<int64_t>(static_cast<int64_t>(shared.left) - info_.Rect.left, 0, width_);
  const int64_t right = std::clamp<int64_t>(static_cast<int64_t>(shared.right) - info_.Rect.left, 0, width_);
  const int64_t top = std::clamp<int64_t>(static_cast<int64_t>(shared.top) - info_.Rect.top, 0, height_);
  const int64_t bottom = std::clamp<int64_t>(static_cast<int64_t>(shared.bottom) - info_.Rect.top, 0, height_);
  if (left >= right || top >= bottom) {
    FillGrey(0, 0, width_, height_);
    return;
  }
  const auto l = static_cast<int32_t>(left), r = static_cast<int32_t>(right);
  const auto t = static_cast<int32_t>(top), b = static_cast<int32_t>(bottom);
  FillGrey(0, 0, width_, t);
  FillGrey(0, b, width_, height_);
  FillGrey(0, t, l, b);
  FillGrey(r, t, width_, b);
}
