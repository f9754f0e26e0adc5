#pragma once
// What the camera port tells about a camera, in records that carry no
// system header: the layers above describe cameras from these alone.
#include <cstdint>
#include <string>
#include <vector>

namespace vz {

// Four-character pixel format codes as the kernel spells them.
constexpr uint32_t CameraFourcc(char a, char b, char c, char d) {
  return static_cast<uint32_t>(static_cast<uint8_t>(a)) | (static_cast<uint32_t>(static_cast<uint8_t>(b)) << 8) |
         (static_cast<uint32_t>(static_cast<uint8_t>(c)) << 16) | (static_cast<uint32_t>(static_cast<uint8_t>(d)) << 24);
}
inline constexpr uint32_t kFourccYuyv = CameraFourcc('Y', 'U', 'Y', 'V');
inline constexpr uint32_t kFourccI420 = CameraFourcc('Y', 'U', '1', '2');
inline constexpr uint32_t kFourccYv12 = CameraFourcc('Y', 'V', '1', '2');
inline constexpr uint32_t kFourccBgr24 = CameraFourcc('B', 'G', 'R', '3');
inline constexpr uint32_t kFourccMjpeg = CameraFourcc('M', 'J', 'P', 'G');

// One camera node that can capture video.
struct CameraNode {
  std::string node;          // "/dev/videoN": only for opening, reused after unplugging
  std::string unique_name;   // the by-id or by-path name, else bus_info + card
  std::string display_name;  // the driver's card name
  std::string driver;
  std::string bus_info;
  std::string usb_vendor;   // four hex digits, lower case; empty when not USB
  std::string usb_product;
  bool software = false;  // a loopback or test driver
};

// One pixel format at a range of sizes: a discrete size has min == max and
// steps of 1. Frame rates are frames a second, the slowest and the fastest
// the driver lists for the smallest size of the range (0 when it lists none).
struct CameraFormatRange {
  uint32_t fourcc = 0;
  bool compressed = false;
  uint32_t min_width = 0, max_width = 0, step_width = 0;
  uint32_t min_height = 0, max_height = 0, step_height = 0;
  float min_rate = 0.0f, max_rate = 0.0f;
};

// The format the driver has set.
struct CameraFormat {
  uint32_t fourcc = 0;
  uint32_t width = 0, height = 0;
  uint32_t bytes_per_line = 0;
  uint32_t image_size = 0;
  bool progressive = true;  // one picture a buffer, not fields
};

// One video input of the device (tuner, composite, camera).
struct CameraInput {
  uint32_t index = 0;
  std::string name;
  bool is_camera = false;  // else a tuner or an analogue connector
};

// One entry of a menu control: the value that chooses it and its name.
struct CameraMenuEntry {
  int32_t value = 0;
  std::string name;
};

// One of the camera's own controls (brightness, exposure, ...): integer,
// boolean and menu controls; the others are left out. A menu control's
// entries are the values between minimum and maximum the driver names, in
// increasing order (a menu may leave values out).
struct CameraControl {
  uint32_t id = 0;
  std::string name;
  int32_t minimum = 0, maximum = 0, step = 1, default_value = 0;
  bool is_boolean = false;
  bool is_menu = false;
  std::vector<CameraMenuEntry> menu;
};

}  // namespace vz
