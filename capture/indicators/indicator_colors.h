#pragma once
// The colours of the sharing indicators, from the meeting's header colour.
// COLORREF values are 0x00BBGGRR; pure functions, any thread.
#include <cstdint>

namespace vzgrab {

// The frame colour: the header colour's low 24 bits taken as a COLORREF
// (0xff0084ff gives 0x0084FF).
constexpr uint32_t FrameColorRef(uint32_t header_bg_color) { return header_bg_color & 0x00FFFFFF; }

// Each of red, green and blue halved (the dim frame and the shadow):
// 0x0084FF gives 0x00427F.
constexpr uint32_t HalfColorRef(uint32_t colorref) {
  const uint32_t r = (colorref & 0xFF) / 2;
  const uint32_t g = ((colorref >> 8) & 0xFF) / 2;
  const uint32_t b = ((colorref >> 16) & 0xFF) / 2;
  return r | (g << 8) | (b << 16);
}

// The arrow label's text colour on a background colour: white (0xFFFFFF)
// when the mean of its three channels (an integer division) is at most
// 128, else black.
constexpr uint32_t LabelTextColorRef(uint32_t colorref) {
  const uint32_t sum = (colorref & 0xFF) + ((colorref >> 8) & 0xFF) + ((colorref >> 16) & 0xFF);
  return sum / 3 <= 128 ? 0xFFFFFF : 0x000000;
}

}  // namespace vzgrab
