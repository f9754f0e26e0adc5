#include "capture/monitors/shared_monitor.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <new>
#include <string>

#include "capture/monitors/multi_monitor.h"
#include "capture/monitors/spread_order.h"
#include "common/trace_client.h"
#include "platform/text.h"

namespace {

// A monitor larger than this on either side is refused rather than given
// images of gigabytes; the size comes from the display server.
constexpr int kMaxMonitorSide = 16384;

// The header colour is a COLORREF (0x00BBGGRR) once its top byte is gone;
// the images hold B, G, R, X bytes.
uint32_t PixelOfColorref(uint32_t colorref) {
  const uint32_t r = colorref & 0xFF, g = (colorref >> 8) & 0xFF, b = (colorref >> 16) & 0xFF;
  return b | (g << 8) | (r << 16);
}

}  // namespace

CSharedMonitor::CSharedMonitor(const MonitorInfo& monitor) : monitor_(monitor) {
  VZ_LOG("this=0x%016llX, nIndex=%d", vz::LogAddress(this), monitor_.MonitorId);
}

CSharedMonitor::~CSharedMonitor() { VZ_LOG("this=0x%016llX, monitor id=%d", vz::LogAddress(this), monitor_.MonitorId); }

bool CSharedMonitor::UpdateScreenDC(vz::ScreenSource* source) {
  source_ = source;
  if (!source_) {
    VZ_LOG_ERROR("UpdateScreenDC: device name %s, err=%d, dc=0x%08X", DeviceName().c_str(), 0, 0u);
    return false;
  }
  return true;
}

std::string CSharedMonitor::DeviceName() const {
  size_t length = 0;
  while (length < std::size(monitor_.DeviceName) && monitor_.DeviceName[length] != 0) ++length;
  return vz::Utf16ToUtf8(std::u16string_view(monitor_.DeviceName, length));
}

bool CSharedMonitor::InitMonitor(vz::ScreenSource* source) {
  const VzRect& rc = monitor_.Rect;
  VZ_LOG(" this=0x%016llX, MonitorId=%d, devicename=%s, rc=[%s] clrbits=%d", vz::LogAddress(this),
         monitor_.MonitorId, DeviceName().c_str(), FormatRect(&rc).c_str(), monitor_.BitsPerPixel);
  if (!UpdateScreenDC(source)) {
    VZ_LOG_ERROR(" UpdateScreenDC monitor id [%d] devicename [%s], err=[%d], dc=0x%08X", monitor_.MonitorId,
                 DeviceName().c_str(), 0, 0u);
    return false;
  }
  depth_ = 32;
  width_ = rc.right - rc.left;
  height_ = rc.bottom - rc.top;
  colour_bits_ = monitor_.BitsPerPixel;
  VZ_LOG("InitScreen  ____BEGIN____");
  VZ_LOG("SYSTEM clrbits=%d", colour_bits_);
  VZ_LOG("SCREEN SIZE =(%d, %d)", width_, height_);
  if (width_ <= 0 || height_ <= 0 || width_ > kMaxMonitorSide || height_ > kMaxMonitorSide) {
    VZ_LOG_ERROR("InitScreen  ____FAILED!____ size %d x %d", width_, height_);
    return false;
  }
  try {
    const size_t pixels = static_cast<size_t>(width_) * height_;
    previous_.assign(pixels, 0);
    current_ = source_->NewImage(width_, height_);
    if (!current_ || current_->width() != width_ || current_->height() != height_) throw std::bad_alloc();
    row_order_ = SpreadOrder(height_);
    column_order_ = SpreadOrder(width_);
  } catch (const std::bad_alloc&) {
    VZ_LOG_ERROR("InitScreen  ____FAILED!____ no memory for %d x %d", width_, height_);
    previous_.clear();
    current_.reset();
    return false;
  }
  row_order_pos_ = column_order_pos_ = 0;
  changed_box_ = send_box_ = {};
  VZ_LOG("InitScreen [(%d, %d)] ____END____", 0, 0);
  initialised_ = true;
  return true;
}

int CSharedMonitor::EndMonitor() {
  initialised_ = false;
  previous_ = {};
  current_.reset();
  line_ = column_ = {};
  damage_.clear();
  return 1;
}

void CSharedMonitor::SetPreviousImageForTesting(const std::vector<uint32_t>& pixels) {
  if (pixels.size() == previous_.size()) previous_ = pixels;
}

