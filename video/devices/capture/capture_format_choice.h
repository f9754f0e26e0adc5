#pragma once
// The capture format's choice in three steps over a camera's format ranges
// and a small format-setting port:
//   1. strict: the wanted type's own pixel format at the wanted size and
//      rate, from the first range that admits them (not for type 0);
//   2. relaxed: (a) the first range of any pixel format that admits them,
//      then (b) each pixel format once, its first range, with the size and
//      rate forced;
//   3. the driver's default pixel format with the size forced.
// Each step counts only when the driver then reports exactly the wanted size.
// Also the pixel formats and size the capture accepts for a wanted format.
// Pure functions over the port; any thread.
#include <cstdint>
#include <vector>

#include "platform/camera/camera_records.h"
#include "video/engine/core/video_format.h"

namespace vzcapture {

// What the choice asks of the device.
class ICaptureFormatSetter {
 public:
  virtual ~ICaptureFormatSetter() = default;
  // Asks for the format and rate; false when the driver refuses the format.
  virtual bool SetFormat(uint32_t fourcc, int32_t width, int32_t height, float rate) = 0;
  // The size the driver has set; false when it cannot be read.
  virtual bool GetSize(int32_t* width, int32_t* height) = 0;
  // The driver's own pixel format (the one it had when opened).
  virtual uint32_t DefaultFourcc() = 0;
};

enum class FormatChoice { kStrict, kRelaxedAdmitting, kRelaxedForced, kDefault, kNone };

// A range admits (width, height, interval) when the range is sound, the size
// lies in it on a whole number of steps, and the interval (100 ns units)
// lies between the range's shortest and longest intervals where it has them.
bool Admits(const vz::CameraFormatRange& range, int32_t width, int32_t height, int64_t interval);

// Runs the three steps; kNone when all failed.
FormatChoice ChooseCaptureFormat(const std::vector<vz::CameraFormatRange>& ranges, const VideoFormat& wanted,
                                 ICaptureFormatSetter& setter);

// The pixel formats (empty: any) and the size (0: any) a capture accepts.
struct AcceptedTypes {
  std::vector<uint32_t> fourccs;
  int32_t width = 0;
  int32_t height = 0;
};
// Without a format: the five known pixel formats at any size; types 0 and 5:
// the same at the format's size; 2, 3, 4 and 7 their own only; any other
// type no list at the format's size.
AcceptedTypes AcceptedTypesFor(const VideoFormat* format);
// True when the negotiated format is progressive, of the accepted size and
// one of the accepted pixel formats.
bool AcceptsFormat(const AcceptedTypes& accepted, const vz::CameraFormat& negotiated);

}  // namespace vzcapture
