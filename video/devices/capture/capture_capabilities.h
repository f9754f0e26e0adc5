#pragma once
// A camera's capability list from what its driver reports: video types of
// pixel formats, preferred sizes fitted into size ranges, frame rates
// snapped to the known ones. Pure functions; any thread.
#include <cstdint>
#include <vector>

#include "platform/camera/camera_records.h"
#include "video/engine/core/video_format.h"
#include "video/engine/core/video_types.h"

namespace vzcapture {

// A camera delivers pictures of kVideoTypeOther (MJPEG among them), I420,
// YUY2, YV12, or 24-bit BGR in either row order.

// 0 for a pixel format without a type of its own (MJPEG).
int32_t VideoTypeOfFourcc(uint32_t fourcc);
// The pixel format a video type asks for; 0 for type 0 and unknown types.
uint32_t FourccOfVideoType(int32_t video_type);
// Bytes of one picture of the type; 0 for type 0 and unknown types.
int64_t PictureBytes(int32_t video_type, int32_t width, int32_t height);

// A rate within 0.0001 of a known rate is taken as that rate; the interval
// is 10,000,000 / rate in 100 ns units, truncated (30 -> 333333, 29.97 ->
// 333667). 0 for a rate that is not positive.
int64_t FrameRateToInterval(float rate);

// Fits (width, height) into the range: the smallest whole number of steps
// above the minimum that reaches it. False when the range is broken (max
// below min, a zero step), when the size is above the maximum, or when the
// fitted size would be (a step past the maximum cannot be produced).
bool FitPreferredSize(const vz::CameraFormatRange& range, int32_t width, int32_t height, int32_t* fitted_width,
                      int32_t* fitted_height);

// Appends the range's capabilities: its minimum, its maximum, then each
// preferred size fitted, each size once; a record equal in all five fields
// to one already listed is not added again.
void AddCapabilities(const vz::CameraFormatRange& range, std::vector<VideoFormat>* list);

// The preferred sizes, in the order tried.
inline constexpr int32_t kPreferredSizes[9][2] = {{160, 120}, {320, 240}, {640, 480}, {176, 144}, {352, 288},
                                                  {704, 576}, {160, 90},  {320, 180}, {640, 360}};

}  // namespace vzcapture
