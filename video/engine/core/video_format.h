#pragma once
// The engine's description of a video picture or camera capability, copied
// by value.
#include <bit>
#include <cstdint>

struct VideoFormat {
  int32_t video_type;  // engine video type (see video_types.h)
  int32_t width;
  int32_t height;
  float frame_rate;  // in a capability: the lowest rate it allows
  // A sample's capture time stamp (ms), or a capability's highest frame
  // rate (a float's bits); read it through the helpers below.
  uint32_t extra;

  uint32_t time_stamp_ms() const { return extra; }
  void set_time_stamp_ms(uint32_t ms) { extra = ms; }
  float max_frame_rate() const { return std::bit_cast<float>(extra); }
  void set_max_frame_rate(float rate) { extra = std::bit_cast<uint32_t>(rate); }
};
static_assert(sizeof(VideoFormat) == 20);