int CSharedMonitor::BitBltBlock(int x, int y, int width, int height) {
  if (!source_ || !initialised_ || !current_) return kBlockNoContext;
  if (x < 0 || y < 0 || width <= 0 || height <= 0 || x + width > width_ || y + height > height_) {
    VZ_LOG_ERROR("BitBltBlock -> 0, BitBlt->ERROR!!![%d]", 0);
    return kBlockCopyFailed;
  }
  const vz::ScreenRect rect{monitor_.Rect.left + x, monitor_.Rect.top + y, width, height};
  vz::ScreenReadResult result;
  try {
    // The read lands in the current image itself: no second copy.
    result = source_->ReadInto(rect, current_.get(), x, y);
  } catch (const std::bad_alloc&) {
    result = vz::ScreenReadResult::kNoBuffer;
  }
  switch (result) {
    case vz::ScreenReadResult::kOk:
      return kBlockCopied;
    case vz::ScreenReadResult::kNoBuffer:
      VZ_LOG_ERROR(" ->CreateCompatibleBitmap -> FAILED nWidth=%d, nHeight=%d, Error=%d", width, height, 0);
      return kBlockNoBitmap;
    case vz::ScreenReadResult::kNoConnection:
      VZ_LOG_ERROR(" ->CreateCompatibleDC -> FAILED, Error=%d", 0);
      return kBlockNoContext;
    default:
      VZ_LOG_ERROR("BitBltBlock -> 1, BitBlt->ERROR!!![%d]", static_cast<int>(result));
      return kBlockCopyFailed;
  }
}

bool CSharedMonitor::BitBltBox(int x, int y, int width, int height) {
  if (width <= 0 || height <= 0) return false;
  for (int divisor = 1; divisor <= 4; ++divisor) {
    const int band = std::max(height / divisor, kMinBandLines);
    int failure = kBlockCopied;
    for (int top = 0; top < height; top += band) {
      const int lines = std::min(band, height - top);
      failure = BitBltBlock(x, y + top, width, lines);
      if (failure != kBlockCopied) {
        VZ_LOG_ERROR("BitBltBlock{%d,%d,[%d,%d]} -> maxline=%d, ERROR!!! err=%d", x, y + top, width, lines, band,
                     failure);
        break;
      }
    }
    if (failure == kBlockCopied) return true;
    if (failure != kBlockNoBitmap) return false;
    if (height / divisor < kMinBandLines) break;
  }
  // Bands of every size failed for want of memory: one copy of the whole box.
  return BitBltBlock(x, y, width, height) == kBlockCopied;
}

bool CSharedMonitor::CopyCurrentToPrevious(const VzRect& box) {
  if (box.left < 0 || box.top < 0 || box.right > width_ || box.bottom > height_ || box.left >= box.right) {
    VZ_LOG_ERROR("BitBlt failed");
    return false;
  }
  for (int y = box.top; y < box.bottom; ++y) {
    const size_t offset = static_cast<size_t>(y) * width_ + box.left;
    std::memcpy(&previous_[offset], current_->pixels() + offset, static_cast<size_t>(box.right - box.left) * 4);
  }
  return true;
}

void CSharedMonitor::Fill(const CScreenRegion& region, uint32_t pixel) {
  for (const VzRect& r : region.Rects()) {
    const int left = std::max(r.left, 0), right = std::min(r.right, width_);
    for (int y = std::max(r.top, 0); y < std::min(r.bottom, height_); ++y) {
      uint32_t* row = current_->Row(y);
      std::fill(row + left, row + std::max(left, right), pixel);
    }
  }
}

bool CSharedMonitor::SendChangedBox(const CScreenRegion& shared, const CScreenRegion& covered, uint32_t header_colour,
                                    IChangedBoxSender& sender) {
  if (!initialised_) return false;
  const VzRect& rc = monitor_.Rect;
  CScreenRegion area(rc);
  area.Intersect(shared);
  area.Offset(-rc.left, -rc.top);
  CScreenRegion box(changed_box_);
  box.Intersect(area);
  if (box.IsEmpty()) {
    changed_box_ = {};
    return false;
  }
  changed_box_ = box.Box();
  send_box_ = changed_box_;
  if (send_box_.left >= width_ || send_box_.top >= height_) return false;

  const CScreenRegion send_region(send_box_);
  CScreenRegion outside = send_region;
  outside.Subtract(area);
  Fill(outside, kOutsideColour);
  CScreenRegion hidden(rc);
  hidden.Intersect(covered);
  hidden.Offset(-rc.left, -rc.top);
  hidden.Intersect(send_region);
  Fill(hidden, PixelOfColorref(header_colour & 0x00FFFFFFu));

  return sender.SendScreenData(monitor_.MonitorId, rc, depth_ & 0xFF, send_box_,
                               reinterpret_cast<const uint8_t*>(current_->pixels()), width_ * 4);
}

int CSharedMonitor::ForceDumpScreenRect(const CScreenRegion& shared, const CScreenRegion& covered,
                                        uint32_t header_colour, IChangedBoxSender& sender) {
  const VzRect whole{0, 0, width_, height_};
  VZ_LOG("ForceDumpScreenRect a whole screen(%s)", FormatRect(&whole).c_str());
  if (!initialised_) return 0;
  damage_.clear();
  changed_box_ = whole;
  VZ_LOG(" -> changed rc ->[%s]", FormatRect(&changed_box_).c_str());
  if (!BitBltBox(0, 0, width_, height_)) {
    VZ_LOG_ERROR("BitBltBox failed.");
    changed_box_ = {};
    return 0;
  }
  if (!CopyCurrentToPrevious(whole)) VZ_LOG_ERROR("BitBlt failed.");
  SendChangedBox(shared, covered, header_colour, sender);
  return 1;
}
