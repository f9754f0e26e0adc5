#include "video/devices/capture/capture_capabilities.h"

#include <cmath>

namespace vzcapture {
namespace {

// The known rates in the order tried: 30, 29.97, 29 down to 1, 60 down to 31.
const std::vector<float>& KnownRates() {
  static const std::vector<float> rates = [] {
    std::vector<float> list = {30.0f, 29.97f};
    for (int rate = 29; rate >= 1; --rate) list.push_back(static_cast<float>(rate));
    for (int rate = 60; rate >= 31; --rate) list.push_back(static_cast<float>(rate));
    return list;
  }();
  return rates;
}

bool FitSide(int32_t wanted, uint32_t low, uint32_t high, uint32_t step, int32_t* fitted) {
  if (wanted < 0 || static_cast<uint32_t>(wanted) > high) return false;
  uint64_t value = low;
  if (static_cast<uint32_t>(wanted) > low) {
    const uint64_t steps = (static_cast<uint64_t>(wanted) - low + step - 1) / step;
    value = low + steps * step;
  }
  // Rounding up to a step can pass the maximum: such a size is not offered.
  if (value > high) return false;
  *fitted = static_cast<int32_t>(value);
  return true;
}

bool SameRecord(const VideoFormat& a, const VideoFormat& b) {
  return a.video_type == b.video_type && a.width == b.width && a.height == b.height &&
         a.frame_rate == b.frame_rate && a.extra == b.extra;
}

}  // namespace

int32_t VideoTypeOfFourcc(uint32_t fourcc) {
  switch (fourcc) {
    case vz::kFourccI420:
      return kVideoTypeI420;
    case vz::kFourccYuyv:
      return kVideoTypeYuy2;
    case vz::kFourccYv12:
      return kVideoTypeYv12;
    case vz::kFourccBgr24:
      return kVideoTypeBgr24;  // the kernel's rows are top-down
    default:
      return kVideoTypeOther;
  }
}

uint32_t FourccOfVideoType(int32_t video_type) {
  switch (video_type) {
    case kVideoTypeI420:
      return vz::kFourccI420;
    case kVideoTypeYuy2:
      return vz::kFourccYuyv;
    case kVideoTypeYv12:
      return vz::kFourccYv12;
    case kVideoTypeBgr24:
    case kVideoTypeBgr24BottomUp:
      return vz::kFourccBgr24;
    default:
      return 0;
  }
}

int64_t PictureBytes(int32_t video_type, int32_t width, int32_t height) {
  if (width <= 0 || height <= 0) return 0;
  const int64_t pixels = static_cast<int64_t>(width) * height;
  switch (video_type) {
    case kVideoTypeI420:
    case kVideoTypeYv12:
      return pixels + 2 * (static_cast<int64_t>((width + 1) / 2) * ((height + 1) / 2));
    case kVideoTypeYuy2:
      return static_cast<int64_t>((width + 1) & ~1) * 2 * height;
    case kVideoTypeBgr24:
    case kVideoTypeBgr24BottomUp:
      return pixels * 3;
    default:
      return 0;
  }
}

int64_t FrameRateToInterval(float rate) {
  if (!(rate > 0.0f)) return 0;
  for (float known : KnownRates()) {
    if (std::fabs(rate - known) < 0.0001f) {
      rate = known;
      break;
    }
  }
  return static_cast<int64_t>(10000000.0f / rate);
}

bool FitPreferredSize(const vz::CameraFormatRange& range, int32_t width, int32_t height, int32_t* fitted_width,
                      int32_t* fitted_height) {
  if (range.max_width < range.min_width || range.max_height < range.min_height) return false;
  if (range.step_width == 0 || range.step_height == 0) return false;
  int32_t w = 0, h = 0;
  if (!FitSide(width, range.min_width, range.max_width, range.step_width, &w) ||
      !FitSide(height, range.min_height, range.max_height, range.step_height, &h)) {
    return false;
  }
  *fitted_width = w;
  *fitted_height = h;
  return true;
}

void AddCapabilities(const vz::CameraFormatRange& range, std::vector<VideoFormat>* list) {
  const int32_t type = VideoTypeOfFourcc(range.fourcc);
  // A driver that lists no rate is taken at 30 frames a second.
  const float highest = range.max_rate > 0.0f ? range.max_rate : 30.0f;
  const float lowest = range.min_rate > 0.0f ? range.min_rate : highest;
  std::vector<std::pair<int32_t, int32_t>> sizes;
  auto take = [&sizes](int32_t w, int32_t h) {
    for (const auto& size : sizes) {
      if (size.first == w && size.second == h) return;
    }
    sizes.emplace_back(w, h);
  };
  if (range.min_width > 0 && range.min_height > 0) {
    take(static_cast<int32_t>(range.min_width), static_cast<int32_t>(range.min_height));
  }
  if (range.max_width > 0 && range.max_height > 0) {
    take(static_cast<int32_t>(range.max_width), static_cast<int32_t>(range.max_height));
  }
  for (const auto& preferred : kPreferredSizes) {
    int32_t w = 0, h = 0;
    if (FitPreferredSize(range, preferred[0], preferred[1], &w, &h)) take(w, h);
  }
  for (const auto& size : sizes) {
    VideoFormat record{type, size.first, size.second, lowest, 0};
    record.set_max_frame_rate(highest);
    bool listed = false;
    for (const VideoFormat& other : *list) listed = listed || SameRecord(other, record);
    if (!listed) list->push_back(record);
  }
}

}  // namespace vzcapture
