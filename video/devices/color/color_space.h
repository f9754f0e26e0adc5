#pragma once
// Pixel format codes and the picture descriptor of the colour-space converter.
#include <cstdint>

namespace nsVZVP {

// Format codes. CSP_BOTTOM_UP may be or'ed into any of them: the picture's
// rows are then stored bottom-up (the first row in memory is the lowest).
enum ColorSpace : uint32_t {
  CSP_RGB24 = 1,    // bytes R, G, B
  CSP_RGBA32 = 2,   // bytes R, G, B, A
  CSP_BGR24 = 5,    // bytes B, G, R
  CSP_BGRA32 = 6,   // bytes B, G, R, A
  CSP_ABGR32 = 7,   // bytes A, B, G, R
  CSP_ARGB32 = 8,   // bytes A, R, G, B
  CSP_YUY2 = 20,    // 4:2:2, Y0 U Y1 V
  CSP_YVYU = 21,    // 4:2:2, Y0 V Y1 U
  CSP_UYVY = 22,    // 4:2:2, U Y0 V Y1
  CSP_I420 = 23,    // planar 4:2:0: Y, U, V
  CSP_YV12 = 24,    // planar 4:2:0: Y, V, U
  CSP_BOTTOM_UP = 0x80000000u,
};

constexpr uint32_t kColorSpaceMask = 0x7fffffffu;

// One picture. Planar formats: the Y plane, then the planes in memory order
// (U then V for I420, V then U for YV12). Packed formats: the pixels in
// plane[0] (producers put the same pointer in all three) and the row stride
// in every stride. Producers clear the record before filling it.
struct ImageDesc {
  uint8_t* plane[3];
  int32_t stride[3];
  int32_t width;
  int32_t height;
  uint32_t format;
};

// Results of Convert.
constexpr int32_t kConvertOk = 0;
constexpr int32_t kConvertInvalidArgs = -2;
constexpr int32_t kConvertUnsupported = -4;

}  // namespace nsVZVP
