#include "video/devices/capture/capture_format_choice.h"

#include <algorithm>

#include "common/trace_client.h"
#include "video/devices/capture/capture_capabilities.h"

namespace vzcapture {
namespace {

int64_t IntervalOf(float rate) { return rate > 0.0f ? static_cast<int64_t>(10000000.0f / rate) : 0; }

bool Verify(ICaptureFormatSetter& setter, int32_t width, int32_t height) {
  int32_t actual_width = 0, actual_height = 0;
  if (!setter.GetSize(&actual_width, &actual_height)) {
    VZ_LOG_ERROR("cannot verify, the format cannot be read");
    return false;
  }
  if (actual_width == width && actual_height == height) {
    VZ_LOG("width and height are expected.");
    return true;
  }
  VZ_LOG("width or height is not expected.actual(%d, %d),expected(%d, %d)", actual_width, actual_height, width,
         height);
  return false;
}

bool TryFormat(ICaptureFormatSetter& setter, uint32_t fourcc, const VideoFormat& wanted) {
  return setter.SetFormat(fourcc, wanted.width, wanted.height, wanted.frame_rate) &&
         Verify(setter, wanted.width, wanted.height);
}

}  // namespace

bool Admits(const vz::CameraFormatRange& range, int32_t width, int32_t height, int64_t interval) {
  if (range.max_width < range.min_width || range.max_height < range.min_height) return false;
  if (range.step_width == 0 || range.step_height == 0 || width < 0 || height < 0) return false;
  const auto w = static_cast<uint32_t>(width);
  const auto h = static_cast<uint32_t>(height);
  if (w < range.min_width || w > range.max_width || h < range.min_height || h > range.max_height) return false;
  if ((w - range.min_width) % range.step_width != 0 || (h - range.min_height) % range.step_height != 0) return false;
  // The longest interval is the slowest rate's, the shortest the fastest's.
  const int64_t longest = IntervalOf(range.min_rate);
  const int64_t shortest = IntervalOf(range.max_rate);
  if (longest != 0 && interval > longest) return false;
  if (shortest != 0 && interval < shortest) return false;
  return true;
}

FormatChoice ChooseCaptureFormat(const std::vector<vz::CameraFormatRange>& ranges, const VideoFormat& wanted,
                                 ICaptureFormatSetter& setter) {
  const int64_t interval = FrameRateToInterval(wanted.frame_rate);
  if (wanted.video_type != kVideoTypeOther) {
    const uint32_t fourcc = FourccOfVideoType(wanted.video_type);
    for (const auto& range : ranges) {
      if (range.fourcc != fourcc || !Admits(range, wanted.width, wanted.height, interval)) continue;
      if (TryFormat(setter, fourcc, wanted)) {
        VZ_LOG("Set width & height & framerate & mode OK");
        return FormatChoice::kStrict;
      }
      break;  // only the first admitting range is tried
    }
  }
  VZ_LOG("step 1...");
  if (!ranges.empty()) {
    for (const auto& range : ranges) {
      if (!Admits(range, wanted.width, wanted.height, interval)) continue;
      if (TryFormat(setter, range.fourcc, wanted)) return FormatChoice::kRelaxedAdmitting;
      break;
    }
    std::vector<uint32_t> tried;
    for (const auto& range : ranges) {
      if (std::find(tried.begin(), tried.end(), range.fourcc) != tried.end()) continue;
      tried.push_back(range.fourcc);
      if (TryFormat(setter, range.fourcc, wanted)) return FormatChoice::kRelaxedForced;
    }
  }
  VZ_LOG("step 2...");
  if (setter.SetFormat(setter.DefaultFourcc(), wanted.width, wanted.height, wanted.frame_rate) &&
      Verify(setter, wanted.width, wanted.height)) {
    VZ_LOG("Set width & height & framerate OK");
    return FormatChoice::kDefault;
  }
  return FormatChoice::kNone;
}

AcceptedTypes AcceptedTypesFor(const VideoFormat* format) {
  const std::vector<uint32_t> all = {vz::kFourccBgr24, vz::kFourccI420, vz::kFourccYuyv, vz::kFourccYv12,
                                     vz::kFourccMjpeg};
  AcceptedTypes accepted;
  if (format == nullptr) {
    accepted.fourccs = all;
    return accepted;
  }
  accepted.width = format->width;
  accepted.height = format->height;
  switch (format->video_type) {
    case kVideoTypeOther:
    case kVideoTypeYv12:
      accepted.fourccs = all;
      break;
    case kVideoTypeI420:
    case kVideoTypeYuy2:
    case kVideoTypeBgr24:
    case kVideoTypeBgr24BottomUp:
      accepted.fourccs = {FourccOfVideoType(format->video_type)};
      break;
    default:
      break;
  }
  return accepted;
}

bool AcceptsFormat(const AcceptedTypes& accepted, const vz::CameraFormat& negotiated) {
  if (!negotiated.progressive) return false;
  if (accepted.width != 0 && static_cast<uint32_t>(accepted.width) != negotiated.width) return false;
  if (accepted.height != 0 && static_cast<uint32_t>(accepted.height) != negotiated.height) return false;
  return accepted.fourccs.empty() ||
         std::find(accepted.fourccs.begin(), accepted.fourccs.end(), negotiated.fourcc) != accepted.fourccs.end();
}

}  // namespace vzcapture
